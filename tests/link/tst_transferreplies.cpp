// Every reply counted for the step that awaits it: the zone write, the zone read and the
// firmware update of the scanner session against a simulated scanner whose answers come
// late, twice, damaged, refused or not at all. Answers carry no request number, so a late
// one must never be taken for the answer to the step after it.
#include "firmwaretransfer.h"
#include "firmwareupdate.h"
#include "linkprocedure.h"
#include "scannersession.h"
#include "sessiontest.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "zoneblock.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QtTest>

#include <memory>
#include <numeric>

using namespace sessiontest;

namespace {

using Fault = SimOptions::LineFault;

SimOptions late(quint16 type, int nth, int ms, SimOptions o = quick())
{
    o.answerDelays.append({type, nth, ms});
    return o;
}

SimOptions withFault(Fault::Kind kind, quint16 type, int nth, SimOptions o = quick())
{
    o.lineFaults.append({kind, type, nth});
    return o;
}

QVector<int> allChannels()
{
    QVector<int> all(kZoneChannelCount);
    std::iota(all.begin(), all.end(), 0);
    return all;
}

// A procedure of the test's own: what the session tells it about its requests.
struct Listener : LinkProcedure
{
    QVector<int> left;
    void requestLeft(int sent) override { left.append(sent); }
    void linkEnded(SessionFailure::Kind) override {}
};

} // namespace

Q_DECLARE_METATYPE(SessionFailure::Kind)
Q_DECLARE_METATYPE(SimOptions)

class TestTransferReplies : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestsAreReportedOnceTheyHaveLeft();
    void zoneWriteCountsOnlyAnswersItCanPlace_data();
    void zoneWriteCountsOnlyAnswersItCanPlace();
    void zoneReadHandsOnOnlyWhatItAwaits_data();
    void zoneReadHandsOnOnlyWhatItAwaits();
    void firmwareStopsOnceAChunkCannotBePlaced_data();
    void firmwareStopsOnceAChunkCannotBePlaced();

private:
    bool connectSession(const SimOptions &options);
    int countOf(quint16 type, int payloadByte = -1) const;

    std::unique_ptr<TempWorkingDir> m_dir;
    std::unique_ptr<SimulatorHost> m_sim;
    std::unique_ptr<ScannerSession> m_session;
};

void TestTransferReplies::init()
{
    m_dir = std::make_unique<TempWorkingDir>();
    m_sim = std::make_unique<SimulatorHost>();
    m_sim->setState(scannerZones());
    m_session = std::make_unique<ScannerSession>();
}

void TestTransferReplies::cleanup()
{
    m_session.reset();
    m_sim.reset();
    m_dir.reset();
}

bool TestTransferReplies::connectSession(const SimOptions &options)
{
    if (!m_sim->start(options) || !m_session->open(m_sim->devicePath(), 921600))
        return false;
    return waitUntil([this]() { return m_session->hasLink(); }, 3000);
}

int TestTransferReplies::countOf(quint16 type, int payloadByte) const
{
    int n = 0;
    for (const ReceivedFrame &f : m_sim->receivedFrames())
        n += f.type == type && (payloadByte < 0 || firstByte(f.payload) == payloadByte);
    return n;
}

void TestTransferReplies::requestsAreReportedOnceTheyHaveLeft()
{
    QVERIFY(connectSession(quick()));
    Listener listener;
    const int block = m_session->sendZoneBlockFor(&listener, 3, blocksOf(scannerZones()).at(3));
    const int read = m_session->sendZoneReadFor(&listener, 3);
    // Told from the event loop, never from inside the send.
    QVERIFY(listener.left.isEmpty());
    QTRY_COMPARE(listener.left, (QVector<int>{block, read}));
    QTRY_COMPARE(countOf(REQUEST_WRITE_AREA, 3) + countOf(REQUEST_READ_AREA, 3), 2);

    // Without a link nothing goes out, and the request is reported all the same: a step
    // waiting for it runs into its time-out rather than waiting for ever.
    m_session->close();
    const int lost = m_session->sendFor(&listener, REQUEST_GET_FREQUENCY);
    QTRY_COMPARE(listener.left.size(), 3);
    QCOMPARE(listener.left.last(), lost);
    QCOMPARE(countOf(REQUEST_GET_FREQUENCY), 0);
}

