#include "studiorig.h"
#include "workerthread.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPointer>
#include <QtTest>

namespace {
const QString kConfirm = QStringLiteral("Are you sure you want to update the firmware");
const QString kDisconnectText =
    QStringLiteral("The serial port is disconnected. Check whether the connection is normal");

QByteArray md5(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

// Bytes that differ from chunk to chunk, so a chunk sent twice or out of order shows.
QByteArray image(int size, int seed = 1)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 512 * 13 + seed * 31) & 0xFF);
    return bytes;
}

QString writeFile(const StudioRig &rig, const QString &name, const QByteArray &bytes)
{
    const QString path = rig.dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning() << "cannot write" << path;
    return path;
}

QStringList logLines(const StudioRig &rig)
{
    return rig.ui()->firmwarePlainTextEdit->toPlainText().split(QLatin1Char('\n'),
                                                                Qt::SkipEmptyParts);
}

bool pageUsable(const StudioRig &rig)
{
    return rig.ui()->selectFirmwareBtn->isEnabled() && rig.ui()->updateFirmwareBtn->isEnabled() &&
           !rig.window->isFirmwareUpdateRunning() &&
           !rig.window->reconnectTimerObject()->isActive();
}

// Chooses file and presses the update button, answering the confirmation with button.
// Returns how often the confirmation was asked.
int startUpdate(StudioRig &rig, const QString &file,
                QMessageBox::StandardButton button = QMessageBox::Yes)
{
    int asked = 0;
    rig.boxes.setHold([button, &asked](QMessageBox *box) {
        if (box->text() != kConfirm)
            return false;
        ++asked;
        box->button(button)->click();
        return true;
    });
    rig.window->setFirmwareFileProvider([file]() { return file; });
    rig.ui()->selectFirmwareBtn->click();
    rig.ui()->updateFirmwareBtn->click();
    rig.boxes.setHold(nullptr);
    return asked;
}

bool waitForLine(const StudioRig &rig, const QString &line, int ms = 10000)
{
    return QTest::qWaitFor([&]() { return logLines(rig).contains(line); }, ms);
}

QVector<int> chunkSizes(const StudioRig &rig)
{
    QVector<int> sizes;
    for (const ReceivedFrame &frame : rig.framesOf(REQUEST_FIRMWARE_DATA))
        sizes.append(frame.payload.size());
    return sizes;
}

QByteArray receivedImage(const StudioRig &rig)
{
    QByteArray bytes;
    for (const ReceivedFrame &frame : rig.framesOf(REQUEST_FIRMWARE_DATA))
        bytes.append(frame.payload);
    return bytes;
}

// The update's requests in the order the scanner received them.
QVector<quint16> updateRequests(const StudioRig &rig)
{
    static const QVector<quint16> kinds = {REQUEST_DEVICE_MODE,     REQUEST_ENTER_BOOTLOADER,
                                           REQUEST_FIRMWARE_BEGIN,  REQUEST_FIRMWARE_DATA,
                                           REQUEST_FIRMWARE_END,    REQUEST_FIRMWARE_VERIFY,
                                           REQUEST_FIRMWARE_COMMIT, REQUEST_RESTART};
    QVector<quint16> types;
    for (const ReceivedFrame &frame : rig.sim.receivedFrames())
        if (kinds.contains(frame.type) &&
            (types.isEmpty() || frame.type != types.last() || frame.type == REQUEST_FIRMWARE_DATA))
            types.append(frame.type);
    return types;
}
} // namespace

