#include "scannersession.h"

#include "firmwareupdate.h"
#include "linklog.h"
#include "requesttable.h"
#include "workerthread.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QMetaMethod>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>

ScannerSession::ScannerSession(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<RequestType>("RequestType");
    qRegisterMetaType<SessionFailure>("SessionFailure");
    m_port = new QSerialPort;
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    connect(m_port, &QSerialPort::errorOccurred, this, &ScannerSession::onPortError);
    connect(m_port, &QSerialPort::bytesWritten, this, &ScannerSession::onBytesWritten);
    // Departures are told from the event loop, never from inside the send that caused
    // them (the port may report its bytes written while the write is still on the stack).
    m_departureTimer = new QTimer(this);
    m_departureTimer->setSingleShot(true);
    m_departureTimer->setInterval(0);
    connect(m_departureTimer, &QTimer::timeout, this, &ScannerSession::deliverDepartures);

    m_probeTimer = new QTimer(this);
    m_probeTimer->setSingleShot(true);
    connect(m_probeTimer, &QTimer::timeout, this, [this]() { finishProbe(false); });

    m_zoneRead = new ZoneRead(this);
    m_zoneWrite = new ZoneWrite(this);
    m_firmware = new FirmwareUpdate(this);
    // A zone block goes to a write's read-back before a read: both ask for blocks, and
    // only one of them runs at a time in practice.
    m_procedures = {m_zoneWrite, m_zoneRead, m_firmware};
}

ScannerSession::~ScannerSession()
{
    // Port first, then the worker; the procedures are children and go last.
    m_port->close();
    delete m_worker;
    m_worker = nullptr;
    delete m_port;
    m_port = nullptr;
}

bool ScannerSession::isOpen() const
{
    return m_port->isOpen();
}

void ScannerSession::configure(const QString &portName, int baud)
{
    m_portName = portName;
    m_baud = baud;
    m_port->setPortName(portName);
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
}

bool ScannerSession::open(const QString &portName, int baud)
{
    configure(portName, baud);
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    m_lost = false;
    m_portError.clear();
    ++m_connection;

    // The probe is the one request written without the worker: none exists yet. Any
    // answer counts; its bytes stay in the port for the worker, which decodes them with
    // the next arrival like any late reply.
    m_port->write(requestFrame(REQUEST_CONNECT, QString()));
    m_port->flush();
    m_probing = true;
    m_probeWatch = connect(m_port, &QSerialPort::readyRead, this, [this]() { finishProbe(true); });
    m_probeTimer->start(m_probeTimeoutMs);
    return true;
}

void ScannerSession::finishProbe(bool answered)
{
    if (!m_probing)
        return;
    m_probing = false;
    m_probeTimer->stop();
    disconnect(m_probeWatch);
    if (!answered) {
        emit probeUnanswered();
        return;
    }
    makeWorker();
    emit probeAnswered();
}

void ScannerSession::makeWorker()
{
    if (m_worker)
        return;
    m_worker = new WorkerThread(m_port);
    connect(m_worker, &WorkerThread::sendState, this, &ScannerSession::sendState);
    connect(m_worker, &WorkerThread::sendPointVec, this, &ScannerSession::sendPointVec);
    connect(m_worker, &WorkerThread::sendMainRequestResult, this, &ScannerSession::onResult);
    connect(m_worker, &WorkerThread::sendSettingRefused, this, &ScannerSession::sendSettingRefused);
    connect(m_worker, &WorkerThread::sendZoneChannel, this, &ScannerSession::onZoneBlock);
    connect(m_worker, &WorkerThread::sendAcknowledgement, this, &ScannerSession::onAcknowledgement);
    connect(m_worker, &WorkerThread::sendReplyDamaged, this, &ScannerSession::onDamaged);
    updateFrameTap();
    // run() only connects readyRead and returns; waiting for it means that no reply can
    // arrive before someone listens.
    m_worker->start(QThread::InheritPriority);
    m_worker->wait();
}

void ScannerSession::releaseWorker()
{
    if (!m_worker)
        return;
    // The worker may be on the call stack (a port error raised inside its readData), so it
    // goes once control is back in the event loop; until then it hears nothing more.
    m_worker->disconnect();
    m_frameTap = {};
    disconnect(m_port, nullptr, m_worker, nullptr);
    m_worker->deleteLater();
    m_worker = nullptr;
}

