// The zone page's editing arithmetic: channel lists, the mirror, the grid and measuring.
#include "zoneedit.h"
#include "zonegeometry.h"

#include <QtTest>

using namespace ZoneEdit;

Q_DECLARE_METATYPE(QVector<int>)

class TestZoneEdit : public QObject
{
    Q_OBJECT

private slots:
    void channelLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<int>>("channels"); // empty: refused
        QTest::addColumn<QString>("bad");
        QTest::newRow("range and single")
            << "8-15, 20" << QVector<int>{8, 9, 10, 11, 12, 13, 14, 15, 20} << "";
        QTest::newRow("blanks around dash") << " 8 - 10 ,20 " << QVector<int>{8, 9, 10, 20} << "";
        QTest::newRow("full-width comma, overlap, unordered")
            << QStringLiteral("20，3-5 4") << QVector<int>{3, 4, 5, 20} << "";
        QTest::newRow("edges") << "0, 63" << QVector<int>{0, 63} << "";
        QTest::newRow("one-channel range") << "7-7" << QVector<int>{7} << "";
        QTest::newRow("beyond last") << "60-64" << QVector<int>{} << "60-64";
        QTest::newRow("negative") << "-1" << QVector<int>{} << "-1";
        QTest::newRow("falling range") << "15-8" << QVector<int>{} << "15-8";
        QTest::newRow("word") << "8, abc" << QVector<int>{} << "abc";
        QTest::newRow("open range") << "8-" << QVector<int>{} << "8-";
        QTest::newRow("fraction") << "2.5" << QVector<int>{} << "2.5";
        QTest::newRow("nothing") << " , " << QVector<int>{} << " , ";
    }
    void channelLists()
    {
        QFETCH(QString, text);
        QFETCH(QVector<int>, channels);
        QFETCH(QString, bad);
        QVector<int> parsed = {99};
        QString badPart;
        QCOMPARE(parseChannelList(text, 64, &parsed, &badPart), !channels.isEmpty());
        QCOMPARE(parsed, channels);
        QCOMPARE(badPart, bad);
    }

    void mirrorKeepsShapeAndParameters()
    {
        AreaSettings rectangle;
        rectangle.regionType = RectangleRegion;
        rectangle.onDelay = 3;
        rectangle.hysteresis = 40;
        rectangle.points = {{50, -20}, {50, -80}, {120, -80}, {120, -20}};
        const AreaSettings mirrored = mirroredArea(rectangle);
        QCOMPARE(mirrored.regionType, rectangle.regionType);
        QCOMPARE(mirrored.onDelay, rectangle.onDelay);
        QCOMPARE(mirrored.hysteresis, rectangle.hysteresis);
        QCOMPARE(mirrored.points,
                 (QVector<QPointF>{{-50, -20}, {-50, -80}, {-120, -80}, {-120, -20}}));
        QCOMPARE(mirroredArea(mirrored), rectangle);
        // The mirrored rectangle's outline is the original's, mirrored.
        const QRectF before =
            ZoneGeometry::buildRectangleZone(rectangle.points).path.boundingRect();
        const QRectF after = ZoneGeometry::buildRectangleZone(mirrored.points).path.boundingRect();
        QCOMPARE(after, QRectF(-before.right(), before.top(), before.width(), before.height()));

        AreaSettings arc;
        arc.regionType = ArcRegion;
        arc.points = {{100, 0}, {-60, -80}}; // 0° and about 127°, both 1 m out
        const AreaSettings mirroredArc = mirroredArea(arc);
        QCOMPARE(mirroredArc.points, (QVector<QPointF>{{-100, 0}, {60, -80}}));
    }

    void snapLandsOnTheGrid_data()
    {
        QTest::addColumn<QPointF>("scene");
        QTest::addColumn<int>("gridMm");
        QTest::addColumn<QPointF>("snapped");
        QTest::newRow("50 mm, down and up") << QPointF(12.2, -7.6) << 50 << QPointF(10, -10);
        QTest::newRow("50 mm, half way rounds away") << QPointF(2.5, -2.5) << 50 << QPointF(5, -5);
        QTest::newRow("10 mm") << QPointF(12.44, -0.51) << 10 << QPointF(12, -1);
        QTest::newRow("500 mm") << QPointF(-74, 26) << 500 << QPointF(-50, 50);
        QTest::newRow("100 mm negative") << QPointF(-14.9, 15.1) << 100 << QPointF(-10, 20);
        QTest::newRow("no grid") << QPointF(12.34, -5.67) << 0 << QPointF(12.34, -5.67);
    }
    void snapLandsOnTheGrid()
    {
        QFETCH(QPointF, scene);
        QFETCH(int, gridMm);
        QFETCH(QPointF, snapped);
        QCOMPARE(snapToGrid(scene, gridMm), snapped);
    }

    void measureDistanceAndDirection_data()
    {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<double>("distanceMm");
        QTest::addColumn<double>("directionDeg");
        QTest::newRow("ahead") << QPointF(0, 0) << QPointF(0, -100) << 1000.0 << 90.0;
        QTest::newRow("right") << QPointF(10, 10) << QPointF(40, 10) << 300.0 << 0.0;
        QTest::newRow("behind left")
            << QPointF(0, 0) << QPointF(-30, 30) << std::hypot(300.0, 300.0) << 225.0;
        QTest::newRow("3-4-5 down right") << QPointF(0, 0) << QPointF(30, 40) << 500.0
                                          << 360.0 - std::atan2(4.0, 3.0) * 180 / M_PI;
        QTest::newRow("same point") << QPointF(5, 5) << QPointF(5, 5) << 0.0 << 0.0;
        QTest::newRow("just under a full turn")
            << QPointF(0, 0) << QPointF(1000, 0.0001) << 10000.0 << 0.0;
    }
    void measureDistanceAndDirection()
    {
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(double, distanceMm);
        QFETCH(double, directionDeg);
        const Measurement m = measure(from, to);
        QVERIFY2(qAbs(m.distanceMm - distanceMm) < 1e-6, qPrintable(QString::number(m.distanceMm)));
        QVERIFY2(qAbs(m.directionDeg - directionDeg) < 1e-6,
                 qPrintable(QString::number(m.directionDeg)));
    }
};

QTEST_APPLESS_MAIN(TestZoneEdit)
#include "tst_zoneedit.moc"
