#include "mainwindow.h"

#include "scannersession.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTimer>

namespace {
void information(const QString &title, const QString &text)
{
    QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
}

// A device flag: the box shows it and the snapshot keeps it.
void showFlag(QCheckBox *box, bool *snapshot, const QString &value)
{
    *snapshot = value.toInt() != 0;
    box->setCheckState(*snapshot ? Qt::Checked : Qt::Unchecked);
}

// A device number: its label shows the text, its slider takes the number.
void showNumber(QLabel *label, QSlider *slider, const QString &text, int number)
{
    label->setText(text);
    slider->setValue(number);
}

QString halfDegrees(int value)
{
    return QString::number(value * 0.5, 'f', 1);
}
} // namespace

void MainWindow::onRecvRequestResult(RequestType type, QString value)
{
    // Controls moved from here show the scanner's values, not the user's moves.
    const QScopedValueRollback<bool> fromScanner(applyingFilterValues, true);
    if (showRereadFilterValue(type, value))
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
    case REQUEST_GET_FILTER_ENABLE:
        showFlag(form->filterEnableCheckBox, &filterEnabled, value);
        break;
    case REQUEST_GET_FILTER_STRENGTH:
        filterStrength = value;
        showNumber(form->filterStrenthLabel, form->filterStrenthSlider, value, value.toInt());
        break;
    case REQUEST_GET_FILTER_MIN_RANGE:
        filterMinRange = value;
        showNumber(form->filterMinRangeLabel, form->filterMinRangeSlider, value, value.toInt());
        break;
    case REQUEST_GET_FILTER_MAX_RANGE:
        filterMaxRange = value;
        showNumber(form->filterMaxRangeLabel, form->filterMaxRangeSlider, value, value.toInt());
        break;
    case REQUEST_GET_AVERAGE_FILTER:
        showFlag(form->averageFilterCheckBox, &averageFilterEnabled, value);
        break;
    case REQUEST_GET_INPUT_NONC:
        showFlag(form->inputNoncCheckBox, &inputNormallyClosed, value);
        break;
    case REQUEST_GET_OUTPUT_NONC:
        showFlag(form->outputNoncCheckBox, &outputNormallyClosed, value);
        break;
    case REQUEST_GET_MASK_INTENSITY:
        maskIntensity = ushort(value.toInt());
        showNumber(form->maskIntensityLabel, form->maskIntensitySlider, value, maskIntensity);
        break;
    case REQUEST_GET_MASK_MIN_ANGLE:
        maskMinAngle = ushort(value.toInt());
        showNumber(form->maskMinAngleLabel, form->maskMinAngleSlider, halfDegrees(maskMinAngle),
                   maskMinAngle);
        break;
    case REQUEST_GET_MASK_MAX_ANGLE:
        maskMaxAngle = ushort(value.toInt());
        showNumber(form->maskMaxAngleLabel, form->maskMaxAngleSlider, halfDegrees(maskMaxAngle),
                   maskMaxAngle);
        break;
    case REQUEST_SAVE_PARAMETERS:
        onParametersSaved(value.toInt());
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
            // The scanner restarts: the port closes, the worker stays for the next open.
            QTimer::singleShot(500, this, [this]() { session->hangUp(); });
            form->openBtn->setText(tr("打开"));
            form->openBtn->setChecked(false);
        }
        break;
    case REQUEST_DEVICE_MODE:
        // The answers of the firmware steps move the session's update on; the page logs
        // what the update reports.
        qDebug() << "REQUEST_DEVICE_MODE" << value;
        break;
    default:
        break;
    }
}

void MainWindow::takeFilterSnapshot()
{
    filterStrength = QStringLiteral("%1").arg(form->filterStrenthSlider->value());
    filterMinRange = QStringLiteral("%1").arg(form->filterMinRangeSlider->value());
    filterMaxRange = QStringLiteral("%1").arg(form->filterMaxRangeSlider->value());
    filterEnabled = form->filterEnableCheckBox->isChecked();
    averageFilterEnabled = form->averageFilterCheckBox->isChecked();
    inputNormallyClosed = form->inputNoncCheckBox->isChecked();
    outputNormallyClosed = form->outputNoncCheckBox->isChecked();
    maskIntensity = ushort(form->maskIntensitySlider->value());
    maskMinAngle = ushort(form->maskMinAngleSlider->value());
    maskMaxAngle = ushort(form->maskMaxAngleSlider->value());
}
