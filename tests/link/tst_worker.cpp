#include "framecodec.h"
#include "requesttable.h"
#include "scanframe.h"
#include "testsupport.h"
#include "workerthread.h"
#include "zoneblock.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSettings>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray reply(quint16 type, quint16 status, const QByteArray &payload = QByteArray())
{
    return buildReplyFrame(type, status, payload);
}

QByteArray scanFrame(int sector, uchar erro = 0, uchar output = 0, uchar input = 0)
{
    ScanState state;
    state.sector = uchar(sector);
    state.erro = erro;
    state.output = output;
    state.input = input;
    QVector<ushort> ranges, intensities;
    for (int i = 0; i < kPointsPerScanFrame; ++i) {
        ranges.append(ushort(sector * 100 + i));
        intensities.append(ushort(i));
    }
    return buildScanFrame(state, ranges, intensities);
}

QByteArray damaged(QByteArray frame)
{
    frame[frame.size() / 2] = char(frame[frame.size() / 2] ^ 0x01);
    return frame;
}

} // namespace

// A real serial port on the slave end of a pseudo-terminal; the test plays the scanner
// on the master end.
class TestWorker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestsWriteExactFrames();
    void refusedRequestsWriteNothing();
    void closedPortWritesNothing();
    void vendorSaveFollowsTheSaveTarget_data();
    void vendorSaveFollowsTheSaveTarget();
    void polaritySuccessSavesVendorData();
    void repliesReachTheirSignals();
    void repliesWithoutResultStaySilent();
    void zoneBlocksReachTheStore();
    void zoneWriteSendsTheBlocksItIsGiven();
    void firmwareChunksGoOneAtATime();
    void damagedRepliesAreNamedAndDropped();
    void everyFrameOfOneReadIsDecoded();
    void framesSplitAcrossReads();
    void garbageDoesNotAccumulate();
    void impossibleLengthsDoNotStall();
    void scanBatchOfSixSectors();
    void badScanFramesLeaveGaps();
    void nestedEventLoopKeepsBufferOrder();

private:
    void feed(const QByteArray &bytes);
    QByteArray take(int count, int timeoutMs = 5000);
    void expectSilence();
    void settle();
    QStringList results() const { return m_results; }

    // Each test runs in a folder of its own.
    std::unique_ptr<TempWorkingDir> m_dir;
    int m_master = -1;
    int m_slave = -1;
    QSerialPort *m_port = nullptr;
    WorkerThread *m_worker = nullptr;
    QStringList m_results;
};

void TestWorker::init()
{
    m_dir = std::make_unique<TempWorkingDir>();
    QVERIFY(::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0);
    termios raw;
    QVERIFY(::tcgetattr(m_slave, &raw) == 0);
    ::cfmakeraw(&raw);
    QVERIFY(::tcsetattr(m_slave, TCSANOW, &raw) == 0);
    QVERIFY(::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) == 0);

    m_port = new QSerialPort;
    m_port->setPortName(QString::fromLocal8Bit(::ptsname(m_master)));
    m_port->setBaudRate(921600);
    QVERIFY2(m_port->open(QIODevice::ReadWrite), qPrintable(m_port->errorString()));

    m_worker = new WorkerThread(m_port);
    m_results.clear();
    connect(m_worker, &WorkerThread::sendMainRequestResult, this,
            [this](RequestType t, const QString &v) {
                m_results << QStringLiteral("main %1 %2").arg(int(t), 0, 16).arg(v);
            });
    connect(m_worker, &WorkerThread::sendApdRequestTypeResult, this,
            [this](RequestType t, const QString &v) {
                m_results << QStringLiteral("apd %1 %2").arg(int(t), 0, 16).arg(v);
            });
    connect(m_worker, &WorkerThread::sendSettingsRequestTypeResult, this,
            [this](RequestType t, const QString &v) {
                m_results << QStringLiteral("settings %1 %2").arg(int(t), 0, 16).arg(v);
            });
    connect(m_worker, &WorkerThread::sendViewRequestTypeResult, this,
            [this](RequestType t, const QString &v) {
                m_results << QStringLiteral("view %1 %2").arg(int(t), 0, 16).arg(v);
            });
    connect(m_worker, &WorkerThread::sendReadCurArea, this,
            [this](int i) { m_results << QStringLiteral("read area %1").arg(i); });
    connect(m_worker, &WorkerThread::sendWriteCurArea, this,
            [this](int i) { m_results << QStringLiteral("write area %1").arg(i); });
    connect(m_worker, &WorkerThread::writeFirmwareDataProgress, this,
            [this](int i, int n) { m_results << QStringLiteral("firmware %1 %2").arg(i).arg(n); });
    connect(m_worker, &WorkerThread::sendAcknowledgement, this, [this](RequestType t, int status) {
        m_results << QStringLiteral("ack %1 %2").arg(int(t), 0, 16).arg(status);
    });
    m_worker->start();
    QVERIFY(m_worker->wait(5000));
}

