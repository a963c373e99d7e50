#include "mainwindow.h"
#include "modalcatcher.h"
#include "pointstext.h"
#include "simulatedscanner.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workerthread.h"
#include "zoneblock.h"
#include "zoneeditor.h"
#include "zonepagedriver.h"
#include "zonestore.h"

#include <QAbstractButton>
#include <QDir>
#include <QGraphicsPathItem>
#include <QSettings>
#include <QtTest>
#include <memory>

namespace {

QVector<QPointF> sceneOf(const QVector<QPoint> &millimetres)
{
    QVector<QPointF> out;
    for (const QPoint &p : millimetres)
        out.append(QPointF(p.x() / 10.0, -p.y() / 10.0));
    return out;
}

QVector<QPoint> polygon(int radius, int count)
{
    QVector<QPoint> points;
    for (int i = 0; i < count; ++i) {
        const double a = -0.6 + 4.3 * i / qMax(1, count - 1);
        points.append(QPoint(int(radius * std::cos(a)), int(radius * std::sin(a))));
    }
    return points;
}

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
        a.points = polygon(1000 + 50 * channel, 3 + channel);
    }
    state.zone(40, 1).regionType = 7; // a type the editor cannot draw is carried through
    state.zone(40, 1).dependScale = 65535;
    state.zone(63, 2).points = polygon(9000, 540);
    state.zone(63, 2).regionType = 1;
    return state;
}

// One scanner, one window, one working directory.
struct Rig
{
    TempWorkingDir dir;
    ModalCatcher boxes;
    SimulatorHost sim;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow *ui = nullptr;

