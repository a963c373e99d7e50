// A recording as the third kind of link: the index of its scans, marks and figures, and the
// recording played back through the scanner session (first scan at once, steps, seeks, marks,
// speeds, nothing sent anywhere), on recordings built byte by byte; a recording refused
// for the same reasons as by the simulated scanner.
#include "pcapbuilder.h"
#include "recordingindex.h"
#include "recordinglink.h"
#include "scannersession.h"
#include "simrecording.h"
#include "testsupport.h"
#include "workerthread.h"
#include "zoneread.h"

#include <QtTest>

#include <memory>

using namespace pcapbuilder;

namespace {

// A scan frame with every state byte given; its ranges tell sector and scan apart.
QByteArray frame(int sector, int scan, uchar output, uchar input, uchar error)
{
    ScanState state;
    state.sector = uchar(sector);
    state.output = output;
    state.input = input;
    state.erro = error;
    return buildScanFrame(state, QVector<ushort>(kPointsPerScanFrame, rangeOf(sector, scan)),
                          QVector<ushort>(kPointsPerScanFrame, 500));
}

// Twenty scans at 25 a second behind a reply and the last three sectors of a scan begun
// before the recording: the outputs change at scans 5 and 10, the inputs at 12, the error
// byte is 4 in scans 7 and 8 and 9 in scan 15, sector 2 of scan 13 is damaged, and a reply
// follows scan 3.
struct Sample
{
    QVector<Packet> packets;
    QHash<int, int> firstFrameOf; // scan -> packet index of its sector 0
    int damagedFrame = -1;

    static uchar output(int scan) { return scan < 5 ? 0 : scan < 10 ? 2 : 6; }
    static uchar input(int scan) { return scan < 12 ? 1 : 3; }
    static uchar error(int scan) { return scan == 7 || scan == 8 ? 4 : scan == 15 ? 9 : 0; }
    static qint64 timeOf(int scan, int sector) { return (scan + 1) * 40000 + sector * 40000 / 6; }

    Sample()
    {
        packets.append(reply(kStartUs));
        for (int sector = 3; sector < 6; ++sector)
            packets.append({frame(sector, 99, 0, 1, 0), kStartUs + timeOf(-1, sector)});
        for (int scan = 0; scan < 20; ++scan) {
            for (int sector = 0; sector < 6; ++sector) {
                if (sector == 0)
                    firstFrameOf.insert(scan, packets.size());
                QByteArray f = frame(sector, scan, output(scan), input(scan), error(scan));
                if (scan == 13 && sector == 2) {
                    f[f.size() - 1] = char(f.at(f.size() - 1) ^ 0x55);
                    damagedFrame = packets.size();
                }
                packets.append({f, kStartUs + timeOf(scan, sector)});
            }
            if (scan == 3)
                packets.append(reply(kStartUs + timeOf(3, 5) + 100));
        }
    }
    int lastFrameOf(int scan) const { return firstFrameOf.value(scan) + 5; }
    qint64 relativeTime(int packet) const { return packets.at(packet).us - kStartUs; }
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void indexFindsScansMarksAndFigures();
    void refusedForTheSimulatorsReasons_data();
    void refusedForTheSimulatorsReasons();
    void playsStepsAndSeeksThroughTheSession();
    void playsToTheEndAtAnySpeedAndSendsNothing();

private:
    bool openSample();
    // The scan a batch of points shows, from its ranges; -1 for anything but one whole scan.
    static int scanOf(const QVector<ushort> &ranges);