void TestWorker::cleanup()
{
    if (m_port)
        m_port->close();
    delete m_worker;
    m_worker = nullptr;
    delete m_port;
    m_port = nullptr;
    ::close(m_master);
    ::close(m_slave);
    m_dir.reset();
}

// Writes bytes as the scanner, letting the event loop run whenever the pty is full.
void TestWorker::feed(const QByteArray &bytes)
{
    int done = 0;
    QElapsedTimer timer;
    timer.start();
    while (done < bytes.size() && timer.elapsed() < 10000) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += int(n);
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCOMPARE(done, bytes.size());
}

// Reads what the worker sent, waiting until count bytes have arrived (or a timeout).
QByteArray TestWorker::take(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        char chunk[8192];
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0)
            got.append(chunk, int(n));
    }
    return got;
}

// Nothing more arrives on the wire.
void TestWorker::expectSilence()
{
    QCOMPARE(take(1, 200).toHex(' '), QByteArray());
}

// Waits until the worker has taken in everything fed so far: a probe answer sent last
// comes back as the last result, so anything that was to come before it has come.
void TestWorker::settle()
{
    const int before = m_results.size();
    feed(reply(REQUEST_CONNECT, 0x5E77));
    QTRY_VERIFY(m_results.size() > before && m_results.last() == "main e 24183");
    m_results.removeLast();
    int pending = 0;
    QVERIFY(::ioctl(m_slave, FIONREAD, &pending) == 0);
    QCOMPARE(pending, 0);
}

void TestWorker::requestsWriteExactFrames()
{
    m_worker->onRequestType(REQUEST_CONNECT, QString());
    m_worker->onRequestType(REQUEST_SET_FILTER_ENABLE, QStringLiteral("5"));
    m_worker->onReadArea(5);
    m_worker->onRequestType(REQUEST_SET_FILTER_MIN_RANGE, QStringLiteral("70000"));
    m_worker->onRequestType(REQUEST_SET_OFFSET_DISTANCE, QStringLiteral("70000"));
    // The firmware digest is empty before a firmware transfer: a bare frame.
    m_worker->onRequestType(REQUEST_FIRMWARE_VERIFY, QStringLiteral("ignored"));
    const QByteArray expected = hex("5A FA 0A 00 0E 00 00 00 A8 93") +
                                hex("5A FA 0C 00 14 00 00 00 01 00 26 56") +
                                hex("5A FA 0B 00 00 33 00 00 05 83 8B") +
                                requestFrame(REQUEST_SET_FILTER_MIN_RANGE, "4464") +
                                requestFrame(REQUEST_SET_OFFSET_DISTANCE, "0") +
                                requestFrame(REQUEST_FIRMWARE_VERIFY, QString());
    QCOMPARE(take(expected.size()).toHex(' '), expected.toHex(' '));
    expectSilence();
    QCOMPARE(requestFrame(REQUEST_SET_FILTER_MIN_RANGE, "4464").mid(8, 2), hex("70 11"));
    QCOMPARE(requestFrame(REQUEST_FIRMWARE_VERIFY, QString()).size(), 10);
}

void TestWorker::refusedRequestsWriteNothing()
{
    m_worker->onRequestType(RequestType(0x0005), QStringLiteral("1"));
    m_worker->onRequestType(RequestType(0x1234), QString());
    // These three have their own slots.
    m_worker->onRequestType(REQUEST_READ_AREA, QStringLiteral("5"));
    m_worker->onRequestType(REQUEST_WRITE_AREA, QString());
    m_worker->onRequestType(REQUEST_FIRMWARE_DATA, QString());
    m_worker->onRequestType(REQUEST_SET_NPN_PNP, QString(kMaxRequestPayload + 1, 'P'));
    m_worker->onRequestType(REQUEST_RESTART, QString());
    const QByteArray restart = hex("5A FA 0A 00 09 00 00 00 85 C2");
    QCOMPARE(take(restart.size()).toHex(' '), restart.toHex(' '));
    expectSilence();
}

