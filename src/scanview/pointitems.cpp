#include "pointitems.h"

#include <QGraphicsItemGroup>
#include <QGraphicsRectItem>
#include <QLineF>
#include <QTransform>

#include <algorithm>
#include <cmath>

QPointF scanPointPosition(float angleDeg, ushort rangeMm)
{
    const float theta = angleDeg * 3.14159f / 180.0f;
    const float x = float(rangeMm) * std::cos(theta);
    const float y = -float(rangeMm) * std::sin(theta);
    return QPointF(double(x) / 10.0, double(y) / 10.0);
}

qreal viewZoom(const QTransform &transform)
{
    return transform.map(QLineF(0, 0, 1, 0)).length();
}

qreal pointItemScale(qreal zoom)
{
    return zoom < 1 ? 1.0 : 1.0 / zoom;
}

QVector<QGraphicsItem *> pointItems(QGraphicsItemGroup *group, int count)
{
    const QList<QGraphicsItem *> children = group->childItems();
    QVector<QGraphicsItem *> items;
    items.reserve(std::max(count, children.size()));
    for (QGraphicsItem *child : children)
        items.append(child);
    while (items.size() < count) {
        auto *square = new QGraphicsRectItem(-2, -2, 4, 4);
        group->addToGroup(square);
        items.append(square);
    }
    for (int i = count; i < items.size(); ++i)
        items[i]->setVisible(false);
    items.resize(count);
    return items;
}