void TestTransferReplies::zoneWriteCountsOnlyAnswersItCanPlace_data()
{
    QTest::addColumn<SimOptions>("options");
    QTest::addColumn<int>("failsAt"); // the channel the write fails at, -1 when it finishes
    QTest::addColumn<SessionFailure::Kind>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("sentOf5");      // block 5 sent this often
    QTest::addColumn<int>("readBack");     // channels read back
    QTest::addColumn<int>("sentOfFailed"); // the block the write fails at, sent this often

    // Block 5's acknowledgement comes after the block went again: it cannot be told from
    // the second one's, so channel 5 is read back; once both have come the order is sure.
    const SimOptions late5 = late(REQUEST_WRITE_AREA, 6, 150);
    QTest::newRow("late acknowledgement")
        << late5 << -1 << SessionFailure::NoAnswer << 0 << 2 << 1 << 0;
    // Shifted by one, the write would have taken block 62's answer for 63 and finished.
    SimOptions dropped = late5;
    dropped.dropZoneBlock = 63;
    QTest::newRow("late acknowledgement, block 63 never answered")
        << dropped << 63 << SessionFailure::NoAnswer << 0 << 2 << 1 << kStepAttempts;
    SimOptions refused = late5;
    refused.refuseZoneBlock = 63;
    QTest::newRow("late acknowledgement, block 63 refused")
        << refused << 63 << SessionFailure::Refused << 1 << 2 << 1 << 1;
    // A refusal that may be the first copy's: the read-back shows the block is not there.
    SimOptions lateRefusal = late5;
    lateRefusal.refuseZoneBlock = 5;
    QTest::newRow("late refusal") << lateRefusal << 5 << SessionFailure::Refused << 1 << 2 << 1
                                  << 2;
    // A lost answer never comes: every acknowledgement from there on may be the one owed,
    // and every channel from 5 on is read back.
    QTest::newRow("lost acknowledgement") << withFault(Fault::LostAnswer, REQUEST_WRITE_AREA, 6)
                                          << -1 << SessionFailure::NoAnswer << 0 << 2 << 59 << 0;
    // The late answer comes damaged while the second is owed: it costs no attempt.
    QTest::newRow("late acknowledgement, damaged")
        << withFault(Fault::DamagedAnswer, REQUEST_WRITE_AREA, 6, late5) << -1
        << SessionFailure::NoAnswer << 0 << 2 << 1 << 0;
}

void TestTransferReplies::zoneWriteCountsOnlyAnswersItCanPlace()
{
    QFETCH(SimOptions, options);
    QFETCH(int, failsAt);
    QFETCH(SessionFailure::Kind, kind);
    QFETCH(int, status);
    QFETCH(int, sentOf5);
    QFETCH(int, readBack);
    QFETCH(int, sentOfFailed);
    QVERIFY(connectSession(options));
    DeviceState wanted = scannerZones();
    for (int channel = 0; channel < kZoneChannels; ++channel)
        wanted.zone(channel, 1).hysteresis = quint8(channel + 1);
    ZoneWrite *write = m_session->zoneWrite();
    write->setTimeout(100);
    QVector<int> progress;
    connect(write, &ZoneWrite::progress, this, [&](int channel) { progress.append(channel); });
    Outcome outcome;
    outcome.watch(write);
    QVERIFY(write->start(blocksOf(wanted)));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 20000));
    // Late answers still on their way change nothing.
    QTest::qWait(300);
    if (failsAt < 0) {
        QCOMPARE(outcome.failed, 0);
        QCOMPARE(outcome.finished, 1);
        QCOMPARE(progress, allChannels());
        QCOMPARE(m_sim->state().zones, wanted.zones);
    } else {
        QCOMPARE(outcome.finished, 0);
        QCOMPARE(outcome.failed, 1);
        QCOMPARE(outcome.failure.kind, kind);
        QCOMPARE(outcome.failure.step, REQUEST_WRITE_AREA);
        QCOMPARE(outcome.failure.index, failsAt);
        QCOMPARE(outcome.failure.status, status);
        // No channel from the failed one on was reported, nor is it on the scanner.
        QCOMPARE(progress, allChannels().mid(0, failsAt));
        QVERIFY(m_sim->state().zone(failsAt, 1) != wanted.zone(failsAt, 1));
        QCOMPARE(countOf(REQUEST_WRITE_AREA, failsAt), sentOfFailed);
    }
    QCOMPARE(countOf(REQUEST_WRITE_AREA, 5), sentOf5);
    QCOMPARE(countOf(REQUEST_READ_AREA), readBack);
}

void TestTransferReplies::zoneReadHandsOnOnlyWhatItAwaits_data()
{
    QTest::addColumn<SimOptions>("options");
    QTest::addColumn<int>("single"); // a channel read on its own afterwards, -1 none
    QTest::addColumn<int>("askedChannel");
    QTest::addColumn<int>("asked"); // askedChannel requested this often
    QTest::addColumn<QVector<int>>("handedOn");

    // The first answer to channel 63 comes after it was asked again; the read ends on it,
    // and the second answer, after the end, is nobody's.
    QTest::newRow("late answer after the read ended")
        << late(REQUEST_READ_AREA, 64, 150) << -1 << 63 << 2 << allChannels();
    QTest::newRow("late answer while the read runs")
        << late(REQUEST_READ_AREA, 21, 150) << -1 << 20 << 2 << allChannels();
    // Channel 20's late answer comes damaged while the second one is owed: it costs no
    // attempt, and the second answer is taken.
    QTest::newRow("damaged late answer")
        << withFault(Fault::DamagedAnswer, REQUEST_READ_AREA, 21, late(REQUEST_READ_AREA, 21, 150))
        << -1 << 20 << 2 << allChannels();
    // A single read whose answer comes after its time-out hands nothing on.
    QTest::newRow("single read answered late")
        << late(REQUEST_READ_AREA, 65, 250) << 17 << 17 << 2 << allChannels();
}

