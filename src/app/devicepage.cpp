#include "mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::onSaveBtn()
{
    emit sendRequestType(REQUEST_SET_FREQUENCY, form->deviceFrequencyLineEdit->text());
}

// Firmware update: the page's buttons and progress come with the firmware transfer.
void MainWindow::onSelectFirmwareBtn() {}

void MainWindow::onUpdateFirmwareBtn() {}

void MainWindow::onWriteFirmwareDataProgress(int index, int total)
{
    Q_UNUSED(index)
    Q_UNUSED(total)
}
