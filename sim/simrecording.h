#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// A recording of the scanner's frames as the tool writes it (a pcap file of link type
// LINKTYPE_USER0, 147, one frame per packet), read for the simulated scanner to send its
// scans again. The file is read here by the simulator's own few lines rather than through
// libpcap: the format is small and fixed, the simulator keeps to the link's codec alone
// (and stays apart from the tool's writer, whose faults it would otherwise share), and
// every length in the file is checked before anything is read.
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

// Reads a recording from the bytes of its file. False, with the reason in *error, for
// anything else: not a pcap file (a pcapng file says so), a link type other than 147, a
// truncated header or packet, a packet that is not one whole frame of the scanner, or no
// scan frame at all.
bool readSimRecording(const QByteArray &file, SimRecording *out, QString *error);
// The same for a file on disk, which must exist and be at most 1 GiB.
bool loadSimRecording(const QString &path, SimRecording *out, QString *error);