    std::unique_ptr<TempWorkingDir> m_dir;
    std::unique_ptr<ScannerSession> m_session;
    RecordingLink *m_link = nullptr;
    QVector<int> m_shown; // the scans the session handed on, in order
    QVector<uchar> m_outputs;
    Sample m_sample;
};

void TestPlayback::init()
{
    m_dir = std::make_unique<TempWorkingDir>();
    m_session = std::make_unique<ScannerSession>();
    m_shown.clear();
    m_outputs.clear();
    connect(m_session.get(), &ScannerSession::sendPointVec, this,
            [this](const QVector<float> &, const QVector<ushort> &ranges, const QVector<ushort> &) {
                m_shown.append(scanOf(ranges));
            });
    connect(m_session.get(), &ScannerSession::sendState, this,
            [this](uchar, uchar output, uchar) { m_outputs.append(output); });
}

void TestPlayback::cleanup()
{
    m_session.reset();
    m_link = nullptr;
    m_dir.reset();
}

int TestPlayback::scanOf(const QVector<ushort> &ranges)
{
    if (ranges.size() != kPointsPerBatch)
        return -1;
    const int scan = (ranges.first() - 1000) / 10;
    for (int i = 0; i < ranges.size(); ++i)
        if (ranges.at(i) != rangeOf(i / kPointsPerScanFrame, scan))
            return -1;
    return scan;
}

bool TestPlayback::openSample()
{
    const QString path = m_dir->filePath("sample.pcap");
    if (!writeFile(path, pcapFile(m_sample.packets)))
        return false;
    m_link = new RecordingLink(path);
    QSignalSpy answered(m_session.get(), &ScannerSession::probeAnswered);
    return m_session->openLink(m_link) && (answered.count() > 0 || answered.wait(3000));
}

void TestPlayback::indexFindsScansMarksAndFigures()
{
    RecordingFile file;
    QString error;
    QVERIFY2(readRecording(pcapFile(m_sample.packets), &file, &error), qPrintable(error));
    const RecordingIndex index(file);
    // The three sectors before the first sector 0 make no scan.
    QCOMPARE(index.scanCount(), 20);
    for (int scan : {0, 3, 4, 19}) {
        QCOMPARE(index.scanFirstFrame(scan), m_sample.firstFrameOf.value(scan));
        QCOMPARE(index.scanLastFrame(scan), m_sample.lastFrameOf(scan));
    }
    QCOMPARE(index.scanEndingBy(m_sample.lastFrameOf(6)), 6);
    QCOMPARE(index.scanEndingBy(m_sample.lastFrameOf(6) - 1), 5);
    QCOMPARE(index.scanEndingBy(2), -1);
    const qint64 end6 = m_sample.relativeTime(m_sample.lastFrameOf(6));
    QCOMPARE(index.scanAt(end6), 6);
    QCOMPARE(index.scanAt(end6 - 1), 5);
    QCOMPARE(index.scanAt(-5), 0);
    QCOMPARE(index.scanAt(1LL << 40), 19);

    struct Expected
    {
        RecordingMark::Kind kind;
        int scan;
        int from, to;
    };
    const QVector<Expected> expected{{RecordingMark::Outputs, 5, 0, 2},
                                     {RecordingMark::Error, 7, 0, 4},
                                     {RecordingMark::Outputs, 10, 2, 6},
                                     {RecordingMark::Inputs, 12, 1, 3},
                                     {RecordingMark::Error, 15, 0, 9}};
    QCOMPARE(index.marks().size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const RecordingMark &m = index.marks().at(i);
        const int at = m_sample.firstFrameOf.value(expected.at(i).scan);
        QCOMPARE(int(m.kind), int(expected.at(i).kind));
        QCOMPARE(m.frame, at);
        QCOMPARE(m.timeUs, m_sample.relativeTime(at));
        QCOMPARE(m.from, expected.at(i).from);
        QCOMPARE(m.to, expected.at(i).to);
    }

    // Figures after scan 8: the error byte 4 in twelve frames, nothing damaged yet; after the
    // last frame: one damaged frame, 18 non-zero error bytes, every scan frame.
    DiagnosticsFigures f = index.figuresAfter(m_sample.lastFrameOf(8));
    QCOMPARE(f.scanFrames, qint64(3 + 9 * 6));
    QCOMPARE(f.damagedFrames, qint64(0));
    QCOMPARE(f.nonZeroErrors, qint64(12));
    QCOMPARE(f.lastError, 4);
    f = index.figuresAfter(file.frameCount() - 1);
    QCOMPARE(f.scanFrames, qint64(123));
    QCOMPARE(f.damagedFrames, qint64(1));
    QCOMPARE(f.nonZeroErrors, qint64(18));
    QCOMPARE(f.lastError, 0);
    QCOMPARE(f.strayBytes, qint64(0));
    // The whole recording lies within one second: 123 frames in it.
    QCOMPARE(f.scansPerSecond, 123 / 6.0);
    QCOMPARE(index.figuresAfter(-1).lastError, -1);

    const QVector<SignalChange> changes = index.changesAfter(m_sample.lastFrameOf(10));
    QCOMPARE(changes.size(), 4); // first outputs and inputs, then two output changes
    QCOMPARE(changes.at(0).from, -1);
    QCOMPARE(changes.at(3).timeUs, m_sample.packets.at(m_sample.firstFrameOf.value(10)).us);
    QCOMPARE(index.changesAfter(file.frameCount()).size(), 5);
}

void TestPlayback::refusedForTheSimulatorsReasons_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = pcapFile(scans(2));
    QTest::newRow("not pcap") << QByteArray("[Area0]\nPoints=1,2\n");
    QTest::newRow("ethernet") << pcapFile(scans(1), 1);
    QTest::newRow("packet cut") << good.left(good.size() - 1);
    QTest::newRow("replies only") << pcapFile({reply(), reply()});
}

