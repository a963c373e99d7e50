#include "recordingindex.h"

#include "framecodec.h"

#include <algorithm>

namespace {

constexpr int kSectorOffset = 6;
constexpr qint64 kSecondUs = 1000000;

} // namespace

RecordingIndex::RecordingIndex(const RecordingFile &file)
{
    const int n = file.frameCount();
    m_frameTimes.reserve(n);
    m_scanFramesAfter.reserve(n);
    m_damagedAfter.reserve(n);
    m_nonZeroAfter.reserve(n);
    m_errorAfter.reserve(n);
    m_scanFrames.reserve(file.scanFrames);
    m_scanTimes.reserve(file.scanFrames);

    LinkDiagnostics diagnostics;
    int lowestSector = 256;
    int firstLowest = -1;
    for (int i = 0; i < n; ++i) {
        const RecordedFrame &f = file.frames.at(i);
        const char *bytes = file.frameData(i);
        m_frameTimes.append(f.timeUs);
        const int errorBefore = diagnostics.counts().lastError;
        const qint64 nonZeroBefore = diagnostics.counts().nonZeroErrors;
        const int changesBefore = diagnostics.changes().size();
        diagnostics.addFrame(bytes, f.length, file.startUs + f.timeUs);
        const DiagnosticsFigures &c = diagnostics.counts();
        m_scanFramesAfter.append(qint32(c.scanFrames));
        m_damagedAfter.append(qint32(c.damagedFrames));
        m_nonZeroAfter.append(qint32(c.nonZeroErrors));
        m_errorAfter.append(qint16(c.lastError));
        for (int k = changesBefore; k < diagnostics.changes().size(); ++k) {
            const SignalChange &change = diagnostics.changes().at(k);
            m_changes.append(change);
            m_changeFrames.append(i);
            if (change.from >= 0)
                m_marks.append({change.signal == SignalChange::Outputs ? RecordingMark::Outputs
                                                                       : RecordingMark::Inputs,
                                i, f.timeUs, change.from, change.to});
        }
        // A run of non-zero error bytes is marked where it starts and where its value
        // changes, not at each of its frames.
        if (c.nonZeroErrors > nonZeroBefore && c.lastError != errorBefore)
            m_marks.append(
                {RecordingMark::Error, i, f.timeUs, std::max(errorBefore, 0), c.lastError});
        if (!f.scan)
            continue;
        // Scans start at the first sound frame of the lowest sector, as a whole replay does.
        if (frameChecksumMatches(bytes, f.length)) {
            const int sector = quint8(bytes[kSectorOffset]);
            if (sector < lowestSector) {
                lowestSector = sector;
                firstLowest = m_scanFrames.size();
            }
        }
        m_scanFrames.append(i);
        m_scanTimes.append(f.timeUs);
    }
    m_firstScanFrame = std::max(firstLowest, 0);
    m_scanCount = (m_scanFrames.size() - m_firstScanFrame) / 6;
}

qint64 RecordingIndex::scanTimeUs(int scan) const
{
    return m_frameTimes.at(scanLastFrame(scan));
}

int RecordingIndex::scanEndingBy(int frame) const
{
    // Scans are in frame order: the first whose last frame lies beyond, less one.
    int lo = 0, hi = m_scanCount;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (scanLastFrame(mid) <= frame)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo - 1;
}

int RecordingIndex::scanAt(qint64 timeUs) const
{
    int lo = 0, hi = m_scanCount;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (scanTimeUs(mid) <= timeUs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return std::max(lo - 1, 0);
}

DiagnosticsFigures RecordingIndex::figuresAfter(int frame) const
{
    DiagnosticsFigures f;
    frame = std::min(frame, int(m_frameTimes.size()) - 1);
    if (frame < 0)
        return f;
    f.scanFrames = m_scanFramesAfter.at(frame);
    f.damagedFrames = m_damagedAfter.at(frame);
    f.nonZeroErrors = m_nonZeroAfter.at(frame);
    f.lastError = m_errorAfter.at(frame);
    // The scan frames handed out so far whose time lies in the second before this frame.
    const qint64 now = m_frameTimes.at(frame);
    const auto end = m_scanTimes.constBegin() + f.scanFrames;
    const auto from = std::upper_bound(m_scanTimes.constBegin(), end, now - kSecondUs);
    f.scansPerSecond = scanRate(end - from);
    return f;
}

QVector<SignalChange> RecordingIndex::changesAfter(int frame) const
{
    const int count =
        int(std::upper_bound(m_changeFrames.constBegin(), m_changeFrames.constEnd(), frame) -
            m_changeFrames.constBegin());
    return m_changes.mid(0, count);
}
