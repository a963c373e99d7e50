// The scanner session's firmware update against the simulated scanner, through a real
// QSerialPort on its pseudo-terminal: into the bootloader and back, with the steps that
// end an update early.
#include "firmwaretransfer.h"
#include "firmwareupdate.h"
#include "scannersession.h"
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

class TestSessionFirmware : public QObject, public SessionFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void firmwareUpdateThroughTheBootloader_data();
    void firmwareUpdateThroughTheBootloader();
    void firmwareStepsThatEndTheUpdate_data();
    void firmwareStepsThatEndTheUpdate();
};

void TestSessionFirmware::firmwareUpdateThroughTheBootloader_data()
{
    QTest::addColumn<bool>("inBootloader");
    QTest::addColumn<bool>("everyTick"); // the window's reconnect loop, or the tool's
    QTest::addColumn<bool>("hangUp");    // the scanner drops off the line as it restarts
    QTest::newRow("application, window's loop") << false << true << false;
    QTest::newRow("application, tool's loop, line dropped") << false << false << true;
    QTest::newRow("bootloader already") << true << true << false;
}

void TestSessionFirmware::firmwareUpdateThroughTheBootloader()
{
    QFETCH(bool, inBootloader);
    QFETCH(bool, everyTick);
    QFETCH(bool, hangUp);
    SimOptions o = quick();
    o.hangUpOnRestart = hangUp;
    if (hangUp)
        o.linkPath = m_dir->filePath("scanner");
    if (inBootloader)
        m_sim->updateState([](DeviceState &s) { s.deviceMode = 1; });
    QVERIFY(m_sim->start(o));
    QVERIFY(m_session->open(hangUp ? o.linkPath : m_sim->devicePath(), 921600));
    QVERIFY(waitUntil([this]() { return m_session->worker() != nullptr; }, 3000));
    // An answer that no update waits for starts none.
    m_session->send(REQUEST_DEVICE_MODE);
    QTRY_COMPARE(countOf(REQUEST_DEVICE_MODE), 1);
    QTest::qWait(100);
    QCOMPARE(countOf(REQUEST_ENTER_BOOTLOADER), 0);
    QCOMPARE(countOf(REQUEST_FIRMWARE_BEGIN), 0);

    FirmwareUpdate *update = m_session->firmware();
    update->setReconnectInterval(100);
    update->setReopenEveryTick(everyTick);
    update->setEnterAgain(everyTick);
    QSignalSpy lost(m_session.get(), &ScannerSession::portLost);
    int lostAtTheEnd = -1;
    connect(update, &FirmwareUpdate::finished, this, [&]() { lostAtTheEnd = lost.count(); });
    QVector<FirmwareUpdate::Event> events;
    connect(update, &FirmwareUpdate::reached, this,
            [&](FirmwareUpdate::Event e) { events.append(e); });
    QVector<int> chunks;
    connect(update, &FirmwareUpdate::chunkAcknowledged, this, [&](int index, int total) {
        QCOMPARE(total, 5);
        chunks.append(index);
    });
    Outcome outcome;
    outcome.watch(update);
    const QByteArray bytes = image(2600);
    QVERIFY(update->start(bytes));
    QVERIFY(!update->start(bytes));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.finished, 1);
    QCOMPARE(chunks, (QVector<int>{0, 1, 2, 3, 4, 5}));
    QVector<FirmwareUpdate::Event> expected;
    if (!inBootloader)
        expected << FirmwareUpdate::EnteringBootloader;
    expected << FirmwareUpdate::InBootloader << FirmwareUpdate::ErasingFlash
             << FirmwareUpdate::TransferStarted << FirmwareUpdate::TransferEnded
             << FirmwareUpdate::ImageVerified << FirmwareUpdate::WritingFlash;
    QCOMPARE(events, expected);
    QCOMPARE(m_sim->state().committedFirmwareMd5, md5(bytes));
    QTRY_COMPARE(countOf(REQUEST_RESTART), 1);
    QCOMPARE(countOf(REQUEST_ENTER_BOOTLOADER), inBootloader ? 0 : 1);
    QVERIFY(!update->reconnectTimer()->isActive());
    // A line that drops while the loop waits for the bootloader is the loop's to reopen.
    QCOMPARE(lostAtTheEnd, 0);
}

