#include "requesttable.h"

#include "framecodec.h"

#include <algorithm>
#include <cstring>

namespace {

using P = PayloadEncoding;
using D = ReplyDecoding;
using R = ResultRoute;

// Sorted by code for the binary search below.
constexpr RequestInfo kRequests[] = {
    {REQUEST_CURRENT_AREA, P::None, D::Bytes3, 0, R::Main, false},
    {REQUEST_DEVICE_IDENT, P::None, D::Text, 5, R::Main, false},
    {REQUEST_SERIAL_NUMBER, P::None, D::Text, 9, R::Main, false},
    {REQUEST_LOT_NUMBER, P::None, D::Text, 9, R::Main, false},
    {REQUEST_FIRMWARE_VERSION, P::None, D::Text, 6, R::Main, false},
    {REQUEST_DEVICE_MODE, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_GET_FLOAT_VALUE, P::None, D::Float2, 0, R::Main, false},
    {REQUEST_RESTART, P::None, D::None, 0, R::None, false},
    {REQUEST_ENTER_BOOTLOADER, P::None, D::None, 0, R::None, false},
    {REQUEST_READ_AREAS_DONE, P::None, D::Status, 0, R::Main, false},
    {REQUEST_CONNECT, P::None, D::Status, 0, R::Main, false},
    {REQUEST_GET_FREQUENCY, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_FREQUENCY, P::U8, D::None, 0, R::None, false},
    {REQUEST_GET_FILTER_ENABLE, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_FILTER_ENABLE, P::Flag16, D::None, 0, R::None, false},
    {REQUEST_GET_FILTER_STRENGTH, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_FILTER_STRENGTH, P::U8, D::None, 0, R::None, false},
    {REQUEST_GET_FILTER_MIN_RANGE, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_FILTER_MIN_RANGE, P::I16, D::None, 0, R::None, false},
    {REQUEST_GET_FILTER_MAX_RANGE, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_FILTER_MAX_RANGE, P::I16, D::None, 0, R::None, false},
    {REQUEST_GET_AVERAGE_FILTER, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_AVERAGE_FILTER, P::Flag16, D::None, 0, R::None, false},
    {REQUEST_GET_INPUT_NONC, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_INPUT_NONC, P::Flag16, D::None, 0, R::None, false},
    {REQUEST_GET_OUTPUT_NONC, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_OUTPUT_NONC, P::Flag16, D::None, 0, R::None, false},
    {REQUEST_GET_MASK_INTENSITY, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_MASK_INTENSITY, P::I16, D::None, 0, R::None, false},
    {REQUEST_GET_MASK_MIN_ANGLE, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_MASK_MIN_ANGLE, P::I16, D::None, 0, R::None, false},
    {REQUEST_GET_MASK_MAX_ANGLE, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_MASK_MAX_ANGLE, P::I16, D::None, 0, R::None, false},
    {REQUEST_SAVE_PARAMETERS, P::None, D::Status, 0, R::Main, false},
    {REQUEST_READ_AREA, P::U8, D::ZoneBlock, 0, R::ZoneRead, true},
    {REQUEST_WRITE_AREA, P::ZoneBlock, D::Status, 0, R::ZoneWrite, true},
    {REQUEST_BEGIN_AREA_WRITE, P::None, D::Status, 0, R::ZoneBegin, false},
    {REQUEST_GET_PARAM_5500, P::None, D::FloatG, 0, R::Main, false},
    {REQUEST_GET_PARAM_5501, P::None, D::FloatG, 0, R::Main, false},
    {REQUEST_GET_APD, P::None, D::U16, 0, R::Apd, false},
    {REQUEST_SET_APD, P::I32, D::Status, 0, R::Main, false},
    {REQUEST_GET_PARAM_5504, P::None, D::FloatG, 0, R::Main, false},
    {REQUEST_SET_PARAM_5505, P::Float32, D::FloatG, 0, R::Main, false},
    {REQUEST_GET_OFFSET_DISTANCE, P::None, D::I16, 0, R::Main, false},
    {REQUEST_SET_OFFSET_DISTANCE, P::I16s, D::Status, 0, R::Main, false},
    {REQUEST_GET_PARAM_5508, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_PARAM_5509, P::I16s, D::None, 0, R::None, false},
    {REQUEST_GET_PARAM_550C, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_PARAM_550D, P::I16s, D::Status, 0, R::Main, false},
    {REQUEST_GET_PARAM_550E, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_PARAM_550F, P::U8, D::None, 0, R::None, false},
    {REQUEST_GET_MODE, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_MODE, P::Flag16, D::Status, 0, R::Main, false},
    {REQUEST_GET_PARAM_5512, P::None, D::U16, 0, R::Main, false},
    {REQUEST_SET_PARAM_5513, P::I16, D::None, 0, R::None, false},
    {REQUEST_GET_NPN_PNP, P::None, D::Text, 3, R::Main, false},
    {REQUEST_SET_NPN_PNP, P::Text, D::Status, 0, R::Main, false},
    {REQUEST_SAVE_VENDOR_DATA, P::None, D::Status, 0, R::SaveTarget, false},
    {REQUEST_FIRMWARE_BEGIN, P::None, D::Status, 0, R::Main, false},
    {REQUEST_FIRMWARE_DATA, P::Chunk, D::Status, 0, R::FirmwareChunk, true},
    {REQUEST_FIRMWARE_END, P::None, D::Status, 0, R::Main, false},
    {REQUEST_FIRMWARE_VERIFY, P::Raw, D::Byte, 0, R::Main, false},
    {REQUEST_FIRMWARE_COMMIT, P::None, D::Status, 0, R::Main, false},
    {REQUEST_GET_PARAM_FF00, P::None, D::Byte, 0, R::Main, false},
    {REQUEST_SET_PARAM_FF01, P::Flag16, D::None, 0, R::None, false},
};

constexpr bool sortedByCode()
{
    for (size_t i = 1; i < sizeof(kRequests) / sizeof(kRequests[0]); ++i) {
        if (kRequests[i - 1].code >= kRequests[i].code)
            return false;
    }
    return true;
}
static_assert(sortedByCode(), "the request table must stay sorted by code");

void put16(char *p, int value)
{
    writeLe16(p, quint16(value & 0xFFFF));
}

void put32(char *p, quint32 value)
{
    writeLe16(p, quint16(value & 0xFFFF));
    writeLe16(p + 2, quint16(value >> 16));
}

} // namespace

