#include "pointstext.h"

#include <cmath>
#include <utility>

QString pointsText(const QVector<QPoint> &points)
{
    QString text;
    text.reserve(points.size() * 12);
    for (const QPoint &p : points)
        text += QStringLiteral("%1,%2,").arg(p.x()).arg(p.y());
    return text;
}

QVector<QStringView> commaParts(QStringView text)
{
    QVector<QStringView> parts;
    parts.reserve(int(text.count(QLatin1Char(','))) + 1);
    qsizetype start = 0;
    for (;;) {
        const qsizetype comma = text.indexOf(QLatin1Char(','), start);
        if (comma < 0) {
            parts.append(text.mid(start));
            return parts;
        }
        parts.append(text.mid(start, comma - start));
        start = comma + 1;
    }
}

QVector<QPointF> parsePointsText(const QString &text)
{
    const QVector<QStringView> parts = commaParts(text);
    const int count = int(parts.size() - 1) / 2;
    QVector<QPointF> points;
    points.reserve(count);
    for (int k = 0; k < count; ++k)
        points.append(QPointF(parts.at(2 * k).toDouble(), parts.at(2 * k + 1).toDouble()));
    return points;
}

bool fitsWire(double millimetres)
{
    if (!std::isfinite(millimetres))
        return false;
    const double whole = std::trunc(millimetres);
    return whole >= -32768.0 && whole <= 32767.0;
}

qint16 wireCoordinate(double millimetres)
{
    if (!std::isfinite(millimetres))
        return 0;
    // Cut toward zero and keep the low 16 bits; values beyond 64 bits saturate first so
    // the conversion itself stays defined.
    const double whole = std::trunc(millimetres);
    const double limit = 9.2e18;
    const qint64 value = qint64(whole > limit ? limit : (whole < -limit ? -limit : whole));
    return qint16(quint16(quint64(value) & 0xFFFF));
}

QVector<QPoint> wirePoints(const QVector<QPointF> &millimetres)
{
    QVector<QPoint> out;
    out.reserve(millimetres.size());
    for (const QPointF &p : millimetres)
        out.append(QPoint(wireCoordinate(p.x()), wireCoordinate(p.y())));
    return out;
}

namespace {
// Adjacent exchange, steepest direction first: a pair is swapped when the later vertex is
// steeper, or equally steep and lower. A slope that is not a number (a vertex on the
// scanner) compares false either way, so such a pair stays as it is.
void sortBySlope(QVector<QPointF> &list)
{
    for (int bound = list.size() - 1; bound >= 1; --bound) {
        for (int i = 1; i <= bound; ++i) {
            const QPointF &a = list.at(i - 1);
            const QPointF &b = list.at(i);
            const double slopeA = a.y() / a.x();
            const double slopeB = b.y() / b.x();
            if (slopeB > slopeA || (slopeB == slopeA && a.y() > b.y()))
                std::swap(list[i - 1], list[i]);
        }
    }
}
} // namespace

QVector<QPointF> storedPolygonOrder(const QVector<QPointF> &points)
{
    QVector<QPointF> left, right;
    for (const QPointF &p : points) {
        if (p.x() < 0)
            left.append(p);
        else
            right.append(p); // x >= 0, and an x that is not a number
    }
    sortBySlope(left);
    sortBySlope(right);
    QVector<QPointF> out;
    out.reserve(points.size());
    for (int i = right.size() - 1; i >= 0; --i)
        out.append(right.at(i));
    for (int i = left.size() - 1; i >= 0; --i)
        out.append(left.at(i));
    return out;
}
