#pragma once

#include "requesttable.h"

#include <QString>

struct DecodedReply
{
    quint16 type = 0;
    quint16 status = 0;
    ResultRoute route = ResultRoute::None;
    QString text;                  // the result text (empty for a zone block)
    const char *payload = nullptr; // bytes from offset 10 up to the checksum
    int payloadSize = 0;
};

// Decodes a complete reply frame of length bytes (its length field must agree).
// Returns false when the frame is to be dropped: wrong header or length, bad checksum,
// a type outside the request set, a type whose reply carries no result, or a frame too
// short for its decoding. Short frames are dropped rather than decoded from the bytes
// present, so a truncated text or number never reaches the window as if it were whole.
bool decodeReply(const char *frame, int length, DecodedReply *out);

// A whole reply, checksum good, to a request whose reply carries no result (a setting, a
// restart): its type and status word. The window hears nothing else of such a reply, so
// this is where a refused setting shows. False for every other frame.
bool decodeBareReply(const char *frame, int length, quint16 *type, quint16 *status);

// The result text of a reply payload; false when the payload is too short for the
// decoding or the decoding yields no text.
bool replyText(const RequestInfo &info, quint16 status, const char *payload, int payloadSize,
               QString *text);
