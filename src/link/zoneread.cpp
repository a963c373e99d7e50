#include "zoneread.h"

#include "linklog.h"
#include "scannersession.h"

#include <QPointer>
#include <QTimer>

ZoneRead::ZoneRead(ScannerSession *session) : QObject(session), m_session(session)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ZoneRead::askAgain);
    m_clock.start();
}

void ZoneRead::start()
{
    if (m_running || !m_session->hasLink())
        return;
    // Answers owed by an earlier read that have not come in a time-out are not coming.
    m_owed.forgetAfter(m_timeoutMs);
    m_running = true;
    m_channel = 0;
    m_attempt = 0;
    emit started();
    if (m_running)
        ask();
}

void ZoneRead::readChannel(int channel)
{
    if (!m_session->hasLink())
        return;
    m_owed.sent();
    m_singles.insert(channel, -1);
    m_singleRequests.insert(m_session->sendZoneReadFor(this, channel), channel);
}

void ZoneRead::ask()
{
    ++m_attempt;
    m_owed.sent();
    // The time-out runs once the request has left the port; until then it runs from now,
    // so that a request the port never hands on cannot hold the read for ever.
    m_timer->start(m_timeoutMs);
    m_asked = m_session->sendZoneReadFor(this, m_channel);
}

void ZoneRead::requestLeft(int sent)
{
    if (m_running && sent == m_asked) {
        m_timer->start(m_timeoutMs);
        return;
    }
    const auto single = m_singleRequests.find(sent);
    if (single == m_singleRequests.end())
        return;
    const auto awaited = m_singles.find(single.value());
    if (awaited != m_singles.end() && awaited.value() < 0)
        awaited.value() = m_clock.elapsed() + m_timeoutMs;
    m_singleRequests.erase(single);
}

bool ZoneRead::takeSingle(int channel)
{
    const auto awaited = m_singles.find(channel);
    if (awaited == m_singles.end())
        return false;
    const bool inTime = awaited.value() < 0 || m_clock.elapsed() <= awaited.value();
    m_singles.erase(awaited);
    return inTime;
}

bool ZoneRead::takeZoneBlock(int channel, const ZoneChannelRecord &areas)
{
    const bool step = m_running && channel == m_channel;
    if (!step && !takeSingle(channel)) {
        // Not awaited: the late answer to a request asked again, or to a read that has
        // ended. It answers one of ours if any is owed; it changes nothing either way.
        if (m_owed.answer() == 0)
            return false;
        qCDebug(lcZones) << "zone block of channel" << channel << "that no read awaits: dropped";
        return true;
    }
    m_owed.answer();
    bool last = false;
    if (step) {
        m_timer->stop();
        if (channel + 1 < kZoneChannelCount) {
            ++m_channel;
            m_attempt = 0;
            ask();
        } else {
            last = true;
            m_session->sendFor(this, REQUEST_READ_AREAS_DONE);
        }
    }
    const QPointer<ZoneRead> alive(this);
    emit channelReceived(channel, areas);
    if (alive)
        emit progress(channel);
    if (!alive || !last || !m_running)
        return true;
    m_running = false;
    m_session->later([this]() { emit finished(); });
    return true;
}

bool ZoneRead::takeDamaged(RequestType type)
{
    if (type != REQUEST_READ_AREA)
        return false;
    const int owed = m_owed.answer();
    if (owed == 0)
        return false;
    // With only the step's request owed, this is its answer, spoilt: no other is on its
    // way, so it is asked for now. With more owed it may be the late answer to an earlier
    // request, which must not use up an attempt of this one: the time-out decides.
    if (!m_running || owed > 1) {
        qCDebug(lcZones) << "damaged zone block that may answer an earlier request: waiting";
        return true;
    }
    m_timer->stop();
    if (m_attempt < kStepAttempts)
        ask();
    else
        fail(SessionFailure::NoAnswer, false);
    return true;
}

void ZoneRead::askAgain()
{
    if (!m_running)
        return;
    if (m_attempt < kStepAttempts) {
        qCDebug(lcZones) << "zone channel" << m_channel << "not answered within" << m_timeoutMs
                         << "ms: asked again";
        ask();
    } else {
        fail(SessionFailure::NoAnswer, true);
    }
}

void ZoneRead::stop(SessionFailure::Kind why)
{
    if (m_running)
        fail(why, true);
}

void ZoneRead::linkEnded(SessionFailure::Kind why)
{
    // Nothing owed on the old link will come on the next.
    m_owed.clear();
    m_singles.clear();
    m_singleRequests.clear();
    stop(why);
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
