#include "pathitem.h"

#include "zonegeometry.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

PathItem::PathItem(int id, QObject *parent) : QObject(parent), QGraphicsPathItem(nullptr), id(id) {}

void PathItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    // Selection shows as a denser fill, never as the dashed frame.
    const bool selected = option->state.testFlag(QStyle::State_Selected);
    painter->setOpacity(selected ? 0.8 : ZoneGeometry::kZoneOpacity);
    QStyleOptionGraphicsItem plain;
    if (widget)
        plain.initFrom(widget);
    if (selected)
        plain.state = QStyle::State_None;
    QGraphicsPathItem::paint(painter, &plain, widget);
}

QVariant PathItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedChange && scene() && opacity() > 0.7 && value.toInt() != 0)
        emit sendPathId(id);
    return QGraphicsPathItem::itemChange(change, value);
}
