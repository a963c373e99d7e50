// Recording the scanner's frames into a pcap file and replaying it in the simulated
// scanner, through a real QSerialPort on its pseudo-terminal: the file read back with
// libpcap (and tcpdump) frame by frame, a file that cannot be written, and a replay that
// the session shows as the very scans that were recorded, in their order and pace.
#include "framecodec.h"
#include "framerecorder.h"
#include "scanframe.h"
#include "scannersession.h"
#include "simrecording.h"
#include "simulatorhost.h"
#include "testsupport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <pcap/pcap.h>

#include <memory>

namespace {

struct Frame
{
    QByteArray bytes;
    qint64 us = 0;
};

// Every packet of a pcap file as libpcap reads it; false when libpcap refuses the file.
bool readWithLibpcap(const QString &path, QVector<Frame> *frames, int *linkType)
{
    char error[PCAP_ERRBUF_SIZE];
    pcap_t *p = pcap_open_offline(QFile::encodeName(path).constData(), error);
    if (!p) {
        qWarning() << error;
        return false;
    }
    *linkType = pcap_datalink(p);
    pcap_pkthdr *header;
    const u_char *data;
    int rc;
    while ((rc = pcap_next_ex(p, &header, &data)) == 1) {
        if (header->caplen != header->len)
            qWarning() << "packet cut:" << header->caplen << "of" << header->len;
        frames->append({QByteArray(reinterpret_cast<const char *>(data), int(header->caplen)),
                        qint64(header->ts.tv_sec) * 1000000 + header->ts.tv_usec});
    }
    pcap_close(p);
    return rc == PCAP_ERROR_BREAK;
}

// The scans of a recording as the tool decodes them: six frames a batch.
QVector<QVector<ushort>> scansOf(const SimRecording &rec)
{
    QVector<QVector<ushort>> scans;
    QVector<float> angles;
    QVector<ushort> ranges, intensities;
    ScanState state;
    int count = 0;
    for (int i = 0; i < rec.scanCount(); ++i) {
        const QByteArray f = rec.scanFrame(i);
        if (addToScanBatch(f.constData(), f.size(), &count, &state, &angles, &ranges, &intensities)
                .complete) {
            scans.append(ranges);
            angles.clear();
            ranges.clear();
            intensities.clear();
        }
    }
    return scans;
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordsEveryFrameWithItsArrivalTime();
    void aFileThatCannotBeWrittenEndsTheRecording();
    void replayShowsTheRecordedScansAtTheirPace();

private:
    bool connectSession(const SimOptions &options);
    // Records the simulator's frames for ms milliseconds, asking for the firmware version
    // on the way so that replies are recorded too; the frames as the session handed them on.
    QVector<Frame> record(const QString &path, int ms);

    std::unique_ptr<TempWorkingDir> m_dir;
    std::unique_ptr<SimulatorHost> m_sim;
    std::unique_ptr<ScannerSession> m_session;
};

void TestRecording::init()
{
    m_dir = std::make_unique<TempWorkingDir>();
    m_sim = std::make_unique<SimulatorHost>();
    m_session = std::make_unique<ScannerSession>();
}

void TestRecording::cleanup()
{
    m_session.reset();
    m_sim.reset();
    m_dir.reset();
}

bool TestRecording::connectSession(const SimOptions &options)
{
    if (!m_sim->start(options) || !m_session->open(m_sim->devicePath(), 921600))
        return false;
    return waitUntil([this]() { return m_session->worker() != nullptr; }, 3000);
}

QVector<Frame> TestRecording::record(const QString &path, int ms)
{
    QVector<Frame> seen;
    FrameRecorder recorder;
    if (!recorder.start(path))
        return seen;
    QObject context;
    connect(m_session.get(), &ScannerSession::frameReceived, &context,
            [&](const QByteArray &frame, qint64 us) {
                seen.append({frame, us});
            });
    connect(m_session.get(), &ScannerSession::frameReceived, &recorder, &FrameRecorder::addFrame);
    m_session->send(REQUEST_FIRMWARE_VERSION);
    QTest::qWait(ms / 2);
    m_session->send(REQUEST_SERIAL_NUMBER);
    QTest::qWait(ms - ms / 2);
    recorder.stop();
    return seen;
}

void TestRecording::recordsEveryFrameWithItsArrivalTime()
{
    QVERIFY(connectSession(SimOptions()));
    const QString path = m_dir->filePath("scans.pcap");
    const qint64 before = QDateTime::currentMSecsSinceEpoch() * 1000;
    const QVector<Frame> seen = record(path, 1200);
    const qint64 after = QDateTime::currentMSecsSinceEpoch() * 1000;

    QVector<Frame> file;
    int linkType = -1;
    QVERIFY(readWithLibpcap(path, &file, &linkType));
    QCOMPARE(linkType, 147);
    QCOMPARE(file.size(), seen.size());
    int scanFrames = 0, replies = 0;
    QSet<int> answered;
    for (int i = 0; i < file.size(); ++i) {
        const QByteArray &f = file.at(i).bytes;
        QCOMPARE(f, seen.at(i).bytes);
        QCOMPARE(file.at(i).us, seen.at(i).us);
        QVERIFY(file.at(i).us >= before && file.at(i).us <= after);
        if (i > 0)
            QVERIFY(file.at(i).us >= file.at(i - 1).us);
        // One whole frame per packet: its own length field, a sound checksum.
        QCOMPARE(int(readLe16(f.constData() + 2)), f.size());
        QVERIFY(frameChecksumMatches(f.constData(), f.size()));
        scanFrames += quint8(f.at(1)) == kScanMark && f.size() == kScanFrameSize;
        if (quint8(f.at(1)) == kReplyMark) {
            ++replies;
            answered.insert(readLe16(f.constData() + 4));
        }
    }
    // 25 scans a second of six frames each, and the answers to the two requests (the
    // session may have asked something of its own too).
    QVERIFY2(scanFrames >= 120 && scanFrames <= 200, qPrintable(QString::number(scanFrames)));
    QVERIFY(answered.contains(REQUEST_FIRMWARE_VERSION));
    QVERIFY(answered.contains(REQUEST_SERIAL_NUMBER));
    QCOMPARE(scanFrames + replies, file.size());

    // The tools engineers open it with read it too: one time-stamped line per packet,
    // its bytes in hex below it.
    const QString tcpdump = QStandardPaths::findExecutable(QStringLiteral("tcpdump"));
    if (tcpdump.isEmpty())
        QSKIP("tcpdump is not installed");
    QProcess p;
    p.start(tcpdump, {"-n", "-r", path});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList lines =
        QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    int packets = 0;
    for (const QString &line : lines)
        packets += !line.at(0).isSpace();
    QCOMPARE(packets, file.size());
}

void TestRecording::aFileThatCannotBeWrittenEndsTheRecording()
{
    FrameRecorder recorder;
    QString error;
    QVERIFY(!recorder.start(m_dir->filePath("missing/scans.pcap"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!recorder.isRecording());

    // A full disk shows when the buffered packets go out; the recording then stops,
    // says why, and takes no more frames.
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    QVERIFY(recorder.start(QStringLiteral("/dev/full"), &error));
    QSignalSpy failed(&recorder, &FrameRecorder::failed);
    const QByteArray frame(kScanFrameSize, 'x');
    for (int i = 0; i < 100 && recorder.isRecording(); ++i)
        recorder.addFrame(frame, i);
    QCOMPARE(failed.count(), 1);
    QVERIFY2(failed.at(0).at(0).toString().contains("space"),
             qPrintable(failed.at(0).at(0).toString()));
    QVERIFY(!recorder.isRecording());
    const qint64 taken = recorder.frameCount();
    QVERIFY(taken < 100);
    recorder.addFrame(frame, 101);
    recorder.stop();
    QCOMPARE(recorder.frameCount(), taken);
    QCOMPARE(failed.count(), 1);
}

void TestRecording::replayShowsTheRecordedScansAtTheirPace()
{
    // The simulated room with its noise: every scan differs from the one before.
    QVERIFY(connectSession(SimOptions()));
    const QString path = m_dir->filePath("room.pcap");
    QVERIFY(!record(path, 1500).isEmpty());
    m_session.reset();
    m_sim.reset();

    SimRecording rec;
    QString error;
    QVERIFY2(loadSimRecording(path, &rec, &error), qPrintable(error));
    QVERIFY(rec.replies >= 2);
    // Only whole scans are replayed, whatever sector the recording began and ended in.
    QCOMPARE(rec.scanCount() % 6, 0);
    QCOMPARE(int(quint8(rec.scanFrame(0).at(6))), SimOptions().firstSector);
    const QVector<QVector<ushort>> recorded = scansOf(rec);
    QVERIFY(recorded.size() >= 30);

    SimOptions options;
    options.replay = rec;
    options.replayLoop = true;
    m_sim = std::make_unique<SimulatorHost>();
    m_session = std::make_unique<ScannerSession>();
    QVector<QVector<ushort>> shown;
    QElapsedTimer clock;
    connect(m_session.get(), &ScannerSession::sendPointVec, m_session.get(),
            [&](QVector<float>, QVector<ushort> ranges, QVector<ushort>) {
                if (shown.isEmpty())
                    clock.start();
                shown.append(ranges);
            });
    QVERIFY(connectSession(options));
    // Past the end of the recording: the loop starts it over.
    QVERIFY(waitUntil([&]() { return shown.size() >= recorded.size() + 10; }, 10000));
    const double perScanMs = double(clock.elapsed()) / (shown.size() - 1);

    // Each scan shown is one recorded, and the next shown is the next recorded.
    int at = recorded.indexOf(shown.first());
    QVERIFY(at >= 0);
    for (int i = 1; i < shown.size(); ++i) {
        at = (at + 1) % recorded.size();
        QVERIFY2(shown.at(i) == recorded.at(at), qPrintable(QString::number(i)));
    }
    // The recorded pace: 25 scans a second.
    QVERIFY2(perScanMs > 32 && perScanMs < 50, qPrintable(QString::number(perScanMs)));
    // Requests are still answered, from the simulator's own state.
    QSignalSpy result(m_session.get(), &ScannerSession::sendMainRequestResult);
    m_session->send(REQUEST_SERIAL_NUMBER);
    QVERIFY(result.wait(3000));
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
