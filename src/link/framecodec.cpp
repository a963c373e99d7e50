#include "framecodec.h"

#include <cstring>

quint16 frameChecksum(const char *bytes, int count)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < count; ++i) {
        quint8 x = quint8((crc >> 8) ^ quint8(bytes[i]));
        x ^= quint8(x >> 4);
        crc = quint16((crc << 8) ^ (quint16(x) << 12) ^ (quint16(x) << 5) ^ x);
    }
    return crc;
}

bool frameChecksumMatches(const char *frame, int length)
{
    if (length < 2)
        return false;
    return frameChecksum(frame, length - 2) == readLe16(frame + length - 2);
}

QByteArray buildFrame(unsigned char mark, quint16 type, const QByteArray &body)
{
    const int length = 8 + body.size();
    if (length > 0xFFFF)
        return QByteArray();
    QByteArray frame(length, '\0');
    char *p = frame.data();
    p[0] = char(kHeaderLead);
    p[1] = char(mark);
    writeLe16(p + 2, quint16(length));
    writeLe16(p + 4, type);
    if (!body.isEmpty())
        std::memcpy(p + 6, body.constData(), size_t(body.size()));
    writeLe16(p + length - 2, frameChecksum(p, length - 2));
    return frame;
}

QByteArray buildReplyFrame(quint16 type, quint16 status, const QByteArray &payload)
{
    QByteArray body(4, '\0');
    writeLe16(body.data(), status);
    body.append(payload);
    return buildFrame(kReplyMark, type, body);
}

int encodeFrame(char *frame, quint16 type, const char *payload, int payloadSize)
{
    if (payloadSize < 0 || payloadSize > kMaxRequestPayload)
        return 0;
    const int length = kRequestOverhead + payloadSize;
    frame[0] = char(kHeaderLead);
    frame[1] = char(kRequestMark);
    writeLe16(frame + 2, quint16(length));
    writeLe16(frame + 4, type);
    writeLe16(frame + 6, 0);
    if (payloadSize > 0)
        std::memmove(frame + 8, payload, size_t(payloadSize));
    writeLe16(frame + length - 2, frameChecksum(frame, length - 2));
    return length;
}
