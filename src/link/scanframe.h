#pragma once

#include <QByteArray>
#include <QVector>

constexpr int kPointsPerScanFrame = 90;
constexpr int kScanFramesPerBatch = 6;
constexpr int kPointsPerBatch = kPointsPerScanFrame * kScanFramesPerBatch;

struct ScanState
{
    uchar sector = 0;
    uchar erro = 0;
    uchar output = 0;
    uchar input = 0;
};

// Angle in degrees of measurement index (0..89) of a frame of the given sector.
inline float scanAngle(int sector, int index)
{
    return float((sector - 1) * 45.0 + index * 0.5);
}

// Decodes a scan frame of length bytes. When the length is the scan length and the
// checksum holds, fills state and appends the frame's 90 ranges, intensities and angles
// to the three vectors and returns true; otherwise leaves everything untouched.
bool decodeScanFrame(const char *frame, int length, ScanState *state, QVector<float> *angles,
                     QVector<ushort> *ranges, QVector<ushort> *intensities);

// Outcome of adding one scan frame to the batch being collected.
struct ScanBatchStep
{
    bool good = false;     // the frame decoded; its state bytes are in the ScanState
    bool complete = false; // six frames have been counted, good or bad
};

// Decodes a frame into the batch vectors and counts it, good or bad, toward the batch of
// six: the batch boundary depends only on the number of frames, so a damaged frame leaves
// a gap rather than shifting the sectors of the next batch. frameCount wraps to 0 when a
// batch completes; the caller then hands the vectors on and empties them.
ScanBatchStep addToScanBatch(const char *frame, int length, int *frameCount, ScanState *state,
                             QVector<float> *angles, QVector<ushort> *ranges,
                             QVector<ushort> *intensities);

// A scan frame as the scanner sends it; ranges and intensities hold 90 values each
// (missing values are sent as 0).
QByteArray buildScanFrame(const ScanState &state, const QVector<ushort> &ranges,
                          const QVector<ushort> &intensities);
