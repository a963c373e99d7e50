// The filter group's controls reach the window's slots, which hand them to the filter
// panel (filterpanel.cpp).
#include "mainwindow.h"

#include "backuprestore.h"
#include "filterpanel.h"
#include "scannersession.h"
#include "ui_mainwindow.h"

void MainWindow::setupFilterPage()
{
    // A factory reset and a restore save the settings on their own, and report it so.
    filterPanel = new FilterPanel(
        form, statusBar(),
        [this]() {
            return factoryResetInProgress || (backupRestoreJobs && backupRestoreJobs->isRunning());
        },
        this);
    connect(filterPanel, &FilterPanel::sendRequestType, this, &MainWindow::sendRequestType);
    // A refusal may open a box: it is taken once the receive handler has returned.
    connect(session, &ScannerSession::sendSettingRefused, filterPanel,
            &FilterPanel::onSettingRefused, Qt::QueuedConnection);

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
}

QStringList MainWindow::filterSnapshot() const
{
    return filterPanel->committedValues();
}

void MainWindow::onFiterStateChanged(int state)
{
    filterPanel->onControlChanged(REQUEST_SET_FILTER_ENABLE, state);
}

void MainWindow::onAverageFiterStateChanged(int state)
{
    filterPanel->onControlChanged(REQUEST_SET_AVERAGE_FILTER, state);
}

void MainWindow::onInputNoncStateChanged(int state)
{
    filterPanel->onControlChanged(REQUEST_SET_INPUT_NONC, state);
}

void MainWindow::onOutputNoncStateChanged(int state)
{
    filterPanel->onControlChanged(REQUEST_SET_OUTPUT_NONC, state);
}

void MainWindow::onFilterStrenthSliderValueChanged(int value)
{
    filterPanel->onControlChanged(REQUEST_SET_FILTER_STRENGTH, value);
}

void MainWindow::onFilterMinRangeSliderValueChanged(int value)
{
    filterPanel->onControlChanged(REQUEST_SET_FILTER_MIN_RANGE, value);
}

void MainWindow::onFilterMaxRangeSliderValueChanged(int value)
{
    filterPanel->onControlChanged(REQUEST_SET_FILTER_MAX_RANGE, value);
}

void MainWindow::onSetMaskIntensitySliderValueChanged(int value)
{
    filterPanel->onControlChanged(REQUEST_SET_MASK_INTENSITY, value);
}

void MainWindow::onSetMaskMinAngleSliderValueChanged(int value)
{
    filterPanel->onControlChanged(REQUEST_SET_MASK_MIN_ANGLE, value);
}

void MainWindow::onSetMaskMaxAngleSliderValueChanged(int value)
{
    filterPanel->onControlChanged(REQUEST_SET_MASK_MAX_ANGLE, value);
}
