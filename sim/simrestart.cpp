// SimulatedScanner: restarts, and the line dropping while the scanner reboots.

#include "simulatedscanner.h"

#include <QMutexLocker>
#include <QTimer>

#include <algorithm>

void SimulatedScanner::dropRestartTimers()
{
    delete m_replugTimer;
    m_replugTimer = nullptr;
    m_hangUpPending = false;
    delete m_cableTimer;
    m_cableTimer = nullptr;
    m_unplugPending = false;
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

// The cable fault: the line drops now and, if the options say so, a new terminal is
// plugged in later. Unlike a restart the scanner itself keeps running as it was.
void SimulatedScanner::pullCable()
{
    const int replugMs = options().replugMs;
    unplug();
    if (replugMs < 0)
        return;
    if (!m_cableTimer) {
        m_cableTimer = new QTimer(this);
        m_cableTimer->setSingleShot(true);
        connect(m_cableTimer, &QTimer::timeout, this, [this]() { replug(); });
    }
    m_cableTimer->start(replugMs);
}
