#include "scanframe.h"

#include "framecodec.h"

namespace {

constexpr int kSectorOffset = 6;
constexpr int kStateOffset = 14;
constexpr int kRangeOffset = 17;
constexpr int kIntensityOffset = kRangeOffset + 2 * kPointsPerScanFrame;

template <typename T> void makeRoom(QVector<T> *v)
{
    // A batch never exceeds six frames, so one allocation per batch is enough.
    if (v->capacity() < v->size() + kPointsPerScanFrame)
        v->reserve(qMax(v->size() + kPointsPerScanFrame, kPointsPerBatch));
}

} // namespace

bool decodeScanFrame(const char *frame, int length, ScanState *state, QVector<float> *angles,
                     QVector<ushort> *ranges, QVector<ushort> *intensities)
{
    if (length != kScanFrameSize || readLe16(frame + 2) != kScanFrameSize)
        return false;
    if (frameChecksum(frame, kScanFrameSize - 2) != readLe16(frame + kScanFrameSize - 2))
        return false;
    state->sector = uchar(frame[kSectorOffset]);
    state->erro = uchar(frame[kStateOffset]);
    state->output = uchar(frame[kStateOffset + 1]);
    state->input = uchar(frame[kStateOffset + 2]);

    makeRoom(angles);
    makeRoom(ranges);
    makeRoom(intensities);
    for (int i = 0; i < kPointsPerScanFrame; ++i) {
        ranges->append(readLe16(frame + kRangeOffset + 2 * i));
        intensities->append(readLe16(frame + kIntensityOffset + 2 * i));
        angles->append(scanAngle(state->sector, i));
    }
    return true;
}

QByteArray buildScanFrame(const ScanState &state, const QVector<ushort> &ranges,
                          const QVector<ushort> &intensities)
{
    // The body starts at offset 6; the type field of buildFrame covers offsets 4 and 5.
    constexpr int kBodyOffset = 6;
    QByteArray body(kScanFrameSize - 8, '\0');
    char *p = body.data();
    p[kSectorOffset - kBodyOffset] = char(state.sector);
    p[kStateOffset - kBodyOffset] = char(state.erro);
    p[kStateOffset + 1 - kBodyOffset] = char(state.output);
    p[kStateOffset + 2 - kBodyOffset] = char(state.input);
    for (int i = 0; i < kPointsPerScanFrame; ++i) {
        writeLe16(p + kRangeOffset - kBodyOffset + 2 * i, i < ranges.size() ? ranges.at(i) : 0);
        writeLe16(p + kIntensityOffset - kBodyOffset + 2 * i,
                  i < intensities.size() ? intensities.at(i) : 0);
    }
    return buildFrame(kScanMark, 0, body);
}

ScanBatchStep addToScanBatch(const char *frame, int length, int *frameCount, ScanState *state,
                             QVector<float> *angles, QVector<ushort> *ranges,
                             QVector<ushort> *intensities)
{
    ScanBatchStep step;
    step.good = decodeScanFrame(frame, length, state, angles, ranges, intensities);
    if (++*frameCount >= kScanFramesPerBatch) {
        *frameCount = 0;
        step.complete = true;
    }
    return step;
}
