// Recording, replay and zone from scan in the window, against the simulated scanner: the
// File menu's recording from start to the closed port and the pulled cable, and the Edit
// menu's zone drawn from a replayed ring.
#include "framecodec.h"
#include "framerecorder.h"
#include "scanframe.h"
#include "simrecording.h"
#include "studiorig.h"
#include "zoneeditor.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QtTest>

#include <cmath>

namespace {

QAction *action(MainWindow *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

// A recording of a round room of the given radius: every direction sees its wall.
SimRecording ringRecording(ushort radiusMm, int scans)
{
    SimRecording rec;
    for (int s = 0; s < scans; ++s) {
        for (int sector = 0; sector < kScanFramesPerBatch; ++sector) {
            ScanState state;
            state.sector = uchar(sector);
            rec.scanFrames += buildScanFrame(state, QVector<ushort>(kPointsPerScanFrame, radiusMm),
                                             QVector<ushort>(kPointsPerScanFrame, 900));
            rec.timesUs.append(qint64(s * 6 + sector) * 40000 / 6);
        }
    }
    rec.periodUs = qint64(scans) * 40000;
    rec.packets = rec.timesUs.size();
    return rec;
}

} // namespace

class TestRecordReplay : public QObject
{
    Q_OBJECT

private slots:
    void recordingRunsFromTheFileMenuUntilThePortCloses();
    void aPulledCableClosesTheRecording();
    void zoneFromAReplayedRing();
    void zoneFromScanNamesAnEchoAtTheScanner();
};

void TestRecordReplay::recordingRunsFromTheFileMenuUntilThePortCloses()
{
    StudioRig rig;
    QVERIFY(rig.start(StudioRig::withoutZoneReads()));
    QAction *record = action(rig.window.get(), "actionRecordScans");
    QVERIFY(record);
    QVERIFY(rig.ui()->menuFile->actions().contains(record));
    QVERIFY(record->isCheckable());
    // Nothing to record before a scanner is connected.
    QVERIFY(!record->isEnabled());
    QVERIFY(rig.connectAndSettle());
    QVERIFY(record->isEnabled());
    rig.boxes.clear(); // the rig's zone read, which the scanner leaves unanswered

    // A cancelled file dialog records nothing.
    rig.recordFile.clear();
    record->trigger();
    QVERIFY(!record->isChecked());
    QVERIFY(!rig.window->scanRecording()->recorder()->isRecording());

    const QString path = rig.dir.filePath("desk");
    rig.recordFile = path;
    record->trigger();
    QVERIFY(record->isChecked());
    FrameRecorder *recorder = rig.window->scanRecording()->recorder();
    QVERIFY(recorder->isRecording());
    QCOMPARE(recorder->fileName(), path + ".pcap");
    auto *label = rig.window->findChild<QLabel *>("recordingLabel");
    QVERIFY(label);
    QVERIFY(waitUntil([&]() { return recorder->elapsedMs() > 1100; }, 5000));
    QTest::qWait(600); // one refresh of the label at least
    QVERIFY(!label->isHidden());
    QVERIFY2(label->text().startsWith(QStringLiteral("Recording 0:01 · ")),
             qPrintable(label->text()));
    QVERIFY2(label->text().endsWith(" kB"), qPrintable(label->text()));

    // Closing the port ends the recording and closes the file.
    rig.ui()->openBtn->click();
    QVERIFY(!recorder->isRecording());
    QVERIFY(!record->isChecked());
    QVERIFY(!record->isEnabled());
    QVERIFY(label->isHidden());
    QVERIFY2(rig.window->statusBar()->currentMessage().contains(path + ".pcap"),
             qPrintable(rig.window->statusBar()->currentMessage()));
    SimRecording rec;
    QString error;
    QVERIFY2(loadSimRecording(path + ".pcap", &rec, &error), qPrintable(error));
    QCOMPARE(qint64(rec.packets), recorder->frameCount());
    QVERIFY(rec.scanCount() >= 150);
    QCOMPARE(rig.boxes.count(), 0);
}

void TestRecordReplay::aPulledCableClosesTheRecording()
{
    StudioRig rig;
    QVERIFY(rig.start(StudioRig::withoutZoneReads()));
    QVERIFY(rig.connectAndSettle());
    const QString path = rig.dir.filePath("pulled.pcap");
    rig.recordFile = path;
    QAction *record = action(rig.window.get(), "actionRecordScans");
    record->trigger();
    QVERIFY(rig.window->scanRecording()->recorder()->isRecording());
    QTest::qWait(500);
    rig.sim.unplug();
    QVERIFY(
        waitUntil([&]() { return !rig.window->scanRecording()->recorder()->isRecording(); }, 5000));
    QVERIFY(!record->isChecked());
    QVERIFY(!record->isEnabled());
    SimRecording rec;
    QString error;
    QVERIFY2(loadSimRecording(path, &rec, &error), qPrintable(error));
    QCOMPARE(qint64(rec.packets), rig.window->scanRecording()->recorder()->frameCount());
}

void TestRecordReplay::zoneFromAReplayedRing()
{
    StudioRig rig;
    SimOptions options = StudioRig::withoutZoneReads();
    options.replay = ringRecording(3000, 10);
    options.replayLoop = true;
    QVERIFY(rig.start(options));
    QAction *zoneFromScan = action(rig.window.get(), "actionZoneFromScan");
    QVERIFY(zoneFromScan);
    QVERIFY(rig.ui()->menuEdit->actions().contains(zoneFromScan));

    // Before any scan there is nothing to draw from; the dialog is not even asked.
    int asked = 0;
    ZoneFromScanChoice offered;
    rig.zoneFromScan = [&](ZoneFromScanChoice *choice) {
        ++asked;
        offered = *choice;
        return true;
    };
    zoneFromScan->trigger();
    QCOMPARE(asked, 0);
    QCOMPARE(rig.boxes.count(), 1);

    QVERIFY(rig.connectAndSettle());
    QVERIFY(waitUntil([&]() { return rig.window->scanZones()->keptScans().size() >= 30; }, 5000));
    ZoneEditor *editor = rig.window->zoneEditor();
    const int area = editor->editedArea();
    const AreaSettings before = editor->areaRecord(area);
    zoneFromScan->trigger();
    QCOMPARE(asked, 1);
    // One second of scans, 100 mm from the echoes, 20 mm of tolerance.
    QCOMPARE(offered.scans, 25);
    QCOMPARE(offered.margin, 100);
    QCOMPARE(offered.tolerance, 20);

    const AreaSettings &after = editor->areaRecord(area);
    QCOMPARE(int(after.regionType), int(PolygonRegion));
    QVERIFY(after.points.size() >= 10 && after.points.size() <= 540);
    for (const QPointF &p : after.points) {
        const double mm = std::hypot(p.x(), p.y()) * 10;
        QVERIFY2(std::abs(mm - 2900) <= 20, qPrintable(QString::number(mm)));
    }
    // The record's other values stay.
    QCOMPARE(after.onDelay, before.onDelay);
    // The table shows the new vertices, and below them the row that adds one.
    const QAbstractItemModel *table = rig.ui()->tableView->model();
    QCOMPARE(table->rowCount(), after.points.size() + 1);
    QCOMPARE(table->index(0, 0).data().toString(),
             QString::number(int(std::trunc(after.points.first().x() * 10))));

    // Cancelled: the zone stays as it is.
    const QVector<QPointF> drawn = after.points;
    rig.zoneFromScan = nullptr;
    zoneFromScan->trigger();
    QCOMPARE(editor->areaRecord(area).points, drawn);
}

// An echo nearer to the scanner than the margin (dirt on the window) cannot be kept at
// it: the zone leaves its direction out, and the window says where it is.
void TestRecordReplay::zoneFromScanNamesAnEchoAtTheScanner()
{
    StudioRig rig;
    QVERIFY(rig.openWindow() && rig.window->workOffline());
    MainWindow &window = *rig.window;
    const ModalCatcher &boxes = rig.boxes;
    rig.zoneFromScan = [](ZoneFromScanChoice *choice) {
        choice->scans = 5;
        return true;
    };
    for (int s = 0; s < 5; ++s) {
        QVector<float> angles;
        QVector<ushort> ranges;
        for (int i = 0; i < 540; ++i) {
            angles.append(float(-45 + i * 0.5));
            ranges.append(s == 2 && i == 270 ? 60 : 3000);
        }
        window.onRecvAndShowPoint(angles, ranges, QVector<ushort>(540, 900));
    }
    action(&window, "actionZoneFromScan")->trigger();
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes().first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.boxes().first().text,
             QStringLiteral("These echoes lie nearer to the scanner than the margin; the zone "
                            "leaves their directions out down to the scanner: 90.0° at 60 mm"));
    // The zone is drawn all the same, with a vertex by the scanner in that direction.
    const AreaSettings &zone = window.zoneEditor()->areaRecord(window.zoneEditor()->editedArea());
    QCOMPARE(int(zone.regionType), int(PolygonRegion));
    QVERIFY(std::any_of(zone.points.cbegin(), zone.points.cend(), [](const QPointF &p) {
        return std::hypot(p.x(), p.y()) * 10 < 20 && p.y() < 0;
    }));
}

QTEST_MAIN(TestRecordReplay)
#include "tst_recordreplay.moc"
