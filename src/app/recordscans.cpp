// Recording the scanner's frames into a pcap file (File, Record scans): the recorder is
// fed from the session while the action is checked, the status bar shows the time and
// size, and stopping, closing the port or losing it closes the file.
#include "mainwindow.h"

#include "framerecorder.h"
#include "outputfiles.h"
#include "scannersession.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString timeText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

void MainWindow::setupRecording()
{
    recorder = new FrameRecorder(this);
    connect(recorder, &FrameRecorder::failed, this, &MainWindow::onRecordingFailed);

    recordAction = new QAction(tr("录制扫描…"), this);
    recordAction->setObjectName(QStringLiteral("actionRecordScans"));
    recordAction->setCheckable(true);
    recordAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    recordAction->setStatusTip(
        tr("把扫描仪发来的每一帧连同到达时间录制到pcap文件，Wireshark可以打开"));
    // Only a connected scanner sends anything to record.
    recordAction->setEnabled(false);
    form->menuFile->addAction(recordAction);
    connect(recordAction, &QAction::triggered, this, &MainWindow::onRecordScans);

    recordingLabel = new QLabel(this);
    recordingLabel->setObjectName(QStringLiteral("recordingLabel"));
    recordingLabel->hide();
    statusBar()->addPermanentWidget(recordingLabel);
    recordingTimer = new QTimer(this);
    recordingTimer->setInterval(500);
    connect(recordingTimer, &QTimer::timeout, this, &MainWindow::showRecordingStatus);
}

void MainWindow::onRecordScans(bool checked)
{
    if (!checked) {
        stopRecording();
        return;
    }
    QString path;
    if (recordFileProvider) {
        path = recordFileProvider();
    } else {
        const QString suggested =
            QStringLiteral("scans-%1.pcap")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        path = askSaveFileName(this, tr("录制扫描"), suggested, tr("pcap文件 (*.pcap)"));
    }
    if (path.isEmpty()) {
        recordAction->setChecked(false);
        return;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pcap");
    path = chosenOutputFile(this, path, !recordFileProvider, tr("无法录制到%1：%2"),
                            tr("%1是本工具自己的文件，录制不能保存在它上面"));
    if (path.isEmpty()) {
        recordAction->setChecked(false);
        return;
    }
    QString error;
    if (!session->isOpen() || !recorder->start(path, &error)) {
        recordAction->setChecked(false);
        QMessageBox::critical(this, tr("提示"),
                              session->isOpen() ? tr("无法录制到%1：%2").arg(path, error)
                                                : tr("未连接扫描仪，请先打开串口"),
                              QMessageBox::Ok);
        return;
    }
    recordingTap =
        connect(session, &ScannerSession::frameReceived, recorder, &FrameRecorder::addFrame);
    recordingTimer->start();
    showRecordingStatus();
    recordingLabel->show();
}

void MainWindow::stopRecording()
{
    disconnect(recordingTap);
    recordingTimer->stop();
    recordingLabel->hide();
    recordAction->setChecked(false);
    if (!recorder->isRecording())
        return;
    recorder->stop();
    const QString time = timeText(recorder->elapsedMs());
    const QString size = sizeText(recorder->fileSize());
    statusBar()->showMessage(
        recorder->frameCount() == 1
            ? tr("录制已保存到%1：1帧，%2，%3").arg(recorder->fileName(), time, size)
            : tr("录制已保存到%1：%2帧，%3，%4")
                  .arg(recorder->fileName())
                  .arg(recorder->frameCount())
                  .arg(time, size),
        10000);
}

void MainWindow::onRecordingFailed(const QString &error)
{
    // The recorder has closed the file; what it wrote before stays readable.
    stopRecording();
    QMessageBox::critical(this, tr("提示"),
                          tr("无法写入录制文件%1，录制已停止：%2").arg(recorder->fileName(), error),
                          QMessageBox::Ok);
}

void MainWindow::showRecordingStatus()
{
    recordingLabel->setText(
        tr("正在录制 %1 · %2")
            .arg(timeText(recorder->elapsedMs()), sizeText(recorder->fileSize())));
}
