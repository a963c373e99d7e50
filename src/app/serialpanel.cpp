#include "mainwindow.h"

#include "filterpanel.h"
#include "laserscanview.h"
#include "requesttable.h"
#include "ui_mainwindow.h"
#include "workerthread.h"

#include <QDebug>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QTimer>

void MainWindow::setupSerialPort()
{
    serialPort = new QSerialPort;
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    connect(serialPort, &QSerialPort::errorOccurred, this, &MainWindow::onErrorOccurred);

    zoneReadTimer = new QTimer(this);
    zoneReadTimer->setSingleShot(true);
    connect(zoneReadTimer, &QTimer::timeout, this, &MainWindow::onZoneReadTimeout);
    zoneWriteTimer = new QTimer(this);
    zoneWriteTimer->setSingleShot(true);
    connect(zoneWriteTimer, &QTimer::timeout, this, &MainWindow::onZoneWriteTimeout);
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
    serialPort->setPortName(form->portName->currentText());
    const int baud = form->baudRate->currentText().toInt();
    serialPort->setBaudRate(baud, QSerialPort::AllDirections);
    if (!serialPort->open(QIODevice::ReadWrite)) {
        form->openBtn->setText(tr("打开"));
        form->openBtn->setChecked(false);
        QMessageBox::critical(
            nullptr, tr("提示"),
            tr("无法打开串口%1：%2").arg(serialPort->portName(), serialPort->errorString()),
            QMessageBox::Ok);
        return;
    }
    portLost = false;

    // The connection probe: the window writes it itself because no worker exists yet.
    serialPort->write(requestFrame(REQUEST_CONNECT, QString()));
    if (!serialPort->waitForReadyRead(100)) {
        QMessageBox::critical(nullptr, tr("提示"), tr("串口不匹配，请选择其他串口!"),
                              QMessageBox::Ok);
        return;
    }

    if (!workerThread) {
        workerThread = new WorkerThread(serialPort);
        connect(workerThread, &WorkerThread::sendPointVec, form->stateGraphicsView,
                &LaserScanView::onRecvAndShowPoint);
        connect(workerThread, &WorkerThread::sendPointVec, this, &MainWindow::onRecvAndShowPoint);
        connect(workerThread, &WorkerThread::sendState, this, &MainWindow::onRecvState);
        connect(this, &MainWindow::sendRequestType, workerThread, &WorkerThread::onRequestType);
        connect(workerThread, &WorkerThread::sendMainRequestResult, this,
                &MainWindow::onRecvRequestResult);
        connect(workerThread, &WorkerThread::sendZoneChannel, this,
                &MainWindow::storeScannerChannel);
        connect(workerThread, &WorkerThread::sendReadCurArea, this, &MainWindow::onReadCurArea);
        connect(workerThread, &WorkerThread::sendWriteCurArea, this, &MainWindow::onWriteCurArea);
        connect(this, &MainWindow::readLidarArea, workerThread, &WorkerThread::onReadArea);
        connect(this, &MainWindow::firmwareWriteData, workerThread,
                &WorkerThread::onFirmwareWriteData);
        connect(workerThread, &WorkerThread::writeFirmwareDataProgress, this,
                &MainWindow::onWriteFirmwareDataProgress);
        // A refused block or chunk stops its transfer: say so at once rather than after the
        // time-out of a step that will never be acknowledged.
        connect(workerThread, &WorkerThread::sendTransferRefused, this, [this](RequestType type) {
            if (type == REQUEST_FIRMWARE_DATA) {
                if (firmwareUpdating)
                    failFirmwareUpdate(firmwareStepFailure);
            } else if (zoneWriteTimer->isActive()) {
                onZoneWriteTimeout();
            }
        });
        connect(workerThread, &WorkerThread::sendSettingRefused, filterPanel,
                &FilterPanel::onSettingRefused);
        workerThread->start(QThread::InheritPriority);
    }

    form->readAreaLlabel->show();
    form->readAreaProgressBar->show();
    startRequestSequence();
    // Only start the full read if this very connection is still up by then: a close in
    // between would leave a window disabled with nobody to answer, and a close and reopen
    // would start a second read beside the new connection's own.
    const int connection = ++connectionSerial;
    QTimer::singleShot(1050, this, [this, connection]() {
        if (connectionSerial == connection && serialPort->isOpen())
            startFullZoneRead();
    });
    form->portName->setEnabled(false);
    form->baudRate->setEnabled(false);
    form->openBtn->setText(tr("关闭"));
}

