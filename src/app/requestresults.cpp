#include "mainwindow.h"

#include "filterpanel.h"
#include "firmwaretransfer.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

namespace {
void information(const QString &title, const QString &text)
{
    QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
}
} // namespace

void MainWindow::onRecvRequestResult(RequestType type, QString value)
{
    if (filterPanel->takeResult(type, value))
        return;
    switch (type) {
    case REQUEST_CURRENT_AREA: {
        const QStringList parts = value.split(QLatin1Char(' '), Qt::KeepEmptyParts);
        if (parts.size() > 1)
            form->curAreaIndexLabel->setText(parts.at(1));
        if (parts.size() > 2)
            deviceCurrentChannel = parts.at(2).toInt();
        break;
    }
    case REQUEST_SERIAL_NUMBER:
        form->deviceSerialLabel->setText(value);
        break;
    case REQUEST_LOT_NUMBER:
        form->deviceLotLabel->setText(value);
        break;
    case REQUEST_FIRMWARE_VERSION:
        form->versionLabel->setText(value);
        break;
    case REQUEST_GET_FREQUENCY:
        form->deviceFrequencyLineEdit->setText(value);
        break;
    case REQUEST_GET_OFFSET_DISTANCE:
        information(tr("偏置距离为:"), value);
        break;
    case REQUEST_SET_OFFSET_DISTANCE:
        information(value.toInt() != 0 ? tr("偏置距离设置失败") : tr("偏置距离设置成功"),
                    tr("返回值:") + value);
        break;
    case REQUEST_SET_MODE:
        if (value.toInt() != 0)
            information(tr("模式设置失败:"), value);
        else
            emit sendRequestType(REQUEST_SAVE_VENDOR_DATA, QStringLiteral("1"));
        break;
    case REQUEST_GET_NPN_PNP:
        form->npnorpnp->setCurrentText(value);
        break;
    case REQUEST_SAVE_VENDOR_DATA:
        if (value.toInt() != 0) {
            information(tr("保存厂商数据失败:"), value);
        } else {
            qDebug() << "REQUEST_SAVE_VENDOR_DATA:" << value;
            emit sendRequestType(REQUEST_RESTART, QString());
            QTimer::singleShot(500, this, [this]() { serialPort->close(); });
            form->openBtn->setText(tr("打开"));
            form->openBtn->setChecked(false);
        }
        break;
    case REQUEST_DEVICE_MODE:
    case REQUEST_FIRMWARE_BEGIN:
    case REQUEST_FIRMWARE_END:
    case REQUEST_FIRMWARE_VERIFY:
    case REQUEST_FIRMWARE_COMMIT:
        handleFirmwareResult(type, value);
        break;
    default:
        break;
    }
}

// Each answer of the scanner moves the update one step on and arms the watchdog of the
// step that now waits for the scanner; a failure ends the update and frees the page.
void MainWindow::handleFirmwareResult(RequestType type, const QString &value)
{
    const int number = value.toInt();
    switch (type) {
    case REQUEST_DEVICE_MODE:
        qDebug() << "REQUEST_DEVICE_MODE" << value;
        if (number != 0) {
            logFirmware(tr("当前为bootloader模式"));
            if (reconnectTimer->isActive())
                reconnectTimer->stop();
            emit sendRequestType(REQUEST_FIRMWARE_BEGIN, QString());
            armFlashStep(REQUEST_FIRMWARE_BEGIN, tr("等待扫描仪擦除闪存（最长%1秒）……"),
                         tr("开始固件更新无应答"));
        } else {
            emit sendRequestType(REQUEST_ENTER_BOOTLOADER, QString());
            logFirmware(tr("正在进入bootloader模式"));
            if (!reconnectTimer->isActive()) {
                reconnectTimer->start(reconnectIntervalMs);
                // One deadline for the whole wait, however many ticks ask in between.
                armFirmwareStep(REQUEST_DEVICE_MODE, tr("bootloader未在规定时间内出现"),
                                bootloaderTimeoutMs);
            }
        }
        break;
    case REQUEST_FIRMWARE_BEGIN: {
        if (!firmwareAwaits(type))
            break;
        if (number != 0) {
            failFirmwareUpdate(tr("扫描仪拒绝开始固件更新（状态%1）").arg(number));
            break;
        }
        logFirmware(tr("开始固件更新"));
        const QString file = form->firmwareFileLineEdit->text();
        if (!firmwareFileReadable(file)) {
            endFirmwareUpdate();
            break;
        }
        emit firmwareWriteData(file);
        armFirmwareStep(
            REQUEST_FIRMWARE_DATA,
            tr("第%1/%2个数据块未被确认").arg(1).arg(firmwareChunkCount(QFileInfo(file).size())),
            firmwareStepTimeoutMs);
        break;
    }
    case REQUEST_FIRMWARE_END:
        if (!firmwareAwaits(type))
            break;
        if (number != 0) {
            logFirmware(tr("结束固件更新错误"));
            endFirmwareUpdate();
        } else {
            logFirmware(tr("结束固件更新"));
            emit sendRequestType(REQUEST_FIRMWARE_VERIFY, QString());
            armFirmwareStep(REQUEST_FIRMWARE_VERIFY, tr("md5校验无应答"), firmwareStepTimeoutMs);
        }
        break;
    case REQUEST_FIRMWARE_VERIFY:
        if (!firmwareAwaits(type))
            break;
        if (number == 1) {
            logFirmware(tr("md5校验成功"));
            emit sendRequestType(REQUEST_FIRMWARE_COMMIT, QString());
            armFlashStep(REQUEST_FIRMWARE_COMMIT, tr("等待扫描仪写入闪存（最长%1秒）……"),
                         tr("提交更新无应答"));
        } else {
            logFirmware(tr("md5校验失败"));
            endFirmwareUpdate();
        }
        break;
    case REQUEST_FIRMWARE_COMMIT:
        if (!firmwareAwaits(type))
            break;
        if (number != 0) {
            logFirmware(tr("提交更新失败，更新失败"));
        } else {
            logFirmware(tr("提交更新成功，更新成功"));
            emit sendRequestType(REQUEST_RESTART, QString());
        }
        endFirmwareUpdate();
        break;
    default:
        break;
    }
}