void ScannerSession::close()
{
    ++m_connection;
    m_probing = false;
    m_probeTimer->stop();
    disconnect(m_probeWatch);
    m_port->close();
    releaseDepartures();
    releaseWorker();
    stopProcedures(SessionFailure::Closed);
}

void ScannerSession::hangUp()
{
    m_port->close();
    releaseDepartures();
}

bool ScannerSession::reopen(const QString &portName, int baud)
{
    if (m_port->isOpen())
        m_port->close();
    releaseDepartures();
    configure(portName, baud);
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    m_lost = false;
    m_portError.clear();
    return true;
}

bool ScannerSession::reopen()
{
    return reopen(m_portName, m_baud);
}

void ScannerSession::send(RequestType type, const QString &value)
{
    if (m_worker)
        m_worker->onRequestType(type, value);
}

void ScannerSession::readChannel(int channel)
{
    m_zoneRead->readChannel(channel);
}

bool ScannerSession::hasLink() const
{
    return m_worker && m_port->isOpen();
}

int ScannerSession::sendFor(LinkProcedure *from, RequestType type, const QString &value)
{
    if (m_worker) {
        m_worker->onRequestType(type, value);
        m_worker->flush();
    }
    return departure(from);
}

int ScannerSession::sendZoneReadFor(LinkProcedure *from, int channel)
{
    if (m_worker)
        m_worker->onReadArea(channel);
    return departure(from);
}

int ScannerSession::sendZoneBlockFor(LinkProcedure *from, int channel, const QByteArray &block)
{
    if (m_worker)
        m_worker->writeZoneBlock(channel, block);
    return departure(from);
}

int ScannerSession::sendFirmwareChunkFor(LinkProcedure *from, int index)
{
    if (m_worker)
        m_worker->writeFirmwareChunk(index);
    return departure(from);
}

bool ScannerSession::loadFirmwareImage(const QByteArray &image)
{
    return hasLink() && m_worker->setFirmwareImage(image);
}

void ScannerSession::releaseFirmwareImage()
{
    if (m_worker)
        m_worker->releaseFirmwareImage();
}

// The port takes a request into its buffer and reports the bytes as it hands them to the
// system; a step's time-out runs from the last of them, so that a long block waiting
// behind others does not eat its own time.
int ScannerSession::departure(LinkProcedure *from)
{
    const int number = ++m_requestNumber;
    const qint64 mark = m_bytesLeft + (m_port->isOpen() ? m_port->bytesToWrite() : 0);
    m_departures.append({mark, from, number});
    if (mark <= m_bytesLeft)
        m_departureTimer->start();
    return number;
}

void ScannerSession::onBytesWritten(qint64 bytes)
{
    m_bytesLeft += bytes;
    if (!m_departures.isEmpty() && m_departures.constFirst().mark <= m_bytesLeft)
        m_departureTimer->start();
}

void ScannerSession::deliverDepartures()
{
    const QPointer<ScannerSession> alive(this);
    while (alive && !m_departures.isEmpty() && m_departures.constFirst().mark <= m_bytesLeft) {
        const Departure d = m_departures.takeFirst();
        d.from->requestLeft(d.number);
    }
}

// A closed port has dropped what it still held: nothing more of it will leave.
void ScannerSession::releaseDepartures()
{
    for (Departure &d : m_departures)
        d.mark = std::min(d.mark, m_bytesLeft);
    if (!m_departures.isEmpty())
        m_departureTimer->start();
}

void ScannerSession::startReadOut()
{
    send(REQUEST_GET_PARAM_FF00);
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
    // Each step belongs to this connection: after a close (and a quick reopen) the old
    // read-out must not carry on beside the new one.
    const int connection = m_connection;
    int delay = 150;
    for (RequestType type : sequence) {
        QTimer::singleShot(delay, this, [this, type, connection]() {
            if (m_connection == connection)
                send(type);
        });
        delay += 50;
    }
    QTimer::singleShot(1050, this, [this, connection]() {
        const auto current = [&]() { return m_connection == connection && m_port->isOpen(); };
        if (!current())
            return;
        if (m_zoneReadGate && !m_zoneReadGate())
            return;
        // The gate may have asked the user while the link went away.
        if (current())
            m_zoneRead->start();
    });
}

