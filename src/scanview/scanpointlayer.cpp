#include "scanpointlayer.h"

#include "intensitycolor.h"

#include <QBrush>
#include <QGraphicsRectItem>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QTransform>

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

ScanPointLayer::ScanPointLayer() = default;

QRectF ScanPointLayer::boundingRect() const
{
    const qreal reach = 65535 / 10.0 + 3;
    return QRectF(-reach, -reach, 2 * reach, 2 * reach);
}

void ScanPointLayer::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                           QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    // What the scene would do for each square: its own transform (scale about its origin,
    // then its place) on top of the layer's, its pen, its brush, its rectangle.
    const QTransform layer = painter->worldTransform();
    for (int i = 0; i < inUse; ++i) {
        const QGraphicsRectItem *square = squares[i];
        if (!square->isVisible())
            continue;
        const QPointF at = square->pos();
        const qreal scale = square->scale();
        painter->setWorldTransform(QTransform(scale, 0, 0, scale, at.x(), at.y()) * layer);
        painter->setPen(square->pen());
        painter->setBrush(square->brush());
        painter->drawRect(square->rect());
    }
    painter->setWorldTransform(layer);
}

void ScanPointLayer::useSquares(int count)
{
    while (squares.size() < count) {
        auto *square = new QGraphicsRectItem(-2, -2, 4, 4);
        // Drawn by the layer; a square of its own would be drawn twice.
        square->setFlag(QGraphicsItem::ItemHasNoContents);
        addToGroup(square);
        squares.append(square);
    }
    for (int i = count; i < inUse; ++i)
        squares[i]->setVisible(false);
    inUse = count;
}

int ScanPointLayer::showScan(const QVector<float> &angles, const QVector<ushort> &ranges,
                             const QVector<ushort> &intensities, qreal zoom)
{
    static const QPen trackedPen(Qt::red), plainPen(Qt::blue);
    static const QBrush trackedBrush(Qt::red), plainBrush(Qt::blue);
    useSquares(angles.size());
    const qreal scale = pointItemScale(zoom);
    int tracked = -1;
    for (int i = 0; i < inUse; ++i) {
        QGraphicsRectItem *item = squares[i];
        const float angle = angles[i];
        const ushort range = ranges.value(i);
        const ushort intensity = intensities.value(i);
        if (trackedDirection && std::fabs(*trackedDirection - angle) <= 0.2f) {
            tracked = i;
            item->setPen(trackedPen);
            item->setBrush(trackedBrush);
        } else if (renderIntensities) {
            item->setPen(intensityPen(intensity));
            item->setBrush(intensityBrush(intensity));
        } else {
            item->setPen(plainPen);
            item->setBrush(plainBrush);
        }
        // setScale() prepares a geometry change even when the scale stays the same.
        if (item->scale() != scale)
            item->setScale(scale);
        item->setVisible(range != 0);
        item->setPos(scanPointPosition(angle, range));
        if (keepEchoData) {
            item->setData(1, range);
            item->setData(2, intensity);
        }
    }
    // Squares without contents of their own do not mark the view for a repaint.
    update();
    return tracked;
}
