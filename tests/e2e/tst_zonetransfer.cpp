// Full zone reads and uploads through the window against the simulated scanner: every
// channel stored as the scanner sent it, edits that reach it, and channels only looked at
// that go back exactly as they were read.
#include "pointstext.h"
#include "simzones.h"
#include "studiorig.h"
#include "zoneblock.h"
#include "zoneeditor.h"

#include <QGraphicsPathItem>
#include <QSettings>
#include <QtTest>

namespace {

// A scanner with zones in many channels and of every kind the store must carry.
DeviceState richScanner()
{
    DeviceState state;
    for (int channel = 10; channel < 64; channel += 9) {
        ZoneArea &a = state.zone(channel, channel % 3);
        a.regionType = 1;
        a.onDelay = quint8(channel % 51);
        a.offDelay = 7;
        a.hysteresis = 42;
        a.detectableSize = 3;
        a.points = polygonOf(1000 + 50 * channel, 3 + channel);
    }
    state.zone(40, 1).regionType = 7; // a type the editor cannot draw is carried through
    state.zone(40, 1).dependScale = 65535;
    state.zone(63, 2).points = polygonOf(9000, 540);
    state.zone(63, 2).regionType = 1;
    return state;
}

// Zones as a scanner may hold them, none of them in the form the editor would write:
// an arc whose second vertex lies off the first one's radius, an arc whose partner a
// rebuild would move by a millimetre, a polygon out of angular order, a rectangle with
// its corners in the left-below order, an area without a zone that keeps parameters.
DeviceState zonesTheEditorWouldRewrite()
{
    DeviceState state; // the scanner's current channel is 7
    ZoneArea &arc = state.zone(7, 0);
    arc.regionType = ArcRegion;
    arc.points = {{1000, 0}, {0, 3000}};
    arc.onDelay = 4;
    ZoneArea &polygon = state.zone(7, 1);
    polygon.regionType = PolygonRegion;
    polygon.points = {{-2000, 1000}, {2000, 1000}, {0, 3000}};
    polygon.dependScale = 17;
    ZoneArea &rectangle = state.zone(7, 2);
    rectangle.regionType = RectangleRegion;
    rectangle.points = {{-1000, -200}, {-3000, -200}, {-3000, 1500}, {-1000, 1500}};
    ZoneArea &nearArc = state.zone(12, 0);
    nearArc.regionType = ArcRegion;
    nearArc.points = {{0, 5000}, {-3000, 4000}};
    ZoneArea &none = state.zone(12, 1);
    none.regionType = NoRegion;
    none.onDelay = 5;
    none.hysteresis = 9;
    ZoneArea &throughScanner = state.zone(12, 2);
    throughScanner.regionType = PolygonRegion;
    throughScanner.points = {{1000, 1000}, {0, 0}, {-1000, 1000}, {500, 2500}};
    return state;
}

} // namespace

class TestZoneTransfer : public QObject
{
    Q_OBJECT

private slots:
    void fullReadTakesEveryChannelAsTheScannerSentIt()
    {
        StudioRig rig;
        const DeviceState scanner = richScanner();
        QVERIFY(rig.start(scanner) && rig.show(1));
        // Vertices drawn before the link is up belong to no channel of the scanner; they
        // must not end up in the store the read fills.
        rig.typeVertex(1500, 2500);
        rig.typeVertex(-1500, 2500);
        QVERIFY(rig.connectAndRead());

        // Byte for byte the file a settings object per channel wrote over the start-up
        // store.
        {
            QSettings reference("reference.ini", QSettings::IniFormat);
            resetZoneStore(reference);
        }
        for (int channel = 0; channel < 64; ++channel) {
            QSettings reference("reference.ini", QSettings::IniFormat);
            const QByteArray block = scanner.zoneBlock(channel);
            writeStoredChannel(reference, channel,
                               decodeZoneBlock(block.constData(), block.size()).areas);
        }
        QTRY_COMPARE(fileContents(zoneStoreFileName()), fileContents("reference.ini"));

        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        for (int channel = 0; channel < 64; ++channel) {
            for (int k = 0; k < 3; ++k) {
                const ZoneArea &a = scanner.zone(channel, k);
                const QString where = QStringLiteral("channel %1 area %2").arg(channel).arg(k);
                auto value = [&](const char *key) {
                    return store.value(zoneKey(channel, k, QLatin1String(key)));
                };
                QVERIFY2(value("Points").toString() == pointsText(a.points), qPrintable(where));
                QVERIFY2(value("regionType").toInt() == a.regionType, qPrintable(where));
                QVERIFY2(value("dependScale").toInt() == a.dependScale, qPrintable(where));
                QVERIFY2(value("onDelay").toInt() == a.onDelay, qPrintable(where));
                QVERIFY2(value("offDelay").toInt() == a.offDelay, qPrintable(where));
                QVERIFY2(value("hysteresis").toInt() == a.hysteresis, qPrintable(where));
                QVERIFY2(value("detectableSize").toInt() == a.detectableSize, qPrintable(where));
            }
        }
        QCOMPARE(store.childGroups().size(), 64);

        // The editor shows the scanner's current channel, the follow-up read included.
        QCOMPARE(rig.window->zoneEditor()->editedChannel(), 7);
        QCOMPARE(rig.ui()->channels->currentIndex(), 7);
        QCOMPARE(rig.framesOf(REQUEST_READ_AREA).last().payload, QByteArray(1, '\7'));
        for (int k = 0; k < 3; ++k)
            QCOMPARE(rig.window->zoneEditor()->areaRecord(k).points,
                     sceneOf(scanner.zone(7, k).points));
        // The running-status view shows the zones of channel 0.
        for (int k = 0; k < 3; ++k)
            QVERIFY(!rig.window->statusPanel()->zoneItem(k)->path().isEmpty());
        QCOMPARE(rig.framesOf(REQUEST_READ_AREAS_DONE).size(), 1);
    }

