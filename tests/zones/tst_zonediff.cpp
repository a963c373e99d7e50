#include "zonediff.h"

#include <QtTest>

namespace {
ZoneAreaRecord polygonArea(int count, int shift = 0)
{
    ZoneAreaRecord a;
    a.regionType = 1;
    a.onDelay = 3;
    a.offDelay = 4;
    a.hysteresis = 10;
    a.detectableSize = 2;
    for (int i = 0; i < count; ++i)
        a.points.append(QPoint(i * 10 + shift, 2000 - i));
    return a;
}

QStringList lines(const QVector<ZoneDifference> &differences)
{
    QStringList out;
    for (const ZoneDifference &d : differences)
        out << describeZoneDifference(d);
    return out;
}
} // namespace

class TestZoneDiff : public QObject
{
    Q_OBJECT

private slots:
    void equalSetsHaveNoDifference()
    {
        ZoneSet a;
        for (int c = 0; c < kZoneChannelCount; ++c)
            for (int k = 0; k < kAreasPerChannel; ++k)
                a.setArea(c, k, polygonArea(540, c + k));
        const ZoneSet b = a;
        QVERIFY(compareZoneSets(a, b).isEmpty());
        QVERIFY(compareZoneSets(ZoneSet(), ZoneSet()).isEmpty());
    }

    // One area that differs in everything: the lines come in the order shape, count,
    // vertex, then the numbers as the zone page shows them, and name both values.
    void everyAspectOfOneArea()
    {
        ZoneSet a;
        ZoneSet b;
        ZoneAreaRecord first = polygonArea(5);
        ZoneAreaRecord second = polygonArea(7);
        second.points[3] = QPoint(-5, 1234);
        second.points[4] = QPoint(0, 0); // only the first differing vertex is named
        second.regionType = 9;
        second.onDelay = 50;
        second.offDelay = 0;
        second.hysteresis = 100;
        second.detectableSize = 10;
        second.dependScale = 65535;
        a.setArea(63, 2, first);
        b.setArea(63, 2, second);
        const QVector<ZoneDifference> found = compareZoneSets(a, b);
        QCOMPARE(lines(found), (QStringList{
                                   "channel 63, alarm area: regionType 1 (polygon) vs 9",
                                   "channel 63, alarm area: 5 vertices vs 7",
                                   "channel 63, alarm area: vertex 4 at 30,1997 vs -5,1234",
                                   "channel 63, alarm area: onDelay 3 vs 50",
                                   "channel 63, alarm area: offDelay 4 vs 0",
                                   "channel 63, alarm area: hysteresis 10 vs 100",
                                   "channel 63, alarm area: detectableSize 2 vs 10",
                                   "channel 63, alarm area: dependScale 0 vs 65535",
                               }));
        QCOMPARE(found[2].vertex, 3);
        QCOMPARE(found[2].key, QStringLiteral("Points"));
        QCOMPARE(found[3].key, QStringLiteral("onDelay"));
        // Swapping the sides swaps the values and nothing else.
        const QVector<ZoneDifference> back = compareZoneSets(b, a);
        QCOMPARE(back.size(), found.size());
        for (int i = 0; i < found.size(); ++i) {
            QCOMPARE(back[i].first, found[i].second);
            QCOMPARE(back[i].secondPoint, found[i].firstPoint);
        }
    }

    // A list that only grows or shrinks at its end has no differing vertex: the count says
    // it. A vertex list that differs in order but not in length names the first place.
    void vertexListsCompareOverWhatBothHold()
    {
        ZoneSet a;
        ZoneSet b;
        a.setArea(0, 0, polygonArea(3));
        b.setArea(0, 0, polygonArea(540));
        a.setArea(1, 1, polygonArea(4));
        ZoneAreaRecord reversed = polygonArea(4);
        std::reverse(reversed.points.begin(), reversed.points.end());
        b.setArea(1, 1, reversed);
        a.setArea(2, 0, polygonArea(2));
        ZoneAreaRecord arc = polygonArea(2);
        arc.regionType = 2;
        b.setArea(2, 0, arc);
        // One vertex is one, in English.
        a.setArea(3, 2, polygonArea(1));
        b.setArea(3, 2, polygonArea(2));
        QCOMPARE(lines(compareZoneSets(a, b)),
                 (QStringList{"channel 0, attention area: 3 vertices vs 540",
                              "channel 1, warning area: vertex 1 at 0,2000 vs 30,1997",
                              "channel 2, attention area: regionType 1 (polygon) vs 2 (arc)",
                              "channel 3, alarm area: 1 vertex vs 2"}));
    }

    // Every area of two full sets of 540-vertex polygons differing everywhere: one count
    // line per area, in channel and area order.
    void allAreasInOrder()
    {
        ZoneSet a;
        ZoneSet b;
        for (int c = 0; c < kZoneChannelCount; ++c)
            for (int k = 0; k < kAreasPerChannel; ++k) {
                a.setArea(c, k, polygonArea(540));
                b.setArea(c, k, polygonArea(539));
            }
        const QVector<ZoneDifference> found = compareZoneSets(a, b);
        QCOMPARE(found.size(), 192);
        for (int i = 0; i < found.size(); ++i) {
            QCOMPARE(found[i].channel, i / 3);
            QCOMPARE(found[i].area, i % 3);
            QCOMPARE(found[i].kind, ZoneDifference::VertexCount);
        }
    }

    void zoneFileChannelsBecomeASet()
    {
        QVector<ZoneChannelRecord> channels(kZoneChannelCount);
        channels[40][1] = polygonArea(6);
        const ZoneSet set = zoneSetOf(channels);
        QCOMPARE(set.area(40, 1), polygonArea(6));
        QCOMPARE(int(set.area(0, 0).regionType), 0);
    }
};

QTEST_MAIN(TestZoneDiff)
#include "tst_zonediff.moc"
