#pragma once

#include <QByteArray>
#include <QtGlobal>

// The scanner's side of the wire: it builds reply and scan frames and cuts request
// frames out of what the PC sends. Kept apart from the tool's own codec on purpose, so
// that a mistake in one side's framing is not silently shared by the other.
namespace simframes {

constexpr int kScanPoints = 90;
constexpr int kRequestHeaderSize = 8;

// 5A FB, length, type, status word, two zero bytes, payload, checksum.
QByteArray replyFrame(quint16 type, quint16 status, const QByteArray &payload = {});

struct ScanContent
{
    quint8 sector = 1;
    quint8 error = 0;
    quint8 output = 0;
    quint8 input = 0;
    quint16 ranges[kScanPoints] = {};
    quint16 intensities[kScanPoints] = {};
};

// 5A FF, always kScanFrameSize bytes.
QByteArray scanFrame(const ScanContent &content);

// Makes the frame's stored checksum wrong (it still has the right length).
void spoilChecksum(QByteArray &frame);

struct Request
{
    quint16 type = 0;
    QByteArray payload;
    QByteArray raw;
    bool checksumOk = false;
};

enum class Take
{
    Nothing,    // no header in the buffer (stray bytes were discarded)
    Incomplete, // a header whose frame has not fully arrived
    Frame,      // *out holds one request, cut out of the buffer
};

// Cuts the first request frame out of buffer. Bytes in front of a header are dropped,
// and so is a header whose length field cannot be a request (below 10 or beyond the
// frame buffer), so that a bad length never stalls the receiver.
Take takeRequest(QByteArray &buffer, Request *out);

} // namespace simframes