class TestFirmware : public QObject
{
    Q_OBJECT

private:
    bool startRig(StudioRig &rig, bool inBootloader, SimOptions options = StudioRig::quickOptions())
    {
        if (inBootloader)
            rig.sim.updateState([](DeviceState &s) { s.deviceMode = 1; });
        if (!rig.start(options))
            return false;
        rig.window->setReconnectInterval(100);
        rig.window->setFirmwareStepTimeout(2000);
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
        // A single chunk has no full chunks to divide by: it completes the image.
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
        QCOMPARE(startUpdate(rig, writeFile(rig, "app.bin", bytes)), 1);
        QVERIFY(waitForLine(rig, "The update is submitted successfully"));

        QStringList expected = {"Entering bootloader mode", "Current bootloader mode",
                                "Starting Firmware Update"};
        for (const QString &p : progress)
            expected << QStringLiteral("CurrentProgress:  ") + p;
        expected << "End Firmware Update"
                 << "md5 checked successfully"
                 << "The update is submitted successfully";
        QCOMPARE(logLines(rig), expected);

        QCOMPARE(chunkSizes(rig), chunks);
        QCOMPARE(receivedImage(rig), bytes);
        QVector<quint16> order = {REQUEST_DEVICE_MODE, REQUEST_ENTER_BOOTLOADER,
                                  REQUEST_DEVICE_MODE, REQUEST_FIRMWARE_BEGIN};
        order.insert(order.size(), chunks.size(), REQUEST_FIRMWARE_DATA);
        order << REQUEST_FIRMWARE_END << REQUEST_FIRMWARE_VERIFY << REQUEST_FIRMWARE_COMMIT
              << REQUEST_RESTART;
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
        // The scanner is in its bootloader already: no detour, no reconnect loop.
        StudioRig rig;
        QVERIFY(startRig(rig, true));
        rig.sim.clearLog();
        QByteArray bytes = image(100 * 1024, 2);
        bytes.replace(40000, 15, QByteArray("VERSION=V3.0.0\0", 15));
        bool reconnecting = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this,
                [&]() { reconnecting |= rig.window->reconnectTimerObject()->isActive(); });
        watch.start(1);
        startUpdate(rig, writeFile(rig, "big.bin", bytes));
        QVERIFY(waitForLine(rig, "The update is submitted successfully", 20000));
        watch.stop();
        QVERIFY(!reconnecting);
        QCOMPARE(rig.countOf(REQUEST_ENTER_BOOTLOADER), 0);
        QCOMPARE(rig.countOf(REQUEST_FIRMWARE_DATA), 201);
        QCOMPARE(logLines(rig).filter("CurrentProgress:").size(), 201);
        QCOMPARE(logLines(rig).filter("CurrentProgress:").at(100), "CurrentProgress:  50%");
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(bytes));
        QCOMPARE(rig.sim.state().firmwareCommits, 1);

        // The restart runs the new image, which reports its own version.
        QTRY_COMPARE(int(rig.sim.state().deviceMode), 0);
        emit rig.window->sendRequestType(REQUEST_FIRMWARE_VERSION, QString());
        QTRY_COMPARE(rig.ui()->versionLabel->text(), QStringLiteral("V3.0.0"));
    }

    void declinedConfirmationSendsNothing()
    {
        StudioRig rig;
        QVERIFY(startRig(rig, false));
        rig.sim.clearLog();
        QCOMPARE(startUpdate(rig, writeFile(rig, "app.bin", image(2000)), QMessageBox::No), 1);
        QTest::qWait(300);
        QCOMPARE(rig.countOf(REQUEST_DEVICE_MODE), 0);
        QCOMPARE(rig.countOf(REQUEST_ENTER_BOOTLOADER), 0);
        QVERIFY(logLines(rig).isEmpty());
        QVERIFY(pageUsable(rig));
    }

    void newUpdateStartsOverWithTheChosenFile()
    {
        StudioRig rig;
        SimOptions options = StudioRig::quickOptions();
        options.refuseFirmwareChunk = 2;
        QVERIFY(startRig(rig, false, options));
        rig.window->setFirmwareStepTimeout(300);
        const QByteArray first = image(2100, 3);
        startUpdate(rig, writeFile(rig, "first.bin", first));
        QVERIFY(waitForLine(rig, "Firmware update failed: data chunk 3 of 5 was not acknowledged"));
        QVERIFY(pageUsable(rig));
        QCOMPARE(receivedImage(rig), first.left(1024 + 512));

        rig.sim.updateOptions([](SimOptions &o) { o.refuseFirmwareChunk = -1; });
        rig.sim.clearLog();
        rig.ui()->firmwarePlainTextEdit->clear();
        const QByteArray second = image(1500, 4);
        startUpdate(rig, writeFile(rig, "second.bin", second));
        QVERIFY(waitForLine(rig, "The update is submitted successfully"));
        QCOMPARE(chunkSizes(rig), (QVector<int>{512, 512, 476}));
        QCOMPARE(receivedImage(rig), second);
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(second));
    }

    void stalledStepsEndTheUpdate_data()
    {
        QTest::addColumn<bool>("inBootloader");
        QTest::addColumn<int>("refuseChunk");
        QTest::addColumn<int>("dropChunk");
        QTest::addColumn<QVector<quint16>>("unanswered");
        QTest::addColumn<QString>("failure");
        const QVector<quint16> none;
        QTest::newRow("device mode") << false << -1 << -1 << QVector<quint16>{REQUEST_DEVICE_MODE}
                                     << "the scanner did not answer the device mode request";
        QTest::newRow("begin") << true << -1 << -1 << QVector<quint16>{REQUEST_FIRMWARE_BEGIN}
                               << "the scanner did not answer the start of the update";
        QTest::newRow("refused chunk")
            << true << 1 << -1 << none << "data chunk 2 of 3 was not acknowledged";
        QTest::newRow("lost chunk")
            << true << -1 << 0 << none << "data chunk 1 of 3 was not acknowledged";
        QTest::newRow("end") << true << -1 << -1 << QVector<quint16>{REQUEST_FIRMWARE_END}
                             << "the scanner did not answer the end of the update";
        QTest::newRow("verify") << true << -1 << -1 << QVector<quint16>{REQUEST_FIRMWARE_VERIFY}
                                << "the scanner did not answer the md5 check";
        QTest::newRow("commit") << true << -1 << -1 << QVector<quint16>{REQUEST_FIRMWARE_COMMIT}
                                << "the scanner did not answer the commit";
    }

    void stalledStepsEndTheUpdate()
    {
        QFETCH(bool, inBootloader);
        QFETCH(int, refuseChunk);
        QFETCH(int, dropChunk);
        QFETCH(QVector<quint16>, unanswered);
        QFETCH(QString, failure);
        StudioRig rig;
        QVERIFY(startRig(rig, inBootloader));
        rig.window->setFirmwareStepTimeout(300);
        rig.sim.updateOptions([&](SimOptions &o) {
            o.refuseFirmwareChunk = refuseChunk;
            o.dropFirmwareChunk = dropChunk;
            for (quint16 type : unanswered)
                o.dropTypes.insert(type);
        });
        rig.sim.clearLog();
        startUpdate(rig, writeFile(rig, "app.bin", image(1100)));
        const QString line = QStringLiteral("Firmware update failed: ") + failure;
        QVERIFY(waitForLine(rig, line, 5000));
        QCOMPARE(logLines(rig).last(), line);
        QCOMPARE(logLines(rig).count(line), 1);
        QVERIFY(pageUsable(rig));
        // Nothing moves on once the update has been given up.
        const int frames = rig.sim.receivedFrames().size();
        QTest::qWait(400);
        QCOMPARE(rig.sim.receivedFrames().size(), frames);
    }

    void missingBootloaderStopsTheReconnectLoop()
    {
        StudioRig rig;
        SimOptions options = StudioRig::quickOptions();
        options.statusOverrides = {{REQUEST_ENTER_BOOTLOADER, 1}}; // stays in the application
        QVERIFY(startRig(rig, false, options));
        rig.window->setBootloaderTimeout(700);
        rig.sim.clearLog();
        startUpdate(rig, writeFile(rig, "app.bin", image(1100)));
        QTRY_VERIFY(rig.window->reconnectTimerObject()->isActive());
        QVERIFY(waitForLine(rig, "Firmware update failed: the bootloader did not appear in time"));
        // The loop asked again and again, then gave up.
        QVERIFY(rig.countOf(REQUEST_DEVICE_MODE) >= 3);
        QVERIFY(rig.countOf(REQUEST_ENTER_BOOTLOADER) >= 3);
        QVERIFY(pageUsable(rig));
        const int asked = rig.countOf(REQUEST_DEVICE_MODE);
        QTest::qWait(300);
        QCOMPARE(rig.countOf(REQUEST_DEVICE_MODE), asked);
        QCOMPARE(rig.countOf(REQUEST_FIRMWARE_BEGIN), 0);
    }

    void failedVerificationCommitsNothing()
    {
        StudioRig rig;
        SimOptions options = StudioRig::quickOptions();
        options.failFirmwareVerify = true;
        QVERIFY(startRig(rig, true, options));
        startUpdate(rig, writeFile(rig, "app.bin", image(1100)));
        QVERIFY(waitForLine(rig, "md5 check failed"));
        QCOMPARE(logLines(rig).last(), QStringLiteral("md5 check failed"));
        QVERIFY(pageUsable(rig));
        QTest::qWait(200);
        QCOMPARE(rig.countOf(REQUEST_FIRMWARE_COMMIT), 0);
        QCOMPARE(rig.sim.state().firmwareCommits, 0);
    }

    void refusesWithoutFileOrLink_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QString>("line");
        QTest::newRow("missing file") << true << false << "Cannot open the firmware file: %1";
        QTest::newRow("no link") << false << true
                                 << "No scanner is connected: open the serial port first";
    }

    void refusesWithoutFileOrLink()
    {
        QFETCH(bool, connected);
        QFETCH(bool, fileExists);
        QFETCH(QString, line);
        StudioRig rig;
        if (connected)
            QVERIFY(startRig(rig, false));
        else
            QVERIFY(rig.start());
        rig.sim.clearLog();
        const QString path =
            fileExists ? writeFile(rig, "app.bin", image(700)) : rig.dir.filePath("gone.bin");
        QCOMPARE(startUpdate(rig, path), 1);
        QCOMPARE(logLines(rig), QStringList{QString(line).replace("%1", path)});
        QVERIFY(pageUsable(rig));
        QTest::qWait(200);
        QCOMPARE(rig.countOf(REQUEST_DEVICE_MODE), 0);
    }

    void scannerDroppingOffTheLineIsReopened()
    {
        // The scanner hangs its line up while it boots into the bootloader and comes back
        // behind the same link: the update carries on over the reopened port.
        StudioRig rig;
        SimOptions options = StudioRig::quickOptions();
        options.linkPath = rig.dir.filePath("scanner");
        options.hangUpOnRestart = true;
        options.restartMs = 300;
        QString error;
        QVERIFY(rig.sim.start(options, &error));
        rig.window = std::make_unique<MainWindow>();
        rig.window->setZoneReadTimeout(100);
        rig.window->setReconnectInterval(100);
        rig.window->addExtraPort(options.linkPath);
        QVERIFY(rig.connectAndSettle());
        const QString firstTerminal = rig.sim.devicePath();
        QPointer<WorkerThread> worker = rig.window->worker();
        const QByteArray bytes = image(3000, 5);
        startUpdate(rig, writeFile(rig, "app.bin", bytes));
        QVERIFY(waitForLine(rig, "The update is submitted successfully"));
        QVERIFY(rig.sim.devicePath() != firstTerminal);
        QCOMPARE(rig.sim.state().committedFirmwareMd5, md5(bytes));
        QVERIFY(!rig.boxes.sawText(kDisconnectText));
        QCOMPARE(rig.window->worker(), worker.data());
    }
};

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
