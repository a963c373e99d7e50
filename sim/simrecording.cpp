#include "simrecording.h"

#include "framecodec.h"

#include <algorithm>

namespace {

constexpr int kSectorOffset = 6;

// The part of the scan frames to send: whole scans only, from the first frame with the
// lowest sector number to the last with the highest, so that a replay (and each lap of a
// loop) starts where a scan starts. Frames with a bad checksum do not tell.
void wholeScans(const QByteArray &frames, int count, int *first, int *last)
{
    int low = 256, high = -1;
    for (int i = 0; i < count; ++i) {
        const char *f = frames.constData() + qint64(i) * kScanFrameSize;
        if (!frameChecksumMatches(f, kScanFrameSize))
            continue;
        low = std::min(low, int(quint8(f[kSectorOffset])));
        high = std::max(high, int(quint8(f[kSectorOffset])));
    }
    *first = 0;
    *last = count - 1;
    if (high < 0)
        return;
    int a = -1, b = -1;
    for (int i = 0; i < count; ++i) {
        const char *f = frames.constData() + qint64(i) * kScanFrameSize;
        if (!frameChecksumMatches(f, kScanFrameSize))
            continue;
        const int sector = quint8(f[kSectorOffset]);
        if (sector == low && a < 0)
            a = i;
        if (sector == high)
            b = i;
    }
    if (a >= 0 && b >= a) {
        *first = a;
        *last = b;
    }
}

} // namespace

QByteArray SimRecording::scanFrame(int index) const
{
    return scanFrames.mid(index * kScanFrameSize, kScanFrameSize);
}

SimRecording simRecordingOf(const RecordingFile &file)
{
    SimRecording rec;
    rec.packets = file.frameCount();
    rec.replies = file.replies;
    QByteArray frames;
    frames.reserve(file.scanFrames * kScanFrameSize);
    QVector<qint64> times;
    times.reserve(file.scanFrames);
    for (int i = 0; i < file.frameCount(); ++i) {
        if (!file.frames.at(i).scan)
            continue;
        frames.append(file.frameData(i), kScanFrameSize);
        times.append(file.frames.at(i).timeUs);
    }
    if (times.isEmpty())
        return rec;
    int first = 0, last = 0;
    wholeScans(frames, times.size(), &first, &last);
    const int count = last - first + 1;
    rec.scanFrames = frames.mid(first * kScanFrameSize, count * kScanFrameSize);
    for (int i = first; i <= last; ++i)
        rec.timesUs.append(times.at(i) - times.at(first));
    // A lap ends one average frame gap after the last frame (a scan at 25 scans a second
    // is six frames in 40 ms when there is no gap to go by).
    const qint64 span = rec.timesUs.constLast();
    rec.periodUs = count > 1 ? span + span / (count - 1) : 40000 / 6;
    rec.periodUs = std::max<qint64>(rec.periodUs, 1);
    return rec;
}

bool readSimRecording(const QByteArray &file, SimRecording *out, QString *error)
{
    RecordingFile rec;
    if (!readRecording(file, &rec, error))
        return false;
    *out = simRecordingOf(rec);
    return true;
}

bool loadSimRecording(const QString &path, SimRecording *out, QString *error)
{
    RecordingFile rec;
    if (!loadRecording(path, &rec, error))
        return false;
    *out = simRecordingOf(rec);
    return true;
}
