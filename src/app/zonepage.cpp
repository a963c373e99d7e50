// Channel change and the zone transfers; the editing within a channel lives in
// zoneeditor.cpp, zonetable.cpp and zoneworkflow.cpp, the store in zonechannels.cpp.
#include "mainwindow.h"

#include "backuprestore.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zoneread.h"
#include "zonestorefile.h"
#include "zonewrite.h"

#include <QMessageBox>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

void MainWindow::onChannelCurrentIndexChanged(int index)
{
    editor->showChannel(index);
}

void MainWindow::onDownloadBtn()
{
    emit readLidarArea(editedChannel());
}

QString MainWindow::areaName(int area) const
{
    switch (area) {
    case 0:
        return tr("注意区");
    case 1:
        return tr("预警区");
    default:
        return tr("报警区");
    }
}

bool MainWindow::storeFitsTheScanner(QVector<QByteArray> *blocks)
{
    // Every channel is checked as strictly as a zone file from outside: a value the block
    // cannot carry, or a broken points text or a missing key copied in from a file, would
    // be wrapped, cut or sent as 0 on the wire.
    const ZoneFileProblem problem = zoneStore->findProblem();
    if (!problem) {
        *blocks = zoneStore->zones().blocks();
        return true;
    }
    QString text;
    if (problem.kind == ZoneFileProblem::TooManyPoints)
        text = tr("第%1区域组的%2有%3个点，超过540个点，未上传任何区域")
                   .arg(problem.channel)
                   .arg(areaName(problem.area))
                   .arg(problem.number);
    else if (problem.kind == ZoneFileProblem::OutOfRange && problem.key == QLatin1String("Points"))
        text = tr("第%1区域组的%2有超出-32768至32767毫米的坐标，未上传任何区域")
                   .arg(problem.channel)
                   .arg(areaName(problem.area));
    else
        text =
            tr("区域存储config.ini无法上传：%1，未上传任何区域").arg(zoneFileProblemText(problem));
    QMessageBox::critical(nullptr, tr("提示"), text, QMessageBox::Ok);
    return false;
}

void MainWindow::onUploadBtn()
{
    // The upload sends the store: without the edited channel in it, it would report as
    // uploaded what never left the editor.
    if (!factoryResetInProgress && !saveChannelToConfig(editedChannel()))
        return;
    // A zone the scanner cannot hold would be cut or wrapped on the wire: check every
    // channel before the first byte goes out.
    QVector<QByteArray> blocks;
    if (!storeFitsTheScanner(&blocks)) {
        factoryResetInProgress = false;
        return;
    }
    form->areasMonitoningGroupBox->setEnabled(false);
    form->filterGroupBox->setEnabled(false);
    if (factoryResetInProgress) {
        form->resetFactoryLabel->show();
        form->resetFactoryProgressBar->show();
    } else {
        form->progressBar->show();
        form->progressLabel->show();
    }
    setEnabled(false);
    // What goes out is what was checked, encoded once for all 64 channels. Without a link
    // nothing can start, which is a stop at the first channel.
    if (!session->zoneWrite()->start(blocks)) {
        SessionFailure failure;
        failure.step = REQUEST_BEGIN_AREA_WRITE;
        failure.index = 0;
        onZoneWriteFailed(failure);
    }
}

void MainWindow::onReadCurArea(int index)
{
    if (backupRestoreJobs->isRunning())
        return; // a backup or restore shows its own progress
    if (!session->zoneRead()->isRunning()) {
        // A single read: the editor takes it only if it is the channel being edited (a late
        // answer for another channel must not land in the editor's records).
        if (index == editedChannel())
            reloadChannel(index);
        redrawStateAreas();
        return;
    }
    form->readAreaLlabel->show();
    form->readAreaProgressBar->show();
    form->readAreaProgressBar->setValue(index);
}

