// A recording played in the window instead of a scanner: the pages show its scans, the
// window's playback mode leaves out what needs a scanner and sends nothing, the playback
// bar's controls and its timeline with the marks, and the diagnostics as of the position.
#include "diagnosticspanel.h"
#include "pcapbuilder.h"
#include "playbacktimeline.h"
#include "recordinglink.h"
#include "recordingplayback.h"
#include "requesttable.h"
#include "simrecording.h"
#include "studiorig.h"

#include <QComboBox>
#include <QDockWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace pcapbuilder;

namespace {

// Forty scans at 25 a second: the outputs go from 0 to 2 at scan 10 and back at scan 20,
// the error byte is 4 in scans 15 and 16, the inputs go from 1 to 3 at scan 25, sector 3
// of scan 30 is damaged, and a reply (which playback must not act on) follows scan 2.
struct Sample
{
    static constexpr int kScans = 40;
    static uchar output(int scan) { return scan >= 10 && scan < 20 ? 2 : 0; }
    static uchar input(int scan) { return scan < 25 ? 1 : 3; }
    static uchar error(int scan) { return scan == 15 || scan == 16 ? 4 : 0; }

    static QByteArray file()
    {
        QVector<Packet> packets;
        for (int scan = 0; scan < kScans; ++scan) {
            for (int sector = 0; sector < 6; ++sector) {
                ScanState state;
                state.sector = uchar(sector);
                state.output = output(scan);
                state.input = input(scan);
                state.erro = error(scan);
                QByteArray f = buildScanFrame(
                    state, QVector<ushort>(kPointsPerScanFrame, rangeOf(sector, scan)),
                    QVector<ushort>(kPointsPerScanFrame, 500));
                if (scan == 30 && sector == 3)
                    f[f.size() - 1] = char(f.at(f.size() - 1) ^ 0x55);
                packets.append({f, kStartUs + qint64(scan * 6 + sector + 1) * 40000 / 6});
            }
            if (scan == 2)
                packets.append({buildReplyFrame(REQUEST_SAVE_PARAMETERS, 0, QByteArray()),
                                kStartUs + 3 * 40000 + 100});
        }
        return pcapFile(packets);
    }
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The scan the pages last showed, by the range its points carry (sector 0's).
int shownScan(MainWindow &window)
{
    const QVector<ScanSweep> &kept = window.scanZones()->keptScans();
    if (kept.isEmpty() || kept.constLast().ranges.isEmpty())
        return -1;
    return (kept.constLast().ranges.first() - 1000) / 10;
}

QToolButton *barButton(MainWindow &window, const char *name)
{
    return window.recordingPlayback()->bar()->findChild<QToolButton *>(QLatin1String(name));
}

} // namespace

class TestPlaybackWindow : public QObject
{
    Q_OBJECT

    StudioRig *rig = nullptr;
    RecordingPlayback *playback = nullptr;

    // The sample opened in a window without a scanner.
    bool openSample()
    {
        if (!writeFile(QStringLiteral("sample.pcap"), Sample::file()))
            return false;
        MainWindow &window = rig->windowAlone();
        playback = window.recordingPlayback();
        window.recordingPlayback()->setFileProvider([]() { return QStringLiteral("sample.pcap"); });
        window.ui()->actionOpenRecording->trigger();
        return playback->link() && QTest::qWaitFor([&]() { return shownScan(window) == 0; }, 3000);
    }

private slots:
    void init() { rig = new StudioRig; }
    void cleanup()
    {
        delete rig;
        rig = nullptr;
    }

