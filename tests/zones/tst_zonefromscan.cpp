// Zones drawn from scans, on scenes whose geometry is known: a ring, a room with a post,
// gaps without echoes, directions outside the field of view, dense scans.
#include "zonefromscan.h"

#include <QLineF>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <functional>

namespace {

using RangeAt = std::function<double(double degrees)>;

// One scan as the scanner sends it: six sectors of 90 measurements half a degree apart,
// the first sector given (0: -45 to 224.5 degrees).
ScanSweep scanOf(const RangeAt &rangeAt, int firstSector = 0, double step = 0.5, int count = 540)
{
    ScanSweep s;
    for (int i = 0; i < count; ++i) {
        const double a = (firstSector - 1) * 45.0 + i * step;
        s.angles.append(float(a));
        const double r = rangeAt(a);
        s.ranges.append(ushort(std::clamp(r, 0.0, 65535.0)));
    }
    return s;
}

double radius(const QPoint &p)
{
    return std::hypot(double(p.x()), double(p.y()));
}

double degrees(const QPointF &p)
{
    double a = std::atan2(p.y(), p.x()) * 180.0 / M_PI;
    if (a < -90)
        a += 360;
    return a;
}

// The room: four walls around the scanner and one round post in it (millimetres).
const QLineF kWalls[] = {
    {-4000, -2500, 5000, -2500},
    {5000, -2500, 5000, 6000},
    {5000, 6000, -4000, 6000},
    {-4000, 6000, -4000, -2500},
};
const QPointF kPost(1500, 3000);
constexpr double kPostRadius = 200;

double rayToRoom(double deg)
{
    const double a = deg * M_PI / 180.0;
    const QPointF d(std::cos(a), std::sin(a));
    double best = 1e9;
    for (const QLineF &w : kWalls) {
        const QPointF e = w.p2() - w.p1();
        const double denom = d.x() * e.y() - d.y() * e.x();
        if (std::abs(denom) < 1e-12)
            continue;
        const double t = (w.p1().x() * e.y() - w.p1().y() * e.x()) / denom;
        const double s = (w.p1().x() * d.y() - w.p1().y() * d.x()) / denom;
        if (t > 0 && s >= 0 && s <= 1)
            best = std::min(best, t);
    }
    const double along = d.x() * kPost.x() + d.y() * kPost.y();
    const double disc =
        along * along - QPointF::dotProduct(kPost, kPost) + kPostRadius * kPostRadius;
    if (disc >= 0 && along - std::sqrt(disc) > 0)
        best = std::min(best, along - std::sqrt(disc));
    return best;
}

double distanceToSegment(const QPointF &p, const QLineF &l)
{
    const QPointF d = l.p2() - l.p1();
    const double t =
        std::clamp(QPointF::dotProduct(p - l.p1(), d) / QPointF::dotProduct(d, d), 0.0, 1.0);
    const QPointF q = l.p1() + d * t - p;
    return std::hypot(q.x(), q.y());
}

// Distance from a point inside the room to the nearest wall or the post's surface.
double clearance(const QPointF &p)
{
    double best = std::hypot(p.x() - kPost.x(), p.y() - kPost.y()) - kPostRadius;
    for (const QLineF &w : kWalls)
        best = std::min(best, distanceToSegment(p, w));
    return best;
}

bool insideRoom(const QPointF &p)
{
    return p.x() > -4000 && p.x() < 5000 && p.y() > -2500 && p.y() < 6000;
}

QVector<ScanSweep> repeated(const RangeAt &rangeAt, int scans, quint32 seed)
{
    QRandomGenerator rng(seed);
    QVector<ScanSweep> out;
    for (int k = 0; k < scans; ++k)
        out.append(scanOf([&](double a) {
            const double r = rangeAt(a);
            return r > 0 ? r + rng.bounded(17) - 8 : 0.0;
        }));
    return out;
}

} // namespace

