#include "mainwindow.h"

#include "firmwaretransfer.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

// The firmware page: choosing the image and starting the update. The update then runs
// on the scanner's answers (the results handler and onWriteFirmwareDataProgress); each
// step arms a watchdog, so a scanner that stops answering ends the update with a log
// line instead of leaving it waiting for ever.

void MainWindow::onSelectFirmwareBtn()
{
    const QString file =
        firmwareFileProvider
            ? firmwareFileProvider()
            : QFileDialog::getOpenFileName(this, tr("请选择更新固件文件"), QStringLiteral("./"),
                                           QStringLiteral("bin(*.bin)"));
    if (file.isEmpty()) {
        form->updateFirmwareBtn->setEnabled(false);
        return;
    }
    form->updateFirmwareBtn->setEnabled(true);
    form->firmwareFileLineEdit->setText(file);
}

void MainWindow::onUpdateFirmwareBtn()
{
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, tr("警告"), tr("您确定要更新固件吗?"), QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (!firmwareFileReadable(form->firmwareFileLineEdit->text()))
        return;
    if (!workerThread) {
        logFirmware(tr("未连接扫描仪，请先打开串口"));
        return;
    }
    if (!serialPort->isOpen()) {
        serialPort->setPortName(form->portName->currentText());
        serialPort->setBaudRate(form->baudRate->currentText().toInt(), QSerialPort::AllDirections);
        if (!serialPort->open(QIODevice::ReadWrite)) {
            logFirmware(tr("无法打开串口%1").arg(form->portName->currentText()));
            return;
        }
        portLost = false;
    }
    emit sendRequestType(REQUEST_DEVICE_MODE, QString());
    armFirmwareStep(REQUEST_DEVICE_MODE, tr("读取设备模式无应答"), firmwareStepTimeoutMs);
}

void MainWindow::onWriteFirmwareDataProgress(int index, int total)
{
    if (!firmwareAwaits(REQUEST_FIRMWARE_DATA))
        return; // an update given up already
    logFirmware(tr("当前进度为:") +
                QStringLiteral("  %1%").arg(firmwareProgressPercent(index, total)));
    if (index == total) {
        emit sendRequestType(REQUEST_FIRMWARE_END, QString());
        armFirmwareStep(REQUEST_FIRMWARE_END, tr("结束固件更新无应答"), firmwareStepTimeoutMs);
    } else {
        armFirmwareStep(REQUEST_FIRMWARE_DATA,
                        tr("第%1/%2个数据块未被确认").arg(index + 2).arg(total + 1),
                        firmwareStepTimeoutMs);
    }
}

bool MainWindow::isFirmwareUpdateRunning() const
{
    return firmwareUpdating;
}

// An answer moves the update on only when it is the one its step waits for: an answer that
// comes after its step was given up (or out of turn) must not carry a failed update on.
bool MainWindow::firmwareAwaits(RequestType type) const
{
    return firmwareUpdating && firmwareAwaiting == int(type);
}

void MainWindow::logFirmware(const QString &line)
{
    form->firmwarePlainTextEdit->appendPlainText(line);
}

bool MainWindow::firmwareFileReadable(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        logFirmware(tr("无法打开固件文件：%1").arg(path));
        return false;
    }
    // The bootloader would take nothing as an image, check the digest of nothing and
    // flash it.
    if (file.size() == 0) {
        logFirmware(tr("固件文件为空：%1，未发送任何数据").arg(path));
        return false;
    }
    return true;
}

// Starts (or restarts) the watchdog of the step now waiting for the scanner; failure
// names that step in the log should it time out. The page's buttons rest meanwhile, so
// a second update cannot interleave with this one.
void MainWindow::armFirmwareStep(RequestType awaited, const QString &failure, int ms)
{
    if (!firmwareStepTimer) {
        firmwareStepTimer = new QTimer(this);
        firmwareStepTimer->setSingleShot(true);
        connect(firmwareStepTimer, &QTimer::timeout, this,
                [this]() { failFirmwareUpdate(firmwareStepFailure); });
    }
    if (!firmwareUpdating) {
        firmwareUpdating = true;
        updateBtnWasEnabled = form->updateFirmwareBtn->isEnabled();
        form->updateFirmwareBtn->setEnabled(false);
        form->selectFirmwareBtn->setEnabled(false);
    }
    firmwareAwaiting = awaited;
    firmwareStepFailure = failure;
    firmwareStepTimer->start(ms);
}

// Erasing or programming the flash takes the bootloader a while: the step gets the long
// time-out, and the log says what the tool waits for.
void MainWindow::armFlashStep(RequestType awaited, const QString &waiting, const QString &failure)
{
    logFirmware(waiting.arg((firmwareFlashTimeoutMs + 999) / 1000));
    armFirmwareStep(awaited, failure, firmwareFlashTimeoutMs);
}

void MainWindow::failFirmwareUpdate(const QString &failure)
{
    logFirmware(tr("固件更新失败：%1").arg(failure));
    reconnectTimer->stop();
    // A request without a readable file drops the worker's transfer, so an acknowledgement
    // that still comes late cannot carry the abandoned update on.
    emit firmwareWriteData(QString());
    endFirmwareUpdate();
    // The reconnect loop may have left the port closed (the scanner never came back on
    // the line): the window must not go on looking connected with nobody on the line.
    if (!serialPort->isOpen() && workerThread && form->openBtn->isChecked())
        dropLinkAfterUpdate();
}

void MainWindow::endFirmwareUpdate()
{
    if (!firmwareUpdating)
        return;
    firmwareUpdating = false;
    firmwareAwaiting = -1;
    firmwareStepTimer->stop();
    form->selectFirmwareBtn->setEnabled(true);
    form->updateFirmwareBtn->setEnabled(updateBtnWasEnabled);
}
