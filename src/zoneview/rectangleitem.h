#pragma once

#include <QGraphicsObject>

// A vertex handle: a small round marker the user drags to place one vertex. Its origin is
// the top-left corner of the ellipse; item data key 3 holds the vertex number.
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
    int type() const override { return Type; }

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
    int width;
    int height;
};
