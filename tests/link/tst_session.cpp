// The scanner session's procedures against the simulated scanner, through a real
// QSerialPort on its pseudo-terminal: opening and probing, the lost port, and the zone
// read and the zone write with their stalls, refusals, pulled cables and the answers that
// come damaged or not at all (the firmware update: tst_sessionfirmware).
#include "firmwaretransfer.h"
#include "firmwareupdate.h"
#include "scannersession.h"
#include "seriallink.h"
#include "sessiontest.h"
#include "simulatedscanner.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "workerthread.h"
#include "zoneblock.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QCryptographicHash>
#include <QPointer>
#include <QtTest>

#include <memory>
#include <numeric>

using namespace sessiontest;

Q_DECLARE_METATYPE(SessionFailure::Kind)
Q_DECLARE_METATYPE(SimOptions)

class TestSession : public QObject, public SessionFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void opensProbesAndCloses();
    void silentDeviceAndMissingPort();
    void lostPortIsReportedOnceAndEndsTheProcedure_data();
    void lostPortIsReportedOnceAndEndsTheProcedure();

    void fullReadHandsEveryChannelOnAfterAskingForTheNext();
    void fullReadAsksAgainForDamagedAndMissingChannels_data();
    void fullReadAsksAgainForDamagedAndMissingChannels();
    void fullReadsSurviveCorruptedFrames();
    void fullReadGivesUpOnAChannelThatNeverComes();

    void fullWritePausesWithoutBlockingAndSendsEveryBlock();
    void fullWriteSendsAgainWhatWasNotAcknowledged();
    void fullWriteStopsAtRefusalsAndStalls_data();
    void fullWriteStopsAtRefusalsAndStalls();
};

void TestSession::opensProbesAndCloses()
{
    QVERIFY(m_sim->start(quick()));
    QSignalSpy answered(m_session.get(), &ScannerSession::probeAnswered);
    QVERIFY(m_session->open(m_sim->devicePath(), 921600));
    // The answer is awaited in the event loop, not by blocking in open().
    QVERIFY(m_session->isProbing());
    QVERIFY(!m_session->worker());
    QVERIFY(answered.wait(3000));
    QPointer<WorkerThread> first = m_session->worker();
    QVERIFY(first);
    auto *link = qobject_cast<SerialLink *>(m_session->link());
    QVERIFY(link);
    QSerialPort *port = link->port();
    QCOMPARE(port->dataBits(), QSerialPort::Data8);
    QCOMPARE(port->parity(), QSerialPort::NoParity);
    QCOMPARE(port->stopBits(), QSerialPort::OneStop);
    QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);
    QCOMPARE(port->baudRate(), 921600);
    QCOMPARE(m_sim->receivedFrames().first().raw, QByteArray::fromHex("5AFA0A000E000000A893"));

    // Closed: the port first, the worker once the event loop has run; open again: a new
    // worker, wired to the same procedures.
    const int connection = m_session->connection();
    m_session->close();
    QVERIFY(!port->isOpen());
    QVERIFY(!m_session->worker());
    QVERIFY(m_session->connection() != connection);
    QTRY_VERIFY(first.isNull());
    QVERIFY(m_session->open(m_sim->devicePath(), 921600));
    QVERIFY(answered.wait(3000));
    QVERIFY(m_session->worker());
    Outcome read;
    read.watch(m_session->zoneRead());
    m_session->zoneRead()->start();
    QVERIFY(waitUntil([&]() { return read.over(); }, 10000));
    QCOMPARE(read.finished, 1);
}

