#include "framecodec.h"
#include "pointstext.h"
#include "testsupport.h"
#include "zoneblock.h"
#include "zonestore.h"

#include <QSettings>
#include <QtTest>

#include <limits>

namespace {
using Points = QVector<QPoint>;

ZoneAreaRecord area(quint8 type, const Points &points, quint16 dependScale = 0)
{
    ZoneAreaRecord a;
    a.onDelay = 3;
    a.offDelay = 50;
    a.hysteresis = 100;
    a.detectableSize = 10;
    a.regionType = type;
    a.dependScale = dependScale;
    a.points = points;
    return a;
}

Points manyPoints(int n)
{
    Points points;
    for (int i = 0; i < n; ++i)
        points.append(QPoint(i - 300, 2 * i - 32768));
    return points;
}
} // namespace

Q_DECLARE_METATYPE(ZoneAreaRecord)
Q_DECLARE_METATYPE(Points)

class TestZoneCodec : public QObject
{
    Q_OBJECT

private slots:
    void readsPointsTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<QPointF>>("millimetres");
        QTest::addColumn<Points>("wire");
        QTest::newRow("empty") << "" << QVector<QPointF>{} << Points{};
        QTest::newRow("pair without final comma") << "100,200" << QVector<QPointF>{} << Points{};
        QTest::newRow("three numbers and a comma")
            << "100,200,300," << QVector<QPointF>{{100, 200}} << Points{{100, 200}};
        QTest::newRow("fractions cut toward zero")
            << "1.9,-2.9," << QVector<QPointF>{{1.9, -2.9}} << Points{{1, -2}};
        QTest::newRow("not a number reads 0")
            << "abc,5,7,x," << QVector<QPointF>{{0, 5}, {7, 0}} << Points{{0, 5}, {7, 0}};
        QTest::newRow("empty number reads 0")
            << ",5,7,," << QVector<QPointF>{{0, 5}, {7, 0}} << Points{{0, 5}, {7, 0}};
        QTest::newRow("low 16 bits")
            << "70000,40000,-32768,32767," << QVector<QPointF>{{70000, 40000}, {-32768, 32767}}
            << Points{{4464, -25536}, {-32768, 32767}};
    }
    void readsPointsTexts()
    {
        QFETCH(QString, text);
        QFETCH(QVector<QPointF>, millimetres);
        QFETCH(Points, wire);
        QCOMPARE(parsePointsText(text), millimetres);
        QCOMPARE(wirePoints(parsePointsText(text)), wire);
    }

    void writesPointsTexts()
    {
        QCOMPARE(pointsText({}), QString());
        QCOMPARE(pointsText({{-300, 1200}}), QStringLiteral("-300,1200,"));
        QCOMPARE(pointsText({{-1500, 2300}, {1500, 2300}, {0, 0}}),
                 QStringLiteral("-1500,2300,1500,2300,0,0,"));
        const Points points = manyPoints(540);
        QCOMPARE(wirePoints(parsePointsText(pointsText(points))), points);
    }

    // Every comma ends a part, empty parts included, and the parts are the text's own
    // characters: the strict zone file reader counts on both.
    void cutsTextsAtEveryComma()
    {
        auto texts = [](const QVector<QStringView> &parts) {
            QStringList out;
            for (QStringView part : parts)
                out.append(part.toString());
            return out;
        };
        QCOMPARE(texts(commaParts(u"")), QStringList{QString()});
        QCOMPARE(texts(commaParts(u",")), (QStringList{QString(), QString()}));
        QCOMPARE(texts(commaParts(u"1,,-2,")), (QStringList{"1", "", "-2", ""}));
        QCOMPARE(texts(commaParts(u" 3 ,x")), (QStringList{" 3 ", "x"}));
        const QString text = QStringLiteral("10,20,");
        const QVector<QStringView> parts = commaParts(text);
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(1).data(), text.constData() + 3);
    }

    void wireCoordinatesSurviveOnlyIn16Bits_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits");
        QTest::newRow("upper edge") << 32767.9 << true;
        QTest::newRow("lower edge") << -32768.9 << true;
        QTest::newRow("above") << 32768.0 << false;
        QTest::newRow("below") << -32769.0 << false;
        QTest::newRow("huge") << 1e300 << false;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false;
    }
    void wireCoordinatesSurviveOnlyIn16Bits()
    {
        QFETCH(double, value);
        QFETCH(bool, fits);
        QCOMPARE(fitsWire(value), fits);
        if (fits)
            QCOMPARE(double(wireCoordinate(value)), std::trunc(value));
    }

    void storesPolygonsCounterClockwiseFromBehind_data()
    {
        QTest::addColumn<QVector<QPointF>>("given");
        QTest::addColumn<QVector<QPointF>>("stored");
        const QVector<QPointF> ring = {{500, -400}, {1000, 0},  {800, 900},  {0, 1500},
                                       {-800, 900}, {-1000, 0}, {-500, -400}};
        QTest::newRow("ring in order") << ring << ring;
        QTest::newRow("ring shuffled")
            << QVector<QPointF>{ring[3], ring[6], ring[0], ring[5], ring[2], ring[1], ring[4]}
            << ring;
        // On one ray the farther vertex (larger y) comes first.
        QTest::newRow("same direction")
            << QVector<QPointF>{{1000, 1000}, {2000, 2000}, {-500, 500}, {-1500, 1500}}
            << QVector<QPointF>{{2000, 2000}, {1000, 1000}, {-1500, 1500}, {-500, 500}};
        // Straight ahead and straight behind sort by their infinite slopes.
        QTest::newRow("on the y axis") << QVector<QPointF>{{0, 1000}, {0, -1000}, {1000, 0}}
                                       << QVector<QPointF>{{0, -1000}, {1000, 0}, {0, 1000}};
        // A vertex on the scanner is never exchanged, so each side of it sorts apart.
        QTest::newRow("vertex on the scanner")
            << QVector<QPointF>{{1000, 1000}, {0, 0}, {1000, -1000}, {1000, 500}}
            << QVector<QPointF>{{1000, -1000}, {1000, 500}, {0, 0}, {1000, 1000}};
    }
    void storesPolygonsCounterClockwiseFromBehind()
    {
        QFETCH(QVector<QPointF>, given);
        QFETCH(QVector<QPointF>, stored);
        QCOMPARE(storedPolygonOrder(given), stored);
        if (!given.contains(QPointF(0, 0)))
            QCOMPARE(storedPolygonOrder(stored), stored);
    }

    void zoneBlocksRoundTrip_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<ZoneAreaRecord>("first");
        QTest::newRow("no vertices, all parameters") << 0 << area(1, {});
        QTest::newRow("one vertex") << 17 << area(1, {{-300, 1200}});
        QTest::newRow("dependScale 40000") << 40 << area(5, {}, 40000);
        QTest::newRow("dependScale 65535") << 63 << area(6, {}, 65535);
        QTest::newRow("540 vertices") << 9 << area(1, manyPoints(540));
    }
    void zoneBlocksRoundTrip()
    {
        QFETCH(int, channel);
        QFETCH(ZoneAreaRecord, first);
        const ZoneChannelRecord areas = {first, area(2, {{1000, 0}, {0, 1000}}),
                                         area(3, {{-10, 20}, {-10, 5}, {30, 5}, {30, 20}})};
        const QByteArray block = encodeZoneBlock(channel, areas);
        QCOMPARE(block.size(), kZoneBlockBytes);
        const DecodedZoneBlock back = decodeZoneBlock(block.constData(), block.size());
        QCOMPARE(back.channel, channel);
        for (int k = 0; k < kAreasPerChannel; ++k) {
            QCOMPARE(back.areas[k], areas[k]);
            QCOMPARE(back.cutPoints[k], 0);
        }
    }

    void zoneBlockLayout()
    {
        ZoneAreaRecord warning = area(2, {{-300, 1200}, {7, -8}}, 0x1234);
        const QByteArray block = encodeZoneBlock(42, {ZoneAreaRecord(), warning, ZoneAreaRecord()});
        const char *w = block.constData() + 1 + kAreaBlockBytes; // area 1 at 2170
        QCOMPARE(quint8(block[0]), quint8(42));
        QCOMPARE(QByteArray(w, 9), QByteArray::fromHex("0332640a0234120200"));
        QCOMPARE(readLe16(w + 9), quint16(-300));
        QCOMPARE(readLe16(w + 11), quint16(7));
        QCOMPARE(readLe16(w + 1089), quint16(1200));
        QCOMPARE(readLe16(w + 1091), quint16(-8));
        // Unused vertex slots are zero.
        QCOMPARE(readLe16(w + 13), quint16(0));
        QCOMPARE(readLe16(w + 1093), quint16(0));
    }

    void oversizedAndShortBlocksStayInside()
    {
        // A block claiming 600 vertices in area 0 keeps 540 and leaves area 1 alone.
        QByteArray block = encodeZoneBlock(3, {area(1, manyPoints(540)), area(2, {{5, 6}}), {}});
        writeLe16(block.data() + 1 + 7, 600);
        const DecodedZoneBlock cut = decodeZoneBlock(block.constData(), block.size());
        QCOMPARE(cut.areas[0].points.size(), kMaxZonePoints);
        QCOMPARE(cut.cutPoints[0], 60);
        QCOMPARE(cut.areas[1].points, Points({{5, 6}}));

        // A reply cut short reads as if the rest were zeros.
        const DecodedZoneBlock shortBlock = decodeZoneBlock(block.constData(), 1 + 5);
        QCOMPARE(shortBlock.channel, 3);
        QCOMPARE(shortBlock.areas[0].regionType, quint8(1));
        QCOMPARE(shortBlock.areas[0].dependScale, quint16(0));
        QVERIFY(shortBlock.areas[0].points.isEmpty());
        QCOMPARE(shortBlock.areas[2], ZoneAreaRecord());
    }

    void storeStartsEmptyAndKeepsHysteresis()
    {
        TempWorkingDir dir;
        {
            QSettings store(zoneStoreFileName(), QSettings::IniFormat);
            store.setValue("Channel4/Area1/hysteresis", 55);
            resetZoneStore(store);
            store.sync();
        }
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.childGroups().size(), 64);
        QCOMPARE(store.value("Channel63/Area2/regionType").toInt(), 1);
        QCOMPARE(store.value("Channel0/Area0/Points").toString(), QString());
        QVERIFY(!store.contains("Channel0/Area0/hysteresis"));
        QCOMPARE(store.value("Channel4/Area1/hysteresis").toInt(), 55);
        ZoneAreaRecord empty;
        empty.regionType = 1;
        for (const ZoneAreaRecord &a : readStoredChannel(store, 10))
            QCOMPARE(a, empty);
    }

    void storeHoldsWhatTheScannerSent()
    {
        TempWorkingDir dir;
        const ZoneChannelRecord sent = {area(1, {{-300, 1200}, {0, 0}}), area(7, {}, 65535),
                                        area(2, {})};
        {
            QSettings store(zoneStoreFileName(), QSettings::IniFormat);
            writeStoredChannel(store, 12, sent);
            store.setValue("Channel13/Area0/dependScale", 70000);
            store.setValue("Channel13/Area0/Points", "1.9,-2.9,");
            store.sync();
        }
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.value("Channel12/Area0/Points").toString(),
                 QStringLiteral("-300,1200,0,0,"));
        QCOMPARE(store.value("Channel12/Area1/regionType").toInt(), 7);
        QCOMPARE(store.value("Channel12/Area1/dependScale").toInt(), 65535);
        QCOMPARE(store.value("Channel12/Area2/Points").toString(), QString());
        QCOMPARE(store.value("Channel12/Area2/hysteresis").toInt(), 100);
        QCOMPARE(readStoredChannel(store, 12), sent);
        const ZoneChannelRecord other = readStoredChannel(store, 13);
        QCOMPARE(other[0].dependScale, quint16(4464));
        QCOMPARE(other[0].points, Points({{1, -2}}));
        // Keys that were never written read as nothing.
        QCOMPARE(readStoredChannel(store, 40)[1], ZoneAreaRecord());
    }

    void handWrittenPointsListsAreNotLost()
    {
        TempWorkingDir dir;
        {
            QFile file(zoneStoreFileName());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Channel2]\nArea0\\Points=10, 20, 30, 40,\nArea1\\Points=\"5,6,\"\n");
        }
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        const ZoneChannelRecord read = readStoredChannel(store, 2);
        QCOMPARE(read[0].points, Points({{10, 20}, {30, 40}}));
        QCOMPARE(read[1].points, Points({{5, 6}}));
    }

    void findsAreasThatCannotTravel_data()
    {
        QTest::addColumn<QString>("points");
        QTest::addColumn<int>("reason");
        QTest::newRow("540 vertices fit")
            << pointsText(manyPoints(540)) << int(UnsendableArea::None);
        QTest::newRow("541 vertices")
            << pointsText(manyPoints(541)) << int(UnsendableArea::TooManyPoints);
        QTest::newRow("40000 mm") << "40000,10," << int(UnsendableArea::CoordinateTooLarge);
        QTest::newRow("just inside") << "-32768.5,32767.9," << int(UnsendableArea::None);
    }
    void findsAreasThatCannotTravel()
    {
        QFETCH(QString, points);
        QFETCH(int, reason);
        TempWorkingDir dir;
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        resetZoneStore(store);
        store.setValue("Channel37/Area2/Points", points);
        const UnsendableArea found = findUnsendableArea(store);
        QCOMPARE(int(found.reason), reason);
        if (found) {
            QCOMPARE(found.channel, 37);
            QCOMPARE(found.area, 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestZoneCodec)
#include "tst_zonecodec.moc"
