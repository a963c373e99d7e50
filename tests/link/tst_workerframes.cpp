// The worker on a real serial port, the test playing the scanner: how it takes the
// scanner's bytes apart into frames, damaged, split, garbled, impossibly long, and the
// scan batches they make.
#include "workertest.h"

using namespace workertest;

class TestWorkerFrames : public QObject, public WorkerFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void damagedRepliesAreNamedAndDropped();
    void everyFrameOfOneReadIsDecoded();
    void framesSplitAcrossReads();
    void garbageDoesNotAccumulate();
    void impossibleLengthsDoNotStall();
    void scanBatchOfSixSectors();
    void badScanFramesLeaveGaps();
    void nestedEventLoopKeepsBufferOrder();
};

void TestWorkerFrames::damagedRepliesAreNamedAndDropped()
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

void TestWorkerFrames::everyFrameOfOneReadIsDecoded()
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

void TestWorkerFrames::framesSplitAcrossReads()
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

void TestWorkerFrames::garbageDoesNotAccumulate()
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

void TestWorkerFrames::impossibleLengthsDoNotStall()
{
    feed(hex("5A FB 00 00 5A FB 02 00 5A FB 0B 00 5A FB 0B 20 5A FB FF FF 5A FF 00 00"));
    feed(reply(REQUEST_GET_FREQUENCY, 0, hex("07")));
    settle();
    QCOMPARE(results(), QStringList{"main 11 7"});
    QCOMPARE(m_worker->pendingBytes(), 0);
    // The scan header of length 0 took one slot of the batch.
    QCOMPARE(m_worker->pendingScanFrames(), 1);
}

void TestWorkerFrames::scanBatchOfSixSectors()
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

void TestWorkerFrames::badScanFramesLeaveGaps()
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

void TestWorkerFrames::nestedEventLoopKeepsBufferOrder()
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

QTEST_GUILESS_MAIN(TestWorkerFrames)
#include "tst_workerframes.moc"
