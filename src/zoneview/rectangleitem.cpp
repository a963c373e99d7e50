#include "rectangleitem.h"

#include "zonegeometry.h"

#include <QCursor>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

RectangleItem::RectangleItem(int width, int height, QGraphicsItem *parent)
    : QGraphicsObject(parent), width(width), height(height)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemIsFocusable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
}

QRectF RectangleItem::boundingRect() const
{
    return QRectF(-0.5, -0.5, width + 1, height + 1);
}

void RectangleItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const bool selected = option->state.testFlag(QStyle::State_Selected);
    painter->setBrush(QBrush(selected ? Qt::green : Qt::blue));
    painter->drawEllipse(QRect(0, 0, width, height));
}

void RectangleItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsObject::mousePressEvent(event);
    emit pressed();
}

void RectangleItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsObject::mouseMoveEvent(event);
    emit sendItemPos(scenePos());
}

void RectangleItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsObject::mouseReleaseEvent(event);
    emit released();
}

void RectangleItem::hoverEnterEvent(QGraphicsSceneHoverEvent *event)
{
    setCursor(Qt::CrossCursor);
    QGraphicsObject::hoverEnterEvent(event);
}

QVariant RectangleItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemPositionChange && scene()) {
        const qreal limit = ZoneGeometry::kHandleLimit;
        const QPointF wanted = value.toPointF();
        return QPointF(qBound(-limit, wanted.x(), limit), qBound(-limit, wanted.y(), limit));
    }
    return QGraphicsObject::itemChange(change, value);
}
