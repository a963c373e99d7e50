#include "devicepanel.h"

#include "applog.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"

#include <QMessageBox>

namespace {
void information(const QString &title, const QString &text)
{
    QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
}
} // namespace

DevicePanel::DevicePanel(Ui::MainWindow *f, QObject *parent) : QObject(parent), form(f)
{
    form->saveBtn->hide();
}

void DevicePanel::saveFrequency()
{
    emit sendRequestType(REQUEST_SET_FREQUENCY, form->deviceFrequencyLineEdit->text());
}

void DevicePanel::takeResult(RequestType type, const QString &value)
{
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
        information(windowTr("偏置距离为:"), value);
        break;
    case REQUEST_SET_OFFSET_DISTANCE:
        information(value.toInt() != 0 ? windowTr("偏置距离设置失败")
                                       : windowTr("偏置距离设置成功"),
                    windowTr("返回值:") + value);
        break;
    case REQUEST_SET_MODE:
        if (value.toInt() != 0)
            information(windowTr("模式设置失败:"), value);
        else
            emit sendRequestType(REQUEST_SAVE_VENDOR_DATA, QStringLiteral("1"));
        break;
    case REQUEST_GET_NPN_PNP:
        form->npnorpnp->setCurrentText(value);
        break;
    case REQUEST_SAVE_VENDOR_DATA:
        if (value.toInt() != 0) {
            information(windowTr("保存厂商数据失败:"), value);
        } else {
            qCDebug(lcApp) << "REQUEST_SAVE_VENDOR_DATA:" << value;
            emit sendRequestType(REQUEST_RESTART, QString());
            emit scannerRestarting();
        }
        break;
    case REQUEST_DEVICE_MODE:
        // The answers of the firmware steps move the session's update on; the firmware
        // panel logs what the update reports.
        qCDebug(lcApp) << "REQUEST_DEVICE_MODE" << value;
        break;
    default:
        break;
    }
}