void TestWorker::closedPortWritesNothing()
{
    m_port->close();
    m_worker->onRequestType(REQUEST_SAVE_VENDOR_DATA, QStringLiteral("2"));
    m_worker->onRequestType(REQUEST_CONNECT, QString());
    m_worker->onReadArea(3);
    QCOMPARE(m_worker->currentSaveTarget(), QStringLiteral("0"));
    QVERIFY(m_port->open(QIODevice::ReadWrite));
    m_worker->onRequestType(REQUEST_RESTART, QString());
    const QByteArray restart = hex("5A FA 0A 00 09 00 00 00 85 C2");
    QCOMPARE(take(restart.size()).toHex(' '), restart.toHex(' '));
    expectSilence();
    QVERIFY(results().isEmpty());
}

void TestWorker::vendorSaveFollowsTheSaveTarget_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("2") << "2" << QStringList{"settings 5555 0"};
    QTest::newRow("1") << "1" << QStringList{"main 5555 0"};
    QTest::newRow("empty") << "" << QStringList{"apd 5555 0"};
    QTest::newRow("text") << "abc" << QStringList{"apd 5555 0"};
    QTest::newRow("3") << "3" << QStringList{};
}

void TestWorker::vendorSaveFollowsTheSaveTarget()
{
    QFETCH(QString, target);
    QFETCH(QStringList, expected);
    m_worker->onRequestType(REQUEST_SAVE_VENDOR_DATA, target);
    QCOMPARE(m_worker->currentSaveTarget(), target);
    QCOMPARE(take(10), requestFrame(REQUEST_SAVE_VENDOR_DATA, QString()));
    feed(reply(REQUEST_SAVE_VENDOR_DATA, 0));
    settle();
    QCOMPARE(results(), expected);
}

void TestWorker::polaritySuccessSavesVendorData()
{
    m_worker->onRequestType(REQUEST_SAVE_VENDOR_DATA, QStringLiteral("1"));
    m_worker->onRequestType(REQUEST_SET_NPN_PNP, QStringLiteral("PNP"));
    const QByteArray setFrame = requestFrame(REQUEST_SET_NPN_PNP, "PNP");
    QCOMPARE(setFrame.size(), 13);
    QCOMPARE(take(10 + 13), requestFrame(REQUEST_SAVE_VENDOR_DATA, "") + setFrame);
    expectSilence();

    // A refusal only reports; nothing is saved.
    feed(reply(REQUEST_SET_NPN_PNP, 1));
    settle();
    QCOMPARE(results(), QStringList{"main 5515 1"});
    QCOMPARE(m_worker->currentSaveTarget(), QStringLiteral("1"));
    expectSilence();

    // Success first sends the save with an empty target, then reports.
    m_results.clear();
    feed(reply(REQUEST_SET_NPN_PNP, 0));
    settle();
    QCOMPARE(results(), QStringList{"main 5515 0"});
    QCOMPARE(m_worker->currentSaveTarget(), QString());
    const QByteArray save = requestFrame(REQUEST_SAVE_VENDOR_DATA, "");
    QCOMPARE(take(save.size()), save);
    expectSilence();

    m_results.clear();
    feed(reply(REQUEST_SAVE_VENDOR_DATA, 0));
    settle();
    QCOMPARE(results(), QStringList{"apd 5555 0"});
}

void TestWorker::repliesReachTheirSignals()
{
    feed(reply(REQUEST_GET_APD, 0, hex("02 01")) + reply(REQUEST_FIRMWARE_VERIFY, 0, hex("01")) +
         reply(REQUEST_CURRENT_AREA, 0, hex("02 07 00")) +
         reply(REQUEST_SERIAL_NUMBER, 0, QByteArray("ABCD\0\0\0\0\0", 9)) +
         reply(REQUEST_GET_OFFSET_DISTANCE, 0, hex("FE FF")));
    settle();
    QCOMPARE(results(), QStringList({"apd 5502 258", "main aa03 1", "main 0  2 7 0", "main 2 ABCD",
                                     "main 5506 -2"}));
}

