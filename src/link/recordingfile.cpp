#include "recordingfile.h"

#include "framecodec.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr int kFileHeaderSize = 24;
constexpr int kRecordHeaderSize = 16;
constexpr quint32 kLinkTypeUser0 = 147;
constexpr qint64 kMaxFileSize = qint64(1) << 30;
// A frame of the protocol fits 8202 bytes; anything longer is not one of its frames, and
// a length beyond this is a damaged or foreign file rather than a long packet.
constexpr quint32 kMaxPacket = 262144;

struct Reader
{
    const uchar *data;
    bool bigEndian;
    quint32 u32(qint64 at) const
    {
        return bigEndian ? qFromBigEndian<quint32>(data + at)
                         : qFromLittleEndian<quint32>(data + at);
    }
    quint16 u16(qint64 at) const
    {
        return bigEndian ? qFromBigEndian<quint16>(data + at)
                         : qFromLittleEndian<quint16>(data + at);
    }
};

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool readRecording(const QByteArray &file, RecordingFile *out, QString *error)
{
    const qint64 size = file.size();
    const uchar *data = reinterpret_cast<const uchar *>(file.constData());
    if (size < 4)
        return fail(error, QStringLiteral("not a pcap file: it has only %1 bytes").arg(size));
    const quint32 magic = qFromLittleEndian<quint32>(data);
    bool nanoseconds = false;
    Reader r{data, false};
    switch (magic) {
    case 0xa1b2c3d4:
        break;
    case 0xd4c3b2a1:
        r.bigEndian = true;
        break;
    case 0xa1b23c4d:
        nanoseconds = true;
        break;
    case 0x4d3cb2a1:
        r.bigEndian = true;
        nanoseconds = true;
        break;
    case 0x0a0d0d0a:
        return fail(error, QStringLiteral("a pcapng file, not pcap: save it in the pcap format "
                                          "(Wireshark: File, Save As, Wireshark/tcpdump - pcap)"));
    default:
        return fail(error, QStringLiteral("not a pcap file: it does not start with a pcap magic "
                                          "number"));
    }
    if (size < kFileHeaderSize)
        return fail(error, QStringLiteral("truncated: the pcap file header needs 24 bytes, the "
                                          "file has %1")
                               .arg(size));
    if (r.u16(4) != 2)
        return fail(error, QStringLiteral("pcap version %1.%2 is not read (only 2.x)")
                               .arg(r.u16(4))
                               .arg(r.u16(6)));
    const quint32 linkType = r.u32(20) & 0x0FFFFFFF;
    if (linkType != kLinkTypeUser0)
        return fail(error, QStringLiteral("link type %1: not a recording of the scanner's frames "
                                          "(link type 147, LINKTYPE_USER0)")
                               .arg(linkType));

    RecordingFile rec;
    // A scan frame every 6.7 ms: the packets of a file are about a quarter of its bytes'
    // worth of frames, so one allocation does for most files.
    rec.frames.reserve(
        int(std::min<qint64>(size / (kRecordHeaderSize + kScanFrameSize) + 1, qint64(1) << 24)));
    qint64 pos = kFileHeaderSize;
    qint64 previous = 0;
    while (pos < size) {
        const int packet = rec.frames.size() + 1;
        if (size - pos < kRecordHeaderSize)
            return fail(error, QStringLiteral("truncated: the header of packet %1 is cut off at "
                                              "byte %2")
                                   .arg(packet)
                                   .arg(pos));
        const qint64 seconds = r.u32(pos);
        const qint64 fraction = r.u32(pos + 4);
        const quint32 captured = r.u32(pos + 8);
        const quint32 original = r.u32(pos + 12);
        if (captured > kMaxPacket)
            return fail(error, QStringLiteral("packet %1 claims %2 bytes: the file is damaged")
                                   .arg(packet)
                                   .arg(captured));
        pos += kRecordHeaderSize;
        if (size - pos < qint64(captured))
            return fail(error, QStringLiteral("truncated: packet %1 of %2 bytes is cut off at "
                                              "byte %3")
                                   .arg(packet)
                                   .arg(captured)
                                   .arg(size));
        if (captured != original)
            return fail(error, QStringLiteral("packet %1 holds only %2 of its %3 bytes")
                                   .arg(packet)
                                   .arg(captured)
                                   .arg(original));
        const char *frame = file.constData() + pos;
        const bool header =
            captured >= 4 && quint8(frame[0]) == kHeaderLead && readLe16(frame + 2) == captured;
        const quint8 mark = captured >= 2 ? quint8(frame[1]) : 0;
        RecordedFrame f;
        f.offset = qint32(pos);
        f.length = quint16(captured);
        if (header && mark == kScanMark && captured == kScanFrameSize) {
            f.scan = true;
            ++rec.scanFrames;
        } else if (header && mark == kReplyMark && captured >= kMinReplySize) {
            ++rec.replies;
        } else {
            return fail(error,
                        QStringLiteral("packet %1 is not a frame of the scanner").arg(packet));
        }
        const qint64 us = seconds * 1000000 + (nanoseconds ? fraction / 1000 : fraction);
        if (rec.frames.isEmpty())
            rec.startUs = previous = us;
        // A clock set back while recording must not make a replay wait for ever or rush.
        previous = std::max(previous, us);
        f.timeUs = previous - rec.startUs;
        rec.frames.append(f);
        pos += captured;
    }
    if (rec.scanFrames == 0)
        return fail(error, rec.frames.isEmpty() ? QStringLiteral("the recording holds no frames")
                                                : QStringLiteral("the recording holds no scan "
                                                                 "frames, only %1 replies")
                                                      .arg(rec.replies));
    rec.bytes = file;
    *out = std::move(rec);
    return true;
}

bool loadRecording(const QString &path, RecordingFile *out, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return fail(error, info.exists() ? QStringLiteral("not a regular file")
                                         : QStringLiteral("no such file"));
    if (info.size() > kMaxFileSize)
        return fail(error, QStringLiteral("larger than 1 GiB"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    return readRecording(file.readAll(), out, error);
}
