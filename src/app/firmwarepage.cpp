#include "mainwindow.h"

#include "firmwaretransfer.h"
#include "firmwareupdate.h"
#include "scannersession.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

// The firmware page: choosing the image and starting the update, and the log of it. The
// update itself is the session's; every step of it waits against a time-out of its own,
// so a scanner that stops answering ends the update with a log line instead of leaving it
// waiting for ever.

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
    // The image is taken now: what the user confirmed is what is sent, whatever happens to
    // the file meanwhile.
    QByteArray image;
    if (!readFirmwareFile(form->firmwareFileLineEdit->text(), &image))
        return;
    if (!session->worker()) {
        logFirmware(tr("未连接扫描仪，请先打开串口"));
        return;
    }
    if (!session->isOpen() &&
        !session->reopen(form->portName->currentText(), form->baudRate->currentText().toInt())) {
        logFirmware(tr("无法打开串口%1").arg(form->portName->currentText()));
        return;
    }
    if (!session->firmware()->start(image))
        return;
    // The page's buttons rest meanwhile, so a second update cannot interleave with this one.
    updateBtnWasEnabled = form->updateFirmwareBtn->isEnabled();
    form->updateFirmwareBtn->setEnabled(false);
    form->selectFirmwareBtn->setEnabled(false);
}

void MainWindow::onWriteFirmwareDataProgress(int index, int total)
{
    logFirmware(tr("当前进度为:") +
                QStringLiteral("  %1%").arg(firmwareProgressPercent(index, total)));
}

bool MainWindow::isFirmwareUpdateRunning() const
{
    return session->firmware()->isRunning();
}

void MainWindow::setReconnectInterval(int ms)
{
    session->firmware()->setReconnectInterval(ms);
}

void MainWindow::setFirmwareStepTimeout(int ms)
{
    session->firmware()->setStepTimeout(ms);
}

void MainWindow::setFirmwareFlashTimeout(int ms)
{
    session->firmware()->setFlashTimeout(ms);
}

void MainWindow::setBootloaderTimeout(int ms)
{
    session->firmware()->setBootloaderTimeout(ms);
}

void MainWindow::logFirmware(const QString &line)
{
    form->firmwarePlainTextEdit->appendPlainText(line);
}

bool MainWindow::readFirmwareFile(const QString &path, QByteArray *image)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        logFirmware(tr("无法打开固件文件：%1").arg(path));
        return false;
    }
    *image = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        logFirmware(tr("无法打开固件文件：%1").arg(path));
        return false;
    }
    // The bootloader would take nothing as an image, check the digest of nothing and
    // flash it.
    if (image->isEmpty()) {
        logFirmware(tr("固件文件为空：%1，未发送任何数据").arg(path));
        return false;
    }
    return true;
}

void MainWindow::onFirmwareEvent(FirmwareUpdate::Event event)
{
    // Erasing or writing the flash takes the bootloader a while: the log says how long
    // the tool waits for it.
    const int flashSeconds = (session->firmware()->flashTimeout() + 999) / 1000;
    switch (event) {
    case FirmwareUpdate::EnteringBootloader:
        logFirmware(tr("正在进入bootloader模式"));
        break;
    case FirmwareUpdate::InBootloader:
        logFirmware(tr("当前为bootloader模式"));
        break;
    case FirmwareUpdate::ErasingFlash:
        logFirmware(tr("等待扫描仪擦除闪存（最长%1秒）……").arg(flashSeconds));
        break;
    case FirmwareUpdate::TransferStarted:
        logFirmware(tr("开始固件更新"));
        break;
    case FirmwareUpdate::TransferEnded:
        logFirmware(tr("结束固件更新"));
        break;
    case FirmwareUpdate::ImageVerified:
        logFirmware(tr("md5校验成功"));
        break;
    case FirmwareUpdate::WritingFlash:
        logFirmware(tr("等待扫描仪写入闪存（最长%1秒）……").arg(flashSeconds));
        break;
    }
}

void MainWindow::onFirmwareFinished()
{
    logFirmware(tr("提交更新成功，更新成功"));
    endFirmwareUpdate();
}

void MainWindow::onFirmwareFailed(const SessionFailure &failure)
{
    if (failure.kind == SessionFailure::Rejected) {
        // The scanner answered the step, with a result that ends the update.
        if (failure.step == REQUEST_FIRMWARE_END)
            logFirmware(tr("结束固件更新错误"));
        else if (failure.step == REQUEST_FIRMWARE_VERIFY)
            logFirmware(tr("md5校验失败"));
        else
            logFirmware(tr("提交更新失败，更新失败"));
        endFirmwareUpdate();
        return;
    }
    QString reason;
    if (failure.kind == SessionFailure::Closed || failure.kind == SessionFailure::PortLost)
        reason = tr("串口已关闭");
    else if (failure.kind == SessionFailure::NoBootloader)
        reason = tr("bootloader未在规定时间内出现");
    else if (failure.kind == SessionFailure::Refused && failure.step == REQUEST_FIRMWARE_BEGIN)
        reason = tr("扫描仪拒绝开始固件更新（状态%1）").arg(failure.status);
    else if (failure.kind == SessionFailure::Unconfirmed)
        reason = tr("第%1/%2个数据块的确认迟到、损坏或丢失，而数据块不带序号，bootloader可能已将其"
                    "保存两次；更新已在校验前停止，未提交任何内容")
                     .arg(failure.index + 1)
                     .arg(failure.count);
    else if (failure.step == REQUEST_FIRMWARE_DATA)
        reason = tr("第%1/%2个数据块未被确认").arg(failure.index + 1).arg(failure.count);
    else if (failure.step == REQUEST_FIRMWARE_BEGIN)
        reason = tr("开始固件更新无应答");
    else if (failure.step == REQUEST_FIRMWARE_END)
        reason = tr("结束固件更新无应答");
    else if (failure.step == REQUEST_FIRMWARE_VERIFY)
        reason = tr("md5校验无应答");
    else if (failure.step == REQUEST_FIRMWARE_COMMIT)
        reason = tr("提交更新无应答");
    else
        reason = tr("读取设备模式无应答");
    logFirmware(tr("固件更新失败：%1").arg(reason));
    endFirmwareUpdate();
    // The reconnect loop may have left the port closed (the scanner never came back on
    // the line): the window must not go on looking connected with nobody on the line.
    if (!session->isOpen() && session->worker() && form->openBtn->isChecked())
        dropLinkAfterUpdate();
}

void MainWindow::endFirmwareUpdate()
{
    form->selectFirmwareBtn->setEnabled(true);
    form->updateFirmwareBtn->setEnabled(updateBtnWasEnabled);
}
