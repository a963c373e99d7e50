#include "zonefromscan.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kDegToRad = M_PI / 180.0;
// Truncating a vertex to whole millimetres moves it by up to 1.42 mm; the outline keeps
// this much more than the margin, so that what is left after rounding is within a
// millimetre of it. Of the rest, a straight piece may cut this much into the circle
// around an echo (two neighbouring points on the circle, a hair apart), which spares
// pulling ends in for nothing.
constexpr double kRoundingMm = 1.0;
constexpr double kSlackMm = 0.25;
// Around an echo the margin cannot be kept from, the directions left out reach at least
// this far each side, and far enough that the echo lies this much outside the zone.
constexpr double kNotchMinRad = 2.0 * kDegToRad;
constexpr double kNotchClearanceMm = 3.0;
// A wider stretch without any measurement is left out: nothing is known of it.
constexpr double kMaxGapRad = 1.0 * kDegToRad;
// A straight piece of the outline spans less than half a turn, so that it stays in the
// sector between its ends (in the field of view, on the scanner's side of every echo).
constexpr double kMaxSpanRad = M_PI - 1e-6;

struct Echo
{
    double angle;          // radians
    double range;          // mm
    double reachWidth = 0; // radians each side in which rays pass within the margin
};

// The measured directions with their nearest echo over all scans, and the nearest among
// the echoes far enough out for the margin to be kept (0 for none of either); an angle
// is the same direction in every scan when its thousandths of a degree agree.
struct Measured
{
    int milli; // thousandths of a degree
    double angle;
    int nearest;
    int nearestFar;
};

QVector<Measured> measure(const QVector<ScanSweep> &scans, int farFrom)
{
    QVector<std::pair<int, int>> samples; // millidegrees, range (0 none)
    int total = 0;
    for (const ScanSweep &scan : scans)
        total += std::min(scan.angles.size(), scan.ranges.size());
    samples.reserve(total);
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
    QVector<Measured> out;
    for (int i = 0; i < samples.size();) {
        const int key = samples.at(i).first;
        Measured m{key, key / 1000.0 * kDegToRad, 0, 0};
        for (; i < samples.size() && samples.at(i).first == key; ++i) {
            const int r = samples.at(i).second;
            if (r > 0 && (m.nearest == 0 || r < m.nearest))
                m.nearest = r;
            if (r >= farFrom && (m.nearestFar == 0 || r < m.nearestFar))
                m.nearestFar = r;
        }
        out.append(m);
    }
    return out;
}

QPointF along(double angle, double distance)
{
    return QPointF(distance * std::cos(angle), distance * std::sin(angle));
}

double cross(const QPointF &a, const QPointF &b)
{
    return a.x() * b.y() - a.y() * b.x();
}

double dot(const QPointF &a, const QPointF &b)
{
    return a.x() * b.x() + a.y() * b.y();
}

// Squared, so that comparisons need no root.
double squaredDistanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF d = b - a;
    const double len2 = dot(d, d);
    const double t = len2 > 0 ? std::clamp(dot(p - a, d) / len2, 0.0, 1.0) : 0.0;
    const QPointF q = a + d * t - p;
    return dot(q, q);
}

bool keepsDistance(const QPointF &p, const QPointF &a, const QPointF &b, double distance)
{
    return squaredDistanceToSegment(p, a, b) >= distance * distance;
}

// Where the ray along the unit vector u first comes within margin of the echo at p: the
// near intersection with the circle of radius margin around it, or -1 when it passes by.
double entryDistance(const QPointF &u, const QPointF &p, double margin)
{
    const double side = cross(u, p);
    const double ahead = dot(u, p);
    if (ahead <= 0 || std::abs(side) >= margin)
        return -1;
    return ahead - std::sqrt(margin * margin - side * side);
}

// The fan the outline is built on: a direction per measurement, per edge of the circle
// around each echo (so that the outline can follow it to where the rays pass it by), per
// edge of a left-out stretch, and how far the zone may reach along each.
class Fan
{
public:
    QVector<double> angles;
    QVector<QPointF> units; // along each direction, 1 mm
    QVector<double> reach;

    int firstAtOrAfter(double angle) const
    {
        return int(std::lower_bound(angles.cbegin(), angles.cend(), angle) - angles.cbegin());
    }
    int lastAtOrBefore(double angle) const
    {
        return int(std::upper_bound(angles.cbegin(), angles.cend(), angle) - angles.cbegin()) - 1;
    }
    QPointF point(int i) const { return units.at(i) * reach.at(i); }
};

