#pragma once

#include <QGraphicsObject>
#include <QPainterPath>

// A vertex handle: a small round marker the user drags to place one vertex. Its origin is
// the top-left corner of its width x height box, whose centre is the vertex; item data key
// 3 holds the vertex number. Once the view tells it the zoom, the marker keeps one size on
// the screen at every zoom and can be grabbed a little beyond its edge.
class RectangleItem : public QGraphicsObject
{
    Q_OBJECT

public:
    enum
    {
        Type = UserType + 2
    };

    RectangleItem(int width, int height, QGraphicsItem *parent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;
    QPainterPath shape() const override;
    int type() const override { return Type; }

    // The marker's diameter on the screen and how far from its centre a press grabs it.
    static constexpr qreal kScreenDiameter = 10;
    static constexpr qreal kGrabRadius = 6;
    // Scene units per screen pixel at the view's zoom; 0 draws the plain width x height box.
    void setUnitsPerPixel(qreal units);
    // Drags land on a grid of this many millimetres; 0 lets them go anywhere. Positions
    // set by the program (typed values, keys) are never snapped.
    void setSnapGridMm(int gridMm) { snapGridMm = gridMm; }

signals:
    void sendItemPos(QPointF pos);
    // The mouse took hold of the handle and let it go: the moves between are one drag.
    void pressed();
    void released();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    QPointF centre() const { return QPointF(width / 2.0, height / 2.0); }

    int width;
    int height;
    qreal unitsPerPixel = 0;
    int snapGridMm = 0;
};
