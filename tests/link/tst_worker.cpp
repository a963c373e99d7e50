// The worker on a real serial port, the test playing the scanner: the requests it writes
// (and those it must not), and the replies that reach their signals (the frames it
// decodes: tst_workerframes).
#include "workertest.h"

using namespace workertest;

class TestWorker : public QObject, public WorkerFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

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
};

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

QTEST_GUILESS_MAIN(TestWorker)
#include "tst_worker.moc"