    void opensWithoutAScannerAndSendsNothing()
    {
        QVERIFY(openSample());
        MainWindow &window = *rig->window;
        Ui::MainWindow *ui = window.ui();
        QCOMPARE(window.modes()->mode(), WindowMode::Playback);
        QVERIFY(!playback->bar()->isHidden());
        // What needs a scanner is out of reach; the zone page and the recording's own
        // controls are not.
        const QList<QWidget *> needScanner = {
            ui->openBtn,        ui->portName,           ui->uploadBtn,        ui->downLoadBtn,
            ui->filterGroupBox, ui->factorySettingsBtn, ui->updateFirmwareBtn};
        for (QWidget *off : needScanner)
            QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
        QVERIFY(ui->areasMonitoningGroupBox->isEnabled());
        QVERIFY(ui->actionCloseRecording->isEnabled());
        QVERIFY(barButton(window, "playPauseBtn")->isEnabled());
        // The status page shows the first scan's state.
        QCOMPARE(ui->curAreaIndexLabel->text(), QStringLiteral("1"));

        // Played to the end at 8×: every scan reaches the pages, the recorded reply acts
        // on nothing, and the only bytes ever written are the session's probe.
        auto *speed = playback->bar()->findChild<QComboBox *>(QStringLiteral("playbackSpeed"));
        speed->setCurrentIndex(speed->count() - 1);
        emit speed->activated(speed->count() - 1);
        QCOMPARE(playback->link()->speed(), 8.0);
        barButton(window, "playPauseBtn")->click();
        QVERIFY(playback->link()->isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(playback->link()->atEnd() && !playback->link()->isPlaying(), 3000);
        QCOMPARE(shownScan(window), Sample::kScans - 1);
        QCOMPARE(ui->curAreaIndexLabel->text(), QStringLiteral("3"));
        QTest::qWait(1200); // past the moment a connection's read-out would start
        QCOMPARE(playback->link()->bytesSwallowed(),
                 qint64(requestFrame(REQUEST_CONNECT, QString()).size()));
        QCOMPARE(rig->boxes.count(), 0);
        QCOMPARE(window.modes()->mode(), WindowMode::Playback);

        // Closing goes back to the window without a scanner.
        ui->actionCloseRecording->trigger();
        QCOMPARE(window.modes()->mode(), WindowMode::Disconnected);
        QVERIFY(playback->bar()->isHidden());
        QVERIFY(ui->portName->isEnabled());
        QVERIFY(!playback->link());
        QVERIFY(!window.scannerSession()->isOpen());
    }

    void stepsAndSeeks()
    {
        QVERIFY(openSample());
        MainWindow &window = *rig->window;
        // One scan forward, twice, and back.
        barButton(window, "stepForwardBtn")->click();
        QCOMPARE(shownScan(window), 1);
        barButton(window, "stepForwardBtn")->click();
        barButton(window, "stepBackBtn")->click();
        QCOMPARE(shownScan(window), 1);
        barButton(window, "stepBackBtn")->click();
        barButton(window, "stepBackBtn")->click();
        QCOMPARE(shownScan(window), 0);

        // A click on the track away from any mark seeks: the last scan ended by then.
        PlaybackTimeline *track = playback->timeline();
        const qint64 at = 33 * 40000 + 20000;
        QTest::mouseClick(track, Qt::LeftButton, {}, QPoint(track->xOf(at), track->height() / 2));
        QTRY_COMPARE(shownScan(window), playback->link()->index().scanAt(track->position()));
        QVERIFY(qAbs(shownScan(window) - 32) <= 1);
        QCOMPARE(track->position(), playback->link()->positionUs());
        auto *label = playback->bar()->findChild<QLabel *>(QStringLiteral("playbackTimeLabel"));
        // From the first frame to the last.
        QVERIFY2(label->text().startsWith(RecordingPlayback::timeText(track->position()) +
                                          QStringLiteral(" / 00:01.593 · ")),
                 qPrintable(label->text()));
    }

    void marksLeadToWhereThingsChanged()
    {
        QVERIFY(openSample());
        MainWindow &window = *rig->window;
        PlaybackTimeline *track = playback->timeline();
        // Outputs at 10 and 20, the error byte at 15, the inputs at 25; the damaged frame
        // and the first state seen are no marks.
        struct Expected
        {
            RecordingMark::Kind kind;
            int scan;
        };
        const QVector<Expected> expected = {{RecordingMark::Outputs, 10},
                                            {RecordingMark::Error, 15},
                                            {RecordingMark::Outputs, 20},
                                            {RecordingMark::Inputs, 25}};
        QCOMPARE(track->marks().size(), expected.size());
        // Next mark walks them in order, each showing the scan where it happened.
        for (const Expected &e : expected) {
            barButton(window, "nextMarkBtn")->click();
            QCOMPARE(shownScan(window), e.scan);
        }
        barButton(window, "nextMarkBtn")->click();
        QCOMPARE(shownScan(window), 25);
        barButton(window, "previousMarkBtn")->click();
        QCOMPARE(shownScan(window), 20);
        // Output 2 is the first output's indicator, off again at scan 20.
        QCOMPARE(window.ui()->stateOutOne->styleSheet(),
                 QStringLiteral("background-color:gray; color:white"));
        // A click on a mark goes to it even when the click is a pixel or two beside it.
        window.resize(1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const RecordingMark &error = track->marks().at(1);
        QTest::mouseClick(track, Qt::LeftButton, {},
                          QPoint(track->xOf(error.timeUs) + 2, track->height() / 2));
        QCOMPARE(shownScan(window), 15);
        QCOMPARE(track->marks().at(0).kind, RecordingMark::Outputs);
        QCOMPARE(window.ui()->stateOutOne->styleSheet(),
                 QStringLiteral("background-color:rgb(0, 153, 115);color:white"));
    }

    void diagnosticsFollowThePosition()
    {
        QVERIFY(openSample());
        MainWindow &window = *rig->window;
        DiagnosticsPanel *diagnostics = window.diagnosticsPanel();
        diagnostics->dock()->show();
        auto *table = diagnostics->dock()->findChild<QTableWidget *>("signalChangesTable");
        auto *damaged = diagnostics->dock()->findChild<QLabel *>("damagedFramesLabel");
        auto *errors = diagnostics->dock()->findChild<QLabel *>("nonZeroErrorsLabel");
        auto *last = diagnostics->dock()->findChild<QLabel *>("errorByteLabel");

        // Scan 16: two scans with error byte 4 so far (12 frames), the error still on.
        playback->link()->seek(16 * 40000 + 40000);
        QCOMPARE(shownScan(window), 16);
        QCOMPARE(errors->text(), QStringLiteral("12"));
        QCOMPARE(last->text(), QStringLiteral("0x04"));
        QCOMPARE(damaged->text(), QStringLiteral("0"));
        // First outputs, first inputs, and the outputs' change at 10.
        QCOMPARE(table->rowCount(), 3);
        // At the end: the damaged frame, the error gone, and every change.
        playback->link()->seek(playback->link()->file().durationUs());
        QCOMPARE(damaged->text(), QStringLiteral("1"));
        QCOMPARE(last->text(), QStringLiteral("0x00"));
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(table->item(4, 3)->text(), signalBits(SignalChange::Inputs, 3));
        // Wound back, the list shrinks with it.
        playback->link()->stepScans(-(Sample::kScans - 12));
        QCOMPARE(table->rowCount(), 3);

        // Saved as CSV: a header and one line for each change shown.
        diagnostics->setFileProvider([]() { return QStringLiteral("changes.csv"); });
        QVERIFY(diagnostics->saveChanges());
        QFile csv(QStringLiteral("changes.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 1 + 3);
        QVERIFY(lines.at(3).contains(signalBits(SignalChange::Outputs, 2).toLatin1()));
        // Nor is the tool's own file overwritten with it.
        diagnostics->setFileProvider([]() { return QStringLiteral("config.ini"); });
        const QByteArray store = [] {
            QFile f(zoneStoreFileName());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!diagnostics->saveChanges());
        QFile after(zoneStoreFileName());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), store);
    }

    void refusedForTheSimulatorsReasons_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not a recording") << QByteArray("hello, world, this is no pcap file");
        QTest::newRow("other link type") << pcapFile(scans(3), 1);
        QTest::newRow("no scans") << pcapFile({reply()});
    }
    void refusedForTheSimulatorsReasons()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(writeFile(QStringLiteral("bad.pcap"), bytes));
        SimRecording simulator;
        QString simReason;
        QVERIFY(!loadSimRecording(QStringLiteral("bad.pcap"), &simulator, &simReason));

        MainWindow &window = rig->offlineWindow();
        QString refusal;
        QVERIFY(!window.recordingPlayback()->open(QStringLiteral("bad.pcap"), &refusal));
        QCOMPARE(refusal, simReason);
        QCOMPARE(window.modes()->mode(), WindowMode::Offline);
        // Asked through the menu, the user is told why.
        window.recordingPlayback()->setFileProvider([]() { return QStringLiteral("bad.pcap"); });
        window.ui()->actionOpenRecording->trigger();
        QTRY_COMPARE(rig->boxes.count(), 1);
        QVERIFY(rig->boxes.boxes().first().text.endsWith(simReason));
        QCOMPARE(window.modes()->mode(), WindowMode::Offline);
        QVERIFY(!window.recordingPlayback()->link());
    }

