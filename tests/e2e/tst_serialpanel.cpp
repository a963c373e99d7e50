#include "simframes.h"
#include "studiorig.h"
#include "workerthread.h"

#include <QAbstractButton>
#include <QFile>
#include <QPointer>
#include <QtTest>
#include <memory>

namespace {
const QByteArray kProbe = QByteArray::fromHex("5AFA0A000E000000A893");
const QString kDisconnectText =
    QStringLiteral("The serial port is disconnected. Check whether the connection is normal");
const QString kZoneTimeoutText =
    QStringLiteral("Reading the zones timed out: the zones could not be read from the scanner");

// The read requests the window sends after connecting, in order, and when.
struct Step
{
    quint16 type;
    int delayMs;
};
const Step kSequence[] = {
    {REQUEST_GET_PARAM_FF00, 0},
    {REQUEST_GET_INPUT_NONC, 150},
    {REQUEST_GET_OUTPUT_NONC, 200},
    {REQUEST_CURRENT_AREA, 250},
    {REQUEST_GET_MODE, 300},
    {REQUEST_DEVICE_IDENT, 350},
    {REQUEST_SERIAL_NUMBER, 400},
    {REQUEST_FIRMWARE_VERSION, 450},
    {REQUEST_LOT_NUMBER, 500},
    {REQUEST_GET_FREQUENCY, 550},
    {REQUEST_GET_FILTER_ENABLE, 600},
    {REQUEST_GET_AVERAGE_FILTER, 650},
    {REQUEST_GET_FILTER_STRENGTH, 700},
    {REQUEST_GET_FILTER_MIN_RANGE, 750},
    {REQUEST_GET_FILTER_MAX_RANGE, 800},
    {REQUEST_GET_MASK_INTENSITY, 850},
    {REQUEST_GET_MASK_MIN_ANGLE, 900},
    {REQUEST_GET_MASK_MAX_ANGLE, 950},
    {REQUEST_GET_NPN_PNP, 1000},
};

} // namespace