void TestWorker::repliesWithoutResultStaySilent()
{
    // Replies without a result report nothing; the answers of the transfers are reported
    // as they came, status and all, and start nothing: the worker runs no transfer.
    feed(reply(0x0005, 0, hex("01")) + reply(0x0007, 0) + reply(0x000C, 0) +
         reply(REQUEST_SET_FILTER_STRENGTH, 0) + reply(REQUEST_SET_PARAM_5509, 0) +
         reply(REQUEST_RESTART, 0) + reply(REQUEST_BEGIN_AREA_WRITE, 0) +
         reply(REQUEST_WRITE_AREA, 0) + reply(REQUEST_FIRMWARE_DATA, 0) +
         reply(REQUEST_WRITE_AREA, 1) + reply(REQUEST_FIRMWARE_DATA, 1) +
         damaged(reply(REQUEST_GET_FREQUENCY, 0, hex("0F"))) +
         reply(REQUEST_SERIAL_NUMBER, 0, QByteArray("AB")));
    settle();
    QCOMPARE(results(), (QStringList{"ack 3355 0", "ack 3301 0", "write area 0", "ack aa01 0",
                                     "firmware 0 0", "ack 3301 1", "ack aa01 1"}));
    QCOMPARE(m_worker->pendingBytes(), 0);
    // Nothing was sent back.
    expectSilence();
}

void TestWorker::zoneBlocksReachTheStore()
{
    ZoneChannelRecord areas;
    areas[0].regionType = 1;
    areas[0].points = {{-300, 1200}, {0, 0}};
    areas[2].regionType = 3;
    areas[2].dependScale = 40000;
    areas[2].hysteresis = 9;
    QByteArray oversized = encodeZoneBlock(7, areas);
    writeLe16(oversized.data() + 1 + kAreaBlockBytes + 7, 600); // area 1 claims 600 points
    QVector<QPair<int, ZoneChannelRecord>> received;
    connect(m_worker, &WorkerThread::sendZoneChannel, this,
            [&](int channel, const ZoneChannelRecord &got) {
                // The record comes first, so whoever hears of the channel can already use it.
                QCOMPARE(m_results.size(), received.size());
                received.append({channel, got});
            });
    // A cut-short reply still names its channel; the rest reads as zeros.
    feed(reply(REQUEST_READ_AREA, 0, oversized) + reply(REQUEST_READ_AREA, 0, hex("05 01 02")) +
         damaged(reply(REQUEST_READ_AREA, 0, encodeZoneBlock(9, areas))));
    settle();
    QCOMPARE(results(), QStringList({"read area 7", "read area 5"}));
    QCOMPARE(received.size(), 2);
    QCOMPARE(received[0].first, 7);
    QCOMPARE(received[0].second[0], areas[0]);
    QCOMPARE(received[0].second[1].points.size(), kMaxZonePoints);
    QCOMPARE(received[0].second[2], areas[2]);
    QCOMPARE(received[1].first, 5);
    QCOMPARE(int(received[1].second[0].onDelay), 1);
    QCOMPARE(int(received[1].second[0].offDelay), 2);
    QVERIFY(received[1].second[0].points.isEmpty());
}