class TestZoneFromScan : public QObject
{
    Q_OBJECT

private slots:
    void ringAtThreeMetres()
    {
        const QVector<QPoint> zone = zoneFromScan(repeated([](double) { return 3000; }, 25, 1));
        // The nearest echo of 25 noisy scans lies within 8 mm of the ring.
        QVERIFY(zone.size() >= 10);
        QVERIFY2(zone.size() < 100, qPrintable(QString::number(zone.size())));
        for (const QPoint &v : zone)
            QVERIFY2(std::abs(radius(v) - 2900) <= 20, qPrintable(QString::number(radius(v))));
        // The fan covers the whole field of view, in increasing angle.
        QCOMPARE(degrees(zone.first()), -45.0);
        QVERIFY(std::abs(degrees(zone.last()) - 224.5) < 0.01);
        for (int i = 1; i < zone.size(); ++i)
            QVERIFY(degrees(zone.at(i)) > degrees(zone.at(i - 1)));
        // Between vertices the outline stays within the tolerance of the ring.
        for (int i = 1; i < zone.size(); ++i) {
            const QPointF mid = (QPointF(zone.at(i - 1)) + QPointF(zone.at(i))) / 2;
            QVERIFY(std::hypot(mid.x(), mid.y()) >= 2900 - 8 - 20 - 1);
        }
    }

    void roomKeepsTheMarginFromWallsAndPost_data()
    {
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("defaults") << 100 << 20;
        QTest::newRow("wide margin") << 300 << 20;
        QTest::newRow("fine") << 100 << 2;
    }

    void roomKeepsTheMarginFromWallsAndPost()
    {
        QFETCH(int, margin);
        QFETCH(int, tolerance);
        ZoneFromScanSettings settings;
        settings.margin = margin;
        settings.tolerance = tolerance;
        const ScanSweep scan = scanOf(rayToRoom);
        const QVector<QPoint> zone = zoneFromScan({scan}, settings);
        QVERIFY(zone.size() > 4);
        QVERIFY(zone.size() <= 540);
        QVector<QPointF> echoes;
        for (int i = 0; i < scan.angles.size(); ++i) {
            const double a = scan.angles.at(i) * M_PI / 180.0;
            echoes.append(
                QPointF(scan.ranges.at(i) * std::cos(a), scan.ranges.at(i) * std::sin(a)));
        }
        const auto nearestEcho = [&](const QPointF &p) {
            double best = 1e9;
            for (const QPointF &e : qAsConst(echoes))
                best = std::min(best, std::hypot(p.x() - e.x(), p.y() - e.y()));
            return best;
        };
        for (const QPoint &v : zone) {
            // Every vertex lies inside the room and keeps the margin from every echo...
            QVERIFY(insideRoom(v));
            QVERIFY2(nearestEcho(v) >= margin - 1.5, qPrintable(QString::number(nearestEcho(v))));
            // ... and so, up to what half a degree between two beams hides, from the walls
            // and the post; yet it hugs them, at slanting walls and in the corners too. At
            // the ends of the field of view the walls go on where nothing was measured, so
            // there only the echoes count.
            const double blind = std::asin(margin / radius(v)) * 180.0 / M_PI;
            if (degrees(v) < -45.0 + blind || degrees(v) > 224.5 - blind)
                continue;
            const double c = clearance(v);
            QVERIFY2(c >= margin - 10,
                     qPrintable(QStringLiteral("%1,%2: %3").arg(v.x()).arg(v.y()).arg(c)));
            QVERIFY2(c <= margin + 15,
                     qPrintable(QStringLiteral("%1,%2: %3").arg(v.x()).arg(v.y()).arg(c)));
        }
        // Between vertices the simplified outline gives away at most the tolerance.
        for (int i = 1; i < zone.size(); ++i) {
            for (int k = 1; k < 10; ++k) {
                const QPointF p =
                    QPointF(zone.at(i - 1)) + QPointF(zone.at(i) - zone.at(i - 1)) * (k / 10.0);
                QVERIFY(insideRoom(p));
                QVERIFY(nearestEcho(p) >= margin - tolerance - 1.5);
            }
        }
    }