void TestSession::silentDeviceAndMissingPort()
{
    QVERIFY(!m_session->open(m_dir->filePath("no-such-port"), 921600));
    QVERIFY(!m_session->isOpen());
    QVERIFY(!m_session->isProbing());

    SimOptions silent = quick();
    silent.silent = true;
    QVERIFY(m_sim->start(silent));
    QSignalSpy unanswered(m_session.get(), &ScannerSession::probeUnanswered);
    m_session->setProbeTimeout(150);
    QVERIFY(m_session->open(m_sim->devicePath(), 921600));
    QVERIFY(unanswered.wait(3000));
    QVERIFY(!m_session->worker());
    QVERIFY(m_session->isOpen()); // left for the owner to close
    // Nothing but the probe went out, and nothing runs on a link without a worker.
    QVERIFY(!m_session->zoneWrite()->start(blocksOf(scannerZones())));
    QVERIFY(!m_session->firmware()->start(image(100)));
    m_session->zoneRead()->start();
    QVERIFY(!m_session->zoneRead()->isRunning());
    QCOMPARE(m_sim->receivedFrames().size(), 1);
}

void TestSession::lostPortIsReportedOnceAndEndsTheProcedure_data()
{
    QTest::addColumn<int>("procedure"); // 0 read, 1 write, 2 firmware
    QTest::addColumn<int>("pullAfter"); // the request type whose n-th one is the last heard
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("step"); // the request the procedure waited for then
    QTest::addColumn<int>("index");
    QTest::newRow("zone read") << 0 << int(REQUEST_READ_AREA) << 11 << int(REQUEST_READ_AREA) << 11;
    QTest::newRow("zone write") << 1 << int(REQUEST_WRITE_AREA) << 6 << int(REQUEST_WRITE_AREA)
                                << 6;
    QTest::newRow("firmware chunk")
        << 2 << int(REQUEST_FIRMWARE_DATA) << 2 << int(REQUEST_FIRMWARE_DATA) << 2;
    QTest::newRow("firmware check")
        << 2 << int(REQUEST_FIRMWARE_END) << 1 << int(REQUEST_FIRMWARE_VERIFY) << -1;
}

void TestSession::lostPortIsReportedOnceAndEndsTheProcedure()
{
    QFETCH(int, procedure);
    QFETCH(int, pullAfter);
    QFETCH(int, count);
    QFETCH(int, step);
    QFETCH(int, index);
    SimOptions o = quick();
    o.unplugType = quint16(pullAfter);
    o.unplugAfter = count;
    if (procedure == 2)
        m_sim->updateState([](DeviceState &s) { s.deviceMode = 1; });
    QVERIFY(connectSession(o));
    QSignalSpy lost(m_session.get(), &ScannerSession::portLost);
    Outcome outcome;
    outcome.watch(m_session->zoneRead());
    outcome.watch(m_session->zoneWrite());
    outcome.watch(m_session->firmware());
    m_session->zoneRead()->setTimeout(60000);
    m_session->zoneWrite()->setTimeout(60000);
    m_session->firmware()->setStepTimeout(60000);
    if (procedure == 0)
        m_session->zoneRead()->start();
    else if (procedure == 1)
        QVERIFY(m_session->zoneWrite()->start(blocksOf(scannerZones())));
    else
        QVERIFY(m_session->firmware()->start(image(3000)));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.failed, 1);
    QCOMPARE(outcome.failure.kind, SessionFailure::PortLost);
    QCOMPARE(int(outcome.failure.step), step);
    QCOMPARE(outcome.failure.index, index);
    QVERIFY(!m_session->isOpen());
    QVERIFY(m_session->isLost());
    // However often the port repeats its error, it is reported once.
    QTest::qWait(200);
    QCOMPARE(lost.count(), 1);
    QCOMPARE(outcome.failed, 1);
}

