// Zone transfers that fail or are cut off, through the window against the simulated
// scanner: a stalled or refused upload, a store the scanner cannot take, a cable pulled in
// the middle of an upload, a port reopened before the read began.
#include "pointstext.h"
#include "simulatedscanner.h"
#include "simzones.h"
#include "studiorig.h"
#include "zonestore.h"

#include <QDir>
#include <QSettings>
#include <QtTest>

class TestTransferFaults : public QObject
{
    Q_OBJECT

    // The window on its zone page beside an unpaced scanner, which may be reached through
    // a link that stays when it is unplugged and plugged in again. An upload gives up on a
    // block after half a second.
    static bool startRig(StudioRig &rig, const DeviceState &state = DeviceState(),
                         bool linked = false)
    {
        SimOptions options = StudioRig::quick();
        if (linked)
            options.linkPath = rig.dir.filePath(QStringLiteral("scanner"));
        if (!rig.start(state, options, options.linkPath))
            return false;
        rig.window->scannerSession()->zoneWrite()->setTimeout(500);
        return rig.show(1);
    }

private slots:
    void stalledUploadGivesTheWindowBack_data()
    {
        QTest::addColumn<int>("refuseFrom");
        QTest::addColumn<QString>("message");
        QTest::newRow("block refused")
            << 10 << "Uploading the zones stopped at channel 10: the scanner refused it (status 1)";
        QTest::newRow("scanner silent") << -1
                                        << "Uploading the zones stopped at channel 0: the scanner "
                                           "did not acknowledge it";
    }
    void stalledUploadGivesTheWindowBack()
    {
        QFETCH(int, refuseFrom);
        QFETCH(QString, message);
        StudioRig rig;
        QVERIFY(startRig(rig));
        QVERIFY(rig.connectAndRead());
        QMetaObject::Connection refusal;
        if (refuseFrom < 0) {
            rig.sim.setSilent(true);
        } else {
            // A refusal is reported when it comes, not when a step times out.
            rig.window->scannerSession()->zoneWrite()->setTimeout(60000);
            // Set in the scanner's own thread as the block before arrives: it is answered,
            // and every block from refuseFrom on is refused.
            refusal = connect(
                rig.sim.scanner(), &SimulatedScanner::frameReceived, this,
                [&rig, refuseFrom](quint16 type, const QByteArray &payload) {
                    if (type == REQUEST_WRITE_AREA && payload.at(0) == char(refuseFrom - 1))
                        rig.sim.updateOptions(
                            [](SimOptions &o) { o.statusOverrides[REQUEST_WRITE_AREA] = 1; });
                },
                Qt::DirectConnection);
        }
        QTest::mouseClick(rig.ui()->uploadBtn, Qt::LeftButton);
        QVERIFY(!rig.window->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(message), 5000);
        QVERIFY(rig.window->isEnabled());
        QVERIFY(rig.ui()->areasMonitoningGroupBox->isEnabled());
        QVERIFY(rig.ui()->filterGroupBox->isEnabled());
        QVERIFY(rig.ui()->progressBar->isHidden());

        // Once the scanner answers again, the next upload starts over at channel 0.
        disconnect(refusal);
        rig.sim.updateOptions([](SimOptions &o) {
            o.silent = false;
            o.statusOverrides.clear();
        });
        const int before = rig.framesOf(REQUEST_WRITE_AREA).size();
        QVERIFY(rig.upload());
        QCOMPARE(rig.framesOf(REQUEST_WRITE_AREA).at(before).payload.at(0), char(0));
    }

