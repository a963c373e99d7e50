#include "scannersession.h"

#include "firmwareupdate.h"
#include "linklog.h"
#include "requesttable.h"
#include "scannerlink.h"
#include "seriallink.h"
#include "tcplink.h"
#include "workerthread.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QIODevice>
#include <QMetaMethod>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>

ScannerSession::ScannerSession(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<RequestType>("RequestType");
    qRegisterMetaType<SessionFailure>("SessionFailure");
    // Departures are told from the event loop, never from inside the send that caused
    // them (the link may report its bytes written while the write is still on the stack).
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
    // The link first, then the worker; the procedures are children and go last.
    if (m_link)
        m_link->close();
    delete m_worker;
    m_worker = nullptr;
    delete m_link;
    m_link = nullptr;
}

bool ScannerSession::isOpen() const
{
    return m_link && m_link->isOpen();
}

QString ScannerSession::errorString() const
{
    if (!m_openError.isEmpty())
        return m_openError;
    return m_link ? m_link->errorString() : QString();
}

ScannerSession::ReceiveCounts ScannerSession::receiveCounts() const
{
    ReceiveCounts c = m_releasedCounts;
    if (m_worker) {
        c.skippedBytes += m_worker->skippedBytes();
        c.badScanHeaders += m_worker->badScanHeaders();
    }
    return c;
}

// The link for a name: the current one when it has that name and kind, else a new one. A
// worker bound to a link that is replaced is released with it.
ScannerLink *ScannerSession::linkFor(const QString &portName, int baud)
{
    m_portName = portName;
    m_baud = baud;
    const bool tcp = isTcpLinkName(portName);
    if (m_link && m_link->name() == portName &&
        m_link->kind() == (tcp ? ScannerLink::Kind::Tcp : ScannerLink::Kind::SerialPort)) {
        if (auto *serial = qobject_cast<SerialLink *>(m_link))
            serial->configure(portName, baud);
        return m_link;
    }
    if (tcp) {
        adopt(new TcpLink(portName));
    } else {
        auto *serial = new SerialLink;
        serial->configure(portName, baud);
        connect(serial, &SerialLink::errorOccurred, this, &ScannerSession::errorOccurred);
        adopt(serial);
    }
    return m_link;
}

void ScannerSession::adopt(ScannerLink *link)
{
    if (m_link) {
        m_link->close();
        releaseDepartures();
        releaseWorker();
        // It may be on the call stack (an error it raised); it goes from the event loop.
        m_link->disconnect(this);
        m_link->deleteLater();
    }
    m_link = link;
    m_link->setParent(this);
    connect(m_link, &ScannerLink::failed, this, &ScannerSession::onLinkFailed);
    connect(m_link, &ScannerLink::bytesWritten, this, &ScannerSession::onBytesWritten);
    connect(m_link, &ScannerLink::connected, this, [this]() {
        if (m_probing)
            writeProbe();
    });
    connect(m_link, &ScannerLink::restarted, this, [this]() {
        if (m_worker)
            m_worker->restartReceive();
    });
}

// Opens the current link for a new connection and starts the probe: at once when the link
// carries bytes, once it has connected otherwise.
bool ScannerSession::startLink()
{
    m_openError.clear();
    const ScannerLink::Opening opening = m_link->open();
    if (opening == ScannerLink::Opening::Failed) {
        m_openError = m_link->errorString();
        return false;
    }
    m_linkUp = true;
    m_lost = false;
    m_portError.clear();
    ++m_connection;
    m_probing = true;
    if (opening == ScannerLink::Opening::Open)
        writeProbe();
    return true;
}

bool ScannerSession::open(const QString &portName, int baud)
{
    linkFor(portName, baud);
    return startLink();
}

bool ScannerSession::openLink(ScannerLink *link)
{
    if (link != m_link)
        adopt(link);
    m_portName = link->name();
    return startLink();
}

void ScannerSession::writeProbe()
{
    // The probe is the one request written without the worker: none exists yet. Any
    // answer counts; its bytes stay in the link for the worker, which takes them in as
    // soon as it runs.
    QIODevice *device = m_link->device();
    device->write(requestFrame(REQUEST_CONNECT, QString()));
    m_link->flush();
    disconnect(m_probeWatch);
    m_probeWatch = connect(device, &QIODevice::readyRead, this, [this]() { finishProbe(true); });
    m_probeTimer->start(m_probeTimeoutMs);
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
    m_worker = new WorkerThread(m_link->device());
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
    // What answered the probe is taken in from the event loop rather than with the next
    // arrival, which a quiet scanner (or a paused recording) may not send for a while.
    const QPointer<WorkerThread> worker(m_worker);
    QTimer::singleShot(0, this, [this, worker]() {
        if (worker && worker == m_worker && isOpen() && m_link->device()->bytesAvailable() > 0)
            m_worker->readData();
    });
}