void MainWindow::onZoneReadFinished()
{
    if (backupRestoreJobs->isRunning())
        return;
    if (scannerComparison) {
        endScannerComparison(true);
        return;
    }
    endFullZoneRead();
    zonesReachedScanner();

    // The store now holds exactly what the scanner sent. The editor's start-up records must
    // not be saved over it, so the editor drops its edits before it takes the scanner's
    // current channel.
    const int channel = deviceCurrentChannel >= 0 && deviceCurrentChannel < form->channels->count()
                            ? deviceCurrentChannel
                            : 0;
    editor->dropEdits();
    if (form->channels->currentIndex() != channel)
        form->channels->setCurrentIndex(channel);
    else
        onChannelCurrentIndexChanged(channel);
    QTimer::singleShot(100, this, [this, channel]() { emit readLidarArea(channel); });
    form->areasMonitoningGroupBox->setEnabled(true);
    setScannerZoneButtonsEnabled(true);
    form->filterGroupBox->setEnabled(true);
    form->treeWidget->setEnabled(true);
    form->factorySettingsBtn->setEnabled(true);
    setEnabled(true);
    redrawStateAreas();
    refreshComparison();
}

void MainWindow::endFullZoneRead()
{
    form->readAreaLlabel->hide();
    form->readAreaProgressBar->hide();
    form->readAreaProgressBar->setValue(0);
}

void MainWindow::onZoneReadFailed(const SessionFailure &failure)
{
    if (backupRestoreJobs->isRunning())
        return;
    if (scannerComparison) {
        endScannerComparison(false);
        if (failure.kind != SessionFailure::Closed && failure.kind != SessionFailure::PortLost)
            QMessageBox::critical(nullptr, tr("提示"), tr("读取扫描仪区域超时，未能比较"),
                                  QMessageBox::Ok);
        return;
    }
    endFullZoneRead();
    // Closing the link (or losing it) puts the window back itself.
    if (failure.kind == SessionFailure::Closed || failure.kind == SessionFailure::PortLost)
        return;
    // Settings and navigation stay usable; the zone page stays locked because an upload
    // of zones that were never read would overwrite the scanner's own.
    form->filterGroupBox->setEnabled(true);
    form->treeWidget->setEnabled(true);
    setEnabled(true);
    QMessageBox::critical(nullptr, tr("提示"), tr("读取区域信息超时，未能读取区域"),
                          QMessageBox::Ok);
}

void MainWindow::onWriteCurArea(int index)
{
    if (backupRestoreJobs->isRunning())
        return;
    if (index >= 63)
        return; // the end of the write is onZoneWriteFinished's
    QProgressBar *bar = factoryResetInProgress ? form->resetFactoryProgressBar : form->progressBar;
    bar->setValue(index);
}

void MainWindow::onZoneWriteFinished()
{
    if (backupRestoreJobs->isRunning())
        return;
    const bool factoryReset = factoryResetInProgress;
    zonesReachedScanner(); // every channel acknowledged: the scanner holds the store
    endZoneWrite();
    if (factoryReset)
        emit readLidarArea(editedChannel());
    redrawStateAreas();
}

void MainWindow::endZoneWrite()
{
    form->resetFactoryLabel->hide();
    form->resetFactoryProgressBar->hide();
    form->resetFactoryProgressBar->setValue(0);
    form->progressLabel->hide();
    form->progressBar->hide();
    form->progressBar->setValue(0);
    factoryResetInProgress = false;
    form->areasMonitoningGroupBox->setEnabled(true);
    form->filterGroupBox->setEnabled(true);
    setEnabled(true);
    // The scanner can be read for a comparison again.
    refreshComparison();
}

void MainWindow::onZoneWriteFailed(const SessionFailure &failure)
{
    if (backupRestoreJobs->isRunning())
        return; // its outcome names what was written
    endZoneWrite();
    // A lost link says itself where the upload stopped.
    if (failure.kind == SessionFailure::Closed || failure.kind == SessionFailure::PortLost)
        return;
    const int channel = std::max(0, failure.index);
    QString text;
    if (failure.kind == SessionFailure::Refused && failure.step == REQUEST_WRITE_AREA)
        text = tr("区域上传在第%1区域组处停止：扫描仪拒绝了该区域组（状态%2）")
                   .arg(channel)
                   .arg(failure.status);
    else if (failure.kind == SessionFailure::Unconfirmed)
        text = tr("区域上传在第%1区域组处停止：扫描仪中的该区域组与上传的不一致").arg(channel);
    else
        text = tr("区域上传在第%1区域组处停止：扫描仪未确认该区域组").arg(channel);
    QMessageBox::critical(nullptr, tr("提示"), text, QMessageBox::Ok);
}
