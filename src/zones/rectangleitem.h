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

protected:
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    int width;
    int height;
};
