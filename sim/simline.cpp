// SimulatedScanner: the paced line in both directions. Bytes from the tool come down it
// at the wire rate before a request counts as received; replies and scans go up it the
// same way, and every frame's times are logged for the latency benchmark.

#include "simulatedscanner.h"

#include "framecodec.h"
#include "simframes.h"
#include "simwakeup.h"

#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace {

constexpr double kWireBytesPerSecond = 921600.0 / 10.0; // 8N1: ten bits per byte
// An idle wire builds up no more credit than this, so a frame that follows a quiet spell
// is not delivered faster than the line allows; while bytes wait, the credit of every
// moment counts, however late the thread gets round to using it.
constexpr double kMaxWireBurst = 256.0;
constexpr double kMaxWireCredit = 16 * 1024.0;
constexpr int kMaxSplitPiece = 256;
// A log of replies for timing; a long demo run must not grow it without bound.
constexpr int kMaxReplyLog = 200000;

} // namespace

void SimulatedScanner::onReadable()
{
    // The line was idle up to now if nothing was still on its way.
    const qint64 ns = m_clock.nsecsElapsed();
    accrueReceiveCredit(ns / 1e9);
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_arrivals.append({m_rawRead, ns});
            m_rawRead += n;
            m_wireIn.append(buf, int(n));
            QMutexLocker lock(&m_mutex);
            m_rawBytes += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: drained
    }
    takeArrivedBytes();
}

void SimulatedScanner::accrueReceiveCredit(double now)
{
    m_rxBudget += (now - m_rxLast) * kWireBytesPerSecond;
    m_rxLast = now;
    const double burst = options().strictPacing ? 0.0 : kMaxWireBurst;
    m_rxBudget = std::min(m_rxBudget, m_wireIn.isEmpty() ? burst : kMaxWireCredit);
}

// The pseudo-terminal hands over a whole request at once; a paced scanner only sees its
// bytes as fast as they would come down the line, so a 6.5 KB zone block takes its 71 ms
// to arrive before it is answered.
void SimulatedScanner::takeArrivedBytes()
{
    const double now = m_clock.nsecsElapsed() / 1e9;
    const bool paced = options().paced;
    int count = m_wireIn.size();
    if (paced) {
        accrueReceiveCredit(now);
        count = std::min(count, int(m_rxBudget));
        m_rxBudget -= count;
    }
    if (count > 0) {
        m_in.append(m_wireIn.constData(), count);
        m_wireIn.remove(0, count);
        m_lastRx = now;
    }
    if (!m_wireIn.isEmpty() && m_rxTimer) {
        const double wait = (m_wireIn.size() - m_rxBudget) / kWireBytesPerSecond;
        if (paced && options().strictPacing && m_rxWakeup)
            m_rxWakeup->startIn(wait);
        else
            m_rxTimer->start(std::max(1, int(std::ceil(wait * 1000))));
    }
    if (count <= 0)
        return;
    takeRequests();
}

void SimulatedScanner::takeRequests()
{
    simframes::Request r;
    for (;;) {
        const int before = m_in.size();
        const simframes::Take taken = simframes::takeRequest(m_in, &r);
        const int consumed = before - m_in.size();
        if (taken != simframes::Take::Frame) {
            m_inOffset += consumed;
            return;
        }
        // Bytes in front of the header were dropped with it: the frame is the tail.
        const qint64 start = m_inOffset + consumed - r.raw.size();
        m_inOffset += consumed;
        handleRequest(r, arrivalOf(start));
    }
}

// When the byte at offset (in the bytes read since plugging in) came out of the terminal.
qint64 SimulatedScanner::arrivalOf(qint64 offset)
{
    int i = 0;
    while (i + 1 < m_arrivals.size() && m_arrivals[i + 1].offset <= offset)
        ++i;
    const qint64 ns = m_arrivals.isEmpty() ? m_clock.nsecsElapsed() : m_arrivals[i].ns;
    if (i > 0)
        m_arrivals.remove(0, i);
    return ns;
}

