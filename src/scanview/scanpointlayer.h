#pragma once

#include <QGraphicsItemGroup>
#include <QPointF>
#include <QVector>

#include <optional>

class QGraphicsRectItem;
class QTransform;

// What both scan displays share: each draws one small square per measurement in a scene of
// 10 mm per unit with the scanner at the origin and scene y pointing down.

// Scene position of a measurement at angleDeg (counter-clockwise from the scanner's
// right) and rangeMm. The angle is taken to radians with 3.14159 in single precision,
// as the scanner's own software does, so points land where the device says they are.
QPointF scanPointPosition(float angleDeg, ushort rangeMm);

// Screen pixels per scene unit of a view transform.
qreal viewZoom(const QTransform &transform);

// Scale of a point square: 4 screen pixels wide once zoomed in, shrinking with the scene
// when zoomed out.
qreal pointItemScale(qreal zoom);

// The squares of one scan display, a group of rectangle items (-2, -2, 4, 4) in child
// order, square i showing measurement i of the last scan. The squares are kept from scan
// to scan; when the count changes, spare squares are hidden and missing ones added, so a
// stream whose scans differ in length (a damaged frame drops 90 points) does not rebuild
// the whole set each time. Squares share one pen and one brush per colour.
//
// The squares hold what is drawn (place, scale, colour, visibility); the layer draws
// them all in one pass, exactly as each would draw itself. Walking hundreds of items
// through the scene, each with its own painter state, cost more than drawing them.
class ScanPointLayer : public QGraphicsItemGroup
{
public:
    ScanPointLayer();

    // Every place a 16-bit range can reach, with the square around it.
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    // Coloured by intensity (the default), or all plain blue.
    void setRenderIntensities(bool render) { renderIntensities = render; }
    // Each square keeps its range as item data 1 and its intensity as item data 2.
    void setKeepEchoData(bool keep) { keepEchoData = keep; }
    // The points whose angle lies within 0.2 degrees of the direction (degrees, as the
    // scan's angles) are drawn red; none while it is not set.
    void setTrackedDirection(std::optional<float> degrees) { trackedDirection = degrees; }

    // Shows one scan at the view's zoom (screen pixels per scene unit). Returns the index
    // of the last tracked point, or -1. A range or intensity missing from its vector reads
    // as 0: the vectors come in equal lengths, and a short one never reads past its end.
    int showScan(const QVector<float> &angles, const QVector<ushort> &ranges,
                 const QVector<ushort> &intensities, qreal zoom);

    // The squares in use for the last scan.
    int squareCount() const { return inUse; }
    QGraphicsRectItem *square(int i) const { return squares.at(i); }

private:
    void useSquares(int count);

    QVector<QGraphicsRectItem *> squares; // every square of the group, in child order
    int inUse = 0;
    bool renderIntensities = true;
    bool keepEchoData = false;
    std::optional<float> trackedDirection;
};
