// SimulatedScanner: the scan stream of a recording. Its frames go out as they were
// recorded, each when its recorded time has come on the replay's clock, which runs only
// while the scanner streams. A pause (a restart, the zone memory served) or a reader that
// falls behind holds the replay where it is, so the frames stay in their order and no
// scan is torn.

#include "simulatedscanner.h"

#include <QMutexLocker>

#include <algorithm>

namespace {

// After a stall the replay catches up by at most one scan at 25 scans a second.
constexpr double kMaxCatchUpSeconds = 0.04;

} // namespace

void SimulatedScanner::replayScans(double dt, const SimOptions &o)
{
    const SimRecording &rec = o.replay;
    const double period = rec.periodUs / 1e6;
    // Past the last frame: over, or the next lap.
    const auto wrap = [&]() {
        if (m_replayIndex < rec.scanCount() || !o.replayLoop)
            return m_replayIndex < rec.scanCount();
        m_replayIndex = 0;
        m_replayLap += period;
        return true;
    };
    if (!wrap())
        return;
    const auto due = [&]() { return m_replayLap + rec.timesUs.at(m_replayIndex) / 1e6; };
    m_replayClock = std::min(m_replayClock + dt, due() + kMaxCatchUpSeconds);
    while (m_replayClock >= due()) {
        if (readerIsBehind())
            return;
        queueFrame(rec.scanFrame(m_replayIndex), spoilScanFrame(o), o);
        {
            QMutexLocker lock(&m_mutex);
            ++m_scanFrames;
        }
        ++m_replayIndex;
        if (!wrap())
            return;
    }
}
