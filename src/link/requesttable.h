#pragma once

#include "requesttype.h"

#include <QByteArray>
#include <QString>

// How the text argument of a request becomes its payload.
enum class PayloadEncoding : unsigned char
{
    None,      // argument ignored
    U8,        // toInt, low 8 bits
    Flag16,    // toInt; 1 when non-zero, else 0; as u16
    I16,       // toInt, low 16 bits
    I16s,      // toShort; out of range converts to 0
    I32,       // toInt
    Float32,   // toFloat, single-precision bits
    Text,      // UTF-8 bytes of the argument
    Raw,       // bytes kept by the worker (the firmware digest)
    ZoneBlock, // built by the zone transfer
    Chunk,     // a firmware chunk
};

// How a reply frame becomes a result text.
enum class ReplyDecoding : unsigned char
{
    None,      // dropped after the checksum test
    Status,    // status word at offset 6
    Byte,      // unsigned byte at offset 10
    U16,       // unsigned 16-bit at offset 10
    I16,       // signed 16-bit at offset 10
    FloatG,    // single at offset 10, 'g' with 6 significant digits
    Float2,    // single at offset 10, 'f' with 2 decimals
    Text,      // textWidth bytes at offset 10, up to the first NUL, UTF-8
    Bytes3,    // bytes at offsets 10..12, each as " %1"
    ZoneBlock, // the zone block at offset 10; no text
};

// Where the result of a reply goes.
enum class ResultRoute : unsigned char
{
    None,          // nowhere
    Main,          // sendMainRequestResult
    Apd,           // sendApdRequestTypeResult
    SaveTarget,    // chosen by the argument of the last vendor-data save
    ZoneRead,      // zone block received
    ZoneBegin,     // full zone write may start (status 0)
    ZoneWrite,     // zone block acknowledged (status 0)
    FirmwareChunk, // firmware chunk acknowledged (status 0)
};

struct RequestInfo
{
    quint16 code;
    PayloadEncoding payload;
    ReplyDecoding reply;
    unsigned char textWidth; // bytes of a Text reply
    ResultRoute route;
    bool ownSlot; // sent by a dedicated worker slot, not by onRequestType
};

// The scanner's request set; nullptr for a code it does not know.
const RequestInfo *findRequest(quint16 code);

// Converts the text argument to the payload of info and writes the whole request frame
// into frame (kFrameBufferSize bytes). raw is the payload of the byte-array encodings.
// Returns the frame length, or 0 when the payload does not fit (nothing must be sent).
int encodeRequestFrame(char *frame, const RequestInfo &info, const QString &value,
                       const QByteArray &raw = QByteArray());

// Convenience for callers that are not on the hot path (tests, the simulator): the
// request frame of a code from the table, or an empty array for an unknown code or a
// payload that does not fit.
QByteArray requestFrame(quint16 code, const QString &value, const QByteArray &raw = QByteArray());