    void nearestEchoOfAllScansAndTheEdgeWhereThereIsNone()
    {
        // A wall at 6 m; in one scan something at 2 m straight ahead; no echo at all from 150
        // to 200 degrees; echoes beyond 10 m from -45 to -20 degrees.
        const RangeAt wall = [](double a) {
            if (a >= 150 && a <= 200)
                return 0.0;
            return a <= -20 ? 15000.0 : 6000.0;
        };
        const RangeAt someone = [&](double a) { return a >= 80 && a <= 100 ? 2000.0 : wall(a); };
        const QVector<QPoint> zone = zoneFromScan({scanOf(wall), scanOf(someone), scanOf(wall)});
        int ahead = 0, gap = 0, far = 0;
        for (const QPoint &v : zone) {
            const double a = degrees(v), r = radius(v);
            if (a >= 79 && a <= 101) {
                ++ahead;
                QVERIFY2(std::abs(r - 1900) <= 20, qPrintable(QString::number(r)));
            } else if (a >= 160 && a <= 190) {
                ++gap;
                QVERIFY2(r >= 9980 && r <= 10000, qPrintable(QString::number(r)));
            } else if (a <= -25) {
                ++far;
                QVERIFY2(r >= 9980 && r <= 10000, qPrintable(QString::number(r)));
            } else if ((a >= 10 && a <= 70) || (a >= 110 && a <= 140)) {
                QVERIFY2(std::abs(r - 5900) <= 20, qPrintable(QString::number(r)));
            }
        }
        // Both ends of the nearer arc, and at least one vertex between them (it is flat
        // enough for the tolerance to need no more).
        QVERIFY(ahead >= 3);
        QVERIFY(gap >= 1);
        QVERIFY(far >= 1);
    }

    void onlyTheFieldOfViewCounts()
    {
        // Sectors 1 to 6 reach 269.5 degrees, into the blind sector; nothing is measured
        // from -45 to 0.
        const QVector<QPoint> zone = zoneFromScan({scanOf([](double) { return 4000.0; }, 1)});
        QVERIFY(!zone.isEmpty());
        for (const QPoint &v : zone) {
            QVERIFY(degrees(v) >= -0.01);
            QVERIFY(degrees(v) <= 225.01);
        }
        QVERIFY(std::abs(degrees(zone.last()) - 225.0) < 0.01);
        // No direction in the field of view, or no scan at all: no zone.
        ScanSweep blind;
        blind.angles = {230.f, 250.f, -60.f};
        blind.ranges = {1000, 1000, 1000};
        QVERIFY(zoneFromScan({blind}).isEmpty());
        QVERIFY(zoneFromScan({}).isEmpty());
    }

    void neverMoreVerticesThanAllowed()
    {
        // 1080 directions a quarter degree apart, every range different: without a
        // tolerance nothing could be dropped, so the limit must coarsen the outline.
        QRandomGenerator rng(7);
        const ScanSweep dense =
            scanOf([&](double) { return 1000.0 + rng.bounded(5000); }, 0, 0.25, 1080);
        ZoneFromScanSettings exact;
        exact.tolerance = 0;
        exact.margin = 0;
        QVERIFY(zoneFromScan({dense}, exact).size() <= 540);
        QVERIFY(zoneFromScan({dense}, exact).size() > 400);
        exact.maxVertices = 60;
        QVERIFY(zoneFromScan({dense}, exact).size() <= 60);
    }

    void anEchoAtTheScannerClosesOnlyItsDirection()
    {
        const QVector<QPoint> zone =
            zoneFromScan({scanOf([](double a) { return std::abs(a - 90) < 0.1 ? 50.0 : 3000.0; })});
        int near = 0;
        for (const QPoint &v : zone) {
            if (radius(v) < 100) {
                ++near;
                QVERIFY(std::abs(degrees(v) - 90) < 0.6);
            } else {
                QVERIFY(std::abs(radius(v) - 2900) <= 20);
            }
        }
        QCOMPARE(near, 1);
    }
};

QTEST_MAIN(TestZoneFromScan)
#include "tst_zonefromscan.moc"