const RequestInfo *findRequest(quint16 code)
{
    const RequestInfo *end = std::end(kRequests);
    const RequestInfo *it = std::lower_bound(
        std::begin(kRequests), end, code,
        [](const RequestInfo &info, quint16 wanted) { return info.code < wanted; });
    return (it != end && it->code == code) ? it : nullptr;
}

int encodeRequestFrame(char *frame, const RequestInfo &info, const QString &value,
                       const QByteArray &raw)
{
    // The numeric encodings are encoded in place; a failed conversion yields 0.
    char number[4];
    int size = 0;
    switch (info.payload) {
    case PayloadEncoding::None:
        break;
    case PayloadEncoding::U8:
        number[0] = char(value.toInt() & 0xFF);
        size = 1;
        break;
    case PayloadEncoding::Flag16:
        put16(number, value.toInt() != 0 ? 1 : 0);
        size = 2;
        break;
    case PayloadEncoding::I16:
        put16(number, value.toInt());
        size = 2;
        break;
    case PayloadEncoding::I16s:
        put16(number, value.toShort());
        size = 2;
        break;
    case PayloadEncoding::I32:
        put32(number, quint32(value.toInt()));
        size = 4;
        break;
    case PayloadEncoding::Float32: {
        const float f = value.toFloat();
        quint32 bits;
        std::memcpy(&bits, &f, sizeof bits);
        put32(number, bits);
        size = 4;
        break;
    }
    case PayloadEncoding::Text: {
        const QByteArray utf8 = value.toUtf8();
        return encodeFrame(frame, info.code, utf8.constData(), utf8.size());
    }
    case PayloadEncoding::Raw:
    case PayloadEncoding::ZoneBlock:
    case PayloadEncoding::Chunk:
        return encodeFrame(frame, info.code, raw.constData(), raw.size());
    }
    return encodeFrame(frame, info.code, number, size);
}

QByteArray requestFrame(quint16 code, const QString &value, const QByteArray &raw)
{
    const RequestInfo *info = findRequest(code);
    if (!info)
        return QByteArray();
    QByteArray frame(kFrameBufferSize, '\0');
    const int length = encodeRequestFrame(frame.data(), *info, value, raw);
    frame.truncate(length);
    return frame;
}