void TestWorker::zoneWriteSendsTheBlocksItIsGiven()
{
    QVector<QByteArray> blocks;
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord areas;
        areas[channel % 3].regionType = quint8(1 + channel % 3);
        areas[channel % 3].dependScale = quint16(channel * 1000);
        areas[channel % 3].points = {{channel, -channel}, {-300, 1200}};
        blocks.append(encodeZoneBlock(channel, areas));
    }
    auto expectedBlock = [&](int channel) {
        char frame[kFrameBufferSize];
        const int length = encodeFrame(frame, REQUEST_WRITE_AREA, blocks.at(channel).constData(),
                                       blocks.at(channel).size());
        return QByteArray(frame, length);
    };
    QCOMPARE(expectedBlock(5).size(), 6518);

    // The begin acknowledgement is reported and sends nothing: the pause before the first
    // block is the caller's, on a timer, not a sleep in the receive handler.
    m_worker->onRequestType(REQUEST_BEGIN_AREA_WRITE, QString());
    const QByteArray begin = requestFrame(REQUEST_BEGIN_AREA_WRITE, QString());
    QCOMPARE(take(begin.size()), begin);
    feed(reply(REQUEST_BEGIN_AREA_WRITE, 0));
    settle();
    QCOMPARE(results(), QStringList{"ack 3355 0"});
    expectSilence();

    // Each block goes as it was given, onWriteAreaData sends the same bytes again, and an
    // acknowledgement moves nothing on: it is labelled with the block last sent.
    for (int channel : {0, 1, 7, 63}) {
        m_results.clear();
        m_worker->writeZoneBlock(channel, blocks.at(channel));
        QVERIFY2(take(6518) == expectedBlock(channel), qPrintable(QString::number(channel)));
        if (channel == 7) {
            m_worker->onWriteAreaData();
            QCOMPARE(take(6518), expectedBlock(channel));
        }
        QCOMPARE(m_worker->nextZoneWriteChannel(), channel);
        feed(reply(REQUEST_WRITE_AREA, 0) + reply(REQUEST_WRITE_AREA, 0));
        settle();
        const QString ack = QStringLiteral("write area %1").arg(channel);
        QCOMPARE(results(), (QStringList{"ack 3301 0", ack, "ack 3301 0", ack}));
        QCOMPARE(m_worker->nextZoneWriteChannel(), channel);
        expectSilence();
    }

    // A refusal is reported with its status and no acknowledgement; a block that is not a
    // whole zone block is not sent.
    m_results.clear();
    feed(reply(REQUEST_WRITE_AREA, 2) + reply(REQUEST_BEGIN_AREA_WRITE, 3));
    settle();
    QCOMPARE(results(), (QStringList{"ack 3301 2", "ack 3355 3"}));
    m_worker->writeZoneBlock(4, blocks.at(4).left(100));
    expectSilence();
}

void TestWorker::firmwareChunksGoOneAtATime()
{
    const QByteArray image = QByteArray(512, 'a') + QByteArray(100, 'b');
    QVERIFY(!m_worker->setFirmwareImage(QByteArray()));
    m_worker->writeFirmwareChunk(0);
    expectSilence();

    QVERIFY(m_worker->setFirmwareImage(image));
    const QByteArray first = requestFrame(REQUEST_FIRMWARE_DATA, QString(), image.left(512));
    const QByteArray second = requestFrame(REQUEST_FIRMWARE_DATA, QString(), image.mid(512));
    QCOMPARE(first.size(), 522);
    m_worker->writeFirmwareChunk(0);
    QCOMPARE(take(522), first);
    // Sent again before any acknowledgement: the same chunk.
    m_worker->writeFirmwareChunk(0);
    QCOMPARE(take(522), first);
    feed(reply(REQUEST_FIRMWARE_DATA, 0));
    settle();
    QCOMPARE(results(), (QStringList{"ack aa01 0", "firmware 0 1"}));
    expectSilence(); // the next chunk waits for whoever runs the update
    m_worker->writeFirmwareChunk(1);
    QCOMPARE(take(second.size()), second);
    QCOMPARE(m_worker->firmwareChunkIndex(), 1);
    // A chunk beyond the image is not sent.
    m_worker->writeFirmwareChunk(2);
    expectSilence();
    feed(reply(REQUEST_FIRMWARE_DATA, 0));
    settle();
    QCOMPARE(results(), (QStringList{"ack aa01 0", "firmware 0 1", "ack aa01 0", "firmware 1 1"}));

    // Released, the image sends nothing more; its digest stays for the check that follows.
    m_worker->releaseFirmwareImage();
    m_worker->writeFirmwareChunk(0);
    m_worker->onRequestType(REQUEST_FIRMWARE_VERIFY, QString());
    const QByteArray verify = take(26);
    QCOMPARE(verify.size(), 26);
    QCOMPARE(verify.mid(8, 16), QCryptographicHash::hash(image, QCryptographicHash::Md5));
    expectSilence();
}

