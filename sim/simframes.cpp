#include "simframes.h"

#include "framecodec.h"

#include <QtEndian>

#include <cstring>

namespace simframes {

namespace {

void appendChecksum(QByteArray &frame)
{
    const quint16 crc = frameChecksum(frame.constData(), frame.size());
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
}

quint16 le16(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(b.constData()) + at);
}

} // namespace

QByteArray replyFrame(quint16 type, quint16 status, const QByteArray &payload)
{
    const int length = kMinReplySize + payload.size();
    QByteArray f(10, '\0');
    uchar *p = reinterpret_cast<uchar *>(f.data());
    p[0] = kHeaderLead;
    p[1] = kReplyMark;
    qToLittleEndian<quint16>(quint16(length), p + 2);
    qToLittleEndian<quint16>(type, p + 4);
    qToLittleEndian<quint16>(status, p + 6);
    f.reserve(length);
    f.append(payload);
    appendChecksum(f);
    return f;
}

QByteArray scanFrame(const ScanContent &c)
{
    QByteArray f(kScanFrameSize - 2, '\0');
    uchar *p = reinterpret_cast<uchar *>(f.data());
    p[0] = kHeaderLead;
    p[1] = kScanMark;
    qToLittleEndian<quint16>(quint16(kScanFrameSize), p + 2);
    p[6] = c.sector;
    p[14] = c.error;
    p[15] = c.output;
    p[16] = c.input;
    for (int i = 0; i < kScanPoints; ++i) {
        qToLittleEndian<quint16>(c.ranges[i], p + 17 + 2 * i);
        qToLittleEndian<quint16>(c.intensities[i], p + 17 + 2 * kScanPoints + 2 * i);
    }
    appendChecksum(f);
    return f;
}

void spoilChecksum(QByteArray &frame)
{
    if (frame.size() >= 2)
        frame[frame.size() - 2] = char(frame[frame.size() - 2] ^ 0xA5);
}

Take takeRequest(QByteArray &buffer, Request *out)
{
    for (;;) {
        int at = -1;
        for (int i = 0; i + 1 < buffer.size(); ++i) {
            if (uchar(buffer[i]) == kHeaderLead && uchar(buffer[i + 1]) == kRequestMark) {
                at = i;
                break;
            }
        }
        if (at < 0) {
            // Keep a trailing lead byte: it may be the first half of the next header.
            const bool keepLast = !buffer.isEmpty() && uchar(buffer.back()) == kHeaderLead;
            buffer = keepLast ? buffer.right(1) : QByteArray();
            return Take::Nothing;
        }
        buffer.remove(0, at);
        if (buffer.size() < 4)
            return Take::Incomplete;
        const int length = le16(buffer, 2);
        if (length < kRequestOverhead || length > kFrameBufferSize) {
            buffer.remove(0, 1);
            continue;
        }
        if (buffer.size() < length)
            return Take::Incomplete;
        out->raw = buffer.left(length);
        buffer.remove(0, length);
        out->type = le16(out->raw, 4);
        out->payload = out->raw.mid(kRequestHeaderSize, length - kRequestOverhead);
        out->checksumOk =
            frameChecksum(out->raw.constData(), length - 2) == le16(out->raw, length - 2);
        return Take::Frame;
    }
}

} // namespace simframes
