#pragma once

#include <QGraphicsPathItem>
#include <QObject>

// The filled outline of one area's zone. Selecting it by a click reports its area.
class PathItem : public QObject, public QGraphicsPathItem
{
    Q_OBJECT

public:
    enum
    {
        Type = UserType + 3
    };

    explicit PathItem(int id, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;
    int type() const override { return Type; }
    int areaId() const { return id; }

signals:
    void sendPathId(int id);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    int id;
};