void TestWorker::damagedRepliesAreNamedAndDropped()
{
    // The checksum fails: the frame is dropped as always, but a transfer waiting for it
    // hears what it claimed to be, and the frames around it are decoded.
    QSignalSpy damagedSpy(m_worker, &WorkerThread::sendReplyDamaged);
    QSignalSpy blocks(m_worker, &WorkerThread::sendZoneChannel);
    feed(reply(REQUEST_GET_FREQUENCY, 0, hex("0F")) +
         damaged(reply(REQUEST_READ_AREA, 0, encodeZoneBlock(3, ZoneChannelRecord()))) +
         damaged(reply(REQUEST_WRITE_AREA, 0)) + reply(REQUEST_GET_MODE, 0, hex("01")) +
         damaged(scanFrame(2)));
    settle();
    QCOMPARE(results(), (QStringList{"main 11 15", "main 5510 1"}));
    QCOMPARE(blocks.count(), 0);
    QCOMPARE(damagedSpy.count(), 2);
    QCOMPARE(damagedSpy.at(0).at(0).value<RequestType>(), REQUEST_READ_AREA);
    QCOMPARE(damagedSpy.at(1).at(0).value<RequestType>(), REQUEST_WRITE_AREA);
    QCOMPARE(m_worker->pendingBytes(), 0);
}

void TestWorker::everyFrameOfOneReadIsDecoded()
{
    QSignalSpy states(m_worker, &WorkerThread::sendState);
    feed(reply(REQUEST_GET_FREQUENCY, 0, hex("0F")) + scanFrame(1, 4, 5, 6) +
         reply(REQUEST_GET_MODE, 0, hex("01")) + scanFrame(2, 7, 8, 9));
    QTRY_COMPARE(states.count(), 2);
    QCOMPARE(results(), QStringList({"main 11 15", "main 5510 1"}));
    QCOMPARE(states.at(0), QVariantList({uchar(4), uchar(5), uchar(6)}));
    QCOMPARE(states.at(1), QVariantList({uchar(7), uchar(8), uchar(9)}));
    QCOMPARE(m_worker->pendingScanFrames(), 2);
}

void TestWorker::framesSplitAcrossReads()
{
    QSignalSpy states(m_worker, &WorkerThread::sendState);
    const QByteArray first = reply(REQUEST_LOT_NUMBER, 0, QByteArray("LOT-42\0\0\0", 9));
    feed(first.left(5));
    QTRY_COMPARE(m_worker->pendingBytes(), 5);
    feed(first.mid(5));
    QTRY_COMPARE(results(), QStringList{"main 3 LOT-42"});

    // One byte per read: each is kept until the frame is whole, then decoded at once.
    const QByteArray scan = scanFrame(3);
    for (int i = 0; i < scan.size() - 1; ++i) {
        feed(scan.mid(i, 1));
        QTRY_COMPARE(m_worker->pendingBytes(), i + 1);
    }
    QCOMPARE(states.count(), 0);
    feed(scan.right(1));
    QTRY_COMPARE(states.count(), 1);
    QCOMPARE(m_worker->pendingBytes(), 0);
    const QByteArray second = reply(REQUEST_GET_FREQUENCY, 0, hex("19"));
    for (char c : second)
        feed(QByteArray(1, c));
    settle();
    QCOMPARE(states.count(), 1);
    QCOMPARE(results(), QStringList({"main 3 LOT-42", "main 11 25"}));
}

void TestWorker::garbageDoesNotAccumulate()
{
    QRandomGenerator random(7);
    QByteArray noise(200000, '\0');
    for (char &c : noise) {
        c = char(random.bounded(256));
        if (uchar(c) == kHeaderLead)
            c = 0;
    }
    feed(noise + hex("5A"));
    QTRY_COMPARE(m_worker->pendingBytes(), 1);
    feed(reply(REQUEST_GET_MODE, 0, hex("00")));
    QTRY_COMPARE(results(), QStringList{"main 5510 0"});
    QCOMPARE(m_worker->pendingBytes(), 0);

    // Unfiltered noise holds false headers; whatever is kept stays below one frame.
    for (char &c : noise)
        c = char(random.bounded(256));
    feed(noise);
    settle();
    QVERIFY2(m_worker->pendingBytes() < kFrameBufferSize,
             qPrintable(QString::number(m_worker->pendingBytes())));
}

