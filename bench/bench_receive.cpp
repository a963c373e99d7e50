// Throughput of the receive path: the frame cutter, reply decoding and scan batching,
// driven the way the worker drives them (append an arrival, walk with an offset,
// compact once). Prints figures only; speed is judged by whoever reads them.

#include "framecodec.h"
#include "framecutter.h"
#include "replydecoder.h"
#include "scanframe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr double kLineBytesPerSecond = 92160.0; // 921600 baud, 10 bits per byte
constexpr int kScansPerSecond = 25;
constexpr int kStreamSeconds = 60;

QByteArray randomBytes(QRandomGenerator &random, int count)
{
    QByteArray bytes(count, '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray scanFrame(QRandomGenerator &random, int sector)
{
    ScanState state;
    state.sector = uchar(sector);
    state.input = uchar(random.bounded(64));
    QVector<ushort> ranges(kPointsPerScanFrame), intensities(kPointsPerScanFrame);
    for (int i = 0; i < kPointsPerScanFrame; ++i) {
        ranges[i] = ushort(random.bounded(30000));
        intensities[i] = ushort(random.bounded(4096));
    }
    return buildScanFrame(state, ranges, intensities);
}

QByteArray someReply(QRandomGenerator &random)
{
    switch (random.bounded(5)) {
    case 0:
        return buildReplyFrame(REQUEST_SERIAL_NUMBER, 0, QByteArray("SN0012345"));
    case 1:
        return buildReplyFrame(REQUEST_CURRENT_AREA, 0, QByteArray("\x02\x07\x00", 3));
    case 2:
        return buildReplyFrame(REQUEST_GET_FILTER_MIN_RANGE, 0, QByteArray("\x10\x00", 2));
    case 3:
        return buildReplyFrame(REQUEST_SAVE_PARAMETERS, 0, QByteArray());
    default:
        // A zone block now and then: the longest reply in use.
        return buildReplyFrame(REQUEST_READ_AREA, 0, randomBytes(random, 6508));
    }
}

// seconds of line time: 25 scans (150 frames) a second, a few replies, a little garbage.
QByteArray mixedStream(int seconds, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray stream;
    for (int s = 0; s < seconds; ++s) {
        for (int scan = 0; scan < kScansPerSecond; ++scan) {
            for (int sector = 1; sector <= kScanFramesPerBatch; ++sector)
                stream += scanFrame(random, sector);
            if (scan % 5 == 0)
                stream += someReply(random);
            if (scan % 8 == 0)
                stream += randomBytes(random, 1 + int(random.bounded(40)));
        }
    }
    return stream;
}

// Frames interleaved with as many bytes of random garbage.
QByteArray halfGarbageStream(int seconds, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray stream;
    const int target = int(kLineBytesPerSecond) * seconds;
    int sector = 1;
    while (stream.size() < target) {
        const QByteArray frame =
            random.bounded(10) == 0 ? someReply(random) : scanFrame(random, sector);
        sector = sector % kScanFramesPerBatch + 1;
        stream += randomBytes(random, frame.size());
        stream += frame;
    }
    return stream;
}

QVector<int> readSizes(int total, quint32 seed)
{
    QRandomGenerator random(seed);
    QVector<int> sizes;
    for (int done = 0; done < total;) {
        const int n = std::min(1 + int(random.bounded(4096)), total - done);
        sizes.append(n);
        done += n;
    }
    return sizes;
}

struct Counts
{
    long frames = 0;
    long results = 0;
    long batches = 0;
    long points = 0;
};

// The worker's receive loop without the port: one call per arrival.
class Receiver
{
public:
    void arrive(const char *data, int size)
    {
        buffer.append(data, size);
        int offset = 0;
        for (;;) {
            const FrameStep step = nextFrame(buffer.constData() + offset, buffer.size() - offset);
            const char *frame = buffer.constData() + offset + step.start;
            offset += step.end();
            if (step.kind == FrameKind::NeedMore)
                break;
            ++counts.frames;
            if (step.kind == FrameKind::Reply)
                reply(frame, step.length);
            else
                scan(frame, step.length);
        }
        buffer.remove(0, offset);
    }
    Counts counts;

private:
    void reply(const char *frame, int length)
    {
        DecodedReply decoded;
        if (decodeReply(frame, length, &decoded))
            ++counts.results;
    }
    void scan(const char *frame, int length)
    {
        // The worker's own batching step; the batch is handed on and emptied as it does.
        ScanState state;
        if (!addToScanBatch(frame, length, &scanFrameCount, &state, &angles, &ranges, &intensities)
                 .complete)
            return;
        const QVector<float> a = std::exchange(angles, {});
        const QVector<ushort> r = std::exchange(ranges, {});
        const QVector<ushort> i = std::exchange(intensities, {});
        ++counts.batches;
        counts.points += std::min({a.size(), r.size(), i.size()});
    }

    QByteArray buffer;
    int scanFrameCount = 0;
    QVector<float> angles;
    QVector<ushort> ranges;
    QVector<ushort> intensities;
};

struct Run
{
    double seconds;
    Counts counts;
};

Run receive(const QByteArray &stream, const QVector<int> &sizes)
{
    Receiver receiver;
    QElapsedTimer timer;
    timer.start();
    int offset = 0;
    for (int size : sizes) {
        receiver.arrive(stream.constData() + offset, size);
        offset += size;
    }
    return {timer.nsecsElapsed() / 1e9, receiver.counts};
}

// Best of several runs, to keep scheduler noise of a shared machine out of the figure.
Run bestOf(const QByteArray &stream, const QVector<int> &sizes, int runs)
{
    Run best = receive(stream, sizes);
    for (int n = 1; n < runs; ++n) {
        const Run run = receive(stream, sizes);
        if (run.seconds < best.seconds)
            best = run;
    }
    return best;
}

void report(const char *name, QByteArray (*make)(int, quint32))
{
    const QByteArray one = make(kStreamSeconds, 1);
    const QByteArray four = make(4 * kStreamSeconds, 1);
    const Run r1 = bestOf(one, readSizes(one.size(), 2), 7);
    const Run r4 = bestOf(four, readSizes(four.size(), 2), 5);
    const double mbps = one.size() / r1.seconds / 1e6;
    const double lineRatio = one.size() / r1.seconds / kLineBytesPerSecond;
    std::printf("%s\n", name);
    std::printf("  1x input: %9d bytes  %8.3f ms  %8.1f MB/s  %7.0fx line rate\n", int(one.size()),
                r1.seconds * 1e3, mbps, lineRatio);
    std::printf("  4x input: %9d bytes  %8.3f ms  %8.1f MB/s  %7.0fx line rate\n", int(four.size()),
                r4.seconds * 1e3, four.size() / r4.seconds / 1e6,
                four.size() / r4.seconds / kLineBytesPerSecond);
    std::printf("  time 4x / 1x: %.2f   (1x: %ld frames, %ld results, %ld batches, %ld points)\n",
                r4.seconds / r1.seconds, r1.counts.frames, r1.counts.results, r1.counts.batches,
                r1.counts.points);
}

} // namespace

int main()
{
    std::printf("receive path, random read sizes 1..4096 bytes, line rate %.0f bytes/s\n",
                kLineBytesPerSecond);
    report("mixed stream (25 scans/s, replies, a little garbage)", mixedStream);
    report("half-garbage stream", halfGarbageStream);
    return 0;
}
