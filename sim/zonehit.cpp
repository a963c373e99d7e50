#include "zonehit.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kReachMm = 10000.0;
constexpr double kPi = 3.14159265358979323846;

double degrees(double radians)
{
    return radians * 180.0 / kPi;
}

// Direction of a screen-oriented point in degrees counter-clockwise from the right,
// in (-90, 270], so the blind sector behind the scanner is one piece.
double screenAngle(const QPointF &p)
{
    double a = degrees(std::atan2(-p.y(), p.x()));
    if (a <= -90)
        a += 360;
    return a;
}

bool inFieldOfView(const QPointF &p)
{
    if (std::hypot(p.x(), p.y()) > kReachMm)
        return false;
    const double a = screenAngle(p);
    return a >= -45 && a <= 225;
}

// Even-odd rule, as the tool fills its outlines.
bool polygonContains(const QVector<QPointF> &polygon, const QPointF &p)
{
    bool inside = false;
    for (int i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const QPointF &a = polygon[i];
        const QPointF &b = polygon[j];
        if ((a.y() > p.y()) != (b.y() > p.y()) &&
            p.x() < (b.x() - a.x()) * (p.y() - a.y()) / (b.y() - a.y()) + a.x())
            inside = !inside;
    }
    return inside;
}

// An arc end in the blind sector is pinned to the nearer edge of the field of view.
double arcEnd(const QPointF &p)
{
    double a = degrees(std::atan2(-p.y(), p.x()));
    if (a < -46)
        a += 360;
    if (a > 225 && a <= 270)
        a = 225;
    else if (a > 270 && a <= 315)
        a = -45;
    return a;
}

void bubbleByQuotient(QVector<QPointF> &v)
{
    for (int upper = v.size() - 1; upper >= 1; --upper) {
        for (int k = 1; k <= upper; ++k) {
            const QPointF a = v[k - 1];
            const QPointF b = v[k];
            const double qa = a.y() / a.x();
            const double qb = b.y() / b.x();
            // A vertex on the scanner gives no quotient (NaN) and is never moved.
            if (qa > qb || (qa == qb && b.y() < a.y()))
                std::swap(v[k - 1], v[k]);
        }
    }
}

} // namespace

QVector<QPointF> fanOrder(const QVector<QPointF> &screenPoints)
{
    QVector<QPointF> left, right;
    for (const QPointF &p : screenPoints)
        (p.x() < 0 ? left : right).append(p);
    bubbleByQuotient(left);
    bubbleByQuotient(right);
    return left + right;
}

ZoneShape::ZoneShape(const ZoneArea &area)
{
    QVector<QPointF> screen;
    screen.reserve(area.points.size() + 1);
    for (const QPoint &p : area.points)
        screen.append(QPointF(p.x(), -p.y()));

    switch (area.regionType) {
    case 1: // polygon
        if (screen.isEmpty())
            return;
        m_polygon = fanOrder(screen);
        m_polygon.append(QPointF(0, 0));
        m_kind = Outline;
        break;
    case 2: // arc
        if (screen.size() < 2)
            return;
        m_radius = std::hypot(screen[0].x(), screen[0].y());
        m_start = std::min(arcEnd(screen[0]), arcEnd(screen[1]));
        m_end = std::max(arcEnd(screen[0]), arcEnd(screen[1]));
        m_kind = Sector;
        break;
    case 3: { // rectangle
        if (screen.isEmpty())
            return;
        double l = screen[0].x(), r = l, t = screen[0].y(), b = t;
        for (const QPointF &p : screen) {
            l = std::min(l, p.x());
            r = std::max(r, p.x());
            t = std::min(t, p.y());
            b = std::max(b, p.y());
        }
        // Leave the rectangle towards the scanner from the side that faces it.
        if (r < 0 && b > 0)
            m_polygon = {{r, b}, {l, b}, {l, t}, {r, t}};
        else if (l > 0 && b > 0)
            m_polygon = {{l, t}, {r, t}, {r, b}, {l, b}};
        else
            m_polygon = {{l, b}, {l, t}, {r, t}, {r, b}};
        m_polygon.append(QPointF(0, 0));
        m_kind = Outline;
        break;
    }
    default: // none, or the single-value types that have no outline
        break;
    }
}

bool ZoneShape::contains(const QPointF &pointMm) const
{
    if (m_kind == None)
        return false;
    const QPointF p(pointMm.x(), -pointMm.y());
    if (!inFieldOfView(p))
        return false;
    if (m_kind == Outline)
        return polygonContains(m_polygon, p);
    double a = degrees(std::atan2(-p.y(), p.x()));
    if (a < -46)
        a += 360;
    return std::hypot(p.x(), p.y()) <= m_radius && a >= m_start && a <= m_end;
}
