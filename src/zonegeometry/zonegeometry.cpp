#include "zonegeometry.h"

#include "areasettings.h"

#include <QPainterPathStroker>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cmath>

namespace ZoneGeometry {

namespace {

// Adjacent-exchange sort on the slope y / x. Kept as written rather than replaced by a
// library sort: a vertex on the scanner has a not-a-number slope that compares neither
// way, and its neighbours must stay on their side of it.
void sortBySlope(QVector<QPointF> &list)
{
    const int n = list.size();
    QVector<qreal> slope(n);
    for (int i = 0; i < n; ++i)
        slope[i] = list[i].y() / list[i].x();
    for (int upper = n - 1; upper >= 1; --upper) {
        for (int k = 1; k <= upper; ++k) {
            const qreal qa = slope[k - 1];
            const qreal qb = slope[k];
            if (qa > qb || (qa == qb && list[k].y() < list[k - 1].y())) {
                std::swap(list[k - 1], list[k]);
                std::swap(slope[k - 1], slope[k]);
            }
        }
    }
}

qreal pinnedDegrees(qreal degrees)
{
    if (degrees < -46)
        degrees += 360;
    if (degrees > 225 && degrees <= 270)
        degrees = 225;
    else if (degrees > 270 && degrees <= 315)
        degrees = -45;
    return degrees;
}

QPainterPath sectorPath(qreal a0, qreal a1, qreal radius)
{
    const qreal d0 = pinnedDegrees(arcDegrees(a0));
    const qreal d1 = pinnedDegrees(arcDegrees(a1));
    const qreal start = std::min(d0, d1);
    const qreal sweep = std::max(d0, d1) - start;
    QPainterPath path;
    path.moveTo(0, 0);
    path.arcTo(QRectF(-radius, -radius, 2 * radius, 2 * radius), start, sweep);
    path.closeSubpath();
    return clipToFieldOfView(path);
}

QPainterPath closedToScanner(QPolygonF polygon)
{
    polygon << QPointF(0, 0);
    QPainterPath path;
    path.addPolygon(polygon);
    return clipToFieldOfView(path);
}

} // namespace

int sceneXToMm(qreal x)
{
    return int(std::trunc(x * 10));
}

int sceneYToMm(qreal y)
{
    return -int(std::trunc(y * 10));
}

QPoint sceneToMm(const QPointF &p)
{
    return QPoint(sceneXToMm(p.x()), sceneYToMm(p.y()));
}

QPointF mmToScene(int x, int y)
{
    return QPointF(x / 10.0, -y / 10.0);
}

qreal worldAngle(const QPointF &p)
{
    return std::atan2(-p.y(), p.x());
}

qreal arcDegrees(qreal radians)
{
    return radians * 180 / qreal(3.14159f);
}

QVector<QPointF> angularOrder(const QVector<QPointF> &vertices)
{
    QVector<QPointF> left;
    QVector<QPointF> right;
    for (const QPointF &p : vertices) {
        if (p.x() < 0)
            left.append(p);
        else
            right.append(p);
    }
    sortBySlope(left);
    sortBySlope(right);
    return left + right;
}

QPainterPath fieldOfViewShape()
{
    QPainterPath pie;
    const QRectF rect(-1000, -1000, 2000, 2000);
    pie.moveTo(rect.center());
    pie.arcTo(rect, -720 / 16.0, 4320 / 16.0);
    const QPen pen;
    QPainterPathStroker stroker;
    stroker.setCapStyle(pen.capStyle());
    stroker.setWidth(pen.widthF());
    stroker.setJoinStyle(pen.joinStyle());
    stroker.setMiterLimit(pen.miterLimit());
    QPainterPath shape = stroker.createStroke(pie);
    shape.addPath(pie);
    return shape;
}

QPainterPath clipToFieldOfView(const QPainterPath &path)
{
    static const QPainterPath fieldOfView = fieldOfViewShape();
    return fieldOfView.intersected(path);
}

namespace {
QPainterPath pie(qreal startDegrees, qreal spanDegrees)
{
    const QRectF rect(-1000, -1000, 2000, 2000);
    QPainterPath path;
    path.moveTo(rect.center());
    path.arcTo(rect, startDegrees, spanDegrees);
    path.closeSubpath();
    return path;
}
} // namespace

QPainterPath fieldOfViewSector()
{
    return pie(-45, 270);
}

QPainterPath blindSector()
{
    return pie(-135, 90);
}

QColor zoneColor(int area)
{
    switch (area) {
    case 0:
        return QColor(Qt::yellow);
    case 1:
        return QColor(255, 128, 0);
    default:
        return QColor(Qt::red);
    }
}

QPainterPath polygonZonePath(const QVector<QPointF> &vertices)
{
    if (vertices.isEmpty())
        return QPainterPath();
    return closedToScanner(QPolygonF(angularOrder(vertices)));
}

QPainterPath arcSectorPath(const QPointF &p0, const QPointF &p1, qreal radius)
{
    return sectorPath(worldAngle(p0), worldAngle(p1), radius);
}

QPointF atRadius(const QPointF &p, qreal radius)
{
    const qreal a = worldAngle(p);
    return QPointF(radius * std::cos(a), -radius * std::sin(a));
}

ArcZone buildArcZone(const QVector<QPointF> &vertices, int movedVertex)
{
    ArcZone arc;
    arc.vertices = vertices;
    if (vertices.size() < 2 || movedVertex < 0 || movedVertex >= vertices.size())
        return arc;
    const qreal radius = std::hypot(vertices[movedVertex].x(), vertices[movedVertex].y());
    arc.pulledVertex = movedVertex != 0 ? 0 : 1;
    arc.vertices[arc.pulledVertex] = atRadius(vertices[arc.pulledVertex], radius);
    // Angles from the vertices as given: a partner pulled onto a zero radius has none.
    arc.path = sectorPath(worldAngle(vertices[0]), worldAngle(vertices[1]), radius);
    return arc;
}

QPainterPath arcZonePath(const QVector<QPointF> &vertices)
{
    if (vertices.size() < 2)
        return QPainterPath();
    return arcSectorPath(vertices[0], vertices[1], std::hypot(vertices[0].x(), vertices[0].y()));
}

bool storedAreaOutline(const ZoneAreaRecord &area, QPainterPath *outline)
{
    QVector<QPointF> points;
    points.reserve(area.points.size());
    for (const QPoint &p : area.points)
        points.append(mmToScene(p.x(), p.y()));
    switch (area.regionType) {
    case NoRegion:
        *outline = QPainterPath();
        return true;
    case PolygonRegion:
        *outline = polygonZonePath(points);
        return true;
    case ArcRegion:
        *outline = arcZonePath(points);
        return true;
    case RectangleRegion:
        *outline = buildRectangleZone(points).path;
        return true;
    default:
        return false;
    }
}

QVector<QPointF> syncArcRadius(QVector<QPointF> vertices, int k, const QPointF &v)
{
    if (k < 0 || k >= vertices.size())
        return vertices;
    vertices[k] = v;
    const int other = k == 0 ? 1 : 0;
    if (k <= 1 && other < vertices.size())
        vertices[other] = atRadius(vertices[other], std::hypot(v.x(), v.y()));
    return vertices;
}

RectangleZone buildRectangleZone(const QVector<QPointF> &vertices)
{
    RectangleZone zone;
    // No vertices span the empty rectangle at the scanner.
    const QPointF first = vertices.isEmpty() ? QPointF(0, 0) : vertices[0];
    qreal left = first.x(), right = left;
    qreal top = first.y(), bottom = top;
    for (const QPointF &p : vertices) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    if (right < 0 && bottom > 0)
        zone.corners = {{right, bottom}, {left, bottom}, {left, top}, {right, top}};
    else if (left > 0 && bottom > 0)
        zone.corners = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    else
        zone.corners = {{left, bottom}, {left, top}, {right, top}, {right, bottom}};
    zone.path = closedToScanner(QPolygonF(zone.corners));
    return zone;
}

QVector<QPointF> coupleRectangle(QVector<QPointF> vertices, int k, const QPointF &v)
{
    if (k < 0 || k >= vertices.size())
        return vertices;
    if (vertices.size() < 4 || k > 3) {
        vertices[k] = v;
        return vertices;
    }
    const QPointF corner = vertices[k];
    auto distance = [&corner](const QPointF &p) {
        return std::hypot(p.x() - corner.x(), p.y() - corner.y());
    };
    // The diagonal is the longest line between two corners; on a tie, the corner two on.
    int opposite = (k + 2) % 4;
    for (int i = 0; i < 4; ++i)
        if (i != k && distance(vertices[i]) > distance(vertices[opposite]))
            opposite = i;

    static const int sharesX[4] = {1, 0, 3, 2};
    int xPartner = -1;
    int yPartner = -1;
    for (int i = 0; i < 4; ++i) {
        if (i == k || i == opposite)
            continue;
        (xPartner < 0 ? xPartner : yPartner) = i;
    }
    if (yPartner == sharesX[k])
        std::swap(xPartner, yPartner);
    const qreal asNumbered = std::abs(vertices[xPartner].x() - corner.x()) +
                             std::abs(vertices[yPartner].y() - corner.y());
    const qreal swapped = std::abs(vertices[yPartner].x() - corner.x()) +
                          std::abs(vertices[xPartner].y() - corner.y());
    if (swapped < asNumbered)
        std::swap(xPartner, yPartner);

    const QPointF across = vertices[opposite];
    vertices[k] = v;
    vertices[xPartner] = QPointF(v.x(), across.y());
    vertices[yPartner] = QPointF(across.x(), v.y());
    return vertices;
}

QFont gridLabelFont()
{
    QFont font;
    font.setStyleHint(QFont::Serif, QFont::PreferAntialias);
    font.setWeight(QFont::Bold);
    return font;
}

QPainterPath gridPath(const QFont &labelFont)
{
    QPainterPath path;
    for (int k = 0; k <= 20; ++k) {
        const int m = 100 * k;
        const int world = 1000 * k - 10000;
        path.moveTo(m, 0);
        path.lineTo(m, 2000);
        path.moveTo(0, m);
        path.lineTo(2000, m);
        path.addText(QPointF(995, m), labelFont, QString::number(-world));
        path.addText(QPointF(m - 5, 1000), labelFont, QString::number(world));
    }
    return path;
}

} // namespace ZoneGeometry