// The largest distance in [kZoneMinReachMm, far] along direction u at which the segment
// from the fixed point stays at least margin from the echo, or -1 when even the nearest
// one does not. The distances that come too near form one interval that reaches to far,
// so the boundary is found by halving.
double keepClear(const QPointF &echo, const QPointF &fixed, const QPointF &unit, double far,
                 double margin)
{
    const auto clear = [&](double s) {
        return keepsDistance(echo, fixed, unit * s, margin - kSlackMm);
    };
    double lo = kZoneMinReachMm;
    if (!clear(lo))
        return -1;
    double hi = far;
    for (int i = 0; i < 48 && hi - lo > 1e-6; ++i) {
        const double mid = (lo + hi) / 2;
        (clear(mid) ? lo : hi) = mid;
    }
    return lo;
}

// Pulls ends in until no straight piece between neighbouring directions comes within the
// margin of an echo. Pulling an end in only shrinks the two pieces that meet there, so
// one pass over every piece near every echo is enough.
void clearCorners(Fan &fan, const QVector<Echo> &echoes, double margin)
{
    const int n = fan.angles.size();
    for (const Echo &e : echoes) {
        const QPointF p = along(e.angle, e.range);
        const int lo = std::max(0, fan.firstAtOrAfter(e.angle - e.reachWidth) - 1);
        const int hi = std::min(n - 2, fan.lastAtOrBefore(e.angle + e.reachWidth));
        for (int i = lo; i <= hi; ++i) {
            const QPointF a = fan.point(i);
            const QPointF b = fan.point(i + 1);
            if (keepsDistance(p, a, b, margin - kSlackMm))
                continue;
            // Of the two ends, the one whose pull keeps the larger triangle.
            const double b2 = keepClear(p, a, fan.units.at(i + 1), fan.reach.at(i + 1), margin);
            const double a2 = keepClear(p, b, fan.units.at(i), fan.reach.at(i), margin);
            if (b2 < 0 && a2 < 0) {
                fan.reach[i] = fan.reach[i + 1] = kZoneMinReachMm;
            } else if (a2 < 0 || (b2 >= 0 && fan.reach.at(i) * b2 >= a2 * fan.reach.at(i + 1))) {
                fan.reach[i + 1] = b2;
            } else {
                fan.reach[i] = a2;
            }
        }
    }
}

// Whether one straight piece from start (the end of the previous piece, on direction
// from) can replace the vertices up to direction to, and where it ends: pulled in along
// to (by at most the tolerance) until it passes on the scanner's side of every vertex it
// replaces, none of which may lie more than the tolerance outside it.
bool pieceFits(const Fan &fan, int from, const QPointF &start, int to, double tolerance,
               QPointF *end)
{
    if (fan.angles.at(to) - fan.angles.at(from) >= kMaxSpanRad)
        return false;
    // Each replaced vertex bounds how far along its direction the end may lie: beyond
    // that the piece would pass outside it.
    const QPointF &u = fan.units.at(to);
    double reach = fan.reach.at(to);
    for (int k = from + 1; k < to; ++k) {
        const QPointF v = fan.point(k) - start;
        const double turn = cross(u, v);
        if (turn > 0)
            reach = std::min(reach, cross(start, v) / turn);
    }
    if (fan.reach.at(to) - reach > tolerance || reach < kZoneMinReachMm)
        return false;
    *end = u * reach;
    for (int k = from + 1; k < to; ++k) {
        if (squaredDistanceToSegment(fan.point(k), start, *end) > tolerance * tolerance)
            return false;
    }
    return true;
}

// Fewer vertices, the outline only moving inward: each straight piece runs from the end
// of the previous one as far on as one piece fits (found by doubling, then halving: a
// longer piece that fits is as good as the longest).
QVector<QPointF> simplifyInward(const Fan &fan, double tolerance)
{
    const int n = fan.angles.size();
    QVector<QPointF> out;
    if (n == 0)
        return out;
    QPointF start = fan.point(0);
    out.append(start);
    int from = 0;
    while (from < n - 1) {
        int fits = from + 1;
        QPointF end = fan.point(from + 1);
        QPointF candidate;
        int step = 1;
        int fails = n;
        while (fits + step < n) {
            if (!pieceFits(fan, from, start, fits + step, tolerance, &candidate)) {
                fails = fits + step;
                break;
            }
            fits += step;
            end = candidate;
            step *= 2;
        }
        int lo = fits;
        int hi = std::min(fails, n);
        while (hi - lo > 1) {
            const int mid = (lo + hi) / 2;
            if (pieceFits(fan, from, start, mid, tolerance, &candidate)) {
                lo = mid;
                end = candidate;
            } else {
                hi = mid;
            }
        }
        out.append(end);
        start = end;
        from = lo;
    }
    return out;
}

} // namespace