class TestSerialPanel : public QObject
{
    Q_OBJECT

private slots:
    void connectsAndReadsTheScanner()
    {
        StudioRig rig;
        DeviceState state;
        state.inputNormallyClosed = true;
        state.filterStrength = 42;
        state.filterMaxRange = 12345;
        state.maskIntensity = 1234;
        state.maskMinAngle = 181;
        state.maskMaxAngle = 539;
        rig.sim.setState(state);
        // Without scans the label keeps the answer to the current-area request; every
        // status message would put the input byte there instead.
        SimOptions options;
        options.scanStream = false;
        QVERIFY(rig.start(options));
        rig.window->scannerSession()->zoneRead()->setTimeout(3000);
        rig.window->serialPanel()->openSelectedPort();
        Ui::MainWindow *ui = rig.ui();
        QVERIFY(rig.window->scannerSession()->worker());
        QCOMPARE(ui->openBtn->text(), QStringLiteral("Close"));
        QVERIFY(!ui->portName->isEnabled());
        QVERIFY(!ui->baudRate->isEnabled());
        QVERIFY(!ui->readAreaProgressBar->isHidden());

        QVERIFY(rig.waitForReadOut());
        QCOMPARE(ui->deviceSerialLabel->text(), QStringLiteral("KP2100417"));
        QCOMPARE(ui->deviceLotLabel->text(), QStringLiteral("L24A0815"));
        QCOMPARE(ui->versionLabel->text(), QStringLiteral("V2.3.1"));
        QCOMPARE(ui->deviceFrequencyLineEdit->text(), QStringLiteral("25"));
        QVERIFY(ui->filterEnableCheckBox->isChecked());
        QVERIFY(!ui->averageFilterCheckBox->isChecked());
        QVERIFY(ui->inputNoncCheckBox->isChecked());
        QVERIFY(!ui->outputNoncCheckBox->isChecked());
        QCOMPARE(ui->filterStrenthSlider->value(), 42);
        QCOMPARE(ui->filterStrenthLabel->text(), QStringLiteral("42"));
        QCOMPARE(ui->filterMinRangeSlider->value(), 100);
        QCOMPARE(ui->filterMaxRangeSlider->value(), 12345);
        QCOMPARE(ui->filterMaxRangeLabel->text(), QStringLiteral("12345"));
        QCOMPARE(ui->maskIntensitySlider->value(), 1234);
        QCOMPARE(ui->maskIntensityLabel->text(), QStringLiteral("1234"));
        QCOMPARE(ui->maskMinAngleSlider->value(), 181);
        QCOMPARE(ui->maskMinAngleLabel->text(), QStringLiteral("90.5"));
        QCOMPARE(ui->maskMaxAngleLabel->text(), QStringLiteral("269.5"));
        QCOMPARE(ui->curAreaIndexLabel->text(), QStringLiteral("2"));
        QCOMPARE(rig.window->devicePanel()->currentChannel(), 7);
        QCOMPARE(rig.window->filterPanel()->committedValues().mid(0, 3),
                 (QStringList{"42", "100", "12345"}));

        // The full zone read starts at 1050 ms with the window disabled: 64 blocks on the
        // paced wire keep it running for seconds.
        QTRY_VERIFY_WITH_TIMEOUT(rig.countOf(REQUEST_READ_AREA) > 0, 3000);
        QTRY_VERIFY(rig.window->scannerSession()->zoneRead()->isRunning());
        QVERIFY(!rig.window->isEnabled());

        // The filter controls echo each value they are given back to the scanner as a
        // set request; only the read requests make up the sequence.
        QVector<ReceivedFrame> frames;
        for (const ReceivedFrame &frame : rig.sim.receivedFrames())
            if (frame.type < REQUEST_SET_FREQUENCY || frame.type > REQUEST_SET_MASK_MAX_ANGLE ||
                frame.type % 2 != 0)
                frames.append(frame);
        const int steps = int(sizeof kSequence / sizeof kSequence[0]);
        QVERIFY(frames.size() >= steps + 2);
        QCOMPARE(frames[0].raw, kProbe);
        const qint64 base = frames[1].msecs;
        for (int i = 0; i < steps; ++i) {
            const ReceivedFrame &frame = frames[i + 1];
            QCOMPARE(frame.type, kSequence[i].type);
            QVERIFY(frame.checksumOk);
            QVERIFY(frame.payload.isEmpty());
            const qint64 at = frame.msecs - base;
            QVERIFY2(at >= kSequence[i].delayMs - 20 && at <= kSequence[i].delayMs + 300,
                     qPrintable(QStringLiteral("request %1 at %2 ms").arg(i).arg(at)));
        }
        const ReceivedFrame &read = frames[steps + 1];
        QCOMPARE(read.type, quint16(REQUEST_READ_AREA));
        QCOMPARE(read.payload, QByteArray(1, '\0'));
        QVERIFY(read.msecs - frames[0].msecs >= 1050 - 20);
    }

