#pragma once

#include <QPoint>
#include <QVector>

// A zone drawn from what the scanner sees: the space the last scans leave free, kept a
// margin away from every echo, simplified inward, as a polygon around the scanner.

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
    int tolerance = 20; // mm the simplified outline may lie inside the unsimplified one
    int maxVertices = 540;
};

// The field of view the zone is kept to: the directions from -45 to 225 degrees out to
// 10 m; a direction with no echo in any scan reaches this edge.
constexpr double kZoneFieldStartDeg = -45.0;
constexpr double kZoneFieldEndDeg = 225.0;
constexpr double kZoneFieldRadiusMm = 10000.0;
// The zone keeps this much from the scanner itself: a vertex on the scanner has no
// direction, and the outline could not be ordered around it.
constexpr double kZoneMinReachMm = 10.0;

// An echo the zone cannot keep the margin from: it lies nearer to the scanner than the
// margin (and the few millimetres the zone keeps from the scanner).
struct NearEcho
{
    double degrees = 0;
    int range = 0; // mm
};

struct ZoneFromScanResult
{
    // The polygon's vertices in whole millimetres of the device frame (x to the right, y
    // forward), by increasing angle; the zone is their fan around the scanner.
    QVector<QPoint> vertices;
    // The directions left out down to the scanner, one per direction (its nearest echo),
    // by angle.
    QVector<NearEcho> nearEchoes;
};

// For each measured direction the nearest echo over all scans is taken. Every echo then
// lies at least the margin from the zone (up to a millimetre of rounding), not only along
// its own direction: the outline stops where a ray first comes within the margin of any
// echo, follows the circle of the margin around an echo to where its rays pass it by,
// and no straight piece between two vertices cuts a corner into that circle. An echo
// nearer to the scanner than the margin cannot be kept at it: the zone leaves out the
// directions around it (at least 2 degrees each side) down to 10 mm from the scanner,
// and the echo is named in nearEchoes. Directions outside the field of view are left out,
// and so are stretches of more than a degree where no scan measured; with no direction in
// the field of view the result is empty.
//
// The outline is then simplified inward only: it may lie up to the tolerance inside the
// unsimplified one, never outside it, and the tolerance is raised until at most
// maxVertices remain. Vertices are truncated toward the scanner to whole millimetres.
ZoneFromScanResult makeZoneFromScan(const QVector<ScanSweep> &scans,
                                    const ZoneFromScanSettings &settings = ZoneFromScanSettings());
// The vertices alone.
QVector<QPoint> zoneFromScan(const QVector<ScanSweep> &scans,
                             const ZoneFromScanSettings &settings = ZoneFromScanSettings());