void ScannerSession::releaseWorker()
{
    if (!m_worker)
        return;
    m_releasedCounts.skippedBytes += m_worker->skippedBytes();
    m_releasedCounts.badScanHeaders += m_worker->badScanHeaders();
    // The worker may be on the call stack (a port error raised inside its readData), so it
    // goes once control is back in the event loop; until then it hears nothing more.
    m_worker->disconnect();
    m_frameTap = {};
    if (m_link)
        disconnect(m_link->device(), nullptr, m_worker, nullptr);
    m_worker->deleteLater();
    m_worker = nullptr;
}

void ScannerSession::close()
{
    ++m_connection;
    m_probing = false;
    m_probeTimer->stop();
    disconnect(m_probeWatch);
    m_linkUp = false;
    if (m_link)
        m_link->close();
    releaseDepartures();
    releaseWorker();
    stopProcedures(SessionFailure::Closed);
}

void ScannerSession::hangUp()
{
    m_linkUp = false;
    if (m_link)
        m_link->close();
    releaseDepartures();
}

bool ScannerSession::reopen(const QString &portName, int baud)
{
    if (m_link && m_link->isOpen())
        m_link->close();
    releaseDepartures();
    const bool hadWorker = m_worker != nullptr;
    linkFor(portName, baud);
    return reopenLink(hadWorker);
}

bool ScannerSession::reopen()
{
    if (!m_link)
        return false;
    if (m_link->isOpen())
        m_link->close();
    releaseDepartures();
    return reopenLink(m_worker != nullptr);
}

// Opens the current link again without a probe; the worker stays (a link under another
// name has a new device, so a worker is made again for it).
bool ScannerSession::reopenLink(bool hadWorker)
{
    m_openError.clear();
    if (m_link->open() == ScannerLink::Opening::Failed) {
        m_openError = m_link->errorString();
        m_linkUp = false;
        return false;
    }
    m_linkUp = true;
    m_lost = false;
    m_portError.clear();
    if (hadWorker && !m_worker)
        makeWorker();
    return true;
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
    return m_worker && isOpen();
}

// Out at once rather than when the event loop next gets round to the link: the scanner
// waits for each request of a transfer, and the receivers of the session's signals (a
// store write, a repaint) run before the loop does.
int ScannerSession::sendFor(LinkProcedure *from, RequestType type, const QString &value)
{
    if (m_worker) {
        m_worker->onRequestType(type, value);
        m_link->flush();
    }
    return departure(from);
}

int ScannerSession::sendZoneReadFor(LinkProcedure *from, int channel)
{
    if (m_worker) {
        m_worker->onReadArea(channel);
        m_link->flush();
    }
    return departure(from);
}

int ScannerSession::sendZoneBlockFor(LinkProcedure *from, int channel, const QByteArray &block)
{
    if (m_worker) {
        m_worker->writeZoneBlock(channel, block);
        m_link->flush();
    }
    return departure(from);
}

int ScannerSession::sendFirmwareChunkFor(LinkProcedure *from, int index)
{
    if (m_worker) {
        m_worker->writeFirmwareChunk(index);
        m_link->flush();
    }
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

// The link takes a request into its buffer and reports the bytes as it hands them to the
// system; a step's time-out runs from the last of them, so that a long block waiting
// behind others does not eat its own time.
int ScannerSession::departure(LinkProcedure *from)
{
    const int number = ++m_requestNumber;
    const qint64 mark = m_bytesLeft + (isOpen() ? m_link->bytesToWrite() : 0);
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
        const auto current = [&]() { return m_connection == connection && isOpen(); };
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

void ScannerSession::onLinkFailed(const QString &reason)
{
    // Qt may report a failed port again and again in a busy loop: it is handled once, from
    // the event loop.
    if (!m_linkUp || m_lost)
        return;
    m_lost = true;
    m_portError = reason;
    const int connection = m_connection;
    later([this, connection]() { handleLostPort(connection); });
}

void ScannerSession::handleLostPort(int connection)
{
    if (connection != m_connection || !m_lost)
        return; // closed, or opened again, meanwhile
    m_linkUp = false;
    m_probing = false;
    m_probeTimer->stop();
    disconnect(m_probeWatch);
    m_link->close();
    releaseDepartures();
    // A scanner restarting into its bootloader may drop off the line on purpose: the
    // reconnect loop owns the link then and opens it again.
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