    void zoneReadThatNeverEndsTimesOut()
    {
        StudioRig rig;
        SimOptions options;
        options.dropTypes = {REQUEST_READ_AREA};
        QVERIFY(rig.start(options));
        rig.window->scannerSession()->zoneRead()->setTimeout(500);
        rig.window->serialPanel()->openSelectedPort();
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->scannerSession()->zoneRead()->isRunning(), 3000);
        QVERIFY(!rig.window->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(kZoneTimeoutText), 3000);
        QVERIFY(rig.window->isEnabled());
        QVERIFY(!rig.window->scannerSession()->zoneRead()->isRunning());
        QVERIFY(rig.ui()->readAreaProgressBar->isHidden());
        // Zones that were never read must not be edited and uploaded over the scanner's.
        QVERIFY(!rig.ui()->areasMonitoningGroupBox->isEnabled());
        QVERIFY(rig.ui()->treeWidget->isEnabled());
        // The link itself stays up.
        QVERIFY(rig.window->scannerSession()->link()->isOpen());
        QVERIFY(rig.window->scannerSession()->worker());
    }

    void silentDeviceIsReportedAndGetsNoWorker()
    {
        StudioRig rig;
        SimOptions options;
        options.silent = true;
        QVERIFY(rig.start(options));
        rig.window->serialPanel()->openSelectedPort();
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.boxes().first().title, QStringLiteral("提示"));
        QCOMPARE(rig.boxes.boxes().first().text, QStringLiteral("串口不匹配，请选择其他串口!"));
        QVERIFY(!rig.window->scannerSession()->worker());
        QVERIFY(rig.window->scannerSession()->link()->isOpen());
        QVERIFY(rig.ui()->openBtn->isChecked());
        QCOMPARE(rig.ui()->openBtn->text(), QStringLiteral("Open"));
        QTest::qWait(300);
        const QVector<ReceivedFrame> frames = rig.sim.receivedFrames();
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first().raw, kProbe);

        // The next click closes the port again.
        rig.ui()->openBtn->click();
        QVERIFY(!rig.window->scannerSession()->link()->isOpen());
        QVERIFY(!rig.ui()->openBtn->isChecked());
        QVERIFY(rig.ui()->portName->isEnabled());
        QCOMPARE(rig.ui()->portName->currentText(), rig.sim.devicePath());
    }

    void portThatCannotBeOpenedIsReported()
    {
        // As --port /nonexistent --connect does: the port is listed, selected and opened.
        StudioRig rig;
        QVERIFY(rig.start(SimOptions()));
        const QString missing = rig.dir.filePath("no-such-port");
        rig.window->serialPanel()->addExtraPort(missing);
        QCOMPARE(rig.ui()->portName->currentText(), missing);
        rig.window->serialPanel()->openSelectedPort();
        QCOMPARE(rig.boxes.count(), 1);
        const QString text = rig.boxes.boxes().first().text;
        QVERIFY2(text.startsWith("Cannot open the serial port " + missing + ": ") &&
                     text.size() > missing.size() + 30,
                 qPrintable(text));
        QVERIFY(!rig.window->scannerSession()->link()->isOpen());
        QVERIFY(!rig.window->scannerSession()->worker());
        QVERIFY(!rig.ui()->openBtn->isChecked());
        QCOMPARE(rig.ui()->openBtn->text(), QStringLiteral("Open"));
        QVERIFY(rig.ui()->portName->isEnabled());
    }

    void reopeningMakesAFreshWorker()
    {
        StudioRig rig;
        QVERIFY(rig.start(SimOptions()));
        rig.window->serialPanel()->openSelectedPort();
        QPointer<WorkerThread> first = rig.window->scannerSession()->worker();
        QVERIFY(first);
        QVERIFY(rig.waitForReadOut());

        rig.ui()->openBtn->click();
        QVERIFY(!rig.window->scannerSession()->link()->isOpen());
        QVERIFY(!rig.window->scannerSession()->worker());
        QCOMPARE(rig.ui()->openBtn->text(), QStringLiteral("Open"));
        QTRY_VERIFY(first.isNull());

        rig.ui()->versionLabel->clear();
        rig.window->serialPanel()->openSelectedPort();
        WorkerThread *second = rig.window->scannerSession()->worker();
        QVERIFY(second);
        QCOMPARE(second->pendingBytes(), 0);
        QCOMPARE(second->pendingScanFrames(), 0);
        QCOMPARE(second->currentSaveTarget(), QStringLiteral("0"));
        // The new worker is wired: the read-out fills the page again.
        QVERIFY(rig.waitForReadOut());
        QCOMPARE(rig.ui()->versionLabel->text(), QStringLiteral("V2.3.1"));
    }

    void unplugWhileConnectedClosesCleanly()
    {
        StudioRig rig;
        QVERIFY(rig.start(SimOptions()));
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(rig.waitForReadOut());
        QPointer<WorkerThread> worker = rig.window->scannerSession()->worker();
        rig.sim.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(kDisconnectText), 3000);
        QCOMPARE(rig.boxes.boxes().last().title, QStringLiteral("SerialPort Error"));
        QVERIFY(!rig.window->scannerSession()->link()->isOpen());
        QVERIFY(!rig.window->scannerSession()->worker());
        QVERIFY(!rig.ui()->openBtn->isChecked());
        QCOMPARE(rig.ui()->openBtn->text(), QStringLiteral("Open"));
        QVERIFY(rig.ui()->portName->isEnabled());
        QVERIFY(rig.ui()->baudRate->isEnabled());
        QVERIFY(rig.window->isEnabled());
        QTRY_VERIFY(worker.isNull());
        // One report only, however often the port repeats its error.
        QTest::qWait(200);
        int reports = 0;
        for (const ModalCatcher::Box &box : rig.boxes.boxes())
            reports += box.text == kDisconnectText;
        QCOMPARE(reports, 1);
    }

    void unplugWhileAResultBoxIsOpen()
    {
        // The box is opened from inside the worker's own receive handler; the port error
        // arrives in the box's event loop and the window releases the worker there.
        StudioRig rig;
        QVERIFY(rig.start(SimOptions()));
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(rig.waitForReadOut());
        QPointer<WorkerThread> worker = rig.window->scannerSession()->worker();
        const QString saved = QStringLiteral("parameters are saved successfully");
        bool unplugged = false;
        rig.boxes.setHold([&](QMessageBox *box) {
            if (box->text() != saved)
                return false;
            if (!unplugged) {
                unplugged = true;
                rig.sim.unplug();
            }
            return !rig.boxes.sawText(kDisconnectText);
        });
        emit rig.window->sendRequestType(REQUEST_SAVE_PARAMETERS, QString());
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(saved), 5000);
        QVERIFY(rig.boxes.sawText(kDisconnectText));
        QVERIFY(!rig.window->scannerSession()->worker());
        QVERIFY(!rig.window->scannerSession()->link()->isOpen());
        QTRY_VERIFY(worker.isNull());
        QCOMPARE(rig.ui()->openBtn->text(), QStringLiteral("Open"));
        QVERIFY(rig.window->isEnabled());
    }

    void badChecksumLeavesWidgetUnchanged()
    {
        StudioRig rig;
        SimOptions options;
        options.corruptTypes = {REQUEST_SERIAL_NUMBER};
        QVERIFY(rig.start(options));
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(rig.waitForReadOut());
        QCOMPARE(rig.ui()->deviceLotLabel->text(), QStringLiteral("L24A0815"));
        QVERIFY(rig.ui()->deviceSerialLabel->text().isEmpty());
        QVERIFY(rig.countOf(REQUEST_SERIAL_NUMBER) == 1);
    }

    void saveAcknowledgementTakesFilterSnapshot()
    {
        StudioRig rig;
        QVERIFY(rig.start(SimOptions()));
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(rig.waitForReadOut());
        QCOMPARE(rig.window->filterPanel()->committedValues().first(), QStringLiteral("35"));
        rig.ui()->filterStrenthSlider->setValue(60);
        rig.ui()->averageFilterCheckBox->setChecked(true);
        rig.ui()->maskMaxAngleSlider->setValue(500);
        emit rig.window->sendRequestType(REQUEST_SAVE_PARAMETERS, QString());
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText("parameters are saved successfully"), 3000);
        const QStringList snapshot = rig.window->filterPanel()->committedValues();
        QCOMPARE(snapshot.at(0), QStringLiteral("60"));
        QCOMPARE(snapshot.at(4), QStringLiteral("1"));
        QCOMPARE(snapshot.at(9), QStringLiteral("500"));
        bool titled = false;
        for (const ModalCatcher::Box &box : rig.boxes.boxes())
            titled |= box.title == QLatin1String("Inofomation");
        QVERIFY(titled);
    }

    void deviceModeAnswersMoveOnlyARunningUpdate()
    {
        // The application refuses to restart into its bootloader, so it answers mode 0 at
        // every tick of the reconnect loop.
        StudioRig rig;
        SimOptions options;
        options.paced = false;
        options.restartMs = 150;
        options.statusOverrides = {{REQUEST_ENTER_BOOTLOADER, 1}};
        QVERIFY(rig.start(options));
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(rig.waitForReadOut());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->isEnabled() && rig.countOf(REQUEST_READ_AREAS_DONE),
                                 10000);
        QTimer *reconnect = rig.window->scannerSession()->firmware()->reconnectTimer();
        auto count = [&rig](quint16 type) { return rig.countOf(type); };
        const QString log = QStringLiteral("Entering bootloader mode");
        auto logged = [&rig, &log]() {
            return rig.ui()->firmwarePlainTextEdit->toPlainText().count(log);
        };

        // An answer no update waits for (a late one, or one anybody asked for) must not
        // send a working scanner into its bootloader.
        emit rig.window->sendRequestType(REQUEST_DEVICE_MODE, QString());
        rig.sim.injectBytes(simframes::replyFrame(REQUEST_DEVICE_MODE, 0, QByteArray(1, '\0')));
        QTRY_COMPARE(count(REQUEST_DEVICE_MODE), 1);
        QTest::qWait(300);
        QCOMPARE(count(REQUEST_ENTER_BOOTLOADER), 0);
        QVERIFY(!reconnect->isActive());
        QCOMPARE(logged(), 0);

        // In an update every answer of the application asks it again, while the loop runs
        // on at its own pace from the first answer.
        QFile image(rig.dir.filePath("app.bin"));
        QVERIFY(image.open(QIODevice::WriteOnly) && image.write(QByteArray(700, 'x')) == 700);
        image.close();
        rig.window->scannerSession()->firmware()->setReconnectInterval(150);
        rig.firmwareFile = image.fileName();
        rig.boxes.answer("Are you sure you want to update the firmware", QMessageBox::Yes);
        rig.ui()->selectFirmwareBtn->click();
        rig.ui()->updateFirmwareBtn->click();
        QTRY_VERIFY_WITH_TIMEOUT(count(REQUEST_ENTER_BOOTLOADER) >= 3, 3000);
        QVERIFY(reconnect->isActive());
        QCOMPARE(reconnect->interval(), 150);
        QVERIFY(logged() >= 3);

        // A bootloader answer stops the loop and begins the update.
        rig.sim.updateOptions([](SimOptions &o) { o.statusOverrides.clear(); });
        QTRY_COMPARE_WITH_TIMEOUT(count(REQUEST_FIRMWARE_BEGIN), 1, 3000);
        QVERIFY(!reconnect->isActive());
        QCOMPARE(logged(), count(REQUEST_ENTER_BOOTLOADER));
        QTRY_VERIFY(rig.ui()->firmwarePlainTextEdit->toPlainText().contains(
            "The update is submitted successfully"));
    }

    void refreshKeepsTheExtraPort()
    {
        StudioRig rig;
        QVERIFY(rig.start(SimOptions()));
        rig.ui()->refreshBtn->click();
        QVERIFY(rig.ui()->portName->findText(rig.sim.devicePath()) >= 0);
        QCOMPARE(rig.ui()->portName->currentText(), rig.sim.devicePath());
        QVERIFY(rig.ui()->openBtn->isEnabled());
    }
};

QTEST_MAIN(TestSerialPanel)
#include "tst_serialpanel.moc"