void SimulatedScanner::queueFrame(QByteArray frame, bool spoil, const SimOptions &o, int replyType,
                                  quint16 status)
{
    if (spoil)
        simframes::spoilChecksum(frame);
    QByteArray noise;
    if (o.garbageShare > 0 && m_rng.generateDouble() < o.garbageShare) {
        noise.resize(1 + int(m_rng.bounded(8)));
        for (char &b : noise) {
            b = char(m_rng.bounded(256));
            if (uchar(b) == kHeaderLead)
                b = 0;
        }
    }
    const double now = m_clock.nsecsElapsed() / 1e9;
    QMutexLocker lock(&m_mutex);
    if (m_out.isEmpty())
        lineBecomesBusy(now, o);
    m_out.append(noise);
    m_out.append(frame);
    m_txQueued += noise.size() + frame.size();
    int reply = -1;
    if (replyType >= 0 && m_replies.size() < kMaxReplyLog) {
        SentReply sent;
        sent.type = quint16(replyType);
        sent.status = status;
        sent.size = frame.size();
        sent.queuedNs = qint64(now * 1e9);
        sent.damaged = spoil;
        reply = m_replies.size();
        m_replies.append(sent);
    }
    m_frameEnds.append({m_txQueued, reply});
}

// Bytes are queued on a line that carried nothing: under strict pacing it has no credit
// from its idle time, so the frame takes its whole line time from now. Caller holds the
// lock.
void SimulatedScanner::lineBecomesBusy(double now, const SimOptions &o)
{
    if (!o.paced || !o.strictPacing)
        return;
    m_wireBudget = 0;
    m_txLast = now;
}

// Caller holds the lock.
void SimulatedScanner::noteWritten(qint64 bytes, double now)
{
    m_txWritten += bytes;
    int done = 0;
    while (done < m_frameEnds.size() && m_frameEnds[done].end <= m_txWritten) {
        const int reply = m_frameEnds[done].reply;
        if (reply >= 0 && reply < m_replies.size())
            m_replies[reply].lastByteNs = qint64(now * 1e9);
        ++done;
    }
    m_frameEnds.remove(0, done);
}

// Strict pacing hands a frame's last byte over when the line has carried it: wake up then
// rather than at the next tick. Caller holds the lock.
void SimulatedScanner::scheduleFrameEnd(const SimOptions &o)
{
    if (!o.paced || !o.strictPacing || !m_txWakeup || m_out.isEmpty() || m_frameEnds.isEmpty())
        return;
    const double need = double(m_frameEnds.first().end - m_txWritten) - m_wireBudget;
    if (need > 0)
        m_txWakeup->startIn(need / kWireBytesPerSecond);
}

void SimulatedScanner::flushOutput(bool tick)
{
    if (m_master < 0)
        return;
    const SimOptions o = options();
    // Between ticks a split wire waits for the tick; a paced one sends what the line has
    // room for at once, so an answer is not held back until the next tick.
    if (!tick && o.splitWrites)
        return;

    QMutexLocker lock(&m_mutex);
    const double now = m_clock.nsecsElapsed() / 1e9;
    m_wireBudget += (now - m_txLast) * kWireBytesPerSecond;
    m_txLast = now;
    const double burst = o.strictPacing ? 0.0 : kMaxWireBurst;
    m_wireBudget = std::min(m_wireBudget, m_out.isEmpty() ? burst : kMaxWireCredit);
    if (m_out.isEmpty())
        return;
    // A hair over the budget's floor: a wake-up exactly on a frame's line time must not
    // leave its last byte for the next tick because of rounding.
    int allowed = o.paced ? int(m_wireBudget + 1e-6) : int(m_out.size());
    if (o.splitWrites)
        allowed = std::min(allowed, 1 + int(m_rng.bounded(kMaxSplitPiece)));
    allowed = std::min(allowed, int(m_out.size()));
    if (allowed <= 0) {
        scheduleFrameEnd(o);
        return;
    }
    const ssize_t n = ::write(m_master, m_out.constData(), size_t(allowed));
    if (n <= 0)
        return; // EAGAIN: the terminal is full; the next tick tries again
    m_out.remove(0, int(n));
    m_lastWriteAt = now;
    noteWritten(n, now);
    if (o.paced)
        m_wireBudget -= double(n);
    if (m_out.isEmpty())
        m_wireBudget = std::min(m_wireBudget, burst);
    else
        scheduleFrameEnd(o);
}