void TestWorker::impossibleLengthsDoNotStall()
{
    feed(hex("5A FB 00 00 5A FB 02 00 5A FB 0B 00 5A FB 0B 20 5A FB FF FF 5A FF 00 00"));
    feed(reply(REQUEST_GET_FREQUENCY, 0, hex("07")));
    settle();
    QCOMPARE(results(), QStringList{"main 11 7"});
    QCOMPARE(m_worker->pendingBytes(), 0);
    // The scan header of length 0 took one slot of the batch.
    QCOMPARE(m_worker->pendingScanFrames(), 1);
}

void TestWorker::scanBatchOfSixSectors()
{
    QSignalSpy states(m_worker, &WorkerThread::sendState);
    QSignalSpy points(m_worker, &WorkerThread::sendPointVec);
    QByteArray five;
    for (int sector = 1; sector <= 5; ++sector)
        five += scanFrame(sector, uchar(sector), 0, 0);
    feed(five);
    QTRY_COMPARE(states.count(), 5);
    settle();
    QCOMPARE(points.count(), 0);

    feed(scanFrame(6, 6, 0, 0));
    QTRY_COMPARE(points.count(), 1);
    QCOMPARE(states.count(), 6);
    QCOMPARE(m_worker->pendingScanFrames(), 0);
    const auto angles = points.at(0).at(0).value<QVector<float>>();
    const auto ranges = points.at(0).at(1).value<QVector<ushort>>();
    const auto intensities = points.at(0).at(2).value<QVector<ushort>>();
    QCOMPARE(angles.size(), kPointsPerBatch);
    QCOMPARE(ranges.size(), kPointsPerBatch);
    QCOMPARE(intensities.size(), kPointsPerBatch);
    for (int i = 0; i < kPointsPerBatch; ++i)
        QCOMPARE(angles.at(i), float(i * 0.5));
    QCOMPARE(angles.last(), 269.5f);
    QCOMPARE(ranges.at(90), ushort(200));
    QCOMPARE(ranges.last(), ushort(689));
    QCOMPARE(intensities.at(91), ushort(1));
}

void TestWorker::badScanFramesLeaveGaps()
{
    QSignalSpy states(m_worker, &WorkerThread::sendState);
    QSignalSpy points(m_worker, &WorkerThread::sendPointVec);
    feed(scanFrame(1) + scanFrame(2) + damaged(scanFrame(3)) + scanFrame(4) + scanFrame(5) +
         scanFrame(6));
    QTRY_COMPARE(points.count(), 1);
    QCOMPARE(states.count(), 5);
    auto angles = points.at(0).at(0).value<QVector<float>>();
    QCOMPARE(angles.size(), 450);
    QCOMPARE(points.at(0).at(1).value<QVector<ushort>>().size(), 450);
    QCOMPARE(points.at(0).at(2).value<QVector<ushort>>().size(), 450);
    QCOMPARE(angles.at(179), 89.5f);
    QCOMPARE(angles.at(180), 135.0f);

    // A scan header of impossible length counts like a bad frame.
    feed(scanFrame(1) + scanFrame(2) + hex("5A FF 7A 01") + scanFrame(4) + scanFrame(5) +
         scanFrame(6));
    QTRY_COMPARE(points.count(), 2);
    QCOMPARE(points.at(1).at(0).value<QVector<float>>().size(), 450);
    QCOMPARE(points.at(1).at(1).value<QVector<ushort>>().size(), 450);
    QCOMPARE(points.at(1).at(2).value<QVector<ushort>>().size(), 450);
}

void TestWorker::nestedEventLoopKeepsBufferOrder()
{
    // A receiver that opens a modal box runs a nested event loop inside the signal. The
    // frames already read are decoded once each, and what arrived meanwhile is decoded
    // when the receiver returns, not left until the scanner sends again.
    bool nested = false;
    connect(m_worker, &WorkerThread::sendMainRequestResult, this, [&](RequestType type) {
        if (type != REQUEST_GET_FREQUENCY || nested)
            return;
        nested = true;
        feed(reply(REQUEST_LOT_NUMBER, 0, QByteArray("LATER\0\0\0\0", 9)));
        QTest::qWait(300);
    });
    feed(reply(REQUEST_GET_FREQUENCY, 0, hex("01")) + reply(REQUEST_GET_MODE, 0, hex("01")));
    QTRY_COMPARE(results(), QStringList({"main 11 1", "main 5510 1", "main 3 LATER"}));
    QVERIFY(nested);
    QCOMPARE(m_worker->pendingBytes(), 0);
}

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"