    void unsendableStoreIsRefusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("541 vertices")
            << "Points" << pointsText(polygonOf(3000, 541))
            << "Channel 20, WarningArea has 541 points, more than the 540 a zone can hold; "
               "no zones were uploaded";
        QTest::newRow("40 m") << "Points"
                              << "40000,100,"
                              << "Channel 20, WarningArea has a coordinate outside -32768 to "
                                 "32767 mm; no zones were uploaded";
        // Values the block would wrap, shorten or make up.
        const QString store = "The zone store config.ini cannot be uploaded: channel 20, "
                              "WarningArea, key %1; no zones were uploaded";
        QTest::newRow("regionType 300")
            << "regionType"
            << "300" << store.arg("regionType: 300 is outside 0 to 255");
        QTest::newRow("no final comma")
            << "Points"
            << "100,200" << store.arg("Points is not a list of x,y pairs each followed by a comma");
    }
    void unsendableStoreIsRefusedBeforeAnythingIsSent()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, message);
        StudioRig rig;
        QVERIFY(startRig(rig));
        QVERIFY(rig.connectAndRead());
        // The factory copy takes the zone keys as they are written in the factory file; the
        // check before the upload is what keeps them off the wire.
        QVERIFY(QFile::copy(QStringLiteral(FACTORY_FILE), "factorySettings.ini"));
        {
            const QByteArray name = key.toLatin1();
            QSettings factory("factorySettings.ini", QSettings::IniFormat);
            factory.setValue(zoneKey(20, 1, QLatin1String(name)), value);
        }
        rig.boxes.answer("Are you sure you want to restore factory Settings?", QMessageBox::Yes);
        QTest::mouseClick(rig.ui()->factorySettingsBtn, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(message), 5000);
        QVERIFY(rig.window->isEnabled());
        QVERIFY(rig.ui()->areasMonitoningGroupBox->isEnabled());
        QVERIFY(rig.ui()->progressBar->isHidden());
        QVERIFY(rig.ui()->resetFactoryProgressBar->isHidden());
        QTest::qWait(100);
        QVERIFY(rig.framesOf(REQUEST_BEGIN_AREA_WRITE).isEmpty());
        QVERIFY(rig.framesOf(REQUEST_WRITE_AREA).isEmpty());
    }

    void interruptedUploadKeepsTheEdits_data()
    {
        QTest::addColumn<bool>("uploadThem");
        QTest::newRow("upload them") << true;
        QTest::newRow("take the scanner's") << false;
    }

    void interruptedUploadKeepsTheEdits()
    {
        QFETCH(bool, uploadThem);
        StudioRig rig;
        // A scanner without zones: only the edit below differs between it and the store.
        DeviceState scanner;
        scanner.zones.fill(ZoneArea());
        QVERIFY(startRig(rig, scanner, true));
        QVERIFY(rig.connectAndRead());
        rig.ui()->channels->setCurrentIndex(20);
        QTest::mouseClick(rig.ui()->polygonBtn, Qt::LeftButton);
        rig.typeVertex(-2000, 1000);
        rig.typeVertex(2000, 1000);
        rig.typeVertex(0, 3000);
        const QString edited = QStringLiteral("2000,1000,0,3000,-2000,1000,");

        // The cable goes once channel 9 is acknowledged, and is back a moment later.
        rig.sim.updateOptions([](SimOptions &o) {
            o.unplugType = REQUEST_WRITE_AREA;
            o.unplugAfter = 10;
            o.replugMs = 200;
        });
        QTest::mouseClick(rig.ui()->uploadBtn, Qt::LeftButton);
        const QString incomplete =
            QStringLiteral("The zone upload is incomplete: channel 10 and the channels after it "
                           "did not reach the scanner; the changes are kept in the zone store");
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.count() >= 2, 5000);
        QVERIFY2(rig.boxes.sawText(incomplete), qPrintable(rig.boxes.boxes().last().text));
        QVERIFY(rig.boxes.sawText(
            "The serial port is disconnected. Check whether the connection is normal"));
        QCOMPARE(rig.boxes.count(), 2);
        QVERIFY(rig.sim.state().zone(20, 0).points.isEmpty());
        QCOMPARE(rig.stored(20, 0, "Points"), edited);
        QTRY_VERIFY(!rig.sim.devicePath().isEmpty());

        rig.boxes.answerQuestion(uploadThem ? "Upload the changes" : "Read the scanner's zones");
        auto questions = [&rig]() { return rig.boxes.textsOf(QMessageBox::Question); };
        const int blocks = rig.framesOf(REQUEST_WRITE_AREA).size();
        const int reads = rig.framesOf(REQUEST_READ_AREA).size();
        rig.window->serialPanel()->openSelectedPort();
        QTRY_COMPARE_WITH_TIMEOUT(questions().size(), 1, 5000);
        const QString question = questions().first();

        // A copy of the changes is kept whatever the answer, and the question says where.
        const QStringList copies =
            QDir(rig.dir.path()).entryList({QStringLiteral("unsent-zones-*.ini")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        const QString copy = rig.dir.filePath(copies.first());
        QVERIFY2(question.contains(QDir::toNativeSeparators(copy)), qPrintable(question));
        QCOMPARE(QSettings(copy, QSettings::IniFormat)
                     .value(zoneKey(20, 0, QLatin1String("Points")))
                     .toString(),
                 edited);

        if (uploadThem) {
            QVERIFY(waitUntil(
                [&]() {
                    return rig.window->isEnabled() && rig.ui()->progressBar->isHidden() &&
                           rig.framesOf(REQUEST_WRITE_AREA).size() == blocks + 64;
                },
                10000));
            // Nothing was read over the changes; the scanner has them now.
            QCOMPARE(rig.framesOf(REQUEST_READ_AREA).size(), reads);
            QCOMPARE(rig.sim.state().zone(20, 0).points,
                     (QVector<QPoint>{{2000, 1000}, {0, 3000}, {-2000, 1000}}));
            QCOMPARE(rig.stored(20, 0, "Points"), edited);
            QVERIFY(rig.ui()->areasMonitoningGroupBox->isEnabled());
            QVERIFY(rig.ui()->treeWidget->isEnabled());
        } else {
            QVERIFY(waitUntil(
                [&]() {
                    return rig.window->isEnabled() &&
                           !rig.window->scannerSession()->zoneRead()->isRunning() &&
                           rig.framesOf(REQUEST_READ_AREA).size() == reads + 65;
                },
                10000));
            QVERIFY(rig.stored(20, 0, "Points").isEmpty());
        }

        // The store and the scanner agree again: the next connection reads without asking.
        QTest::mouseClick(rig.ui()->openBtn, Qt::LeftButton);
        const int readsBefore = rig.framesOf(REQUEST_READ_AREA).size();
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(waitUntil(
            [&]() {
                return rig.window->isEnabled() &&
                       rig.framesOf(REQUEST_READ_AREA).size() == readsBefore + 65;
            },
            10000));
        QCOMPARE(questions().size(), 1);
    }

    void reopeningWithinASecondStartsOneRead()
    {
        StudioRig rig;
        QVERIFY(startRig(rig));
        rig.window->serialPanel()->openSelectedPort();
        QTRY_VERIFY(rig.window->scannerSession()->worker());
        QTest::mouseClick(rig.ui()->openBtn, Qt::LeftButton); // close
        QVERIFY(!rig.window->scannerSession()->link()->isOpen());
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(rig.window->scannerSession()->link()->isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.window->isEnabled() && rig.framesOf(REQUEST_READ_AREA).size() >= 65, 10000);
        QTest::qWait(1200);
        int starts = 0;
        for (const ReceivedFrame &frame : rig.framesOf(REQUEST_READ_AREA))
            starts += frame.payload == QByteArray(1, '\0');
        QCOMPARE(starts, 1);
        QCOMPARE(rig.framesOf(REQUEST_READ_AREAS_DONE).size(), 1);
    }
};

QTEST_MAIN(TestTransferFaults)
#include "tst_transferfaults.moc"
