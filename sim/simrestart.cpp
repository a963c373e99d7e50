// SimulatedScanner: restarts, the bootloader's replies at the wire rate, and the line
// dropping while the scanner reboots.

#include "simulatedscanner.h"

#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kWireBytesPerSecond = 921600.0 / 10.0; // 8N1: ten bits per byte
} // namespace

void SimulatedScanner::dropRestartTimers()
{
    delete m_holdTimer;
    m_holdTimer = nullptr;
    delete m_replugTimer;
    m_replugTimer = nullptr;
    m_held.clear();
    m_hangUpPending = false;
}

// The bootloader answers a request only once all of its bytes could have crossed the
// 921600-baud wire, so a firmware transfer through the paced scanner takes at least its
// real time on the wire. Replies leave in the order their requests came.
void SimulatedScanner::holdReply(QByteArray frame, int requestBytes, bool spoil)
{
    const double now = m_clock.nsecsElapsed() / 1e9;
    m_rxWireFree = std::max(now, m_rxWireFree) + requestBytes / kWireBytesPerSecond;
    m_held.append({m_rxWireFree, std::move(frame), spoil});
    if (!m_holdTimer) {
        m_holdTimer = new QTimer(this);
        m_holdTimer->setSingleShot(true);
        m_holdTimer->setTimerType(Qt::PreciseTimer);
        connect(m_holdTimer, &QTimer::timeout, this, &SimulatedScanner::releaseHeldReplies);
    }
    if (!m_holdTimer->isActive())
        releaseHeldReplies();
}

void SimulatedScanner::releaseHeldReplies()
{
    const double now = m_clock.nsecsElapsed() / 1e9;
    bool released = false;
    while (!m_held.isEmpty() && m_held.first().due <= now) {
        HeldReply held = m_held.takeFirst();
        queueFrame(std::move(held.frame), held.spoil, options());
        released = true;
    }
    if (released)
        flushOutput(true);
    // Timers count whole milliseconds: wait out the whole ones, then look again at once
    // for the fraction, so that a reply is neither early nor a millisecond late.
    if (!m_held.isEmpty() && m_holdTimer)
        m_holdTimer->start(int(std::floor((m_held.first().due - now) * 1000)));
}

// The end of a restart: the scanner runs what it restarted into, and an application
// committed by the bootloader reports its own version from now on.
void SimulatedScanner::finishRestart()
{
    m_deafUntil = -1;
    QMutexLocker lock(&m_mutex);
    m_state.deviceMode = quint8(m_modeAfterRestart);
    if (m_modeAfterRestart == 0 && !m_state.nextFirmwareVersion.isEmpty()) {
        m_state.firmwareVersion = fixedWidthText(m_state.nextFirmwareVersion, 6);
        m_state.nextFirmwareVersion.clear();
    }
}

bool SimulatedScanner::outputDrained() const
{
    QMutexLocker lock(&m_mutex);
    return m_out.isEmpty();
}

// Drops off the line for the restart and comes back on a new terminal behind the link.
void SimulatedScanner::hangUp()
{
    const int ms = std::max(0, int((m_deafUntil - m_clock.nsecsElapsed() / 1e9) * 1000));
    unplug();
    if (!m_replugTimer) {
        m_replugTimer = new QTimer(this);
        m_replugTimer->setSingleShot(true);
        connect(m_replugTimer, &QTimer::timeout, this, [this]() {
            finishRestart();
            replug();
        });
    }
    m_replugTimer->start(ms);
}
