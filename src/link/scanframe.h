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

// A scan frame as the scanner sends it; ranges and intensities hold 90 values each
// (missing values are sent as 0).
QByteArray buildScanFrame(const ScanState &state, const QVector<ushort> &ranges,
                          const QVector<ushort> &intensities);
