#include "serialpanel.h"

#include "applog.h"
#include "linkname.h"
#include "scannerlink.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zonewrite.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QTimer>

SerialPanel::SerialPanel(Ui::MainWindow *f, ScannerSession *session, WindowModes *modes,
                         QObject *parent)
    : QObject(parent), form(f), session(session), modes(modes)
{
    form->openBtn->setCheckable(true);
    // A serial device server is typed in as tcp://HOST:PORT; it is in no port list.
    form->portName->setEditable(true);
    form->portName->setInsertPolicy(QComboBox::NoInsert);
    form->portName->setToolTip(windowTr("串口，或串口服务器的 tcp://主机:端口"));
    connect(form->portName, &QComboBox::editTextChanged, this, [modes](const QString &text) {
        modes->setOwnCondition(WindowModes::OpenPort, !text.trimmed().isEmpty());
    });
    connect(form->refreshBtn, &QPushButton::clicked, this, &SerialPanel::refresh);
    connect(form->openBtn, &QPushButton::clicked, this, &SerialPanel::openOrClose);
    connect(session, &ScannerSession::probeAnswered, this, &SerialPanel::onProbeAnswered);
    connect(session, &ScannerSession::probeUnanswered, this, &SerialPanel::onProbeUnanswered);
    connect(session, &ScannerSession::portLost, this, &SerialPanel::onPortLost);
}

void SerialPanel::addExtraPort(const QString &name)
{
    if (name.isEmpty() || extraPorts.contains(name))
        return;
    extraPorts.append(name);
    refresh();
    selectPort(name);
}

void SerialPanel::selectPort(const QString &name)
{
    const int index = form->portName->findText(name);
    if (index >= 0)
        form->portName->setCurrentIndex(index);
}

void SerialPanel::openSelectedPort()
{
    if (form->openBtn->isChecked() || !form->openBtn->isEnabled())
        return;
    form->openBtn->click();
    // The probe's answer is awaited without blocking.
    if (!session->isProbing())
        return;
    QEventLoop loop;
    connect(session, &ScannerSession::probeAnswered, &loop, &QEventLoop::quit);
    connect(session, &ScannerSession::probeUnanswered, &loop, &QEventLoop::quit);
    connect(session, &ScannerSession::portLost, &loop, &QEventLoop::quit);
    QTimer::singleShot(session->probeTimeout() + 5000, &loop, &QEventLoop::quit);
    loop.exec();
}

void SerialPanel::refresh()
{
    // A device server's name typed in stays: no refresh can find it.
    const QString typed = form->portName->currentText().trimmed();
    form->portName->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        form->portName->addItem(info.portName());
    for (const QString &extra : qAsConst(extraPorts)) {
        if (form->portName->findText(extra) < 0)
            form->portName->addItem(extra);
    }
    if (isTcpLinkName(typed) && form->portName->findText(typed) < 0)
        form->portName->addItem(typed);
    if (form->portName->findText(typed) >= 0)
        selectPort(typed);
    else if (!extraPorts.isEmpty())
        selectPort(extraPorts.constLast());
    modes->setOwnCondition(WindowModes::OpenPort,
                           !form->portName->currentText().trimmed().isEmpty());
}

void SerialPanel::openOrClose()
{
    if (form->openBtn->isChecked())
        openPort();
    else
        closePort();
}

void SerialPanel::openPort()
{
    const QString name = form->portName->currentText().trimmed();
    if (!session->open(name, form->baudRate->currentText().toInt())) {
        form->openBtn->setText(windowTr("打开"));
        form->openBtn->setChecked(false);
        QMessageBox::critical(nullptr, windowTr("提示"),
                              windowTr("无法打开串口%1：%2").arg(name, session->errorString()),
                              QMessageBox::Ok);
        return;
    }
    // The rest follows the probe's answer.
    modes->setMode(WindowMode::Connecting);
}

bool SerialPanel::isPlayback() const
{
    return session->link() && session->link()->kind() == ScannerLink::Kind::Recording;
}

void SerialPanel::onProbeUnanswered()
{
    if (isPlayback())
        return;
    // The port stays open and the button checked with the text "Open": the next click
    // closes it.
    QMessageBox::critical(nullptr, windowTr("提示"), windowTr("串口不匹配，请选择其他串口!"),
                          QMessageBox::Ok);
}

void SerialPanel::onProbeAnswered()
{
    // A recording played back is the playback's; it answers the probe with its first scan.
    if (isPlayback())
        return;
    modes->setMode(WindowMode::Connected);
    session->startReadOut();
    form->openBtn->setText(windowTr("关闭"));
    emit connected();
}

void SerialPanel::closePort()
{
    // What records the link ends with it, before the port goes.
    emit closing();
    // The session closes the port, then lets the worker go; its procedures report that
    // they were closed.
    session->close();
    form->openBtn->setText(windowTr("打开"));
    modes->setMode(WindowMode::Disconnected);
    emit form->refreshBtn->clicked(true);
    emit closed();
}

void SerialPanel::logPortError(QSerialPort::SerialPortError error)
{
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

void SerialPanel::onPortLost()
{
    // An upload cut off here leaves the scanner with the new zones up to one channel and
    // its old ones from there on.
    // (A restore's zone write says so in its own outcome.)
    const int uploadCutAt =
        session->zoneWrite()->isRunning() && modes->mode() != WindowMode::Restoring
            ? session->zoneWrite()->channel()
            : -1;
    form->openBtn->setChecked(false);
    openOrClose();
    QMessageBox::critical(nullptr, windowTr("串口错误"),
                          windowTr("串口断开连接，请检查连接是否正常"), QMessageBox::Ok);
    if (uploadCutAt >= 0)
        QMessageBox::critical(
            nullptr, windowTr("提示"),
            windowTr(
                "区域上传未完成：第%1区域组及其后的区域组没有写入扫描仪，修改仍保留在区域存储中")
                .arg(uploadCutAt),
            QMessageBox::Ok);
    refresh();
}

void SerialPanel::closeLink()
{
    if (!session->isOpen())
        return;
    form->openBtn->setChecked(false);
    closePort();
}

void SerialPanel::dropLinkAfterUpdate()
{
    form->openBtn->setChecked(false);
    closePort();
    QMessageBox::critical(nullptr, windowTr("串口错误"),
                          windowTr("固件更新失败后串口已关闭，请检查连接后重新打开串口"),
                          QMessageBox::Ok);
}

void SerialPanel::hangUpForRestart()
{
    QTimer::singleShot(500, session, &ScannerSession::hangUp);
    form->openBtn->setText(windowTr("打开"));
    form->openBtn->setChecked(false);
    modes->setMode(WindowMode::Disconnected);
}
