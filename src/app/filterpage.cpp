#include "mainwindow.h"

#include "ui_mainwindow.h"

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
