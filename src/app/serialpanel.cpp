// The serial port panel: the port list, opening and closing the link, and what the window
// shows when the link is lost. The link itself (the port, the probe, the worker and the
// procedures) is the session's.
#include "mainwindow.h"

#include "applog.h"
#include "filterpanel.h"
#include "firmwareupdate.h"
#include "laserscanview.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "workerthread.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QTimer>

void MainWindow::setupSession()
{
    session = new ScannerSession(this);
    connect(session, &ScannerSession::errorOccurred, this, &MainWindow::onErrorOccurred);
    connect(session, &ScannerSession::probeAnswered, this, &MainWindow::onProbeAnswered);
    connect(session, &ScannerSession::probeUnanswered, this, &MainWindow::onProbeUnanswered);
    connect(session, &ScannerSession::portLost, this, &MainWindow::handlePortLost);

    // The reports of every worker the session makes, wired once.
    connect(session, &ScannerSession::sendPointVec, form->stateGraphicsView,
            &LaserScanView::onRecvAndShowPoint);
    connect(session, &ScannerSession::sendPointVec, this, &MainWindow::onRecvAndShowPoint);
    connect(session, &ScannerSession::sendState, this, &MainWindow::onRecvState);
    connect(this, &MainWindow::sendRequestType, session, &ScannerSession::send);
    connect(this, &MainWindow::readLidarArea, session, &ScannerSession::readChannel);
    // Results may open boxes: they are taken once the receive handler has returned.
    connect(session, &ScannerSession::sendMainRequestResult, this, &MainWindow::onRecvRequestResult,
            Qt::QueuedConnection);

    ZoneRead *read = session->zoneRead();
    connect(read, &ZoneRead::channelReceived, this, &MainWindow::storeScannerChannel);
    connect(read, &ZoneRead::progress, this, &MainWindow::onReadCurArea);
    connect(read, &ZoneRead::started, this, [this]() { setEnabled(false); });
    connect(read, &ZoneRead::finished, this, &MainWindow::onZoneReadFinished);
    connect(read, &ZoneRead::failed, this, &MainWindow::onZoneReadFailed);
    // Changes the scanner never received are not read over without asking.
    session->setZoneReadGate([this]() { return !uploadUnsentZonesInstead(); });

    ZoneWrite *write = session->zoneWrite();
    connect(write, &ZoneWrite::progress, this, &MainWindow::onWriteCurArea);
    connect(write, &ZoneWrite::finished, this, &MainWindow::onZoneWriteFinished);
    connect(write, &ZoneWrite::failed, this, &MainWindow::onZoneWriteFailed);

    FirmwareUpdate *firmware = session->firmware();
    connect(firmware, &FirmwareUpdate::reached, this, &MainWindow::onFirmwareEvent);
    connect(firmware, &FirmwareUpdate::chunkAcknowledged, this,
            &MainWindow::onWriteFirmwareDataProgress);
    connect(firmware, &FirmwareUpdate::finished, this, &MainWindow::onFirmwareFinished);
    connect(firmware, &FirmwareUpdate::failed, this, &MainWindow::onFirmwareFailed);
}

WorkerThread *MainWindow::worker() const
{
    return session->worker();
}

ScannerLink *MainWindow::link() const
{
    return session->link();
}

QTimer *MainWindow::reconnectTimerObject() const
{
    return session->firmware()->reconnectTimer();
}

bool MainWindow::isReadingAreas() const
{
    return session->zoneRead()->isRunning();
}

void MainWindow::setZoneReadTimeout(int ms)
{
    session->zoneRead()->setTimeout(ms);
}

void MainWindow::setZoneWriteTimeout(int ms)
{
    session->zoneWrite()->setTimeout(ms);
}

void MainWindow::addExtraPort(const QString &name)
{
    if (name.isEmpty() || extraPorts.contains(name))
        return;
    extraPorts.append(name);
    onRefreshBtn();
}

void MainWindow::selectPort(const QString &name)
{
    const int index = form->portName->findText(name);
    if (index >= 0)
        form->portName->setCurrentIndex(index);
}

void MainWindow::openSelectedPort()
{
    if (form->openBtn->isChecked() || !form->openBtn->isEnabled())
        return;
    form->openBtn->click();
    // The probe's answer is awaited without blocking; whoever opens the port this way (the
    // command line's --connect, a test) goes on once the window has taken the outcome.
    if (!session->isProbing())
        return;
    QEventLoop loop;
    connect(session, &ScannerSession::probeAnswered, &loop, &QEventLoop::quit);
    connect(session, &ScannerSession::probeUnanswered, &loop, &QEventLoop::quit);
    connect(session, &ScannerSession::portLost, &loop, &QEventLoop::quit);
    QTimer::singleShot(session->probeTimeout() + 5000, &loop, &QEventLoop::quit);
    loop.exec();
}

