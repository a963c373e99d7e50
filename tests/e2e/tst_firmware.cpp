#include "simframes.h"
#include "studiorig.h"
#include "workerthread.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPointer>
#include <QtTest>

namespace {
QByteArray md5(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

// Bytes that differ from chunk to chunk, so a chunk sent twice or out of order shows.
QByteArray image(int size, int seed = 1)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 512 * 13 + seed * 31);
    return bytes;
}

QString writeFile(const StudioRig &rig, const QString &name, const QByteArray &bytes)
{
    QFile file(rig.dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning() << "cannot write" << file.fileName();
    return file.fileName();
}

QStringList logLines(const StudioRig &rig)
{
    return rig.ui()->firmwarePlainTextEdit->toPlainText().split('\n', Qt::SkipEmptyParts);
}

bool waitForLine(const StudioRig &rig, const QString &line, int ms = 10000)
{
    return QTest::qWaitFor([&]() { return logLines(rig).contains(line); }, ms);
}

// Ready for a new try: nothing running, both buttons usable.
bool pageUsable(const StudioRig &rig)
{
    return rig.ui()->selectFirmwareBtn->isEnabled() && rig.ui()->updateFirmwareBtn->isEnabled() &&
           !rig.window->scannerSession()->firmware()->isRunning() &&
           !rig.window->scannerSession()->firmware()->reconnectTimer()->isActive();
}

// Chooses file, presses Update and answers the confirmation with button.
void startUpdate(StudioRig &rig, const QString &file,
                 QMessageBox::StandardButton button = QMessageBox::Yes)
{
    rig.boxes.answer(QStringLiteral("Are you sure you want to update the firmware"), button);
    rig.firmwareFile = file;
    rig.ui()->selectFirmwareBtn->click();
    rig.ui()->updateFirmwareBtn->click();
}

QByteArray receivedImage(const StudioRig &rig, QVector<int> *sizes = nullptr)
{
    QByteArray bytes;
    for (const ReceivedFrame &frame : rig.framesOf(REQUEST_FIRMWARE_DATA)) {
        bytes.append(frame.payload);
        if (sizes)
            sizes->append(frame.payload.size());
    }
    return bytes;
}

// The update's requests in the order the scanner received them; the reconnect loop's
// repeated device-mode questions count once.
QVector<quint16> updateRequests(const StudioRig &rig)
{
    QVector<quint16> types;
    for (const ReceivedFrame &frame : rig.sim.receivedFrames())
        if (frame.type == REQUEST_DEVICE_MODE || frame.type == REQUEST_ENTER_BOOTLOADER ||
            frame.type == REQUEST_RESTART || (frame.type >> 8) == 0xAA)
            if (types.isEmpty() || frame.type != REQUEST_DEVICE_MODE || types.last() != frame.type)
                types.append(frame.type);
    return types;
}
} // namespace

class TestFirmware : public QObject
{
    Q_OBJECT

    enum Fault
    {
        Unanswered,
        NoBootloader,
        RefusedChunk,
        LostChunk,
        DigestMismatch,
        RefusedBegin
    };