void TestSession::fullReadHandsEveryChannelOnAfterAskingForTheNext()
{
    QVERIFY(connectSession());
    const DeviceState scanner = scannerZones();
    QVector<int> order;
    QVector<int> progress;
    bool askedFirst = true;
    ZoneRead *read = m_session->zoneRead();
    connect(read, &ZoneRead::channelReceived, this,
            [&](int channel, const ZoneChannelRecord &areas) {
                QCOMPARE(areas, recordOf(scanner, channel));
                order.append(channel);
                // An owner that takes its time with a channel (a store written to disk)
                // finds the next one already asked for.
                if (channel == 3 || channel == 40) {
                    QThread::msleep(50);
                    askedFirst = askedFirst && countOf(REQUEST_READ_AREA, channel + 1) == 1;
                }
            });
    connect(read, &ZoneRead::progress, this, [&](int channel) {
        QCOMPARE(order.last(), channel);
        progress.append(channel);
    });
    Outcome outcome;
    outcome.watch(read);
    QSignalSpy started(read, &ZoneRead::started);
    read->start();
    QCOMPARE(started.count(), 1);
    QVERIFY(read->isRunning());
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.finished, 1);
    QVERIFY(askedFirst);
    QVector<int> all(kZoneChannelCount);
    std::iota(all.begin(), all.end(), 0);
    QCOMPARE(order, all);
    QCOMPARE(progress, all);
    // Every channel asked once, in order, then the request that closes the read.
    QTRY_COMPARE(countOf(REQUEST_READ_AREAS_DONE), 1);
    QVector<int> asked;
    for (const ReceivedFrame &f : m_sim->receivedFrames())
        if (f.type == REQUEST_READ_AREA)
            asked.append(firstByte(f.payload));
    QCOMPARE(asked, all);
    QCOMPARE(m_sim->receivedFrames().last().type, quint16(REQUEST_READ_AREAS_DONE));

    // A single read hands its channel on the same way and starts nothing.
    order.clear();
    m_session->readChannel(17);
    QTRY_COMPARE(order, QVector<int>{17});
    QVERIFY(!read->isRunning());
    QCOMPARE(outcome.finished, 1);
}

void TestSession::fullReadAsksAgainForDamagedAndMissingChannels_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("timeoutMs");
    // A damaged answer is asked for again at once: the long time-out never runs out.
    QTest::newRow("answer damaged") << int(SimOptions::LineFault::DamagedAnswer) << 60000;
    QTest::newRow("request damaged") << int(SimOptions::LineFault::DamagedRequest) << 150;
    QTest::newRow("answer lost") << int(SimOptions::LineFault::LostAnswer) << 150;
}

void TestSession::fullReadAsksAgainForDamagedAndMissingChannels()
{
    QFETCH(int, fault);
    QFETCH(int, timeoutMs);
    SimOptions o = quick();
    o.lineFaults = {{SimOptions::LineFault::Kind(fault), REQUEST_READ_AREA, 21}}; // channel 20
    QVERIFY(connectSession(o));
    ZoneRead *read = m_session->zoneRead();
    read->setTimeout(timeoutMs);
    const DeviceState scanner = scannerZones();
    QVector<int> order;
    connect(read, &ZoneRead::channelReceived, this,
            [&](int channel, const ZoneChannelRecord &areas) {
                QCOMPARE(areas, recordOf(scanner, channel));
                order.append(channel);
            });
    Outcome outcome;
    outcome.watch(read);
    read->start();
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.finished, 1);
    QVector<int> all(kZoneChannelCount);
    std::iota(all.begin(), all.end(), 0);
    QCOMPARE(order, all);
    QCOMPARE(countOf(REQUEST_READ_AREA, 20), 2);
    QCOMPARE(countOf(REQUEST_READ_AREA), 65);
}

void TestSession::fullReadsSurviveCorruptedFrames()
{
    // One frame in twenty spoilt: without asking again, most full reads would fail.
    SimOptions o = quick();
    o.corruptShare = 0.05;
    o.seed = 3;
    QVERIFY(connectSession(o));
    ZoneRead *read = m_session->zoneRead();
    read->setTimeout(300);
    const DeviceState scanner = scannerZones();
    for (int round = 0; round < 4; ++round) {
        QVector<ZoneChannelRecord> got(kZoneChannelCount);
        QMetaObject::Connection c =
            connect(read, &ZoneRead::channelReceived, this,
                    [&](int channel, const ZoneChannelRecord &areas) { got[channel] = areas; });
        Outcome outcome;
        outcome.watch(read);
        read->start();
        QVERIFY(waitUntil([&]() { return outcome.over(); }, 20000));
        disconnect(c);
        QVERIFY2(outcome.finished == 1,
                 qPrintable(QStringLiteral("round %1: %2 finished, %3 failed at %4")
                                .arg(round)
                                .arg(outcome.finished)
                                .arg(outcome.failed)
                                .arg(outcome.failure.index)));
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            QCOMPARE(got[channel], recordOf(scanner, channel));
    }
    int damaged = 0;
    for (const SentReply &r : m_sim->sentReplies())
        damaged += r.damaged && r.type == REQUEST_READ_AREA;
    QVERIFY2(damaged >= 4, qPrintable(QString::number(damaged)));
}

