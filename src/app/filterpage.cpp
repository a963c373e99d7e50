#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QTimer>

namespace {
QString flag(int state)
{
    return state != 0 ? QStringLiteral("1") : QStringLiteral("0");
}
QString decimal(int value)
{
    return QStringLiteral("%1").arg(value);
}
} // namespace

void MainWindow::setupFilterPage()
{
    connect(form->filterEnableCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onFiterStateChanged);
    connect(form->averageFilterCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onAverageFiterStateChanged);
    connect(form->inputNoncCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onInputNoncStateChanged);
    connect(form->outputNoncCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onOutputNoncStateChanged);
    connect(form->filterStrenthSlider, &QSlider::valueChanged, this,
            &MainWindow::onFilterStrenthSliderValueChanged);
    connect(form->filterMinRangeSlider, &QSlider::valueChanged, this,
            &MainWindow::onFilterMinRangeSliderValueChanged);
    connect(form->filterMaxRangeSlider, &QSlider::valueChanged, this,
            &MainWindow::onFilterMaxRangeSliderValueChanged);
    connect(form->maskIntensitySlider, &QSlider::valueChanged, this,
            &MainWindow::onSetMaskIntensitySliderValueChanged);
    connect(form->maskMinAngleSlider, &QSlider::valueChanged, this,
            &MainWindow::onSetMaskMinAngleSliderValueChanged);
    connect(form->maskMaxAngleSlider, &QSlider::valueChanged, this,
            &MainWindow::onSetMaskMaxAngleSliderValueChanged);

    connect(form->filterOkBtn, &QPushButton::clicked,
            [this]() { emit sendRequestType(REQUEST_SAVE_PARAMETERS, QString()); });
    connect(form->filterCancelBtn, &QPushButton::clicked, [this]() { restoreFilterSnapshot(); });
}

// Puts every control back to the committed value. Each restore that changes a control
// sends its set request, so only the settings that differ are sent again, spaced out so
// that the scanner receives them one at a time. The window is the timers' context: a
// window closed within the schedule is never touched by it.
void MainWindow::restoreFilterSnapshot()
{
    const auto at = [this](int ms, auto restore) { QTimer::singleShot(ms, this, restore); };
    at(100, [this]() { form->filterStrenthSlider->setValue(filterStrength.toInt()); });
    at(200, [this]() { form->filterMinRangeSlider->setValue(filterMinRange.toInt()); });
    at(300, [this]() { form->filterMaxRangeSlider->setValue(filterMaxRange.toInt()); });
    at(350, [this]() { form->filterEnableCheckBox->setChecked(filterEnabled); });
    at(400, [this]() { form->averageFilterCheckBox->setChecked(averageFilterEnabled); });
    at(450, [this]() { form->inputNoncCheckBox->setChecked(inputNormallyClosed); });
    at(500, [this]() { form->outputNoncCheckBox->setChecked(outputNormallyClosed); });
    at(550, [this]() { form->maskIntensitySlider->setValue(maskIntensity); });
    at(600, [this]() { form->maskMinAngleSlider->setValue(maskMinAngle); });
    at(650, [this]() { form->maskMaxAngleSlider->setValue(maskMaxAngle); });
}

QStringList MainWindow::filterSnapshot() const
{
    return {filterStrength,
            filterMinRange,
            filterMaxRange,
            decimal(filterEnabled),
            decimal(averageFilterEnabled),
            decimal(inputNormallyClosed),
            decimal(outputNormallyClosed),
            decimal(maskIntensity),
            decimal(maskMinAngle),
            decimal(maskMaxAngle)};
}

void MainWindow::onFiterStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_FILTER_ENABLE, flag(state));
}

void MainWindow::onAverageFiterStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_AVERAGE_FILTER, flag(state));
}

void MainWindow::onInputNoncStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_INPUT_NONC, flag(state));
}

void MainWindow::onOutputNoncStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_OUTPUT_NONC, flag(state));
}

void MainWindow::onFilterStrenthSliderValueChanged(int value)
{
    form->filterStrenthLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_FILTER_STRENGTH, decimal(value));
}

void MainWindow::onFilterMinRangeSliderValueChanged(int value)
{
    form->filterMinRangeLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_FILTER_MIN_RANGE, decimal(value));
}

void MainWindow::onFilterMaxRangeSliderValueChanged(int value)
{
    form->filterMaxRangeLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_FILTER_MAX_RANGE, decimal(value));
}

void MainWindow::onSetMaskIntensitySliderValueChanged(int value)
{
    form->maskIntensityLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_MASK_INTENSITY, decimal(value));
}

void MainWindow::onSetMaskMinAngleSliderValueChanged(int value)
{
    form->maskMinAngleLabel->setText(QString::number(value * 0.5, 'f', 1));
    emit sendRequestType(REQUEST_SET_MASK_MIN_ANGLE, decimal(value));
}

void MainWindow::onSetMaskMaxAngleSliderValueChanged(int value)
{
    form->maskMaxAngleLabel->setText(QString::number(value * 0.5, 'f', 1));
    emit sendRequestType(REQUEST_SET_MASK_MAX_ANGLE, decimal(value));
}
