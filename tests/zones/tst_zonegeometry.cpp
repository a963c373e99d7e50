#include "zonegeometry.h"

#include <QGraphicsEllipseItem>
#include <QtTest>

#include <cmath>

using namespace ZoneGeometry;

namespace {
// Scene point at a world angle (degrees) and a distance from the scanner.
QPointF polar(qreal degrees, qreal radius)
{
    const qreal a = qDegreesToRadians(degrees);
    return QPointF(radius * std::cos(a), -radius * std::sin(a));
}

qreal radiusOf(const QPointF &p)
{
    return std::hypot(p.x(), p.y());
}

} // namespace

class TestZoneGeometry : public QObject
{
    Q_OBJECT

private slots:
    void millimetresTruncateTowardZero()
    {
        QCOMPARE(sceneToMm(QPointF(12.34, -56.78)), QPoint(123, 567));
        QCOMPARE(sceneToMm(QPointF(12.39, 0.05)), QPoint(123, 0));
        QCOMPARE(sceneToMm(QPointF(-12.39, -0.05)), QPoint(-123, 0));
        // Every stored 16-bit value survives a trip through the scene.
        for (int mm = -32768; mm <= 65535; ++mm)
            QVERIFY2(sceneToMm(mmToScene(mm, mm)) == QPoint(mm, mm),
                     qPrintable(QString::number(mm)));
    }

    void angularOrderIsAFanWhateverTheInputOrder()
    {
        // Left half first (nearest straight down, then up over the top), then the right
        // half from the top downwards.
        const QVector<QPointF> expected = {polar(200, 300), polar(150, 500), polar(80, 400),
                                           polar(10, 600), polar(-30, 300)};
        QVector<QPointF> shuffled = {expected[3], expected[0], expected[4], expected[2],
                                     expected[1]};
        QCOMPARE(angularOrder(shuffled), expected);
        std::reverse(shuffled.begin(), shuffled.end());
        QCOMPARE(angularOrder(shuffled), expected);
        QCOMPARE(polygonZonePath(shuffled), polygonZonePath(expected));
        QVERIFY(polygonZonePath({}).isEmpty());

        // Same ray: increasing screen y. Straight ahead and behind (x = 0) sort as slopes of
        // minus and plus infinity.
        QCOMPARE(angularOrder({QPointF(10, -10), QPointF(20, -20)}),
                 (QVector<QPointF>{QPointF(20, -20), QPointF(10, -10)}));
        QCOMPARE(angularOrder({QPointF(0, 50), QPointF(10, 0), QPointF(0, -50)}),
                 (QVector<QPointF>{QPointF(0, -50), QPointF(10, 0), QPointF(0, 50)}));

        // A vertex on the scanner has no slope: nothing is exchanged across it.
        const QVector<QPointF> withOrigin = {QPointF(10, 10), QPointF(0, 0), QPointF(10, -10)};
        QCOMPARE(angularOrder(withOrigin), withOrigin);
    }

    void fieldOfViewMatchesTheSectorItem()
    {
        QGraphicsEllipseItem sector(-1000, -1000, 2000, 2000);
        sector.setStartAngle(-720);
        sector.setSpanAngle(4320);
        QCOMPARE(fieldOfViewShape(), sector.shape());
    }

    void arcSector_data()
    {
        QTest::addColumn<qreal>("angle0");
        QTest::addColumn<qreal>("angle1");
        QTest::addColumn<qreal>("inside");
        QTest::addColumn<qreal>("outside");
        QTest::newRow("through the front") << 10.0 << 170.0 << 90.0 << 180.0;
        QTest::newRow("order of vertices") << 170.0 << 10.0 << 90.0 << 0.0;
        // 250 lies in the blind sector and is pinned to 225: the sector still runs
        // through the front, not round the right side.
        QTest::newRow("pinned to 225") << 250.0 << 100.0 << 180.0 << 0.0;
        // 290 is pinned to -45: only the slice on the right remains.
        QTest::newRow("pinned to -45") << 10.0 << 290.0 << 0.0 << 90.0;
    }

    void arcSector()
    {
        QFETCH(qreal, angle0);
        QFETCH(qreal, angle1);
        QFETCH(qreal, inside);
        QFETCH(qreal, outside);
        const QPainterPath path = arcZonePath({polar(angle0, 500), polar(angle1, 800)});
        QVERIFY(path.contains(polar(inside, 450)));
        QVERIFY(!path.contains(polar(inside, 550))); // radius from vertex 0
        QVERIFY(!path.contains(polar(outside, 300)));
    }