void TestSession::fullReadGivesUpOnAChannelThatNeverComes()
{
    QVERIFY(connectSession());
    // From channel 7 on the scanner carries the reads out but never answers.
    SimulatorHost *sim = m_sim.get();
    connect(
        sim->scanner(), &SimulatedScanner::frameReceived, sim->scanner(),
        [sim](quint16 type, const QByteArray &payload) {
            if (type == REQUEST_READ_AREA && firstByte(payload) == 6)
                sim->updateOptions([](SimOptions &o) { o.dropTypes = {REQUEST_READ_AREA}; });
        },
        Qt::DirectConnection);
    ZoneRead *read = m_session->zoneRead();
    read->setTimeout(100);
    Outcome outcome;
    outcome.watch(read);
    read->start();
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 5000));
    QCOMPARE(outcome.failed, 1);
    QCOMPARE(outcome.failure.kind, SessionFailure::NoAnswer);
    QCOMPARE(outcome.failure.step, REQUEST_READ_AREA);
    QCOMPARE(outcome.failure.index, 7);
    QCOMPARE(outcome.failure.waitedMs, 100);
    QCOMPARE(countOf(REQUEST_READ_AREA, 7), kStepAttempts);
    QVERIFY(!read->isRunning());
    QCOMPARE(countOf(REQUEST_READ_AREAS_DONE), 0);
    // Nothing more goes out once it has given up.
    QTest::qWait(300);
    QCOMPARE(countOf(REQUEST_READ_AREA), 7 + kStepAttempts);
}

void TestSession::fullWritePausesWithoutBlockingAndSendsEveryBlock()
{
    QVERIFY(connectSession());
    DeviceState wanted = scannerZones();
    wanted.zone(12, 1).points = {{1, 2}, {3, 4}, {5, 6}};
    wanted.zone(63, 2).onDelay = 33;
    ZoneWrite *write = m_session->zoneWrite();
    QVector<int> progress;
    connect(write, &ZoneWrite::progress, this, [&](int channel) { progress.append(channel); });
    Outcome outcome;
    outcome.watch(write);
    // The event loop keeps running through the scanner's pause after the begin request.
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&]() {
        if (countOf(REQUEST_BEGIN_AREA_WRITE) == 1 && countOf(REQUEST_WRITE_AREA) == 0)
            ++ticks;
    });
    tick.start(10);
    QVERIFY(write->start(blocksOf(wanted)));
    QVERIFY(!write->start(blocksOf(wanted))); // one write at a time
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.finished, 1);
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QVector<int> all(kZoneChannelCount);
    std::iota(all.begin(), all.end(), 0);
    QCOMPARE(progress, all);
    QCOMPARE(m_sim->state().zones, wanted.zones);
    const QVector<ReceivedFrame> frames = m_sim->receivedFrames();
    const ReceivedFrame begin = frames.at(1);
    QCOMPARE(begin.type, quint16(REQUEST_BEGIN_AREA_WRITE));
    QVERIFY(frames.at(2).firstByteNs - begin.firstByteNs >= 300 * 1000000LL);
    QCOMPARE(countOf(REQUEST_WRITE_AREA), 64);
    QVERIFY(!write->start(blocksOf(wanted).mid(1))); // not one block per channel
}

