#include "zonewrite.h"

#include "linklog.h"
#include "scannersession.h"
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

bool ZoneWrite::start(const QVector<QByteArray> &blocks)
{
    if (m_state != Idle || !m_session->hasLink() || blocks.size() != kZoneChannelCount)
        return false;
    // Answers an earlier write still owes after a whole time-out are not coming; the
    // ones that may still come keep this write from trusting an acknowledgement.
    m_blockAnswers.forgetAfter(m_timeoutMs);
    m_readAnswers.forgetAfter(m_timeoutMs);
    if (m_readAnswers.owed() == 0)
        m_readBackChannels.clear();
    m_blocks = blocks;
    m_state = AwaitingBegin;
    m_channel = 0;
    m_attempt = 0;
    m_resent = false;
    m_doubtfulRefusal = 0;
    m_timer->start(m_timeoutMs);
    m_awaited = m_session->sendFor(this, REQUEST_BEGIN_AREA_WRITE);
    return true;
}

void ZoneWrite::sendBlock()
{
    ++m_attempt;
    m_blockAnswers.sent();
    // Runs again from the moment the block has left the port; from now until then, so
    // that a block the port never hands on cannot hold the write for ever.
    m_timer->start(m_timeoutMs);
    m_awaited = m_session->sendZoneBlockFor(this, m_channel, m_blocks.at(m_channel));
}

void ZoneWrite::requestLeft(int sent)
{
    if (sent == m_awaited && m_timer->isActive())
        m_timer->start(m_timeoutMs);
}

bool ZoneWrite::takeAcknowledgement(RequestType type, int status)
{
    if (type == REQUEST_BEGIN_AREA_WRITE) {
        if (m_state != AwaitingBegin)
            return false;
        m_timer->stop();
        if (status != 0) {
            fail(SessionFailure::Refused, type, status, false);
        } else {
            m_state = Pausing;
            m_pause->start(m_pauseMs);
        }
        return true;
    }
    if (type != REQUEST_WRITE_AREA)
        return false;
    const int owed = m_blockAnswers.answer();
    if (owed == 0)
        return false;
    if (m_state == AwaitingBlock)
        blockAnswered(status, owed);
    else
        qCDebug(lcZones) << "block answer (status" << status << ") for an earlier request: dropped";
    return true;
}

void ZoneWrite::blockAnswered(int status, int owedBefore)
{
    m_timer->stop();
    if (owedBefore == 1 && !m_resent) {
        if (status != 0)
            fail(SessionFailure::Refused, REQUEST_WRITE_AREA, status, false);
        else
            stored();
        return;
    }
    // The block went twice, or an earlier answer is still owed: this answer may be
    // another request's. What the scanner holds decides.
    qCDebug(lcZones) << "answer to channel" << m_channel << "cannot be placed: read back";
    if (status != 0)
        m_doubtfulRefusal = status;
    m_state = ReadingBack;
    m_readAttempt = 0;
    askReadBack();
}

void ZoneWrite::askReadBack()
{
    ++m_readAttempt;
    m_readAnswers.sent();
    m_readBackChannels.insert(m_channel);
    m_timer->start(m_timeoutMs);
    m_awaited = m_session->sendZoneReadFor(this, m_channel);
}

bool ZoneWrite::takeZoneBlock(int channel, const ZoneChannelRecord &areas)
{
    if (m_state == ReadingBack && channel == m_channel) {
        readBackAnswer();
        readBackAnswered(channel, areas);
        return true;
    }
    // A read-back answered late: it answers one of ours and changes nothing. A block of
    // another channel is a read's.
    if (!m_readBackChannels.contains(channel))
        return false;
    readBackAnswer();
    return true;
}

void ZoneWrite::readBackAnswer()
{
    m_readAnswers.answer();
    if (m_readAnswers.owed() == 0)
        m_readBackChannels.clear();
}