void TestPlayback::refusedForTheSimulatorsReasons()
{
    QFETCH(QByteArray, file);
    const QString path = m_dir->filePath("bad.pcap");
    QVERIFY(writeFile(path, file));
    SimRecording rec;
    QString simReason;
    QVERIFY(!loadSimRecording(path, &rec, &simReason));
    auto *link = new RecordingLink(path);
    QVERIFY(!m_session->openLink(link));
    QCOMPARE(m_session->errorString(), simReason);
    QVERIFY(!m_session->isOpen());
    QVERIFY(!m_session->isProbing());
}

void TestPlayback::playsStepsAndSeeksThroughTheSession()
{
    QVERIFY(openSample());
    QCOMPARE(m_session->link()->kind(), ScannerLink::Kind::Recording);
    // The first scan shows without playing.
    QTRY_COMPARE(m_shown, QVector<int>{0});
    QVERIFY(!m_link->isPlaying());
    QCOMPARE(m_link->currentScan(), 0);

    // Each step shows one whole scan, forward or back, and never runs past either end.
    m_link->stepScans(1);
    m_link->stepScans(1);
    m_link->stepScans(-1);
    m_link->stepScans(-5);
    m_link->stepScans(30);
    QCOMPARE(m_shown, (QVector<int>{0, 1, 2, 1, 0, 19}));
    QCOMPARE(m_link->currentScan(), 19);
    QVERIFY(m_link->atEnd());

    // A seek shows the last scan that ended by then.
    m_shown.clear();
    const qint64 end6 = m_sample.relativeTime(m_sample.lastFrameOf(6));
    m_link->seek(end6);
    m_link->seek(end6 - 1);
    QCOMPARE(m_shown, (QVector<int>{6, 5}));
    QCOMPARE(m_link->positionUs(), m_sample.relativeTime(m_sample.lastFrameOf(5)));
    QCOMPARE(m_link->clockUs(), m_sample.packets.at(m_sample.lastFrameOf(5)).us);

    // A mark goes to the scan it was found in, which shows the state it changed to.
    m_shown.clear();
    m_outputs.clear();
    RecordingFile file;
    QString error;
    QVERIFY(readRecording(pcapFile(m_sample.packets), &file, &error));
    const RecordingMark mark = RecordingIndex(file).marks().at(2);
    m_link->seekToFrame(mark.frame);
    QCOMPARE(m_shown, QVector<int>{10});
    QCOMPARE(m_outputs.last(), uchar(mark.to));

    // A step in the middle of a played scan still shows a whole one.
    m_shown.clear();
    m_link->setSpeed(0.25);
    m_link->play();
    QTRY_VERIFY(m_link->position() > m_sample.lastFrameOf(10) + 2);
    m_link->stepScans(-1);
    QVERIFY(!m_link->isPlaying());
    QCOMPARE(m_shown.last(), 9);
    QVERIFY(!m_shown.contains(-1));
}

void TestPlayback::playsToTheEndAtAnySpeedAndSendsNothing()
{
    QVERIFY(openSample());
    QTRY_COMPARE(m_shown, QVector<int>{0});
    QSignalSpy playing(m_link, &RecordingLink::playingChanged);
    m_link->setSpeed(100);
    QCOMPARE(m_link->speed(), RecordingLink::kMaxSpeed);
    m_link->play();
    QVERIFY(m_link->isPlaying());
    QVERIFY(waitUntil([this]() { return m_link->atEnd() && !m_link->isPlaying(); }, 5000));
    QVector<int> all(20);
    std::iota(all.begin(), all.end(), 0);
    all[13] = -1; // its damaged frame leaves a gap of 90 points
    QCOMPARE(m_shown, all);
    QCOMPARE(playing.count(), 2);
    // Played to the end, it starts over.
    m_shown.clear();
    m_link->setSpeed(0.01);
    QCOMPARE(m_link->speed(), RecordingLink::kMinSpeed);
    m_link->play();
    QCOMPARE(m_shown, QVector<int>{0});
    m_link->pause();

    // Requests go nowhere: they are taken and counted as sent, and a transfer that waits for
    // an answer gives up as it would with a silent scanner.
    const qint64 before = m_link->bytesSwallowed();
    m_session->send(REQUEST_FIRMWARE_VERSION);
    QVERIFY(m_link->bytesSwallowed() > before);
    ZoneRead *read = m_session->zoneRead();
    read->setTimeout(30);
    QSignalSpy failed(read, &ZoneRead::failed);
    read->start();
    QVERIFY(failed.wait(3000));
    QCOMPARE(failed.first().first().value<SessionFailure>().kind, SessionFailure::NoAnswer);
    m_session->close();
    QVERIFY(!m_session->isOpen());
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
