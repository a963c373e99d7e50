#pragma once

#include "recordingfile.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// A recording of the scanner's frames (see recordingfile.h, whose reader refuses the same
// files here as in the window's playback), taken apart for the simulated scanner to send its
// scans again.
struct SimRecording
{
    // The scan frames to send, each kScanFrameSize bytes, one after the other: from the
    // first frame of the first whole scan to the last frame of the last whole scan.
    QByteArray scanFrames;
    // When each was sent, in microseconds after the first.
    QVector<qint64> timesUs;
    // From the first frame to the first again when the replay starts over.
    qint64 periodUs = 0;
    // Packets in the file, and of them the replies, which are not sent again: requests
    // are answered by the simulator itself.
    int packets = 0;
    int replies = 0;

    int scanCount() const { return timesUs.size(); }
    QByteArray scanFrame(int index) const;
};

// The scan stream of a recording that was read.
SimRecording simRecordingOf(const RecordingFile &file);
// Reads a recording from the bytes of its file (readRecording's checks and reasons).
bool readSimRecording(const QByteArray &file, SimRecording *out, QString *error);
// The same for a file on disk, which must exist and be at most 1 GiB.
bool loadSimRecording(const QString &path, SimRecording *out, QString *error);
