#include "zonefromscan.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kDegToRad = M_PI / 180.0;
// A direction closed by an echo at the scanner still gets a vertex just off it: a vertex
// on the scanner itself has no direction, and the zone's outline could not be ordered
// around it.
constexpr double kMinReachMm = 10.0;

struct Direction
{
    double angle; // radians
    double echo;  // mm, 0 for none
    double reach; // mm the zone reaches along it
};

// Nearest echo per measured direction, directions in increasing order; an angle is the
// same direction in every scan when its thousandths of a degree agree.
QVector<Direction> nearestEchoes(const QVector<ScanSweep> &scans)
{
    QVector<std::pair<int, int>> samples; // millidegrees, range (0 none)
    for (const ScanSweep &scan : scans) {
        const int n = std::min(scan.angles.size(), scan.ranges.size());
        for (int i = 0; i < n; ++i) {
            const double a = scan.angles.at(i);
            if (!(a >= kZoneFieldStartDeg && a <= kZoneFieldEndDeg))
                continue;
            samples.append({int(std::lround(a * 1000)), int(scan.ranges.at(i))});
        }
    }
    std::sort(samples.begin(), samples.end());
    QVector<Direction> out;
    for (int i = 0; i < samples.size();) {
        const int key = samples.at(i).first;
        int nearest = 0;
        for (; i < samples.size() && samples.at(i).first == key; ++i) {
            const int r = samples.at(i).second;
            if (r > 0 && (nearest == 0 || r < nearest))
                nearest = r;
        }
        out.append({key / 1000.0 * kDegToRad, double(nearest), kZoneFieldRadiusMm});
    }
    return out;
}

// Where the ray at angle theta first comes within margin of the echo at (rho, phi):
// the near intersection with the circle of radius margin around it, or -1 when it passes.
double entryDistance(double theta, double rho, double phi, double margin)
{
    const double delta = theta - phi;
    const double cross = rho * std::sin(delta);
    const double along = rho * std::cos(delta);
    if (along <= 0 || std::abs(cross) >= margin)
        return -1;
    return std::max(0.0, along - std::sqrt(margin * margin - cross * cross));
}

// Pulls every direction in so that it keeps margin from every echo.
void keepMargin(QVector<Direction> &dirs, double margin)
{
    const int n = dirs.size();
    for (int j = 0; j < n; ++j) {
        const double rho = dirs.at(j).echo;
        if (rho <= 0)
            continue;
        const double phi = dirs.at(j).angle;
        if (rho <= margin) {
            dirs[j].reach = 0;
            continue;
        }
        dirs[j].reach = std::min(dirs.at(j).reach, rho - margin);
        // The directions the circle around this echo covers lie within this angle of it.
        const double halfWidth = std::asin(margin / rho);
        for (int step : {-1, 1}) {
            for (int i = j + step; i >= 0 && i < n; i += step) {
                if (std::abs(dirs.at(i).angle - phi) >= halfWidth)
                    break;
                const double t = entryDistance(dirs.at(i).angle, rho, phi, margin);
                if (t >= 0)
                    dirs[i].reach = std::min(dirs.at(i).reach, t);
            }
        }
    }
}

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    double t = len2 > 0 ? ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF q = a + d * t - p;
    return std::hypot(q.x(), q.y());
}

// Douglas-Peucker over the open polyline; both ends stay.
QVector<QPointF> simplify(const QVector<QPointF> &points, double tolerance)
{
    const int n = points.size();
    if (n <= 2)
        return points;
    QVector<bool> keep(n, false);
    keep[0] = keep[n - 1] = true;
    QVector<std::pair<int, int>> spans{{0, n - 1}};
    while (!spans.isEmpty()) {
        const auto [first, last] = spans.takeLast();
        double worst = -1;
        int at = -1;
        for (int i = first + 1; i < last; ++i) {
            const double d = distanceToSegment(points.at(i), points.at(first), points.at(last));
            if (d > worst) {
                worst = d;
                at = i;
            }
        }
        if (at >= 0 && worst > tolerance) {
            keep[at] = true;
            spans.append({first, at});
            spans.append({at, last});
        }
    }
    QVector<QPointF> out;
    for (int i = 0; i < n; ++i)
        if (keep.at(i))
            out.append(points.at(i));
    return out;
}

} // namespace

QVector<QPoint> zoneFromScan(const QVector<ScanSweep> &scans, const ZoneFromScanSettings &settings)
{
    QVector<Direction> dirs = nearestEchoes(scans);
    keepMargin(dirs, std::max(0, settings.margin));

    QVector<QPointF> outline;
    outline.reserve(dirs.size());
    for (const Direction &d : qAsConst(dirs)) {
        const double reach = std::max(d.reach, kMinReachMm);
        outline.append(QPointF(reach * std::cos(d.angle), reach * std::sin(d.angle)));
    }

    // A tolerance of 0 still drops points that lie on the line of their neighbours.
    const int limit = std::max(2, settings.maxVertices);
    double tolerance = std::max(0, settings.tolerance);
    QVector<QPointF> simple = simplify(outline, tolerance);
    while (simple.size() > limit) {
        tolerance = tolerance > 0 ? tolerance * 1.5 : 1.0;
        simple = simplify(outline, tolerance);
    }

    QVector<QPoint> vertices;
    vertices.reserve(simple.size());
    for (const QPointF &p : qAsConst(simple)) {
        // Truncation brings both coordinates towards 0, so the vertex never moves outwards.
        const QPoint v(int(std::trunc(p.x())), int(std::trunc(p.y())));
        if (vertices.isEmpty() || vertices.constLast() != v)
            vertices.append(v);
    }
    return vertices;
}
