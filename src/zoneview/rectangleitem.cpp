#include "rectangleitem.h"

#include "zoneedit.h"
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

void RectangleItem::setUnitsPerPixel(qreal units)
{
    if (units == unitsPerPixel)
        return;
    // Only the handle's own box changes: no outline is touched by a zoom.
    prepareGeometryChange();
    unitsPerPixel = units;
}

QRectF RectangleItem::boundingRect() const
{
    if (unitsPerPixel <= 0)
        return QRectF(-0.5, -0.5, width + 1, height + 1);
    const qreal r = (kGrabRadius + 1) * unitsPerPixel;
    return QRectF(centre() - QPointF(r, r), QSizeF(2 * r, 2 * r));
}

QPainterPath RectangleItem::shape() const
{
    QPainterPath path;
    if (unitsPerPixel <= 0) {
        path.addEllipse(QRectF(0, 0, width, height));
        return path;
    }
    const qreal r = kGrabRadius * unitsPerPixel;
    path.addEllipse(centre(), r, r);
    return path;
}

void RectangleItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const bool selected = option->state.testFlag(QStyle::State_Selected);
    painter->setBrush(QBrush(selected ? Qt::green : Qt::blue));
    if (unitsPerPixel <= 0) {
        painter->drawEllipse(QRect(0, 0, width, height));
        return;
    }
    QPen outline(selected ? QColor(0, 90, 0) : QColor(255, 255, 255));
    outline.setCosmetic(true);
    painter->setPen(outline);
    const qreal r = kScreenDiameter / 2 * unitsPerPixel;
    painter->drawEllipse(centre(), r, r);
}

void RectangleItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsObject::mousePressEvent(event);
    emit pressed();
}

void RectangleItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsObject::mouseMoveEvent(event);
    if (snapGridMm > 0)
        setPos(ZoneEdit::snapToGrid(pos() + centre(), snapGridMm) - centre());
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
