#include "firmwarepanel.h"

#include "firmwaretransfer.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

FirmwarePanel::FirmwarePanel(Ui::MainWindow *f, QWidget *window, ScannerSession *session,
                             WindowModes *modes, QObject *parent)
    : QObject(parent), form(f), window(window), session(session), modes(modes)
{
    form->firmwarePlainTextEdit->setReadOnly(true);
    connect(form->selectFirmwareBtn, &QPushButton::clicked, this, &FirmwarePanel::chooseFile);
    connect(form->updateFirmwareBtn, &QPushButton::clicked, this, &FirmwarePanel::startUpdate);

    FirmwareUpdate *firmware = session->firmware();
    connect(firmware, &FirmwareUpdate::reached, this, &FirmwarePanel::onEvent);
    connect(firmware, &FirmwareUpdate::chunkAcknowledged, this, &FirmwarePanel::logProgress);
    connect(firmware, &FirmwareUpdate::finished, this, &FirmwarePanel::onFinished);
    connect(firmware, &FirmwareUpdate::failed, this, &FirmwarePanel::onFailed);
}

void FirmwarePanel::chooseFile()
{
    const QString file =
        fileProvider
            ? fileProvider()
            : QFileDialog::getOpenFileName(window, windowTr("请选择更新固件文件"),
                                           QStringLiteral("./"), QStringLiteral("bin(*.bin)"));
    modes->setOwnCondition(WindowModes::FirmwareUpdate, !file.isEmpty());
    if (!file.isEmpty())
        form->firmwareFileLineEdit->setText(file);
}

void FirmwarePanel::startUpdate()
{
    const QMessageBox::StandardButton answer =
        QMessageBox::warning(window, windowTr("警告"), windowTr("您确定要更新固件吗?"),
                             QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    // The image is taken now: what the user confirmed is what is sent, whatever happens to
    // the file meanwhile.
    QByteArray image;
    if (!readImage(form->firmwareFileLineEdit->text(), &image))
        return;
    if (!session->worker()) {
        log(windowTr("未连接扫描仪，请先打开串口"));
        return;
    }
    if (!session->isOpen() &&
        !session->reopen(form->portName->currentText(), form->baudRate->currentText().toInt())) {
        log(windowTr("无法打开串口%1").arg(form->portName->currentText()));
        return;
    }
    if (!session->firmware()->start(image))
        return;
    // A second update cannot interleave with this one, nor other work on the scanner.
    modes->enter(WindowMode::UpdatingFirmware);
}

void FirmwarePanel::logProgress(int index, int total)
{
    log(windowTr("当前进度为:") +
        QStringLiteral("  %1%").arg(firmwareProgressPercent(index, total)));
}

void FirmwarePanel::log(const QString &line)
{
    form->firmwarePlainTextEdit->appendPlainText(line);
}

bool FirmwarePanel::readImage(const QString &path, QByteArray *image)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        log(windowTr("无法打开固件文件：%1").arg(path));
        return false;
    }
    *image = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        log(windowTr("无法打开固件文件：%1").arg(path));
        return false;
    }
    // The bootloader would take nothing as an image, check the digest of nothing and
    // flash it.
    if (image->isEmpty()) {
        log(windowTr("固件文件为空：%1，未发送任何数据").arg(path));
        return false;
    }
    return true;
}

void FirmwarePanel::onEvent(FirmwareUpdate::Event event)
{
    // Erasing or writing the flash takes the bootloader a while: the log says how long
    // the tool waits for it.
    const int flashSeconds = (session->firmware()->flashTimeout() + 999) / 1000;
    switch (event) {
    case FirmwareUpdate::EnteringBootloader:
        log(windowTr("正在进入bootloader模式"));
        break;
    case FirmwareUpdate::InBootloader:
        log(windowTr("当前为bootloader模式"));
        break;
    case FirmwareUpdate::ErasingFlash:
        log(windowTr("等待扫描仪擦除闪存（最长%1秒）……").arg(flashSeconds));
        break;
    case FirmwareUpdate::TransferStarted:
        log(windowTr("开始固件更新"));
        break;
    case FirmwareUpdate::TransferEnded:
        log(windowTr("结束固件更新"));
        break;
    case FirmwareUpdate::ImageVerified:
        log(windowTr("md5校验成功"));
        break;
    case FirmwareUpdate::WritingFlash:
        log(windowTr("等待扫描仪写入闪存（最长%1秒）……").arg(flashSeconds));
        break;
    }
}

void FirmwarePanel::onFinished()
{
    log(windowTr("提交更新成功，更新成功"));
    modes->leave(WindowMode::UpdatingFirmware);
}

void FirmwarePanel::onFailed(const SessionFailure &failure)
{
    if (failure.kind == SessionFailure::Rejected) {
        // The scanner answered the step, with a result that ends the update.
        if (failure.step == REQUEST_FIRMWARE_END)
            log(windowTr("结束固件更新错误"));
        else if (failure.step == REQUEST_FIRMWARE_VERIFY)
            log(windowTr("md5校验失败"));
        else
            log(windowTr("提交更新失败，更新失败"));
        modes->leave(WindowMode::UpdatingFirmware);
        return;
    }
    QString reason;
    if (failure.kind == SessionFailure::Closed || failure.kind == SessionFailure::PortLost)
        reason = windowTr("串口已关闭");
    else if (failure.kind == SessionFailure::NoBootloader)
        reason = windowTr("bootloader未在规定时间内出现");
    else if (failure.kind == SessionFailure::Refused && failure.step == REQUEST_FIRMWARE_BEGIN)
        reason = windowTr("扫描仪拒绝开始固件更新（状态%1）").arg(failure.status);
    else if (failure.kind == SessionFailure::Unconfirmed)
        reason =
            windowTr("第%1/%2个数据块的确认迟到、损坏或丢失，而数据块不带序号，bootloader可能已将其"
                     "保存两次；更新已在校验前停止，未提交任何内容")
                .arg(failure.index + 1)
                .arg(failure.count);
    else if (failure.step == REQUEST_FIRMWARE_DATA)
        reason = windowTr("第%1/%2个数据块未被确认").arg(failure.index + 1).arg(failure.count);
    else if (failure.step == REQUEST_FIRMWARE_BEGIN)
        reason = windowTr("开始固件更新无应答");
    else if (failure.step == REQUEST_FIRMWARE_END)
        reason = windowTr("结束固件更新无应答");
    else if (failure.step == REQUEST_FIRMWARE_VERIFY)
        reason = windowTr("md5校验无应答");
    else if (failure.step == REQUEST_FIRMWARE_COMMIT)
        reason = windowTr("提交更新无应答");
    else
        reason = windowTr("读取设备模式无应答");
    log(windowTr("固件更新失败：%1").arg(reason));
    modes->leave(WindowMode::UpdatingFirmware);
    // The reconnect loop may have left the port closed (the scanner never came back on
    // the line): the window must not go on looking connected with nobody on the line.
    if (!session->isOpen() && session->worker() && form->openBtn->isChecked())
        emit linkGone();
}
