#include "framecutter.h"

#include "framecodec.h"

#include <cstring>

FrameStep nextFrame(const char *data, int size, bool reportDamaged)
{
    int pos = 0;
    while (pos < size) {
        const void *hit = std::memchr(data + pos, kHeaderLead, size_t(size - pos));
        if (!hit)
            return {FrameKind::NeedMore, size, 0};
        const int at = int(static_cast<const char *>(hit) - data);
        if (at + 1 >= size)
            return {FrameKind::NeedMore, at, 0};
        const quint8 mark = quint8(data[at + 1]);
        if (mark != kScanMark && mark != kReplyMark) {
            pos = at + 1;
            continue;
        }
        if (at + 4 > size)
            return {FrameKind::NeedMore, at, 0};
        const int length = readLe16(data + at + 2);
        if (mark == kScanMark) {
            if (length != kScanFrameSize)
                return {FrameKind::BadScan, at, 2};
            if (size - at < length)
                return {FrameKind::NeedMore, at, 0};
            return {FrameKind::Scan, at, length};
        }
        if (length < kMinReplySize || length > kFrameBufferSize) {
            pos = at + 2;
            continue;
        }
        if (size - at < length)
            return {FrameKind::NeedMore, at, 0};
        if (!frameChecksumMatches(data + at, length)) {
            if (reportDamaged)
                return {FrameKind::DamagedReply, at, 2};
            pos = at + 2;
            continue;
        }
        return {FrameKind::Reply, at, length};
    }
    return {FrameKind::NeedMore, size, 0};
}