    void timelineGeometry_data()
    {
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<int>("width");
        QTest::addColumn<qint64>("time");
        QTest::addColumn<int>("x");
        QTest::newRow("start") << qint64(1000000) << 101 << qint64(0) << 0;
        QTest::newRow("end") << qint64(1000000) << 101 << qint64(1000000) << 100;
        QTest::newRow("middle") << qint64(1000000) << 101 << qint64(500000) << 50;
        QTest::newRow("beyond the end") << qint64(1000000) << 101 << qint64(5000000) << 100;
        QTest::newRow("before the start") << qint64(1000000) << 101 << qint64(-5) << 0;
        QTest::newRow("ten minutes") << qint64(600000000) << 1201 << qint64(300000000) << 600;
        QTest::newRow("empty recording") << qint64(0) << 101 << qint64(0) << 0;
    }
    void timelineGeometry()
    {
        QFETCH(qint64, duration);
        QFETCH(int, width);
        QFETCH(qint64, time);
        QFETCH(int, x);
        QCOMPARE(timelineX(time, duration, width), x);
        // And back to a time that lies on the same pixel.
        QCOMPARE(timelineX(timelineTime(x, duration, width), duration, width), x);
    }

    void marksNearAndAround()
    {
        // Marks at 10, 12 and 60 of a track 101 pixels for 100 s.
        QVector<RecordingMark> marks;
        for (int t : {10, 12, 60})
            marks.append({RecordingMark::Outputs, t * 10, qint64(t) * 1000000, 0, 1});
        const qint64 d = 100000000;
        QCOMPARE(markNear(marks, 10, d, 101, 4), 0);
        QCOMPARE(markNear(marks, 12, d, 101, 4), 1);
        QCOMPARE(markNear(marks, 14, d, 101, 4), 1); // the nearer of two in reach
        QCOMPARE(markNear(marks, 57, d, 101, 4), 2);
        QCOMPARE(markNear(marks, 30, d, 101, 4), -1);
        QCOMPARE(markNear(marks, 65, d, 101, 4), -1);
        QCOMPARE(markNear({}, 10, d, 101, 4), -1);
        // By frame: strictly after, strictly before.
        QCOMPARE(markAfter(marks, 99), 0);
        QCOMPARE(markAfter(marks, 100), 1);
        QCOMPARE(markAfter(marks, 600), -1);
        QCOMPARE(markBefore(marks, 120), 0);
        QCOMPARE(markBefore(marks, 121), 1);
        QCOMPARE(markBefore(marks, 100), -1);
    }
};

QTEST_MAIN(TestPlaybackWindow)
#include "tst_playbackwindow.moc"