void TestTransferReplies::zoneReadHandsOnOnlyWhatItAwaits()
{
    QFETCH(SimOptions, options);
    QFETCH(int, single);
    QFETCH(int, askedChannel);
    QFETCH(int, asked);
    QFETCH(QVector<int>, handedOn);
    QVERIFY(connectSession(options));
    ZoneRead *read = m_session->zoneRead();
    read->setTimeout(100);
    const DeviceState scanner = scannerZones();
    QVector<int> channels;
    connect(read, &ZoneRead::channelReceived, this,
            [&](int channel, const ZoneChannelRecord &areas) {
                QCOMPARE(areas, recordOf(scanner, channel));
                channels.append(channel);
            });
    Outcome outcome;
    outcome.watch(read);
    read->start();
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 20000));
    QCOMPARE(outcome.finished, 1);
    if (single >= 0) {
        m_session->readChannel(single);
        QTRY_COMPARE(countOf(REQUEST_READ_AREA, single), asked);
    }
    QTest::qWait(400);
    QCOMPARE(channels, handedOn);
    QCOMPARE(countOf(REQUEST_READ_AREA, askedChannel), asked);
    QCOMPARE(countOf(REQUEST_READ_AREA), kZoneChannelCount + 1);
    QCOMPARE(outcome.finished, 1);
    QCOMPARE(outcome.failed, 0);
}

void TestTransferReplies::firmwareStopsOnceAChunkCannotBePlaced_data()
{
    QTest::addColumn<SimOptions>("options");
    QTest::addColumn<int>("chunksSent");
    // Chunk 2's acknowledgement after the chunk went again: the bootloader holds it twice.
    QTest::newRow("acknowledgement late") << late(REQUEST_FIRMWARE_DATA, 3, 250) << 4;
    // Lost: the chunk goes again and the bootloader keeps it twice, or it had been lost
    // itself and is kept once. Its acknowledgement cannot say which.
    QTest::newRow("acknowledgement lost")
        << withFault(Fault::LostAnswer, REQUEST_FIRMWARE_DATA, 3) << 4;
    QTest::newRow("chunk damaged on its way")
        << withFault(Fault::DamagedRequest, REQUEST_FIRMWARE_DATA, 3) << 4;
    // Damaged: the bootloader has the chunk; sent again it would be kept twice.
    QTest::newRow("acknowledgement damaged")
        << withFault(Fault::DamagedAnswer, REQUEST_FIRMWARE_DATA, 3) << 3;
}

void TestTransferReplies::firmwareStopsOnceAChunkCannotBePlaced()
{
    QFETCH(SimOptions, options);
    QFETCH(int, chunksSent);
    m_sim->updateState([](DeviceState &s) { s.deviceMode = 1; });
    QVERIFY(connectSession(options));
    FirmwareUpdate *update = m_session->firmware();
    update->setStepTimeout(150);
    QVector<int> acknowledged;
    connect(update, &FirmwareUpdate::chunkAcknowledged, this,
            [&](int index, int) { acknowledged.append(index); });
    Outcome outcome;
    outcome.watch(update);
    QVERIFY(update->start(image(3000)));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.failed, 1);
    QCOMPARE(outcome.failure.kind, SessionFailure::Unconfirmed);
    QCOMPARE(outcome.failure.step, REQUEST_FIRMWARE_DATA);
    QCOMPARE(outcome.failure.index, 2);
    QCOMPARE(outcome.failure.count, firmwareChunkCount(3000));
    QCOMPARE(acknowledged, (QVector<int>{0, 1}));
    // Stopped at once: no chunk after it, no end, no check, nothing committed; the answers
    // still on their way move nothing.
    QTest::qWait(400);
    QCOMPARE(countOf(REQUEST_FIRMWARE_DATA), chunksSent);
    QCOMPARE(countOf(REQUEST_FIRMWARE_END), 0);
    QCOMPARE(countOf(REQUEST_FIRMWARE_VERIFY), 0);
    QCOMPARE(m_sim->state().firmwareCommits, 0);
    QCOMPARE(outcome.failed, 1);
    QVERIFY(!update->isRunning());

    // Tried again, the update starts clean: an answer the first one is still owed (lost
    // for good) is not taken for one of the second's.
    Outcome again;
    again.watch(update);
    const QByteArray second = image(2000);
    QVERIFY(update->start(second));
    QVERIFY(waitUntil([&]() { return again.over(); }, 10000));
    QCOMPARE(again.finished, 1);
    QCOMPARE(m_sim->state().committedFirmwareMd5, md5(second));
}

QTEST_GUILESS_MAIN(TestTransferReplies)
#include "tst_transferreplies.moc"
