// The link's diagnostics counted live against the simulated scanner sending damaged scan
// frames, a changing error byte, noise and an input change; the same frames recorded and
// counted again as a playback counts them; and the changes written as CSV.
#include "framerecorder.h"
#include "linkmonitor.h"
#include "recordingindex.h"
#include "scannersession.h"
#include "simulatedscanner.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "workerthread.h"

#include <QtTest>

class TestDiagnostics : public QObject
{
    Q_OBJECT

private slots:
    void liveCountsAndTheirRecordingAgree();
    void changesAsCsv();
};

void TestDiagnostics::liveCountsAndTheirRecordingAgree()
{
    TempWorkingDir dir;
    // Every 7th scan frame damaged; the error byte 0 for three scans, then 0x21 for three.
    SimOptions o;
    o.paced = false;
    o.seed = 4;
    o.scanStream = false;
    o.damageScanEvery = 7;
    o.errorBytes = {0, 0x21};
    o.errorByteScans = 3;
    SimulatorHost sim;
    sim.updateState([](DeviceState &s) { s.activeChannel = 2; });
    QVERIFY(sim.start(o));
    ScannerSession session;
    QVERIFY(session.open(sim.devicePath(), 921600));
    QVERIFY(waitUntil([&]() { return session.worker() != nullptr; }, 3000));
    LinkMonitor monitor(&session);
    FrameRecorder recorder;
    QVERIFY(recorder.start(dir.filePath("live.pcap")));
    connect(&session, &ScannerSession::frameReceived, &recorder, &FrameRecorder::addFrame);

    sim.setScanStream(true);
    QVERIFY(waitUntil([&]() { return sim.scanner()->scanFramesSent() >= 60; }, 5000));
    // Noise between two frames: 37 bytes that cannot start one.
    sim.injectBytes(QByteArray(37, '\x11'));
    sim.updateState([](DeviceState &s) { s.activeChannel = 5; });
    QVERIFY(waitUntil([&]() { return sim.scanner()->scanFramesSent() >= 150; }, 5000));
    const double streaming = monitor.figures().scansPerSecond;
    sim.setScanStream(false);
    qint64 sent = -1;
    QVERIFY(waitUntil(
        [&]() {
            const qint64 now = sim.scanner()->scanFramesSent();
            const bool settled = now == sent && monitor.figures().scanFrames == now;
            sent = now;
            return settled;
        },
        5000));
    recorder.stop();

    // What the simulator's options make of the frames it sent, counted here on their own.
    qint64 damaged = 0, nonZero = 0;
    int lastError = -1;
    for (qint64 j = 0; j < sent; ++j) {
        const int error = o.errorBytes.at(int(j / 6 / o.errorByteScans % 2));
        if ((j + 1) % o.damageScanEvery == 0) {
            ++damaged;
            continue;
        }
        lastError = error;
        nonZero += error != 0;
    }
    const DiagnosticsFigures live = monitor.figures();
    QCOMPARE(live.scanFrames, sent);
    QCOMPARE(live.damagedFrames, damaged);
    QCOMPARE(live.nonZeroErrors, nonZero);
    QCOMPARE(live.lastError, lastError);
    QCOMPARE(live.strayBytes, qint64(37));
    // 25 scans a second while it streamed; none a second after it stopped.
    QVERIFY2(streaming > 10 && streaming < 40, qPrintable(QString::number(streaming)));
    QTest::qWait(1100);
    QCOMPARE(monitor.figures().scansPerSecond, 0.0);
    QVector<SignalChange> inputs;
    for (const SignalChange &c : monitor.changes())
        if (c.signal == SignalChange::Inputs)
            inputs.append(c);
    QCOMPARE(inputs.size(), 2);
    QCOMPARE(inputs.at(0).from, -1);
    QCOMPARE(inputs.at(0).to, 2);
    QCOMPARE(inputs.at(1).from, 2);
    QCOMPARE(inputs.at(1).to, 5);

    // The recording of the same frames, counted as its playback counts them: the same
    // figures (noise is not recorded) and the same changes at the same times.
    RecordingFile file;
    QString error;
    QVERIFY2(loadRecording(dir.filePath("live.pcap"), &file, &error), qPrintable(error));
    const RecordingIndex index(file);
    const DiagnosticsFigures played = index.figuresAfter(file.frameCount() - 1);
    QCOMPARE(played.scanFrames, live.scanFrames);
    QCOMPARE(played.damagedFrames, live.damagedFrames);
    QCOMPARE(played.nonZeroErrors, live.nonZeroErrors);
    QCOMPARE(played.lastError, live.lastError);
    QCOMPARE(index.changesAfter(file.frameCount() - 1), monitor.changes());

    // Cleared, it counts from nothing again.
    monitor.clear();
    QCOMPARE(monitor.figures().scanFrames, qint64(0));
    QCOMPARE(monitor.figures().strayBytes, qint64(0));
    QVERIFY(monitor.changes().isEmpty());
}

void TestDiagnostics::changesAsCsv()
{
    const qint64 origin = 1700000000000000;
    const QVector<SignalChange> changes{{origin, SignalChange::Outputs, -1, 0},
                                        {origin + 1600, SignalChange::Inputs, -1, 0x21},
                                        {origin + 2250000, SignalChange::Outputs, 0, 0x0A}};
    const QStringList lines = changesCsv(changes, origin).split('\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0), QStringLiteral("time,seconds,signal,from,to"));
    QCOMPARE(lines.at(1).section(',', 1), QStringLiteral("0.000,outputs,,0000"));
    QCOMPARE(lines.at(2).section(',', 1), QStringLiteral("0.002,inputs,,100001"));
    QCOMPARE(lines.at(3).section(',', 1), QStringLiteral("2.250,outputs,0000,1010"));
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(origin / 1000 + 2250);
    QCOMPARE(lines.at(3).section(',', 0, 0), at.toString("yyyy-MM-dd HH:mm:ss.zzz"));
    QCOMPARE(lines.at(4), QString());
}

QTEST_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
