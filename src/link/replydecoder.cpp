#include "replydecoder.h"

#include "framecodec.h"

#include <cstring>

namespace {

int payloadNeeded(const RequestInfo &info)
{
    switch (info.reply) {
    case ReplyDecoding::None:
    case ReplyDecoding::Status:
    case ReplyDecoding::ZoneBlock:
        return 0;
    case ReplyDecoding::Byte:
        return 1;
    case ReplyDecoding::U16:
    case ReplyDecoding::I16:
        return 2;
    case ReplyDecoding::Bytes3:
        return 3;
    case ReplyDecoding::FloatG:
    case ReplyDecoding::Float2:
        return 4;
    case ReplyDecoding::Text:
        return info.textWidth;
    }
    return 0;
}

float readFloat(const char *p)
{
    const quint32 bits = quint32(readLe16(p)) | (quint32(readLe16(p + 2)) << 16);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

} // namespace

bool replyText(const RequestInfo &info, quint16 status, const char *payload, int payloadSize,
               QString *text)
{
    if (info.reply == ReplyDecoding::None || payloadSize < payloadNeeded(info))
        return false;
    const uchar *u = reinterpret_cast<const uchar *>(payload);
    switch (info.reply) {
    case ReplyDecoding::None:
        return false;
    case ReplyDecoding::Status:
        *text = QString::number(status);
        break;
    case ReplyDecoding::Byte:
        *text = QString::number(u[0]);
        break;
    case ReplyDecoding::U16:
        *text = QString::number(readLe16(payload));
        break;
    case ReplyDecoding::I16:
        *text = QString::number(qint16(readLe16(payload)));
        break;
    case ReplyDecoding::FloatG:
        *text = QStringLiteral("%1").arg(double(readFloat(payload)));
        break;
    case ReplyDecoding::Float2:
        *text = QString::number(double(readFloat(payload)), 'f', 2);
        break;
    case ReplyDecoding::Text:
        *text = QString::fromUtf8(payload, int(qstrnlen(payload, info.textWidth)));
        break;
    case ReplyDecoding::Bytes3:
        *text = QStringLiteral(" %1 %2 %3").arg(u[0]).arg(u[1]).arg(u[2]);
        break;
    case ReplyDecoding::ZoneBlock:
        text->clear();
        break;
    }
    return true;
}

namespace {
// The request of a whole reply frame with a good checksum, or nullptr.
const RequestInfo *checkedReply(const char *frame, int length)
{
    if (length < kMinReplySize || length > kFrameBufferSize)
        return nullptr;
    if (quint8(frame[0]) != kHeaderLead || quint8(frame[1]) != kReplyMark)
        return nullptr;
    if (readLe16(frame + 2) != length || !frameChecksumMatches(frame, length))
        return nullptr;
    return findRequest(readLe16(frame + 4));
}
} // namespace

bool decodeBareReply(const char *frame, int length, quint16 *type, quint16 *status)
{
    const RequestInfo *info = checkedReply(frame, length);
    if (!info || info->reply != ReplyDecoding::None)
        return false;
    *type = info->code;
    *status = readLe16(frame + 6);
    return true;
}

bool decodeReply(const char *frame, int length, DecodedReply *out)
{
    const RequestInfo *info = checkedReply(frame, length);
    if (!info)
        return false;
    out->type = info->code;
    out->status = readLe16(frame + 6);
    out->route = info->route;
    out->payload = frame + 10;
    out->payloadSize = length - kMinReplySize;
    return replyText(*info, out->status, out->payload, out->payloadSize, &out->text);
}