    // With a link the scanner can be unplugged and plugged in again under the same name.
    bool start(const DeviceState &state = DeviceState(), bool linked = false)
    {
        SimOptions options;
        options.paced = false;
        if (linked)
            options.linkPath = dir.filePath("scanner");
        sim.setState(state);
        QString error;
        if (!sim.start(options, &error)) {
            qWarning() << "simulator:" << error;
            return false;
        }
        window = std::make_unique<MainWindow>();
        ui = window->ui();
        window->addExtraPort(linked ? options.linkPath : sim.devicePath());
        window->setZoneWriteTimeout(500);
        ui->tabWidget->addTab(ui->areaTab, QString());
        ui->tabWidget->setCurrentWidget(ui->areaTab);
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    // Connects and waits until the full read and the follow-up read of the current channel
    // have both reached the store and the editor.
    bool connectAndRead()
    {
        window->openSelectedPort();
        if (!window->worker())
            return false;
        QSignalSpy channelsRead(window->worker(), &WorkerThread::sendReadCurArea);
        return waitUntil(
            [&]() {
                return window->isEnabled() && !window->isReadingAreas() &&
                       channelsRead.count() == 65 && ui->areasMonitoningGroupBox->isEnabled();
            },
            10000);
    }
    bool upload()
    {
        const int before = framesOf(sim, REQUEST_WRITE_AREA).size();
        QTest::mouseClick(ui->uploadBtn, Qt::LeftButton);
        return waitUntil(
            [&]() {
                return window->isEnabled() && ui->progressBar->isHidden() &&
                       framesOf(sim, REQUEST_WRITE_AREA).size() == before + 64;
            },
            10000);
    }
    void addVertex(int xMm, int yMm) { typeVertex(ui, xMm, yMm); }
    void setCell(int row, int column, int mm) { typeCell(ui, row, column, mm); }
    QString stored(int channel, int area, const char *key) const
    {
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        return store.value(zoneKey(channel, area, QLatin1String(key))).toString();
    }
};

QByteArray bytesOf(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray storeBytes()
{
    return bytesOf(zoneStoreFileName());
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
        Rig rig;
        const DeviceState scanner = richScanner();
        QVERIFY(rig.start(scanner));
        // Vertices drawn before the link is up belong to no channel of the scanner; they
        // must not end up in the store the read fills.
        rig.addVertex(1500, 2500);
        rig.addVertex(-1500, 2500);
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
        QTRY_COMPARE(storeBytes(), bytesOf("reference.ini"));

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
        QCOMPARE(rig.window->editedChannel(), 7);
        QCOMPARE(rig.ui->channels->currentIndex(), 7);
        QCOMPARE(framesOf(rig.sim, REQUEST_READ_AREA).last().payload, QByteArray(1, '\7'));
        for (int k = 0; k < 3; ++k)
            QCOMPARE(rig.window->zoneEditor()->areaRecord(k).points,
                     sceneOf(scanner.zone(7, k).points));
        // The running-status view shows the zones of channel 0.
        for (int k = 0; k < 3; ++k)
            QVERIFY(!rig.window->stateZoneItem(k)->path().isEmpty());
        QCOMPARE(framesOf(rig.sim, REQUEST_READ_AREAS_DONE).size(), 1);
    }

    void editsSurviveChannelSwitchesAndReachTheScanner()
    {
        Rig rig;
        QVERIFY(rig.start(richScanner()));
        QVERIFY(rig.connectAndRead());
        rig.ui->channels->setCurrentIndex(5);
        QTest::mouseClick(rig.ui->polygonBtn, Qt::LeftButton);
        rig.addVertex(-2000, 1000);
        rig.addVertex(2000, 1000);
        rig.addVertex(0, 3000);
        rig.ui->onDelayComboBox->setCurrentIndex(12);
        const QVector<QPointF> drawn = rig.window->zoneEditor()->areaRecord(0).points;
        QCOMPARE(drawn.size(), 3);

        rig.ui->channels->setCurrentIndex(9);
        QVERIFY(rig.window->zoneEditor()->areaRecord(0).points != drawn);
        rig.ui->channels->setCurrentIndex(5);
        // Stored in angular order, read back as stored.
        QCOMPARE(rig.stored(5, 0, "Points"), QStringLiteral("2000,1000,0,3000,-2000,1000,"));
        QCOMPARE(rig.stored(5, 0, "onDelay"), QStringLiteral("12"));
        QCOMPARE(rig.window->zoneEditor()->areaRecord(0).points,
                 sceneOf({{2000, 1000}, {0, 3000}, {-2000, 1000}}));
        QCOMPARE(rig.ui->onDelayComboBox->currentIndex(), 12);

        // The upload sends every channel exactly as the store holds it, and starts at
        // channel 0 each time.
        for (int round = 1; round <= 2; ++round) {
            QVERIFY(rig.upload());
            const QVector<ReceivedFrame> blocks = framesOf(rig.sim, REQUEST_WRITE_AREA);
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
        QCOMPARE(framesOf(rig.sim, REQUEST_BEGIN_AREA_WRITE).size(), 2);
        QVERIFY(rig.boxes.boxes().isEmpty());
    }

    // Showing a channel, switching its areas, leaving it and uploading change nothing the
    // user did not touch: the store keeps its bytes and the scanner gets back what it sent.
    // Only a vertex the user moves pulls its partner, and only its own area is written.
    void untouchedChannelsGoBackExactlyAsTheyWereRead()
    {
        Rig rig;
        const DeviceState scanner = zonesTheEditorWouldRewrite();
        QVERIFY(rig.start(scanner));
        QVERIFY(rig.connectAndRead());
        QCOMPARE(rig.window->editedChannel(), 7);
        const QByteArray asRead = storeBytes();

        for (int area : {1, 2, 0})
            rig.ui->areas->setCurrentIndex(area);
        QCOMPARE(rig.window->zoneEditor()->areaRecord(0).points,
                 sceneOf(scanner.zone(7, 0).points));
        rig.ui->channels->setCurrentIndex(12);
        for (int area : {2, 1, 0})
            rig.ui->areas->setCurrentIndex(area);
        rig.ui->channels->setCurrentIndex(7);
        rig.ui->channels->setCurrentIndex(3);
        QVERIFY(rig.upload());
        QVERIFY(storeBytes() == asRead);
        for (int channel = 0; channel < 64; ++channel)
            QVERIFY2(rig.sim.state().zoneBlock(channel) == scanner.zoneBlock(channel),
                     qPrintable(QString::number(channel)));

        // The arc's first vertex typed 2 m to the right: the second follows onto 2 m. A new
        // on delay for the polygon leaves its vertices in the order they were read.
        rig.ui->channels->setCurrentIndex(7);
        rig.setCell(0, 0, 2000);
        QCOMPARE(rig.window->zoneEditor()->areaRecord(0).points, sceneOf({{2000, 0}, {0, 2000}}));
        rig.ui->areas->setCurrentIndex(1);
        rig.ui->onDelayComboBox->setCurrentIndex(9);
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
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.connectAndRead());
        rig.window->setZoneFileProvider([](bool) { return QStringLiteral("zones.ini"); });
        rig.ui->channels->setCurrentIndex(0);
        QTest::mouseClick(rig.ui->rectangleBtn, Qt::LeftButton);
        rig.setCell(0, 0, 2000);
        rig.setCell(0, 1, 4000);
        const QString onTheScanner = QStringLiteral("0,0,0,0,0,0,0,0,");
        auto newRectangleIn = [&](int channel) {
            rig.ui->channels->setCurrentIndex(0); // builds channel 0's rectangle again
            rig.ui->channels->setCurrentIndex(channel);
            rig.ui->areas->setCurrentIndex(0);
            QTest::mouseClick(rig.ui->rectangleBtn, Qt::LeftButton);
        };

        newRectangleIn(1);
        rig.ui->areas->setCurrentIndex(1);
        QCOMPARE(rig.stored(1, 0, "Points"), onTheScanner);
        QCOMPARE(rig.stored(1, 0, "regionType"), QStringLiteral("3"));

        newRectangleIn(2);
        QVERIFY(rig.upload());
        QCOMPARE(rig.sim.state().zone(2, 0).points, QVector<QPoint>(4, QPoint(0, 0)));
        QCOMPARE(rig.sim.state().zone(2, 0).regionType, quint8(RectangleRegion));

        newRectangleIn(3);
        QTest::mouseClick(rig.ui->saveSettingsBtn, Qt::LeftButton);
        QSettings saved(QStringLiteral("zones.ini"), QSettings::IniFormat);
        QCOMPARE(saved.value("Channel3/Area0/Points").toString(), onTheScanner);
        QCOMPARE(saved.value("Channel0/Area0/Points").toString(),
                 QStringLiteral("0,0,0,4000,2000,4000,2000,0,"));
        QVERIFY(rig.boxes.boxes().isEmpty());
    }

    void stalledUploadGivesTheWindowBack_data()
    {
        QTest::addColumn<int>("refuseFrom");
        QTest::addColumn<QString>("message");
        QTest::newRow("block refused") << 10
                                       << "Uploading the zones stopped at channel 10: the scanner "
                                          "did not acknowledge it";
        QTest::newRow("scanner silent") << -1
                                        << "Uploading the zones stopped at channel 0: the scanner "
                                           "did not acknowledge it";
    }
    void stalledUploadGivesTheWindowBack()
    {
        QFETCH(int, refuseFrom);
        QFETCH(QString, message);
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.connectAndRead());
        QMetaObject::Connection refusal;
        if (refuseFrom < 0) {
            rig.sim.setSilent(true);
        } else {
            // A refusal is reported when it comes, not when a step times out.
            rig.window->setZoneWriteTimeout(60000);
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
        QTest::mouseClick(rig.ui->uploadBtn, Qt::LeftButton);
        QVERIFY(!rig.window->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(message), 5000);
        QVERIFY(rig.window->isEnabled());
        QVERIFY(rig.ui->areasMonitoningGroupBox->isEnabled());
        QVERIFY(rig.ui->filterGroupBox->isEnabled());
        QVERIFY(rig.ui->progressBar->isHidden());
        QVERIFY(!rig.window->worker()->isWritingZones());
        QCOMPARE(rig.window->worker()->nextZoneWriteChannel(), 0);

        // Once the scanner answers again, the next upload starts over at channel 0.
        disconnect(refusal);
        rig.sim.updateOptions([](SimOptions &o) {
            o.silent = false;
            o.statusOverrides.clear();
        });
        const int before = framesOf(rig.sim, REQUEST_WRITE_AREA).size();
        QVERIFY(rig.upload());
        QCOMPARE(framesOf(rig.sim, REQUEST_WRITE_AREA).at(before).payload.at(0), char(0));
    }

    void indexOutsideItsSelectorIsKept()
    {
        Rig rig;
        DeviceState scanner;
        scanner.zone(7, 0).onDelay = 60;
        scanner.zone(7, 0).hysteresis = 120;
        QVERIFY(rig.start(scanner));
        QVERIFY(rig.connectAndRead());
        QCOMPARE(rig.ui->onDelayComboBox->currentIndex(), -1);
        QCOMPARE(rig.ui->hysteresisComboBox->currentIndex(), -1);
        rig.ui->areas->setCurrentIndex(1);
        rig.ui->areas->setCurrentIndex(0);
        rig.ui->channels->setCurrentIndex(3);
        QCOMPARE(rig.stored(7, 0, "onDelay"), QStringLiteral("60"));
        QCOMPARE(rig.stored(7, 0, "hysteresis"), QStringLiteral("120"));
        QVERIFY(rig.upload());
        QCOMPARE(rig.sim.state().zone(7, 0).onDelay, quint8(60));
        QCOMPARE(rig.sim.state().zone(7, 0).hysteresis, quint8(120));
    }

    void unsendableStoreIsRefusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("541 vertices")
            << "Points" << pointsText(polygon(3000, 541))
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
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.connectAndRead());
        // The factory copy takes the zone keys as they are written in the factory file; the
        // check before the upload is what keeps them off the wire.
        QVERIFY(QFile::copy(QStringLiteral(FACTORY_FILE), "factorySettings.ini"));
        {
            const QByteArray name = key.toLatin1();
            QSettings factory("factorySettings.ini", QSettings::IniFormat);
            factory.setValue(zoneKey(20, 1, QLatin1String(name)), value);
        }
        rig.boxes.setHold([](QMessageBox *box) {
            if (box->icon() != QMessageBox::Warning)
                return false;
            box->button(QMessageBox::Yes)->click();
            return true;
        });
        QTest::mouseClick(rig.ui->factorySettingsBtn, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(message), 5000);
        QVERIFY(rig.window->isEnabled());
        QVERIFY(rig.ui->areasMonitoningGroupBox->isEnabled());
        QVERIFY(rig.ui->progressBar->isHidden());
        QVERIFY(rig.ui->resetFactoryProgressBar->isHidden());
        QTest::qWait(100);
        QVERIFY(framesOf(rig.sim, REQUEST_BEGIN_AREA_WRITE).isEmpty());
        QVERIFY(framesOf(rig.sim, REQUEST_WRITE_AREA).isEmpty());
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
        Rig rig;
        // A scanner without zones: only the edit below differs between it and the store.
        DeviceState scanner;
        scanner.zones.fill(ZoneArea());
        QVERIFY(rig.start(scanner, true));
        QVERIFY(rig.connectAndRead());
        rig.ui->channels->setCurrentIndex(20);
        QTest::mouseClick(rig.ui->polygonBtn, Qt::LeftButton);
        rig.addVertex(-2000, 1000);
        rig.addVertex(2000, 1000);
        rig.addVertex(0, 3000);
        const QString edited = QStringLiteral("2000,1000,0,3000,-2000,1000,");

