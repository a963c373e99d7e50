// SimulatedScanner: answers that leave late. A delayed answer, and every answer due after
// it, waits in a queue in the order they were due; none overtakes one in front of it, as
// none would from a scanner still busy with the first request.

#include "simulatedscanner.h"

#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <cmath>

int SimulatedScanner::takeAnswerDelay(quint16 type)
{
    QMutexLocker lock(&m_mutex);
    int ms = 0;
    for (SimOptions::AnswerDelay &d : m_options.answerDelays) {
        if (d.type == type && d.after > 0 && --d.after == 0)
            ms = std::max(ms, d.ms);
    }
    return ms;
}

bool SimulatedScanner::holdAnswer(const QByteArray &frame, bool spoil, quint16 type, quint16 status,
                                  int delayMs)
{
    if (delayMs <= 0 && m_heldAnswers.isEmpty())
        return false;
    double due = m_clock.nsecsElapsed() / 1e9 + delayMs / 1000.0;
    if (!m_heldAnswers.isEmpty())
        due = std::max(due, m_heldAnswers.constLast().due);
    m_heldAnswers.append({frame, spoil, type, status, due});
    scheduleHeldAnswers();
    return true;
}

void SimulatedScanner::releaseHeldAnswers()
{
    const double now = m_clock.nsecsElapsed() / 1e9;
    const SimOptions o = options();
    bool queued = false;
    // A hair of slack: the timer's millisecond cannot hit a due time exactly.
    while (!m_heldAnswers.isEmpty() && m_heldAnswers.constFirst().due <= now + 1e-4) {
        const HeldAnswer a = m_heldAnswers.takeFirst();
        queueFrame(a.frame, a.spoil, o, a.type, a.status);
        queued = true;
    }
    if (queued)
        flushOutput(false);
    scheduleHeldAnswers();
}

void SimulatedScanner::scheduleHeldAnswers()
{
    if (m_heldAnswers.isEmpty())
        return;
    if (!m_heldTimer) {
        m_heldTimer = new QTimer(this);
        m_heldTimer->setSingleShot(true);
        m_heldTimer->setTimerType(Qt::PreciseTimer);
        connect(m_heldTimer, &QTimer::timeout, this, &SimulatedScanner::releaseHeldAnswers);
    }
    const double wait = m_heldAnswers.constFirst().due - m_clock.nsecsElapsed() / 1e9;
    m_heldTimer->start(std::max(0, int(std::ceil(wait * 1000))));
}

void SimulatedScanner::dropHeldAnswers()
{
    m_heldAnswers.clear();
    delete m_heldTimer;
    m_heldTimer = nullptr;
}