void MainWindow::closePort()
{
    ++connectionSerial;
    serialPort->close();
    if (isFirmwareUpdateRunning())
        failFirmwareUpdate(tr("串口已关闭"));
    if (workerThread) {
        // The worker may be on the call stack (a port error raised inside its readData),
        // so it is released once control is back in the event loop.
        workerThread->disconnect();
        disconnect(workerThread);
        workerThread->deleteLater();
        workerThread = nullptr;
    }
    if (readingAreas)
        endFullZoneRead();
    if (zoneWriteTimer->isActive())
        endZoneWrite();
    // Refusals belong to this link; the next one starts from the scanner's own values.
    filterPanel->forgetRefusals();
    form->openBtn->setText(tr("打开"));
    form->areasMonitoningGroupBox->setEnabled(false);
    form->factorySettingsBtn->setEnabled(false);
    form->filterGroupBox->setEnabled(false);
    form->portName->setEnabled(true);
    form->baudRate->setEnabled(true);
    emit form->refreshBtn->clicked(true);
    setEnabled(true);
}

void MainWindow::startRequestSequence()
{
    emit sendRequestType(REQUEST_GET_PARAM_FF00, QString());
    static const RequestType sequence[] = {
        REQUEST_GET_INPUT_NONC,       REQUEST_GET_OUTPUT_NONC,
        REQUEST_CURRENT_AREA,         REQUEST_GET_MODE,
        REQUEST_DEVICE_IDENT,         REQUEST_SERIAL_NUMBER,
        REQUEST_FIRMWARE_VERSION,     REQUEST_LOT_NUMBER,
        REQUEST_GET_FREQUENCY,        REQUEST_GET_FILTER_ENABLE,
        REQUEST_GET_AVERAGE_FILTER,   REQUEST_GET_FILTER_STRENGTH,
        REQUEST_GET_FILTER_MIN_RANGE, REQUEST_GET_FILTER_MAX_RANGE,
        REQUEST_GET_MASK_INTENSITY,   REQUEST_GET_MASK_MIN_ANGLE,
        REQUEST_GET_MASK_MAX_ANGLE,   REQUEST_GET_NPN_PNP,
    };
    int delay = 150;
    for (RequestType type : sequence) {
        QTimer::singleShot(delay, this, [this, type]() { emit sendRequestType(type, QString()); });
        delay += 50;
    }
}

void MainWindow::startFullZoneRead()
{
    // Changes the scanner never received are not read over without asking.
    if (uploadUnsentZonesInstead())
        return;
    readAreaIndex = 0;
    readingAreas = true;
    emit readLidarArea(0);
    setEnabled(false);
    zoneReadTimer->start(zoneReadTimeoutMs);
}

void MainWindow::endFullZoneRead()
{
    zoneReadTimer->stop();
    readingAreas = false;
    readAreaIndex = 0;
    form->readAreaLlabel->hide();
    form->readAreaProgressBar->hide();
    form->readAreaProgressBar->setValue(0);
}

void MainWindow::onZoneReadTimeout()
{
    if (!readingAreas)
        return;
    endFullZoneRead();
    // Settings and navigation stay usable; the zone page stays locked because an upload
    // of zones that were never read would overwrite the scanner's own.
    form->filterGroupBox->setEnabled(true);
    form->treeWidget->setEnabled(true);
    setEnabled(true);
    QMessageBox::critical(nullptr, tr("提示"), tr("读取区域信息超时，未能读取区域"),
                          QMessageBox::Ok);
}

void MainWindow::onErrorOccurred(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        // A vanished device shows up as a resource error, but a closed pseudo-terminal
        // and some USB adapters report a read error instead, which Qt then repeats in a
        // busy loop. Either way the port is unusable: close it once, from the event loop.
        if (serialPort->isOpen() && !portLost) {
            portLost = true;
            // A scanner restarting into its bootloader may drop off the line on purpose:
            // the reconnect loop owns the port then and opens it again.
            if (reconnectTimer->isActive())
                QTimer::singleShot(0, this, [this]() { serialPort->close(); });
            else
                QTimer::singleShot(0, this, &MainWindow::handlePortLost);
        }
        break;
    case QSerialPort::UnknownError:
        qDebug() << "未知错误";
        break;
    case QSerialPort::NoError:
        qDebug() << "打开串口成功";
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
        zoneWriteTimer->isActive() && workerThread ? workerThread->nextZoneWriteChannel() : -1;
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
    if (serialPort->isOpen())
        serialPort->close();
    serialPort->setPortName(form->portName->currentText());
    serialPort->setBaudRate(form->baudRate->currentText().toInt(), QSerialPort::AllDirections);
    if (serialPort->open(QIODevice::ReadWrite)) {
        portLost = false;
        emit sendRequestType(REQUEST_DEVICE_MODE, QString());
    }
}