    void editsSurviveChannelSwitchesAndReachTheScanner()
    {
        StudioRig rig;
        QVERIFY(rig.start(richScanner()) && rig.show(1));
        QVERIFY(rig.connectAndRead());
        rig.ui()->channels->setCurrentIndex(5);
        QTest::mouseClick(rig.ui()->polygonBtn, Qt::LeftButton);
        rig.typeVertex(-2000, 1000);
        rig.typeVertex(2000, 1000);
        rig.typeVertex(0, 3000);
        rig.ui()->onDelayComboBox->setCurrentIndex(12);
        const QVector<QPointF> drawn = rig.window->zoneEditor()->areaRecord(0).points;
        QCOMPARE(drawn.size(), 3);

        rig.ui()->channels->setCurrentIndex(9);
        QVERIFY(rig.window->zoneEditor()->areaRecord(0).points != drawn);
        rig.ui()->channels->setCurrentIndex(5);
        // Stored in angular order, read back as stored.
        QCOMPARE(rig.stored(5, 0, "Points"), QStringLiteral("2000,1000,0,3000,-2000,1000,"));
        QCOMPARE(rig.stored(5, 0, "onDelay"), QStringLiteral("12"));
        QCOMPARE(rig.window->zoneEditor()->areaRecord(0).points,
                 sceneOf({{2000, 1000}, {0, 3000}, {-2000, 1000}}));
        QCOMPARE(rig.ui()->onDelayComboBox->currentIndex(), 12);

        // The upload sends every channel exactly as the store holds it, and starts at
        // channel 0 each time.
        for (int round = 1; round <= 2; ++round) {
            QVERIFY(rig.upload());
            const QVector<ReceivedFrame> blocks = rig.framesOf(REQUEST_WRITE_AREA);
            QCOMPARE(blocks.size(), 64 * round);
            QSettings store(zoneStoreFileName(), QSettings::IniFormat);
            for (int channel = 0; channel < 64; ++channel) {
                const QByteArray expected =
                    encodeZoneBlock(channel, readStoredChannel(store, channel));
                QVERIFY2(blocks[64 * (round - 1) + channel].payload == expected,
                         qPrintable(QString::number(channel)));
                QVERIFY(rig.sim.state().zoneBlock(channel) == expected);
            }
        }
        QCOMPARE(rig.framesOf(REQUEST_BEGIN_AREA_WRITE).size(), 2);
        QVERIFY(rig.boxes.boxes().isEmpty());
    }

    // Showing a channel, switching its areas, leaving it and uploading change nothing the
    // user did not touch: the store keeps its bytes and the scanner gets back what it sent.
    // Only a vertex the user moves pulls its partner, and only its own area is written.
    void untouchedChannelsGoBackExactlyAsTheyWereRead()
    {
        StudioRig rig;
        const DeviceState scanner = zonesTheEditorWouldRewrite();
        QVERIFY(rig.start(scanner) && rig.show(1));
        QVERIFY(rig.connectAndRead());
        QCOMPARE(rig.window->zoneEditor()->editedChannel(), 7);
        const QByteArray asRead = fileContents(zoneStoreFileName());

        for (int area : {1, 2, 0})
            rig.ui()->areas->setCurrentIndex(area);
        QCOMPARE(rig.window->zoneEditor()->areaRecord(0).points,
                 sceneOf(scanner.zone(7, 0).points));
        rig.ui()->channels->setCurrentIndex(12);
        for (int area : {2, 1, 0})
            rig.ui()->areas->setCurrentIndex(area);
        rig.ui()->channels->setCurrentIndex(7);
        rig.ui()->channels->setCurrentIndex(3);
        QVERIFY(rig.upload());
        QVERIFY(fileContents(zoneStoreFileName()) == asRead);
        for (int channel = 0; channel < 64; ++channel)
            QVERIFY2(rig.sim.state().zoneBlock(channel) == scanner.zoneBlock(channel),
                     qPrintable(QString::number(channel)));

        // The arc's first vertex typed 2 m to the right: the second follows onto 2 m. A new
        // on delay for the polygon leaves its vertices in the order they were read.
        rig.ui()->channels->setCurrentIndex(7);
        rig.typeCell(0, 0, 2000);
        QCOMPARE(rig.window->zoneEditor()->areaRecord(0).points, sceneOf({{2000, 0}, {0, 2000}}));
        rig.ui()->areas->setCurrentIndex(1);
        rig.ui()->onDelayComboBox->setCurrentIndex(9);
        QVERIFY(rig.upload());
        QCOMPARE(rig.stored(7, 0, "Points"), QStringLiteral("2000,0,0,2000,"));
        const DeviceState after = rig.sim.state();
        QCOMPARE(after.zone(7, 0).points, (QVector<QPoint>{{2000, 0}, {0, 2000}}));
        QCOMPARE(after.zone(7, 0).onDelay, quint8(4));
        QCOMPARE(after.zone(7, 1).onDelay, quint8(9));
        QCOMPARE(after.zone(7, 1).points, scanner.zone(7, 1).points);
        QCOMPARE(after.zone(7, 1).dependScale, quint16(17));
        QVERIFY(after.zone(7, 2) == scanner.zone(7, 2));
        for (int channel = 0; channel < 64; ++channel)
            if (channel != 7)
                QVERIFY(after.zoneBlock(channel) == scanner.zoneBlock(channel));
        QVERIFY(rig.boxes.boxes().isEmpty());
    }