void ZoneWrite::readBackAnswered(int channel, const ZoneChannelRecord &areas)
{
    m_timer->stop();
    const QByteArray &block = m_blocks.at(channel);
    if (decodeZoneBlock(block.constData(), block.size()).areas == areas) {
        stored();
        return;
    }
    if (m_doubtfulRefusal != 0) {
        fail(SessionFailure::Refused, REQUEST_WRITE_AREA, m_doubtfulRefusal, false);
        return;
    }
    // The scanner does not hold the block: it goes again, as after a lost answer.
    qCDebug(lcZones) << "channel" << channel << "read back differs from the block sent";
    m_state = AwaitingBlock;
    if (m_attempt < kStepAttempts)
        sendBlock();
    else
        fail(SessionFailure::Unconfirmed, REQUEST_WRITE_AREA, 0, false);
}

void ZoneWrite::stored()
{
    m_timer->stop();
    const int channel = m_channel;
    const bool last = channel + 1 >= kZoneChannelCount;
    m_resent = false;
    m_doubtfulRefusal = 0;
    if (!last) {
        ++m_channel;
        m_attempt = 0;
        m_state = AwaitingBlock;
        sendBlock();
    } else {
        m_state = Idle;
        m_channel = 0;
        m_blocks.clear();
        qCDebug(lcZones) << "full zone write finished";
    }
    const QPointer<ZoneWrite> alive(this);
    emit progress(channel);
    if (alive && last)
        m_session->later([this]() { emit finished(); });
}

bool ZoneWrite::takeDamaged(RequestType type)
{
    OwedAnswers *answers = type == REQUEST_WRITE_AREA  ? &m_blockAnswers
                           : type == REQUEST_READ_AREA ? &m_readAnswers
                                                       : nullptr;
    if (!answers)
        return false;
    const int owed = answers->answer();
    if (owed == 0)
        return false;
    if (answers->owed() == 0 && type == REQUEST_READ_AREA)
        m_readBackChannels.clear();
    const bool awaited =
        type == REQUEST_WRITE_AREA ? m_state == AwaitingBlock && !m_resent : m_state == ReadingBack;
    // With more than one answer owed it may be the late answer to an earlier request,
    // which must not use up an attempt of this one: the time-out decides.
    if (!awaited || owed > 1)
        return true;
    // The step's own answer, spoilt: no other is on its way, so the request goes again
    // now. A block carries its channel, so the scanner takes it twice alike.
    m_timer->stop();
    if (type == REQUEST_WRITE_AREA) {
        if (m_attempt < kStepAttempts)
            sendBlock();
        else
            fail(SessionFailure::NoAnswer, REQUEST_WRITE_AREA, 0, false);
    } else if (m_readAttempt < kStepAttempts) {
        askReadBack();
    } else {
        fail(SessionFailure::NoAnswer, REQUEST_READ_AREA, 0, false);
    }
    return true;
}

void ZoneWrite::onTimeout()
{
    switch (m_state) {
    case AwaitingBegin:
        fail(SessionFailure::NoAnswer, REQUEST_BEGIN_AREA_WRITE, 0, true);
        break;
    case AwaitingBlock:
        if (m_attempt < kStepAttempts) {
            qCDebug(lcZones) << "channel" << m_channel << "not acknowledged within" << m_timeoutMs
                             << "ms: sent again";
            // Its first answer may still come: from here on an answer cannot be placed.
            m_resent = true;
            sendBlock();
        } else {
            fail(SessionFailure::NoAnswer, REQUEST_WRITE_AREA, 0, true);
        }
        break;
    case ReadingBack:
        if (m_readAttempt < kStepAttempts)
            askReadBack();
        else
            fail(SessionFailure::NoAnswer, REQUEST_READ_AREA, 0, true);
        break;
    case Idle:
    case Pausing:
        break;
    }
}

void ZoneWrite::stop(SessionFailure::Kind why)
{
    if (m_state == Idle)
        return;
    const RequestType step = m_state == AwaitingBlock ? REQUEST_WRITE_AREA
                             : m_state == ReadingBack ? REQUEST_READ_AREA
                                                      : REQUEST_BEGIN_AREA_WRITE;
    fail(why, step, 0, true);
}

void ZoneWrite::linkEnded(SessionFailure::Kind why)
{
    // Nothing owed on the old link will come on the next.
    m_blockAnswers.clear();
    m_readAnswers.clear();
    m_readBackChannels.clear();
    stop(why);
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
    m_blocks.clear();
    m_resent = false;
    m_doubtfulRefusal = 0;
    if (now)
        emit failed(failure);
    else
        m_session->later([this, failure]() { emit failed(failure); });
}