void ScannerSession::connectNotify(const QMetaMethod &signal)
{
    // Called once the connection is made and the object's locks are free again: the
    // worker hands its frames out from the next bytes on.
    if (signal == QMetaMethod::fromSignal(&ScannerSession::frameReceived))
        updateFrameTap();
}

void ScannerSession::disconnectNotify(const QMetaMethod &signal)
{
    // A receiver that is being destroyed calls this with the locks held and before its
    // connection is gone, so whether anyone still listens is looked at from the event loop.
    if (signal == QMetaMethod::fromSignal(&ScannerSession::frameReceived))
        QMetaObject::invokeMethod(this, &ScannerSession::updateFrameTap, Qt::QueuedConnection);
}

void ScannerSession::updateFrameTap()
{
    const bool wanted = isSignalConnected(QMetaMethod::fromSignal(&ScannerSession::frameReceived));
    if (!m_worker || wanted == bool(m_frameTap))
        return;
    if (wanted)
        m_frameTap =
            connect(m_worker, &WorkerThread::frameReceived, this, &ScannerSession::frameReceived);
    else
        disconnect(std::exchange(m_frameTap, {}));
}

void ScannerSession::later(std::function<void()> f)
{
    QTimer::singleShot(0, this, std::move(f));
}

void ScannerSession::onResult(RequestType type, const QString &value)
{
    // The procedure that waits for this answer moves on first; everyone hears it after.
    const QPointer<ScannerSession> alive(this);
    for (LinkProcedure *p : qAsConst(m_procedures)) {
        if (p->takeResult(type, value) || !alive)
            break;
    }
    if (alive)
        emit sendMainRequestResult(type, value);
}

void ScannerSession::onZoneBlock(int channel, const ZoneChannelRecord &areas)
{
    for (LinkProcedure *p : qAsConst(m_procedures)) {
        if (p->takeZoneBlock(channel, areas))
            return;
    }
    qCDebug(lcZones) << "zone block of channel" << channel << "that no read awaits: dropped";
}

void ScannerSession::onAcknowledgement(RequestType type, int status)
{
    for (LinkProcedure *p : qAsConst(m_procedures)) {
        if (p->takeAcknowledgement(type, status))
            return;
    }
    qCDebug(lcLink) << "answer" << Qt::hex << int(type) << Qt::dec << "status" << status
                    << "that no step awaits: dropped";
}

void ScannerSession::onDamaged(RequestType type)
{
    for (LinkProcedure *p : qAsConst(m_procedures)) {
        if (p->takeDamaged(type))
            return;
    }
    qCDebug(lcLink) << "damaged reply claiming type" << Qt::hex << int(type) << Qt::dec
                    << "that no step awaits: dropped";
}

void ScannerSession::onPortError(QSerialPort::SerialPortError error)
{
    emit errorOccurred(error);
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        break;
    default:
        return;
    }
    // A vanished device shows up as a resource error, but a closed pseudo-terminal and some
    // USB adapters report a read or write error instead, which Qt may repeat in a busy
    // loop. Either way the port is unusable: it is handled once, from the event loop.
    if (!m_port->isOpen() || m_lost)
        return;
    m_lost = true;
    m_portError = m_port->errorString();
    const int connection = m_connection;
    later([this, connection]() { handleLostPort(connection); });
}

void ScannerSession::handleLostPort(int connection)
{
    if (connection != m_connection || !m_lost)
        return; // closed, or opened again, meanwhile
    m_port->close();
    releaseDepartures();
    // A scanner restarting into its bootloader may drop off the line on purpose: the
    // reconnect loop owns the port then and opens it again.
    if (m_firmware->ownsThePort())
        return;
    emit portLost(m_portError);
    if (connection == m_connection)
        stopProcedures(SessionFailure::PortLost);
}

void ScannerSession::stopProcedures(SessionFailure::Kind why)
{
    const QPointer<ScannerSession> alive(this);
    for (LinkProcedure *p : qAsConst(m_procedures)) {
        if (!alive)
            return;
        p->linkEnded(why);
    }
}