    void arcRadiusFollowsTheMovedVertex()
    {
        const QVector<QPointF> arc = {polar(30, 400), polar(120, 700)};
        const ArcZone moved0 = buildArcZone(arc, 0);
        QCOMPARE(moved0.pulledVertex, 1);
        QCOMPARE(moved0.vertices[0], arc[0]);
        QCOMPARE(moved0.vertices[1], polar(120, 400));
        QCOMPARE(moved0.path, arcZonePath(arc));

        const ArcZone moved1 = buildArcZone(arc, 1);
        QCOMPARE(moved1.pulledVertex, 0);
        QCOMPARE(moved1.vertices[0], polar(30, 700));
        QCOMPARE(syncArcRadius(arc, 1, arc[1]), moved1.vertices);

        // A vertex dragged onto the scanner pulls its partner there and draws nothing.
        const ArcZone collapsed = buildArcZone({QPointF(0, 0), arc[1]}, 0);
        QCOMPARE(collapsed.vertices[1], QPointF(0, 0));
        QVERIFY(collapsed.path.boundingRect().isEmpty());
        // Too few vertices, or a vertex number past them: nothing drawn, nothing moved.
        QCOMPARE(buildArcZone({arc[0]}, 0).pulledVertex, -1);
        QCOMPARE(buildArcZone(arc, 2).pulledVertex, -1);
        QVERIFY(arcZonePath({arc[0]}).isEmpty());
    }

    void rectangleCorners_data()
    {
        QTest::addColumn<QVector<QPointF>>("vertices");
        QTest::addColumn<QVector<QPointF>>("corners");
        QTest::addColumn<QPointF>("wedge"); // between the rectangle and the scanner
        QTest::newRow("in front") << QVector<QPointF>{{-100, -400}, {200, -300}}
                                  << QVector<QPointF>{{-100, -300},
                                                      {-100, -400},
                                                      {200, -400},
                                                      {200, -300}}
                                  << QPointF(0, -150);
        QTest::newRow("left and below")
            << QVector<QPointF>{{-600, -100}, {-300, 200}}
            << QVector<QPointF>{{-300, 200}, {-600, 200}, {-600, -100}, {-300, -100}}
            << QPointF(-150, 0);
        QTest::newRow("right and below")
            << QVector<QPointF>{{300, -100}, {600, 200}}
            << QVector<QPointF>{{300, -100}, {600, -100}, {600, 200}, {300, 200}}
            << QPointF(150, 0);
    }

    void rectangleCorners()
    {
        QFETCH(QVector<QPointF>, vertices);
        QFETCH(QVector<QPointF>, corners);
        QFETCH(QPointF, wedge);
        const RectangleZone zone = buildRectangleZone(vertices);
        QCOMPARE(zone.corners, corners);
        QVERIFY(zone.path.contains(QRectF(corners[0], corners[2]).center()));
        QVERIFY(zone.path.contains(wedge));
    }

    void rectangleBeyondTenMetres()
    {
        // Wholly beyond 10 m: only the wedge towards the scanner is left.
        const QPainterPath far = buildRectangleZone({{1200, -1200}, {1500, -1500}}).path;
        QVERIFY(far.contains(polar(42, 500)));
        QVERIFY(!far.contains(polar(42, 1100)));
        for (int i = 0; i < far.elementCount(); ++i)
            QVERIFY(radiusOf(far.elementAt(i)) < 1001);
        // Straddling the circle: cut at it.
        const QPainterPath cut = buildRectangleZone({{-100, -1200}, {100, -800}}).path;
        QVERIFY(cut.contains(QPointF(0, -900)));
        QVERIFY(!cut.contains(QPointF(0, -1100)));
        QVERIFY(cut.boundingRect().top() > -1001);
    }

    void rectangleCoupling()
    {
        // Vertex k moved to v: {k, partner sharing x, partner sharing y}.
        const int partners[4][3] = {{0, 1, 3}, {1, 0, 2}, {2, 3, 1}, {3, 2, 0}};
        const QVector<QPointF> before = {{10, 20}, {10, 80}, {70, 80}, {70, 20}};
        const QPointF v(-33, 44);
        for (const auto &p : partners) {
            QVector<QPointF> expected = before;
            expected[p[0]] = v;
            expected[p[1]].setX(v.x());
            expected[p[2]].setY(v.y());
            QCOMPARE(coupleRectangle(before, p[0], v), expected);
        }
    }
};

QTEST_MAIN(TestZoneGeometry)
#include "tst_zonegeometry.moc"