void TestSession::fullWriteSendsAgainWhatWasNotAcknowledged()
{
    SimOptions o = quick();
    o.lineFaults = {{SimOptions::LineFault::DamagedAnswer, REQUEST_WRITE_AREA, 6},
                    {SimOptions::LineFault::DamagedRequest, REQUEST_WRITE_AREA, 21},
                    {SimOptions::LineFault::LostAnswer, REQUEST_WRITE_AREA, 41}};
    QVERIFY(connectSession(o));
    DeviceState wanted = scannerZones();
    for (int channel = 0; channel < kZoneChannels; ++channel)
        wanted.zone(channel, 0).hysteresis = quint8(channel);
    ZoneWrite *write = m_session->zoneWrite();
    write->setTimeout(200);
    Outcome outcome;
    outcome.watch(write);
    QVERIFY(write->start(blocksOf(wanted)));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.finished, 1);
    QCOMPARE(m_sim->state().zones, wanted.zones);
    // The faults count the blocks as they arrive, those sent again included: the 6th
    // (channel 5), the 21st (channel 19) and the 41st answered (channel 39).
    for (int channel : {5, 19, 39})
        QCOMPARE(countOf(REQUEST_WRITE_AREA, channel), 2);
    QCOMPARE(countOf(REQUEST_WRITE_AREA), 64 + 3);
}

void TestSession::fullWriteStopsAtRefusalsAndStalls_data()
{
    QTest::addColumn<int>("fault"); // 0 begin refused, 1 block refused, 2 block unanswered,
                                    // 3 begin unanswered
    QTest::addColumn<SessionFailure::Kind>("kind");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("blocks"); // write requests the scanner got
    QTest::newRow("begin refused")
        << 0 << SessionFailure::Refused << int(REQUEST_BEGIN_AREA_WRITE) << 0 << 0;
    QTest::newRow("block refused")
        << 1 << SessionFailure::Refused << int(REQUEST_WRITE_AREA) << 3 << 4;
    QTest::newRow("block unanswered")
        << 2 << SessionFailure::NoAnswer << int(REQUEST_WRITE_AREA) << 3 << 3 + kStepAttempts;
    QTest::newRow("begin unanswered")
        << 3 << SessionFailure::NoAnswer << int(REQUEST_BEGIN_AREA_WRITE) << 0 << 0;
}

void TestSession::fullWriteStopsAtRefusalsAndStalls()
{
    QFETCH(int, fault);
    QFETCH(SessionFailure::Kind, kind);
    QFETCH(int, step);
    QFETCH(int, index);
    QFETCH(int, blocks);
    SimOptions o = quick();
    if (fault == 0)
        o.statusOverrides = {{REQUEST_BEGIN_AREA_WRITE, 4}};
    if (fault == 3)
        o.dropTypes = {REQUEST_BEGIN_AREA_WRITE};
    QVERIFY(connectSession(o));
    // From block 3 on: refused, or never answered.
    SimulatorHost *sim = m_sim.get();
    connect(
        sim->scanner(), &SimulatedScanner::frameReceived, sim->scanner(),
        [sim, fault](quint16 type, const QByteArray &payload) {
            if (type != REQUEST_WRITE_AREA || firstByte(payload) != 2)
                return;
            sim->updateOptions([fault](SimOptions &opt) {
                if (fault == 1)
                    opt.statusOverrides = {{REQUEST_WRITE_AREA, 1}};
                if (fault == 2)
                    opt.dropTypes = {REQUEST_WRITE_AREA};
            });
        },
        Qt::DirectConnection);
    ZoneWrite *write = m_session->zoneWrite();
    write->setTimeout(fault == 1 || fault == 0 ? 60000 : 150);
    Outcome outcome;
    outcome.watch(write);
    QVERIFY(write->start(blocksOf(scannerZones())));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.failed, 1);
    QCOMPARE(outcome.failure.kind, kind);
    QCOMPARE(int(outcome.failure.step), step);
    QCOMPARE(outcome.failure.index, index);
    if (kind == SessionFailure::Refused)
        QCOMPARE(outcome.failure.status, fault == 0 ? 4 : 1);
    // A refusal is not asked again; nothing more goes out once the write is given up.
    QTest::qWait(300);
    QCOMPARE(countOf(REQUEST_WRITE_AREA), blocks);
    QVERIFY(!write->isRunning());
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
