// Arbitrary bytes, delivered in arbitrary pieces, through the receive path the worker
// uses: the frame cutter, reply decoding and scan batching; plus request encoding of an
// arbitrary type and text. Besides memory errors it checks the invariants the worker
// relies on, and that cutting does not depend on how the bytes were split into reads.

#include "framecodec.h"
#include "framecutter.h"
#include "replydecoder.h"
#include "requesttable.h"
#include "scanframe.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Taken
{
    FrameKind kind;
    QByteArray bytes;
    bool operator==(const Taken &other) const { return kind == other.kind && bytes == other.bytes; }
};

class Receiver
{
public:
    void arrive(const QByteArray &data)
    {
        buffer.append(data);
        int offset = 0;
        for (;;) {
            const int left = buffer.size() - offset;
            const FrameStep step = nextFrame(buffer.constData() + offset, left);
            check(step.start >= 0 && step.length >= 0 && step.end() <= left);
            const char *frame = buffer.constData() + offset + step.start;
            offset += step.end();
            if (step.kind == FrameKind::NeedMore)
                break;
            check(step.length > 0);
            taken.push_back({step.kind, QByteArray(frame, step.length)});
            if (step.kind == FrameKind::Reply)
                reply(frame, step.length);
            else
                scan(frame, step.length);
        }
        buffer.remove(0, offset);
        // Only a partial frame is kept, never more than one frame buffer.
        check(buffer.size() < kFrameBufferSize);
    }

    std::vector<Taken> taken;

private:
    void reply(const char *frame, int length)
    {
        check(length >= kMinReplySize && length <= kFrameBufferSize);
        check(frameChecksumMatches(frame, length));
        DecodedReply decoded;
        if (decodeReply(frame, length, &decoded)) {
            check(decoded.payloadSize == length - kMinReplySize);
            check(decoded.route != ResultRoute::None);
        }
    }

    void scan(const char *frame, int length)
    {
        ScanState state;
        const ScanBatchStep step =
            addToScanBatch(frame, length, &scanFrameCount, &state, &angles, &ranges, &intensities);
        check(!step.good || length == kScanFrameSize);
        check(angles.size() == ranges.size() && ranges.size() == intensities.size());
        check(angles.size() <= kPointsPerBatch);
        if (!step.complete)
            return;
        angles.clear();
        ranges.clear();
        intensities.clear();
    }

    QByteArray buffer;
    int scanFrameCount = 0;
    QVector<float> angles;
    QVector<ushort> ranges;
    QVector<ushort> intensities;
};

void fuzzRequest(FuzzedDataProvider &input)
{
    const quint16 type = input.ConsumeIntegral<quint16>();
    const std::string text = input.ConsumeRandomLengthString(9000);
    const RequestInfo *info = findRequest(type);
    if (!info)
        return;
    static char frame[kFrameBufferSize];
    const QByteArray raw = QByteArray::fromStdString(text);
    const int length = encodeRequestFrame(frame, *info, QString::fromStdString(text), raw);
    if (length == 0)
        return;
    check(length >= kRequestOverhead && length <= kFrameBufferSize);
    check(readLe16(frame + 2) == length && readLe16(frame + 4) == type);
    check(frameChecksumMatches(frame, length));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool withRequest = input.ConsumeBool();
    if (withRequest)
        fuzzRequest(input);

    // Read sizes come from the end of the input, the stream from its front.
    Receiver pieces;
    QByteArray stream;
    while (input.remaining_bytes() > 0) {
        const size_t piece = input.ConsumeIntegralInRange<size_t>(1, 4096);
        const std::string bytes = input.ConsumeBytesAsString(piece);
        const QByteArray chunk(bytes.data(), int(bytes.size()));
        stream.append(chunk);
        pieces.arrive(chunk);
    }
    Receiver whole;
    whole.arrive(stream);
    check(pieces.taken == whole.taken);
    return 0;
}
