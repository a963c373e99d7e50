#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QTimer>

// Channel change and the zone transfers; the editing within a channel lives in
// zoneeditor.cpp, zonetable.cpp and zoneworkflow.cpp.
void MainWindow::onChannelCurrentIndexChanged(int index)
{
    Q_UNUSED(index)
}

void MainWindow::onDownloadBtn() {}

void MainWindow::onUploadBtn() {}

void MainWindow::onReadCurArea(int index)
{
    if (!readingAreas)
        return;
    const int taken = readAreaIndex++;
    if (taken != 63) {
        form->readAreaLlabel->show();
        form->readAreaProgressBar->show();
        form->readAreaProgressBar->setValue(index);
        zoneReadTimer->start(zoneReadTimeoutMs);
        emit readLidarArea(readAreaIndex);
        return;
    }
    endFullZoneRead();
    emit sendRequestType(REQUEST_READ_AREAS_DONE, QString());
    if (deviceCurrentChannel >= 0 && deviceCurrentChannel < form->channels->count())
        form->channels->setCurrentIndex(deviceCurrentChannel);
    const int channel = form->channels->currentIndex();
    QTimer::singleShot(100, this, [this, channel]() { emit readLidarArea(channel); });
    form->areasMonitoningGroupBox->setEnabled(true);
    form->filterGroupBox->setEnabled(true);
    form->treeWidget->setEnabled(true);
    form->factorySettingsBtn->setEnabled(true);
    setEnabled(true);
}

void MainWindow::onWriteCurArea(int index)
{
    Q_UNUSED(index)
}
