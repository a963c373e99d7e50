#pragma once

#include <QPoint>
#include <QVector>

// A zone drawn from what the scanner sees: for each measured direction the nearest echo
// of the last scans, kept a margin away, simplified, as a polygon around the scanner.

// One scan as both scan displays get it: angles in degrees, ranges in millimetres (0 for
// no echo), of equal length.
struct ScanSweep
{
    QVector<float> angles;
    QVector<ushort> ranges;
};

struct ZoneFromScanSettings
{
    int margin = 100;   // mm every point of the zone keeps from every echo
    int tolerance = 20; // mm the simplified outline may depart from the unsimplified one
    int maxVertices = 540;
};

// The field of view the zone is kept to: the directions from -45 to 225 degrees out to
// 10 m; a direction with no echo in any scan reaches this edge.
constexpr double kZoneFieldStartDeg = -45.0;
constexpr double kZoneFieldEndDeg = 225.0;
constexpr double kZoneFieldRadiusMm = 10000.0;

// The polygon's vertices in whole millimetres of the device frame (x to the right, y
// forward), by increasing angle; the zone is their fan around the scanner. Directions
// outside the field of view are left out; with no direction in it the result is empty.
//
// For each direction the nearest echo over all scans is taken. The outline then keeps
// margin from every echo, not only along its own direction: it stops where the ray first
// comes within margin of any echo, so a wall met at a slant is kept margin away too (an
// echo nearer to the scanner than the margin closes only its own direction, down to a
// vertex 10 mm from the scanner). The points
// are simplified (Douglas-Peucker with the tolerance, more coarsely if still over
// maxVertices) and truncated towards the scanner to whole millimetres.
QVector<QPoint> zoneFromScan(const QVector<ScanSweep> &scans,
                             const ZoneFromScanSettings &settings = ZoneFromScanSettings());