        // The cable goes once channel 9 is acknowledged, and is back a moment later.
        rig.sim.updateOptions([](SimOptions &o) {
            o.unplugType = REQUEST_WRITE_AREA;
            o.unplugAfter = 10;
            o.replugMs = 200;
        });
        QTest::mouseClick(rig.ui->uploadBtn, Qt::LeftButton);
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

        QString question;
        int questions = 0;
        rig.boxes.setHold([&](QMessageBox *box) {
            if (box->icon() != QMessageBox::Question)
                return false;
            question = box->text();
            ++questions;
            const QString choice = uploadThem ? "Upload the changes" : "Read the scanner's zones";
            for (QAbstractButton *button : box->buttons())
                if (button->text() == choice)
                    button->click();
            return true;
        });
        const int blocks = framesOf(rig.sim, REQUEST_WRITE_AREA).size();
        const int reads = framesOf(rig.sim, REQUEST_READ_AREA).size();
        rig.window->openSelectedPort();
        QTRY_COMPARE_WITH_TIMEOUT(questions, 1, 5000);

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
                    return rig.window->isEnabled() && rig.ui->progressBar->isHidden() &&
                           framesOf(rig.sim, REQUEST_WRITE_AREA).size() == blocks + 64;
                },
                10000));
            // Nothing was read over the changes; the scanner has them now.
            QCOMPARE(framesOf(rig.sim, REQUEST_READ_AREA).size(), reads);
            QCOMPARE(rig.sim.state().zone(20, 0).points,
                     (QVector<QPoint>{{2000, 1000}, {0, 3000}, {-2000, 1000}}));
            QCOMPARE(rig.stored(20, 0, "Points"), edited);
            QVERIFY(rig.ui->areasMonitoningGroupBox->isEnabled());
            QVERIFY(rig.ui->treeWidget->isEnabled());
        } else {
            QVERIFY(waitUntil(
                [&]() {
                    return rig.window->isEnabled() && !rig.window->isReadingAreas() &&
                           framesOf(rig.sim, REQUEST_READ_AREA).size() == reads + 65;
                },
                10000));
            QVERIFY(rig.stored(20, 0, "Points").isEmpty());
        }

        // The store and the scanner agree again: the next connection reads without asking.
        QTest::mouseClick(rig.ui->openBtn, Qt::LeftButton);
        const int readsBefore = framesOf(rig.sim, REQUEST_READ_AREA).size();
        rig.window->openSelectedPort();
        QVERIFY(waitUntil(
            [&]() {
                return rig.window->isEnabled() &&
                       framesOf(rig.sim, REQUEST_READ_AREA).size() == readsBefore + 65;
            },
            10000));
        QCOMPARE(questions, 1);
    }

    void reopeningWithinASecondStartsOneRead()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.window->openSelectedPort();
        QTRY_VERIFY(rig.window->worker());
        QTest::mouseClick(rig.ui->openBtn, Qt::LeftButton); // close
        QVERIFY(!rig.window->port()->isOpen());
        rig.window->openSelectedPort();
        QVERIFY(rig.window->port()->isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.window->isEnabled() && framesOf(rig.sim, REQUEST_READ_AREA).size() >= 65, 10000);
        QTest::qWait(1200);
        int starts = 0;
        for (const ReceivedFrame &frame : framesOf(rig.sim, REQUEST_READ_AREA))
            starts += frame.payload == QByteArray(1, '\0');
        QCOMPARE(starts, 1);
        QCOMPARE(framesOf(rig.sim, REQUEST_READ_AREAS_DONE).size(), 1);
    }
};

QTEST_MAIN(TestZoneTransfer)
#include "tst_zonetransfer.moc"
