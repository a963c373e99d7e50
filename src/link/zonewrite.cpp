#include "zonewrite.h"

#include "scannersession.h"
#include "workerthread.h"
#include "zoneblock.h"

#include <QPointer>
#include <QTimer>

ZoneWrite::ZoneWrite(ScannerSession *session) : QObject(session), m_session(session)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ZoneWrite::onTimeout);
    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    // A coarse timer may fire up to 5 % late: 15 ms of a 300 ms pause.
    m_pause->setTimerType(Qt::PreciseTimer);
    connect(m_pause, &QTimer::timeout, this, [this]() {
        m_state = AwaitingBlock;
        sendBlock();
    });
}

void ZoneWrite::attach(WorkerThread *worker)
{
    connect(worker, &WorkerThread::sendZoneWriteBegun, this, &ZoneWrite::onBegun);
    connect(worker, &WorkerThread::sendWriteCurArea, this, &ZoneWrite::onAcknowledged);
    connect(worker, &WorkerThread::sendTransferRefused, this, &ZoneWrite::onRefused);
    connect(worker, &WorkerThread::sendReplyDamaged, this, &ZoneWrite::onDamaged);
}

bool ZoneWrite::start(const QVector<QByteArray> &blocks)
{
    WorkerThread *worker = m_session->worker();
    if (m_state != Idle || !worker || !m_session->isOpen() || blocks.size() != kZoneChannelCount)
        return false;
    worker->setZoneWriteBlocks(blocks);
    m_state = AwaitingBegin;
    m_channel = 0;
    m_attempt = 0;
    worker->onRequestType(REQUEST_BEGIN_AREA_WRITE, QString());
    m_timer->start(m_timeoutMs);
    return true;
}

void ZoneWrite::onBegun()
{
    if (m_state != AwaitingBegin)
        return;
    m_timer->stop();
    m_state = Pausing;
    m_pause->start(m_pauseMs);
}

void ZoneWrite::sendBlock()
{
    ++m_attempt;
    m_session->worker()->writeZoneBlock(m_channel);
    m_timer->start(m_timeoutMs);
}

void ZoneWrite::onAcknowledged(int channel)
{
    if (m_state != AwaitingBlock || channel != m_channel)
        return;
    m_timer->stop();
    const bool last = channel + 1 >= kZoneChannelCount;
    if (!last) {
        ++m_channel;
        m_attempt = 0;
        sendBlock();
    } else {
        m_state = Idle;
        m_channel = 0;
    }
    const QPointer<ZoneWrite> alive(this);
    emit progress(channel);
    if (alive && last)
        m_session->later([this]() { emit finished(); });
}

void ZoneWrite::onRefused(RequestType type, int status)
{
    if (m_state == AwaitingBegin && type == REQUEST_BEGIN_AREA_WRITE)
        fail(SessionFailure::Refused, type, status, false);
    else if (m_state == AwaitingBlock && type == REQUEST_WRITE_AREA)
        fail(SessionFailure::Refused, type, status, false);
}

void ZoneWrite::onDamaged(RequestType type)
{
    // The acknowledgement came, spoilt: the block goes again now rather than after the
    // time-out. A block carries its channel number, so the scanner takes it twice alike.
    if (m_state != AwaitingBlock || type != REQUEST_WRITE_AREA)
        return;
    m_timer->stop();
    if (m_attempt < kStepAttempts)
        sendBlock();
    else
        fail(SessionFailure::NoAnswer, REQUEST_WRITE_AREA, 0, false);
}

void ZoneWrite::onTimeout()
{
    if (m_state == AwaitingBegin)
        fail(SessionFailure::NoAnswer, REQUEST_BEGIN_AREA_WRITE, 0, true);
    else if (m_state == AwaitingBlock && m_attempt < kStepAttempts)
        sendBlock();
    else if (m_state == AwaitingBlock)
        fail(SessionFailure::NoAnswer, REQUEST_WRITE_AREA, 0, true);
}

void ZoneWrite::stop(SessionFailure::Kind why)
{
    if (m_state != Idle)
        fail(why, m_state == AwaitingBlock ? REQUEST_WRITE_AREA : REQUEST_BEGIN_AREA_WRITE, 0,
             true);
}

void ZoneWrite::fail(SessionFailure::Kind kind, RequestType step, int status, bool now)
{
    m_timer->stop();
    m_pause->stop();
    m_state = Idle;
    SessionFailure failure;
    failure.kind = kind;
    failure.step = step;
    failure.index = m_channel;
    failure.status = status;
    failure.waitedMs = m_timeoutMs;
    m_channel = 0;
    // Acknowledgements that still come for this write belong to none.
    if (WorkerThread *worker = m_session->worker())
        worker->abortZoneWrite();
    if (now)
        emit failed(failure);
    else
        m_session->later([this, failure]() { emit failed(failure); });
}