ZoneFromScanResult makeZoneFromScan(const QVector<ScanSweep> &scans,
                                    const ZoneFromScanSettings &settings)
{
    ZoneFromScanResult result;
    const double margin = std::max(0, settings.margin) + kRoundingMm;
    // Nearer than this, the zone would have to come closer to the scanner than it may.
    const double farFrom = margin + kZoneMinReachMm;
    const QVector<Measured> measured = measure(scans, int(std::ceil(farFrom)));
    if (measured.isEmpty())
        return result;
    const double first = measured.constFirst().angle;
    const double last = measured.constLast().angle;

    QVector<Echo> far;
    QVector<std::pair<double, double>> leftOut; // angle intervals
    Fan fan;
    const auto addAngle = [&](double a) {
        if (a >= first && a <= last)
            fan.angles.append(a);
    };
    for (int i = 0; i < measured.size(); ++i) {
        const Measured &m = measured.at(i);
        fan.angles.append(m.angle);
        if (i > 0 && m.angle - measured.at(i - 1).angle > kMaxGapRad) {
            const double from = measured.at(i - 1).angle;
            leftOut.append({from + 1e-9, m.angle - 1e-9});
            for (double a = from + kMaxGapRad / 2; a < m.angle; a += kMaxGapRad / 2)
                fan.angles.append(a);
        }
        if (m.nearestFar > 0) {
            Echo e{m.angle, double(m.nearestFar)};
            e.reachWidth = std::asin(margin / e.range);
            // Just inside the edges, where the ray still touches the circle.
            addAngle(e.angle - e.reachWidth * (1 - 1e-9));
            addAngle(e.angle + e.reachWidth * (1 - 1e-9));
            far.append(e);
        }
        if (m.nearest > 0 && m.nearest < farFrom) {
            Echo e{m.angle, double(m.nearest)};
            e.reachWidth =
                std::max(kNotchMinRad, std::asin(std::min(1.0, kNotchClearanceMm / e.range)));
            leftOut.append({e.angle - e.reachWidth, e.angle + e.reachWidth});
            addAngle(e.angle - e.reachWidth);
            addAngle(e.angle + e.reachWidth);
            result.nearEchoes.append({m.milli / 1000.0, m.nearest});
        }
    }
    std::sort(fan.angles.begin(), fan.angles.end());
    fan.angles.erase(std::unique(fan.angles.begin(), fan.angles.end(),
                                 [](double a, double b) { return b - a < 1e-12; }),
                     fan.angles.end());
    const int n = fan.angles.size();
    fan.units.reserve(n);
    for (double a : qAsConst(fan.angles))
        fan.units.append(along(a, 1.0));

    fan.reach.fill(kZoneFieldRadiusMm, n);
    for (const auto &interval : qAsConst(leftOut)) {
        for (int i = std::max(0, fan.firstAtOrAfter(interval.first));
             i < n && fan.angles.at(i) <= interval.second; ++i)
            fan.reach[i] = kZoneMinReachMm;
    }
    for (const Echo &e : qAsConst(far)) {
        const QPointF p = along(e.angle, e.range);
        const int hi = fan.lastAtOrBefore(e.angle + e.reachWidth);
        for (int i = fan.firstAtOrAfter(e.angle - e.reachWidth); i <= hi; ++i) {
            const double t = entryDistance(fan.units.at(i), p, margin);
            if (t >= 0)
                fan.reach[i] = std::max(kZoneMinReachMm, std::min(fan.reach.at(i), t));
        }
    }
    clearCorners(fan, far, margin);

    const int limit = std::max(3, settings.maxVertices);
    double tolerance = std::max(0, settings.tolerance);
    QVector<QPointF> simple = simplifyInward(fan, tolerance);
    // Past the size of the field nothing more can be dropped; the left-out directions
    // keep a few vertices each whatever the tolerance.
    while (simple.size() > limit && tolerance < 2 * kZoneFieldRadiusMm) {
        tolerance = tolerance > 0 ? tolerance * 1.5 : 1.0;
        simple = simplifyInward(fan, tolerance);
    }

    result.vertices.reserve(simple.size());
    for (const QPointF &p : qAsConst(simple)) {
        const QPoint v(int(std::trunc(p.x())), int(std::trunc(p.y())));
        if (result.vertices.isEmpty() || result.vertices.constLast() != v)
            result.vertices.append(v);
    }
    return result;
}

QVector<QPoint> zoneFromScan(const QVector<ScanSweep> &scans, const ZoneFromScanSettings &settings)
{
    return makeZoneFromScan(scans, settings).vertices;
}