void MainWindow::onRefreshBtn()
{
    form->portName->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        form->portName->addItem(info.portName());
    for (const QString &extra : qAsConst(extraPorts)) {
        if (form->portName->findText(extra) < 0)
            form->portName->addItem(extra);
    }
    if (!extraPorts.isEmpty())
        selectPort(extraPorts.constLast());
    form->openBtn->setEnabled(form->portName->count() > 0);
}

void MainWindow::onOpenBtn()
{
    if (form->openBtn->isChecked())
        openPort();
    else
        closePort();
}

void MainWindow::openPort()
{
    const QString name = form->portName->currentText();
    if (!session->open(name, form->baudRate->currentText().toInt())) {
        form->openBtn->setText(tr("打开"));
        form->openBtn->setChecked(false);
        QMessageBox::critical(nullptr, tr("提示"),
                              tr("无法打开串口%1：%2").arg(name, session->errorString()),
                              QMessageBox::Ok);
        return;
    }
    form->actionWorkOffline->setEnabled(false);
    // The rest follows the probe's answer.
}

void MainWindow::onProbeUnanswered()
{
    // The port stays open and the button checked with the text "Open": the next click
    // closes it.
    QMessageBox::critical(nullptr, tr("提示"), tr("串口不匹配，请选择其他串口!"), QMessageBox::Ok);
}

void MainWindow::onProbeAnswered()
{
    form->readAreaLlabel->show();
    form->readAreaProgressBar->show();
    session->startReadOut();
    form->portName->setEnabled(false);
    form->baudRate->setEnabled(false);
    form->openBtn->setText(tr("关闭"));
    // A new connection may be another scanner: zones are drawn from its scans alone.
    recentScans.clear();
    recordAction->setEnabled(true);
}

void MainWindow::closePort()
{
    // The recording ends with the link; its file is closed before the port goes.
    stopRecording();
    recordAction->setEnabled(false);
    // The session closes the port, then lets the worker go; its procedures report that
    // they were closed, and the handlers below put their widgets back.
    session->close();
    // Refusals belong to this link; the next one starts from the scanner's own values.
    filterPanel->forgetRefusals();
    form->openBtn->setText(tr("打开"));
    form->areasMonitoningGroupBox->setEnabled(false);
    form->factorySettingsBtn->setEnabled(false);
    form->filterGroupBox->setEnabled(false);
    form->portName->setEnabled(true);
    form->baudRate->setEnabled(true);
    form->actionWorkOffline->setEnabled(true);
    emit form->refreshBtn->clicked(true);
    setEnabled(true);
    refreshComparison();
}

void MainWindow::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // A lost port is the session's to handle (once, from the event loop); it reports it
    // with portLost.
    switch (error) {
    case QSerialPort::UnknownError:
        qCDebug(lcApp) << "未知错误";
        break;
    case QSerialPort::NoError:
        qCDebug(lcApp) << "打开串口成功";
        break;
    default:
        break;
    }
}

void MainWindow::handlePortLost()
{
    // An upload cut off here leaves the scanner with the new zones up to one channel and
    // its old ones from there on.
    const int uploadCutAt =
        session->zoneWrite()->isRunning() ? session->zoneWrite()->channel() : -1;
    form->openBtn->setChecked(false);
    onOpenBtn();
    setEnabled(true);
    QMessageBox::critical(nullptr, tr("串口错误"), tr("串口断开连接，请检查连接是否正常"),
                          QMessageBox::Ok);
    if (uploadCutAt >= 0)
        QMessageBox::critical(
            nullptr, tr("提示"),
            tr("区域上传未完成：第%1区域组及其后的区域组没有写入扫描仪，修改仍保留在区域存储中")
                .arg(uploadCutAt),
            QMessageBox::Ok);
    onRefreshBtn();
}

void MainWindow::dropLinkAfterUpdate()
{
    form->openBtn->setChecked(false);
    closePort();
    QMessageBox::critical(nullptr, tr("串口错误"),
                          tr("固件更新失败后串口已关闭，请检查连接后重新打开串口"),
                          QMessageBox::Ok);
}

void MainWindow::onReconnectTimer()
{
    session->firmware()->reconnectTick();
}
