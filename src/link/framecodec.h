#pragma once

#include <QByteArray>
#include <QtGlobal>

// Frame layout shared by the PC and the scanner: two header bytes, a little-endian
// 16-bit length counting the whole frame, the type, and a CRC-16/CCITT-FALSE over
// everything before it, stored low byte first.

constexpr int kFrameBufferSize = 8202;
constexpr int kScanFrameSize = 379;
constexpr int kRequestOverhead = 10;
constexpr int kMinReplySize = 12;
constexpr int kMaxRequestPayload = kFrameBufferSize - kRequestOverhead;

constexpr unsigned char kHeaderLead = 0x5A;
constexpr unsigned char kRequestMark = 0xFA;
constexpr unsigned char kReplyMark = 0xFB;
constexpr unsigned char kScanMark = 0xFF;

quint16 frameChecksum(const char *bytes, int count);
inline quint16 frameChecksum(const QByteArray &bytes)
{
    return frameChecksum(bytes.constData(), bytes.size());
}

inline quint16 readLe16(const char *p)
{
    return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
}

inline void writeLe16(char *p, quint16 value)
{
    p[0] = char(value & 0xFF);
    p[1] = char(value >> 8);
}

// True when the last two bytes of the frame hold the checksum of everything before them.
bool frameChecksumMatches(const char *frame, int length);

// Generic frame builder: 5A <mark>, the 16-bit length (8 + body size), the 16-bit type,
// the body, then the checksum. A reply's body starts with its status word and the two
// uninterpreted bytes; a scan frame's type field is the two uninterpreted bytes at
// offset 4 and its body starts with the sector byte. Returns an empty array when the
// frame would not fit the 16-bit length field.
QByteArray buildFrame(unsigned char mark, quint16 type, const QByteArray &body);

// A reply frame as the scanner sends it: status word, two zero bytes, payload.
QByteArray buildReplyFrame(quint16 type, quint16 status, const QByteArray &payload);

// Lays out a request frame with the given payload bytes into frame, which must hold
// kFrameBufferSize bytes. Returns the frame length, or 0 when the payload does not fit
// the buffer; nothing is written then.
int encodeFrame(char *frame, quint16 type, const char *payload, int payloadSize);
