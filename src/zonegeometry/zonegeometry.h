#pragma once

#include "zoneblock.h"

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QPoint>
#include <QPointF>
#include <QVector>

// Zone geometry as plain functions. Scene units are 10 mm with the scanner at the origin
// and scene y pointing down; millimetres are whole numbers in the device frame (y forward).
namespace ZoneGeometry {

// Vertex handles form a fixed pool; an area never has more vertices than handles, which is
// also what one zone block of the scanner holds.
constexpr int kHandleCount = 540;

// A handle's top-left corner stays within this square, so its centre lies within
// [-995, 1005] scene units on each axis. A vertex may lie farther out (typed, or from a
// store); its handle then sits at the edge of the square.
constexpr qreal kHandleLimit = 1000.0;

// Whole millimetres of a scene coordinate, truncated toward zero.
int sceneXToMm(qreal x);
int sceneYToMm(qreal y);
QPoint sceneToMm(const QPointF &p);
QPointF mmToScene(int x, int y);

// World angle of a scene point in radians, counter-clockwise from the scanner's right.
qreal worldAngle(const QPointF &p);
// Degrees as the arc build counts them: the divisor is pi held in single precision.
qreal arcDegrees(qreal radians);

// Vertices by decreasing world angle: the left half (x < 0) first, then the right half,
// each sorted by adjacent exchange on y / x. A vertex on the scanner has no slope and is
// never exchanged, so the vertices before and after it sort separately.
QVector<QPointF> angularOrder(const QVector<QPointF> &vertices);

// The field of view as the sector item reports its shape: the pie of radius 1000 from
// -45 degrees over 270, widened by the stroke of the item's default pen.
QPainterPath fieldOfViewShape();
QPainterPath clipToFieldOfView(const QPainterPath &path);

// The sectors drawn over the grid, as pies of radius 1000 in scene units: the field of
// view from -45 degrees over 270 (outlined with the default pen, no fill), and the blind
// sector behind the scanner from -135 degrees over 90 (filled grey). Both at kSectorOpacity.
QPainterPath fieldOfViewSector();
QPainterPath blindSector();
constexpr qreal kSectorOpacity = 0.6;
// The fill of area 0 (attention, yellow), 1 (warning, orange) and 2 (alarm, red), and the
// opacity an outline is drawn with while it is not selected.
QColor zoneColor(int area);
constexpr qreal kZoneOpacity = 0.3;

// Fan of the vertices in angular order, closed through the scanner, clipped. An empty
// vertex list gives an empty path (the editor then keeps the outline it has).
QPainterPath polygonZonePath(const QVector<QPointF> &vertices);

// Sector between the directions of vertices 0 and 1 with the given radius, clipped. The
// ends are pinned out of the blind sector, so the sweep always runs through the front.
QPainterPath arcSectorPath(const QPointF &p0, const QPointF &p1, qreal radius);

struct ArcZone
{
    QVector<QPointF> vertices; // with the partner vertex pulled onto the radius
    int pulledVertex = -1;     // the vertex that was moved, -1 when none
    QPainterPath path;
};
// The editor's arc build: the radius comes from the moved vertex m and the other vertex
// is pulled onto it (vertex 1 when m is 0, else vertex 0). Fewer than two vertices, or m
// outside the list, draw nothing.
ArcZone buildArcZone(const QVector<QPointF> &vertices, int movedVertex);
// Draw-only arc build for copies of stored zones: radius from vertex 0, nothing moved.
QPainterPath arcZonePath(const QVector<QPointF> &vertices);

// The outline of an area as stored (whole millimetres, device frame), built as the
// running-status view builds it: the polygon and rectangle builds, the draw-only arc build.
// An area without a shape gets an empty outline; false, with *outline untouched, for the
// single-value types, which have none.
bool storedAreaOutline(const ZoneAreaRecord &area, QPainterPath *outline);

// Moves the other arc vertex to the distance of vertex k's new position v, at its own
// angle. Returns the vertex list with both changes.
QVector<QPointF> syncArcRadius(QVector<QPointF> vertices, int k, const QPointF &v);
// The point at the given distance from the scanner in the direction of p.
QPointF atRadius(const QPointF &p, qreal radius);

struct RectangleZone
{
    QVector<QPointF> corners; // four corners in the order the outline leaves them
    QPainterPath path;        // corners plus the scanner, clipped
};
// Bounding rectangle of the vertices, joined to the scanner from the side facing it.
RectangleZone buildRectangleZone(const QVector<QPointF> &vertices);

// Sets rectangle vertex k to v and keeps the four vertices a rectangle, whatever order
// its corners are in: the corner opposite k (the farthest one) stays, and of the other
// two the one that shared x with k takes v's x, the other v's y. Where the corners do not
// tell (a rectangle without area), 0 and 1 share x, 1 and 2 y, 2 and 3 x, 3 and 0 y, as in
// a new rectangle. Lists of fewer than four vertices, or k outside 0..3, are returned with
// only vertex k set (when it exists).
QVector<QPointF> coupleRectangle(QVector<QPointF> vertices, int k, const QPointF &v);

// Metric grid over +-10 m in the grid item's own coordinates (the item sits at
// (-1000, -1000)): a line every 1000 mm, labelled in millimetres on both axes.
QPainterPath gridPath(const QFont &labelFont);
QFont gridLabelFont();

} // namespace ZoneGeometry