    // A new rectangle has its four corners on the scanner until one is moved, whichever
    // rectangle was built before it, and is stored so by an area switch, an upload and a
    // zone file.
    void aNewRectangleStartsWithoutEarlierCorners()
    {
        StudioRig rig;
        QVERIFY(rig.start() && rig.show(1));
        QVERIFY(rig.connectAndRead());
        rig.zoneFile = QStringLiteral("zones.ini");
        rig.ui()->channels->setCurrentIndex(0);
        QTest::mouseClick(rig.ui()->rectangleBtn, Qt::LeftButton);
        rig.typeCell(0, 0, 2000);
        rig.typeCell(0, 1, 4000);
        const QString onTheScanner = QStringLiteral("0,0,0,0,0,0,0,0,");
        auto newRectangleIn = [&](int channel) {
            rig.ui()->channels->setCurrentIndex(0); // builds channel 0's rectangle again
            rig.ui()->channels->setCurrentIndex(channel);
            rig.ui()->areas->setCurrentIndex(0);
            QTest::mouseClick(rig.ui()->rectangleBtn, Qt::LeftButton);
        };

        newRectangleIn(1);
        rig.ui()->areas->setCurrentIndex(1);
        QCOMPARE(rig.stored(1, 0, "Points"), onTheScanner);
        QCOMPARE(rig.stored(1, 0, "regionType"), QStringLiteral("3"));

        newRectangleIn(2);
        QVERIFY(rig.upload());
        QCOMPARE(rig.sim.state().zone(2, 0).points, QVector<QPoint>(4, QPoint(0, 0)));
        QCOMPARE(rig.sim.state().zone(2, 0).regionType, quint8(RectangleRegion));

        newRectangleIn(3);
        QTest::mouseClick(rig.ui()->saveSettingsBtn, Qt::LeftButton);
        QSettings saved(QStringLiteral("zones.ini"), QSettings::IniFormat);
        QCOMPARE(saved.value("Channel3/Area0/Points").toString(), onTheScanner);
        QCOMPARE(saved.value("Channel0/Area0/Points").toString(),
                 QStringLiteral("0,0,0,4000,2000,4000,2000,0,"));
        QVERIFY(rig.boxes.boxes().isEmpty());
    }

    void indexOutsideItsSelectorIsKept()
    {
        StudioRig rig;
        DeviceState scanner;
        scanner.zone(7, 0).onDelay = 60;
        scanner.zone(7, 0).hysteresis = 120;
        QVERIFY(rig.start(scanner) && rig.show(1));
        QVERIFY(rig.connectAndRead());
        QCOMPARE(rig.ui()->onDelayComboBox->currentIndex(), -1);
        QCOMPARE(rig.ui()->hysteresisComboBox->currentIndex(), -1);
        rig.ui()->areas->setCurrentIndex(1);
        rig.ui()->areas->setCurrentIndex(0);
        rig.ui()->channels->setCurrentIndex(3);
        QCOMPARE(rig.stored(7, 0, "onDelay"), QStringLiteral("60"));
        QCOMPARE(rig.stored(7, 0, "hysteresis"), QStringLiteral("120"));
        QVERIFY(rig.upload());
        QCOMPARE(rig.sim.state().zone(7, 0).onDelay, quint8(60));
        QCOMPARE(rig.sim.state().zone(7, 0).hysteresis, quint8(120));
    }
};

QTEST_MAIN(TestZoneTransfer)
#include "tst_zonetransfer.moc"
