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

constexpr unsigned char kHeaderLead = 0x5A;
constexpr unsigned char kRequestMark = 0xFA;
constexpr unsigned char kReplyMark = 0xFB;
constexpr unsigned char kScanMark = 0xFF;

quint16 frameChecksum(const char *bytes, int count);
inline quint16 frameChecksum(const QByteArray &bytes)
{
    return frameChecksum(bytes.constData(), bytes.size());
}
