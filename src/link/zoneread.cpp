#include "zoneread.h"

#include "scannersession.h"
#include "workerthread.h"

#include <QPointer>
#include <QTimer>

ZoneRead::ZoneRead(ScannerSession *session) : QObject(session), m_session(session)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ZoneRead::askAgain);
}

void ZoneRead::attach(WorkerThread *worker)
{
    connect(worker, &WorkerThread::sendZoneChannel, this, &ZoneRead::onBlock);
    connect(worker, &WorkerThread::sendReplyDamaged, this, &ZoneRead::onDamaged);
}

void ZoneRead::start()
{
    if (m_running || !m_session->worker())
        return;
    m_running = true;
    m_channel = 0;
    m_attempt = 0;
    emit started();
    if (m_running)
        ask();
}

void ZoneRead::readChannel(int channel)
{
    if (WorkerThread *worker = m_session->worker())
        worker->onReadArea(channel);
}

void ZoneRead::ask()
{
    ++m_attempt;
    m_session->worker()->onReadArea(m_channel);
    m_timer->start(m_timeoutMs);
}

void ZoneRead::onBlock(int channel, const ZoneChannelRecord &areas)
{
    bool last = false;
    if (m_running && channel == m_channel) {
        m_timer->stop();
        if (channel + 1 < kZoneChannelCount) {
            ++m_channel;
            m_attempt = 0;
            ask();
        } else {
            last = true;
            m_session->send(REQUEST_READ_AREAS_DONE);
            m_session->port()->flush();
        }
    }
    // Any other block (a single read, an answer that came late, a channel the scanner was
    // not asked for) still holds that channel as the scanner has it, but does not move the
    // full read on.
    const QPointer<ZoneRead> alive(this);
    emit channelReceived(channel, areas);
    if (alive)
        emit progress(channel);
    if (!alive || !last || !m_running)
        return;
    m_running = false;
    m_session->later([this]() { emit finished(); });
}

void ZoneRead::onDamaged(RequestType type)
{
    // The awaited answer came, spoilt: no other is on its way, so it is asked for now.
    if (m_running && type == REQUEST_READ_AREA) {
        m_timer->stop();
        if (m_attempt < kStepAttempts)
            ask();
        else
            fail(SessionFailure::NoAnswer, false);
    }
}

void ZoneRead::askAgain()
{
    if (!m_running)
        return;
    if (m_attempt < kStepAttempts)
        ask();
    else
        fail(SessionFailure::NoAnswer, true);
}

void ZoneRead::stop(SessionFailure::Kind why)
{
    if (m_running)
        fail(why, true);
}

void ZoneRead::fail(SessionFailure::Kind kind, bool now)
{
    m_timer->stop();
    m_running = false;
    SessionFailure failure;
    failure.kind = kind;
    failure.step = REQUEST_READ_AREA;
    failure.index = m_channel;
    failure.waitedMs = m_timeoutMs;
    if (now)
        emit failed(failure);
    else
        m_session->later([this, failure]() { emit failed(failure); });
}
