#include "scanrecording.h"

#include "framerecorder.h"
#include "outputfiles.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
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

ScanRecording::ScanRecording(Ui::MainWindow *form, QMainWindow *window, ScannerSession *session,
                             WindowModes *modes, QObject *parent)
    : QObject(parent), window(window), session(session)
{
    frames = new FrameRecorder(this);
    connect(frames, &FrameRecorder::failed, this, &ScanRecording::onFailed);

    action = new QAction(windowTr("录制扫描…"), window);
    action->setObjectName(QStringLiteral("actionRecordScans"));
    action->setCheckable(true);
    action->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    action->setStatusTip(
        windowTr("把扫描仪发来的每一帧连同到达时间录制到pcap文件，Wireshark可以打开"));
    form->menuFile->addAction(action);
    connect(action, &QAction::triggered, this, &ScanRecording::record);
    // Only a connected scanner sends anything to record.
    modes->bind(WindowModes::Recording, action);

    label = new QLabel(window);
    label->setObjectName(QStringLiteral("recordingLabel"));
    label->hide();
    window->statusBar()->addPermanentWidget(label);
    timer = new QTimer(this);
    timer->setInterval(500);
    connect(timer, &QTimer::timeout, this, &ScanRecording::showStatus);
}

void ScanRecording::record(bool checked)
{
    if (!checked) {
        stop();
        return;
    }
    QString path;
    if (fileProvider) {
        path = fileProvider();
    } else {
        const QString suggested =
            QStringLiteral("scans-%1.pcap")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        path =
            askSaveFileName(window, windowTr("录制扫描"), suggested, windowTr("pcap文件 (*.pcap)"));
    }
    if (path.isEmpty()) {
        action->setChecked(false);
        return;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pcap");
    path = chosenOutputFile(window, path, !fileProvider, windowTr("无法录制到%1：%2"),
                            windowTr("%1是本工具自己的文件，录制不能保存在它上面"));
    if (path.isEmpty()) {
        action->setChecked(false);
        return;
    }
    QString error;
    if (!session->isOpen() || !frames->start(path, &error)) {
        action->setChecked(false);
        QMessageBox::critical(window, windowTr("提示"),
                              session->isOpen() ? windowTr("无法录制到%1：%2").arg(path, error)
                                                : windowTr("未连接扫描仪，请先打开串口"),
                              QMessageBox::Ok);
        return;
    }
    tap = connect(session, &ScannerSession::frameReceived, frames, &FrameRecorder::addFrame);
    timer->start();
    showStatus();
    label->show();
}

void ScanRecording::stop()
{
    disconnect(tap);
    timer->stop();
    label->hide();
    action->setChecked(false);
    if (!frames->isRecording())
        return;
    frames->stop();
    const QString time = timeText(frames->elapsedMs());
    const QString size = sizeText(frames->fileSize());
    window->statusBar()->showMessage(
        frames->frameCount() == 1
            ? windowTr("录制已保存到%1：1帧，%2，%3").arg(frames->fileName(), time, size)
            : windowTr("录制已保存到%1：%2帧，%3，%4")
                  .arg(frames->fileName())
                  .arg(frames->frameCount())
                  .arg(time, size),
        10000);
}

void ScanRecording::onFailed(const QString &error)
{
    // The recorder has closed the file; what it wrote before stays readable.
    stop();
    QMessageBox::critical(
        window, windowTr("提示"),
        windowTr("无法写入录制文件%1，录制已停止：%2").arg(frames->fileName(), error),
        QMessageBox::Ok);
}

void ScanRecording::showStatus()
{
    label->setText(windowTr("正在录制 %1 · %2")
                       .arg(timeText(frames->elapsedMs()), sizeText(frames->fileSize())));
}
