#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// A recording of the scanner's frames as the tool writes it: a pcap file of link type
// LINKTYPE_USER0 (147), one whole frame of the scanner per packet, stamped with its arrival.
// The file is read here in a few lines of our own rather than through libpcap: the format is
// small and fixed, the simulated scanner reads it too (and keeps to the link's codec), and
// the tool's own writer, whose faults a reader built on the same library would share, stays
// apart. Every length in the file is checked before anything is read.
//
// The window's playback and the simulated scanner's replay read recordings through this one
// reader, so a file is refused by both for the same reasons.

// One frame of a recording.
struct RecordedFrame
{
    qint64 timeUs = 0; // after the first frame; never less than the frame before
    qint32 offset = 0; // of its first byte in RecordingFile::bytes
    quint16 length = 0;
    bool scan = false; // a scan frame; otherwise a reply
};

struct RecordingFile
{
    // The file's bytes; the frames point into them.
    QByteArray bytes;
    QVector<RecordedFrame> frames;
    // Wall-clock time of the first frame, in microseconds since 1970.
    qint64 startUs = 0;
    int replies = 0;
    int scanFrames = 0;

    int frameCount() const { return frames.size(); }
    const char *frameData(int index) const { return bytes.constData() + frames.at(index).offset; }
    QByteArray frame(int index) const
    {
        return bytes.mid(frames.at(index).offset, frames.at(index).length);
    }
    // From the first frame to the last.
    qint64 durationUs() const { return frames.isEmpty() ? 0 : frames.constLast().timeUs; }
};

// Reads a recording from the bytes of its file. False, with the reason in *error (and *out
// untouched), for anything else: not a pcap file (a pcapng file says so), a link type other
// than 147, a truncated header or packet, a packet that is not one whole frame of the
// scanner, or no scan frame at all.
bool readRecording(const QByteArray &file, RecordingFile *out, QString *error);
// The same for a file on disk, which must be a regular file of at most 1 GiB.
bool loadRecording(const QString &path, RecordingFile *out, QString *error);