    // Steps time out after 300 ms, the flash steps (begin, commit) after 600 ms unless
    // they keep the window's own time-out.
    bool startRig(StudioRig &rig, bool inBootloader,
                  const SimOptions &options = StudioRig::withoutZoneReads(), bool quickFlash = true)
    {
        if (inBootloader)
            rig.sim.updateState([](DeviceState &s) { s.deviceMode = 1; });
        if (!rig.start(options))
            return false;
        rig.window->scannerSession()->firmware()->setReconnectInterval(100);
        rig.window->scannerSession()->firmware()->setStepTimeout(300);
        if (quickFlash)
            rig.window->scannerSession()->firmware()->setFlashTimeout(600);
        return rig.connectAndSettle();
    }

private slots:
    void transfersTheImageInChunks_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QVector<int>>("chunks");
        QTest::addColumn<QStringList>("progress");
        QTest::newRow("short last chunk")
            << 1000 << QVector<int>{512, 488} << QStringList{"0%", "100%"};
        QTest::newRow("empty last chunk")
            << 1024 << QVector<int>{512, 512, 0} << QStringList{"0%", "50%", "100%"};
        QTest::newRow("below one chunk") << 300 << QVector<int>{300} << QStringList{"100%"};
    }

    void transfersTheImageInChunks()
    {
        QFETCH(int, size);
        QFETCH(QVector<int>, chunks);
        QFETCH(QStringList, progress);
        StudioRig rig;
        QVERIFY(startRig(rig, false));
        rig.sim.clearLog();
        const QByteArray bytes = image(size);
        startUpdate(rig, writeFile(rig, "app.bin", bytes));
        QVERIFY(waitForLine(rig, "The update is submitted successfully"));

        QStringList expected = {"Entering bootloader mode", "Current bootloader mode",
                                "Waiting for the scanner to erase its flash (up to 1 s)...",
                                "Starting Firmware Update"};
        for (const QString &p : progress)
            expected << "CurrentProgress:  " + p;
        expected << "End Firmware Update"
                 << "md5 checked successfully"
                 << "Waiting for the scanner to write its flash (up to 1 s)..."
                 << "The update is submitted successfully";
        QCOMPARE(logLines(rig), expected);
        QVector<int> sizes;
        QCOMPARE(receivedImage(rig, &sizes), bytes);
        QCOMPARE(sizes, chunks);
        // Into the bootloader and back through the reconnect loop, then one chunk per
        // acknowledgement and the closing steps.
        QVector<quint16> order = {REQUEST_DEVICE_MODE, REQUEST_ENTER_BOOTLOADER,
                                  REQUEST_DEVICE_MODE, REQUEST_FIRMWARE_BEGIN};
        order << QVector<quint16>(chunks.size(), REQUEST_FIRMWARE_DATA) << REQUEST_FIRMWARE_END
              << REQUEST_FIRMWARE_VERIFY << REQUEST_FIRMWARE_COMMIT << REQUEST_RESTART;
        QTRY_COMPARE(updateRequests(rig), order);
        // The raw digest travels, not its hexadecimal text.
        const ReceivedFrame verify = rig.framesOf(REQUEST_FIRMWARE_VERIFY).first();
        QCOMPARE(verify.raw.size(), 26);
        QCOMPARE(verify.payload, md5(bytes));
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(bytes));
        QVERIFY(pageUsable(rig));
    }

    void imageRunsAfterRestartInBootloader()
    {
        // In its bootloader already: no detour, no reconnect loop. The wire is paced, so
        // the replies come at the real rate.
        StudioRig rig;
        SimOptions options = StudioRig::withoutZoneReads();
        options.paced = true;
        QVERIFY(startRig(rig, true, options));
        rig.window->scannerSession()->firmware()->setStepTimeout(2000);
        QByteArray bytes = image(100 * 1024, 2);
        bytes.replace(40000, 15, QByteArray("VERSION=V3.0.0\0", 15));
        bool reconnecting = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&]() {
            reconnecting |= rig.window->scannerSession()->firmware()->reconnectTimer()->isActive();
        });
        watch.start(1);
        startUpdate(rig, writeFile(rig, "big.bin", bytes));
        QVERIFY(waitForLine(rig, "The update is submitted successfully", 20000));
        QVERIFY(!reconnecting);
        QCOMPARE(rig.countOf(REQUEST_ENTER_BOOTLOADER), 0);
        QCOMPARE(logLines(rig).filter("CurrentProgress:").size(), 201);
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(bytes));

        // The restart runs the new image, which reports its own version.
        QTRY_COMPARE(int(rig.sim.state().deviceMode), 0);
        emit rig.window->sendRequestType(REQUEST_FIRMWARE_VERSION, QString());
        QTRY_COMPARE(rig.ui()->versionLabel->text(), QStringLiteral("V3.0.0"));
    }

    void newUpdateStartsOverWithTheChosenFile()
    {
        StudioRig rig;
        SimOptions options = StudioRig::withoutZoneReads();
        options.refuseFirmwareChunk = 2;
        QVERIFY(startRig(rig, false, options));
        const QByteArray first = image(2100, 3);
        startUpdate(rig, writeFile(rig, "first.bin", first));
        QVERIFY(waitForLine(rig, "Firmware update failed: data chunk 3 of 5 was not acknowledged"));
        QVERIFY(pageUsable(rig));

        rig.sim.updateOptions([](SimOptions &o) { o.refuseFirmwareChunk = -1; });
        rig.sim.clearLog();
        const QByteArray second = image(1500, 4);
        startUpdate(rig, writeFile(rig, "second.bin", second));
        QVERIFY(waitForLine(rig, "The update is submitted successfully"));
        QCOMPARE(receivedImage(rig), second);
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(second));
    }

    void stalledOrFailedStepsEndTheUpdate_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("arg");
        QTest::addColumn<QString>("lastLine");
        const QString failed = QStringLiteral("Firmware update failed: ");
        QTest::newRow("device mode")
            << int(Unanswered) << int(REQUEST_DEVICE_MODE)
            << failed + "the scanner did not answer the device mode request";
        QTest::newRow("no bootloader")
            << int(NoBootloader) << 0 << failed + "the bootloader did not appear in time";
        QTest::newRow("begin") << int(Unanswered) << int(REQUEST_FIRMWARE_BEGIN)
                               << failed + "the scanner did not answer the start of the update";
        QTest::newRow("refused chunk")
            << int(RefusedChunk) << 1 << failed + "data chunk 2 of 3 was not acknowledged";
        QTest::newRow("lost chunk")
            << int(LostChunk) << 0 << failed + "data chunk 1 of 3 was not acknowledged";
        QTest::newRow("end") << int(Unanswered) << int(REQUEST_FIRMWARE_END)
                             << failed + "the scanner did not answer the end of the update";
        QTest::newRow("verify") << int(Unanswered) << int(REQUEST_FIRMWARE_VERIFY)
                                << failed + "the scanner did not answer the md5 check";
        QTest::newRow("commit") << int(Unanswered) << int(REQUEST_FIRMWARE_COMMIT)
                                << failed + "the scanner did not answer the commit";
        QTest::newRow("digest mismatch") << int(DigestMismatch) << 0 << "md5 check failed";
        QTest::newRow("refused begin")
            << int(RefusedBegin) << 2
            << failed + "the scanner refused to start the update (status 2)";
    }

    void stalledOrFailedStepsEndTheUpdate()
    {
        QFETCH(int, fault);
        QFETCH(int, arg);
        QFETCH(QString, lastLine);
        SimOptions options = StudioRig::withoutZoneReads();
        if (fault == Unanswered)
            options.dropTypes.insert(quint16(arg));
        options.refuseFirmwareChunk = fault == RefusedChunk ? arg : -1;
        options.dropFirmwareChunk = fault == LostChunk ? arg : -1;
        options.failFirmwareVerify = fault == DigestMismatch;
        if (fault == NoBootloader) // refused: it stays in the application
            options.statusOverrides = {{REQUEST_ENTER_BOOTLOADER, 1}};
        if (fault == RefusedBegin)
            options.statusOverrides = {{REQUEST_FIRMWARE_BEGIN, quint16(arg)}};
        const bool inBootloader = fault != NoBootloader && arg != REQUEST_DEVICE_MODE;
        StudioRig rig;
        QVERIFY(startRig(rig, inBootloader, options));
        rig.window->scannerSession()->firmware()->setBootloaderTimeout(700);
        startUpdate(rig, writeFile(rig, "app.bin", image(1100)));
        QVERIFY(waitForLine(rig, lastLine, 5000));
        QCOMPARE(logLines(rig).last(), lastLine);
        QVERIFY(pageUsable(rig));
        if (fault == NoBootloader) // the reconnect loop asked at every tick until then
            QVERIFY(rig.countOf(REQUEST_ENTER_BOOTLOADER) >= 3);
        if (fault == RefusedBegin) // no image goes to a bootloader that did not start
            QCOMPARE(rig.countOf(REQUEST_FIRMWARE_DATA), 0);
        // Nothing moves on once the update has ended, the reconnect loop included.
        const int frames = rig.sim.receivedFrames().size();
        QTest::qWait(400);
        QCOMPARE(rig.sim.receivedFrames().size(), frames);
    }

    void nothingStartsWithoutYesFileOrLink_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("line");
        QTest::newRow("declined") << false << true << true << 700 << QString();
        QTest::newRow("missing file")
            << true << true << false << 700 << "Cannot open the firmware file: %1";
        QTest::newRow("no link") << true << false << true << 700
                                 << "No scanner is connected: open the serial port first";
        QTest::newRow("empty file")
            << true << true << true << 0 << "The firmware file is empty: %1; nothing was sent";
    }

    void nothingStartsWithoutYesFileOrLink()
    {
        QFETCH(bool, yes);
        QFETCH(bool, connected);
        QFETCH(bool, fileExists);
        QFETCH(int, size);
        QFETCH(QString, line);
        StudioRig rig;
        QVERIFY(connected ? startRig(rig, false) : rig.start(StudioRig::withoutZoneReads()));
        rig.sim.clearLog();
        const QString path =
            fileExists ? writeFile(rig, "app.bin", image(size)) : rig.dir.filePath("gone.bin");
        startUpdate(rig, path, yes ? QMessageBox::Yes : QMessageBox::No);
        QCOMPARE(logLines(rig).join('|'), line.replace("%1", path));
        QVERIFY(pageUsable(rig));
        QTest::qWait(200);
        QVERIFY(updateRequests(rig).isEmpty());
    }

    void onlyTheAwaitedAnswerMovesTheUpdateOn_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("lateReply");
        QTest::addColumn<QString>("failure");
        const QString failed = QStringLiteral("Firmware update failed: ");
        // Each late answer is the one that would have carried the update on.
        QTest::newRow("begin") << int(REQUEST_FIRMWARE_BEGIN)
                               << simframes::replyFrame(REQUEST_FIRMWARE_BEGIN, 0)
                               << failed + "the scanner did not answer the start of the update";
        QTest::newRow("end") << int(REQUEST_FIRMWARE_END)
                             << simframes::replyFrame(REQUEST_FIRMWARE_END, 0)
                             << failed + "the scanner did not answer the end of the update";
        QTest::newRow("verify") << int(REQUEST_FIRMWARE_VERIFY)
                                << simframes::replyFrame(REQUEST_FIRMWARE_VERIFY, 0,
                                                         QByteArray(1, '\1'))
                                << failed + "the scanner did not answer the md5 check";
        QTest::newRow("commit") << int(REQUEST_FIRMWARE_COMMIT)
                                << simframes::replyFrame(REQUEST_FIRMWARE_COMMIT, 0)
                                << failed + "the scanner did not answer the commit";
    }

    void onlyTheAwaitedAnswerMovesTheUpdateOn()
    {
        QFETCH(int, step);
        QFETCH(QByteArray, lateReply);
        QFETCH(QString, failure);
        SimOptions options = StudioRig::withoutZoneReads();
        options.dropTypes.insert(quint16(step)); // carried out, answered only later
        StudioRig rig;
        QVERIFY(startRig(rig, true, options));
        startUpdate(rig, writeFile(rig, "app.bin", image(1100)));
        QVERIFY(waitForLine(rig, failure, 5000));
        const QStringList log = logLines(rig);
        const int frames = rig.sim.receivedFrames().size();

        rig.sim.injectBytes(lateReply);
        QTest::qWait(400);
        QCOMPARE(logLines(rig), log);
        QCOMPARE(rig.sim.receivedFrames().size(), frames);
        QVERIFY(pageUsable(rig));

        // An answer out of turn is ignored while another step waits as well: the verify
        // answer is taken only after the end answer asked for it.
        if (step != REQUEST_FIRMWARE_VERIFY)
            return;
        rig.sim.updateOptions([](SimOptions &o) {
            o.dropTypes = {REQUEST_READ_AREA, REQUEST_FIRMWARE_END};
        });
        rig.sim.clearLog();
        startUpdate(rig, writeFile(rig, "app.bin", image(1100)));
        QTRY_COMPARE(rig.countOf(REQUEST_FIRMWARE_END), 1);
        rig.sim.injectBytes(lateReply);
        QVERIFY(waitForLine(
            rig, "Firmware update failed: the scanner did not answer the end of the update"));
        QCOMPARE(rig.countOf(REQUEST_FIRMWARE_COMMIT), 0);
    }

    void flashStepsWaitLongerAndSaySo_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("waiting");
        QTest::newRow("begin erases")
            << int(REQUEST_FIRMWARE_BEGIN)
            << "Waiting for the scanner to erase its flash (up to 30 s)...";
        QTest::newRow("commit programs")
            << int(REQUEST_FIRMWARE_COMMIT)
            << "Waiting for the scanner to write its flash (up to 30 s)...";
    }

    void flashStepsWaitLongerAndSaySo()
    {
        QFETCH(int, step);
        QFETCH(QString, waiting);
        SimOptions options = StudioRig::withoutZoneReads();
        options.dropTypes.insert(quint16(step));
        StudioRig rig;
        QVERIFY(startRig(rig, true, options, false));
        const QByteArray bytes = image(1100);
        startUpdate(rig, writeFile(rig, "app.bin", bytes));
        QVERIFY(waitForLine(rig, waiting, 5000));
        // Far beyond the 300 ms of an ordinary step, the update still waits.
        QTest::qWait(1000);
        QVERIFY(rig.window->scannerSession()->firmware()->isRunning());
        QVERIFY(logLines(rig).filter("Firmware update failed").isEmpty());
        rig.sim.injectBytes(simframes::replyFrame(quint16(step), 0));
        QVERIFY(waitForLine(rig, "The update is submitted successfully"));
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(bytes));
        QTRY_COMPARE(rig.countOf(REQUEST_RESTART), 1);
    }

    void bootloaderThatNeverComesClosesTheLink()
    {
        // The scanner drops off the line as it enters its bootloader and never comes back:
        // the reconnect loop leaves the port closed, and the window must say so rather
        // than go on looking connected.
        StudioRig rig;
        SimOptions options = StudioRig::withoutZoneReads();
        options.linkPath = rig.dir.filePath("scanner");
        options.unplugType = REQUEST_ENTER_BOOTLOADER;
        options.unplugAfter = 1;
        QVERIFY(rig.start(options, options.linkPath));
        rig.window->scannerSession()->firmware()->setReconnectInterval(100);
        rig.window->scannerSession()->firmware()->setBootloaderTimeout(700);
        QVERIFY(rig.connectAndSettle());
        startUpdate(rig, writeFile(rig, "app.bin", image(1100)));
        QVERIFY(waitForLine(rig, "Firmware update failed: the bootloader did not appear in time"));
        QTRY_VERIFY(rig.boxes.sawText("The serial port is closed after the failed firmware update. "
                                      "Check the connection and open the port again"));
        QVERIFY(!rig.window->scannerSession()->link()->isOpen());
        QVERIFY(!rig.window->scannerSession()->worker());
        QVERIFY(!rig.ui()->openBtn->isChecked());
        QCOMPARE(rig.ui()->openBtn->text(), QStringLiteral("Open"));
        QVERIFY(rig.ui()->portName->isEnabled());
        QVERIFY(!rig.window->scannerSession()->firmware()->reconnectTimer()->isActive());
    }

    void scannerDroppingOffTheLineIsReopened()
    {
        // The scanner hangs its line up while it boots into the bootloader and comes back
        // on a new terminal behind the same link; the update carries on over the reopened
        // port with the same worker and no disconnect message.
        StudioRig rig;
        SimOptions options = StudioRig::withoutZoneReads();
        options.linkPath = rig.dir.filePath("scanner");
        options.hangUpOnRestart = true;
        options.restartMs = 300;
        QVERIFY(rig.start(options, options.linkPath));
        rig.window->scannerSession()->firmware()->setReconnectInterval(100);
        QVERIFY(rig.connectAndSettle());
        const QString firstTerminal = rig.sim.devicePath();
        QPointer<WorkerThread> worker = rig.window->scannerSession()->worker();
        const QByteArray bytes = image(3000, 5);
        startUpdate(rig, writeFile(rig, "app.bin", bytes));
        QVERIFY(waitForLine(rig, "The update is submitted successfully"));
        QVERIFY(rig.sim.devicePath() != firstTerminal);
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(bytes));
        QCOMPARE(rig.window->scannerSession()->worker(), worker.data());
        // Only the zone read's time-out after connecting and the question.
        QCOMPARE(rig.boxes.count(), 2);
    }
};

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