void TestSessionFirmware::firmwareStepsThatEndTheUpdate_data()
{
    QTest::addColumn<SimOptions>("options");
    QTest::addColumn<SessionFailure::Kind>("kind");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("value"); // the index of a chunk, else the status or result
    SimOptions o = quick();
    SimOptions refusedBegin = o;
    refusedBegin.statusOverrides = {{REQUEST_FIRMWARE_BEGIN, 2}};
    QTest::newRow("begin refused")
        << refusedBegin << SessionFailure::Refused << int(REQUEST_FIRMWARE_BEGIN) << 2;
    SimOptions refusedChunk = o;
    refusedChunk.refuseFirmwareChunk = 2;
    QTest::newRow("chunk refused")
        << refusedChunk << SessionFailure::Refused << int(REQUEST_FIRMWARE_DATA) << 2;
    SimOptions hung = o;
    hung.dropFirmwareChunk = 4;
    QTest::newRow("bootloader hangs")
        << hung << SessionFailure::NoAnswer << int(REQUEST_FIRMWARE_DATA) << 4;
    SimOptions endError = o;
    endError.statusOverrides = {{REQUEST_FIRMWARE_END, 3}};
    QTest::newRow("end error") << endError << SessionFailure::Rejected << int(REQUEST_FIRMWARE_END)
                               << 3;
    SimOptions mismatch = o;
    mismatch.failFirmwareVerify = true;
    QTest::newRow("digest mismatch")
        << mismatch << SessionFailure::Rejected << int(REQUEST_FIRMWARE_VERIFY) << 0;
    SimOptions commitStalls = o;
    commitStalls.dropTypes = {REQUEST_FIRMWARE_COMMIT};
    QTest::newRow("commit stalls")
        << commitStalls << SessionFailure::NoAnswer << int(REQUEST_FIRMWARE_COMMIT) << 0;
    SimOptions noBootloader = o;
    noBootloader.statusOverrides = {{REQUEST_ENTER_BOOTLOADER, 1}};
    QTest::newRow("no bootloader")
        << noBootloader << SessionFailure::NoBootloader << int(REQUEST_DEVICE_MODE) << 0;
}

void TestSessionFirmware::firmwareStepsThatEndTheUpdate()
{
    QFETCH(SimOptions, options);
    QFETCH(SessionFailure::Kind, kind);
    QFETCH(int, step);
    QFETCH(int, value);
    const bool application = kind == SessionFailure::NoBootloader;
    if (!application)
        m_sim->updateState([](DeviceState &s) { s.deviceMode = 1; });
    QVERIFY(connectSession(options));
    FirmwareUpdate *update = m_session->firmware();
    update->setStepTimeout(150);
    update->setFlashTimeout(300);
    update->setBootloaderTimeout(600);
    update->setReconnectInterval(100);
    Outcome outcome;
    outcome.watch(update);
    QVERIFY(update->start(image(3000)));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 10000));
    QCOMPARE(outcome.failed, 1);
    QCOMPARE(outcome.failure.kind, kind);
    QCOMPARE(int(outcome.failure.step), step);
    if (step == REQUEST_FIRMWARE_DATA) {
        QCOMPARE(outcome.failure.index, value);
        QCOMPARE(outcome.failure.count, 6);
        // A refusal is final; a chunk that is never acknowledged is sent three times.
        QCOMPARE(countOf(REQUEST_FIRMWARE_DATA),
                 value + (kind == SessionFailure::Refused ? 1 : kStepAttempts));
    } else if (kind != SessionFailure::NoAnswer) {
        QCOMPARE(outcome.failure.status, value);
    }
    if (step == REQUEST_FIRMWARE_COMMIT)
        QCOMPARE(outcome.failure.waitedMs, 300); // the flash step's own time-out
    if (application)
        QVERIFY(countOf(REQUEST_ENTER_BOOTLOADER) >= 3);
    // A commit that stalls may have been carried out; nothing else was.
    if (step != REQUEST_FIRMWARE_COMMIT)
        QCOMPARE(m_sim->state().firmwareCommits, 0);
    // Nothing moves on once the update has ended, the reconnect loop included.
    QVERIFY(!update->reconnectTimer()->isActive());
    const int frames = m_sim->receivedFrames().size();
    QTest::qWait(300);
    QCOMPARE(m_sim->receivedFrames().size(), frames);
    QCOMPARE(outcome.failed, 1);
}

QTEST_GUILESS_MAIN(TestSessionFirmware)
#include "tst_sessionfirmware.moc"
