#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QTimer>

// The zone editor's behaviour arrives with the zone page; until then its slots accept
// their signals and do nothing.
void MainWindow::onChannelCurrentIndexChanged(int index)
{
    Q_UNUSED(index)
}

void MainWindow::onAreasCurrentIndexChanged(int index)
{
    Q_UNUSED(index)
}

void MainWindow::onParametorChange(int index)
{
    Q_UNUSED(index)
}

void MainWindow::onModelItemChanged(QStandardItem *item)
{
    Q_UNUSED(item)
}

void MainWindow::onShapeBtn() {}

void MainWindow::onDownloadBtn() {}

void MainWindow::onUploadBtn() {}

void MainWindow::onRectangleItemPos(QPointF pos)
{
    Q_UNUSED(pos)
}

void MainWindow::onRecvPathId(int id)
{
    Q_UNUSED(id)
}

void MainWindow::onMouseMovePoint(QPoint point)
{
    Q_UNUSED(point)
}

void MainWindow::onFocusItemChanged(QGraphicsItem *newFocusItem, QGraphicsItem *oldFocusItem)
{
    Q_UNUSED(newFocusItem)
    Q_UNUSED(oldFocusItem)
}

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
