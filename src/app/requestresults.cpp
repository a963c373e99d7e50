#include "mainwindow.h"

#include "applog.h"
#include "filterpanel.h"
#include "scannersession.h"
#include "ui_mainwindow.h"

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
            qCDebug(lcApp) << "REQUEST_SAVE_VENDOR_DATA:" << value;
            emit sendRequestType(REQUEST_RESTART, QString());
            // The scanner restarts: the port closes, the worker stays for the next open.
            QTimer::singleShot(500, this, [this]() { session->hangUp(); });
            form->openBtn->setText(tr("打开"));
            form->openBtn->setChecked(false);
        }
        break;
    case REQUEST_DEVICE_MODE:
        // The answers of the firmware steps move the session's update on; the page logs
        // what the update reports.
        qCDebug(lcApp) << "REQUEST_DEVICE_MODE" << value;
        break;
    default:
        break;
    }
}
