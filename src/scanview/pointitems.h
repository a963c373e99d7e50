#pragma once

#include <QPointF>
#include <QVector>

class QGraphicsItem;
class QGraphicsItemGroup;
class QTransform;

// Helpers shared by the two scan displays: both draw one small square per measurement
// in a scene of 10 mm per unit with the scanner at the origin and scene y pointing down.

// Scene position of a measurement at angleDeg (counter-clockwise from the scanner's
// right) and rangeMm. The angle is taken to radians with 3.14159 in single precision,
// as the scanner's own software does, so points land where the device says they are.
QPointF scanPointPosition(float angleDeg, ushort rangeMm);

// Screen pixels per scene unit of a view transform.
qreal viewZoom(const QTransform &transform);

// Scale of a point square: 4 screen pixels wide once zoomed in, shrinking with the scene
// when zoomed out.
qreal pointItemScale(qreal zoom);

// Gives the group exactly count point squares (rectangle (-2, -2, 4, 4)) and returns
// them in child order. The squares are kept from scan to scan; when the count changes,
// spare squares are hidden and missing ones added, so a stream whose scans differ in
// length (a damaged frame drops 90 points) does not rebuild the whole set each time.
// The returned vector holds only the count squares in use; callers show or hide each
// of them themselves.
QVector<QGraphicsItem *> pointItems(QGraphicsItemGroup *group, int count);
