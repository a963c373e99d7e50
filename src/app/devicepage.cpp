#include "mainwindow.h"

#include "ui_mainwindow.h"

// The operating parameters are shown only; their button stays hidden, so in normal use
// this never runs.
void MainWindow::onSaveBtn()
{
    emit sendRequestType(REQUEST_SET_FREQUENCY, form->deviceFrequencyLineEdit->text());
}
