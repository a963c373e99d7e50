#include "zoneblock.h"

#include "framecodec.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kCountOffset = 7;
constexpr int kXOffset = 9;
constexpr int kYOffset = kXOffset + 2 * kMaxZonePoints;
} // namespace

bool ZoneAreaRecord::operator==(const ZoneAreaRecord &o) const
{
    return onDelay == o.onDelay && offDelay == o.offDelay && hysteresis == o.hysteresis &&
           detectableSize == o.detectableSize && regionType == o.regionType &&
           dependScale == o.dependScale && points == o.points;
}

void encodeAreaBlock(const ZoneAreaRecord &area, char *out)
{
    std::memset(out, 0, kAreaBlockBytes);
    out[0] = char(area.onDelay);
    out[1] = char(area.offDelay);
    out[2] = char(area.hysteresis);
    out[3] = char(area.detectableSize);
    out[4] = char(area.regionType);
    writeLe16(out + 5, area.dependScale);
    const int n = std::min(int(area.points.size()), kMaxZonePoints);
    writeLe16(out + kCountOffset, quint16(n));
    for (int i = 0; i < n; ++i) {
        writeLe16(out + kXOffset + 2 * i, quint16(area.points.at(i).x()));
        writeLe16(out + kYOffset + 2 * i, quint16(area.points.at(i).y()));
    }
}

ZoneAreaRecord decodeAreaBlock(const char *block, int *cut)
{
    ZoneAreaRecord area;
    area.onDelay = quint8(block[0]);
    area.offDelay = quint8(block[1]);
    area.hysteresis = quint8(block[2]);
    area.detectableSize = quint8(block[3]);
    area.regionType = quint8(block[4]);
    area.dependScale = readLe16(block + 5);
    const int count = readLe16(block + kCountOffset);
    const int n = std::min(count, kMaxZonePoints);
    if (cut)
        *cut = count - n;
    area.points.reserve(n);
    for (int i = 0; i < n; ++i)
        area.points.append(QPoint(qint16(readLe16(block + kXOffset + 2 * i)),
                                  qint16(readLe16(block + kYOffset + 2 * i))));
    return area;
}

QByteArray encodeZoneBlock(int channel, const ZoneChannelRecord &areas)
{
    QByteArray block(kZoneBlockBytes, '\0');
    block[0] = char(channel & 0xFF);
    for (int k = 0; k < kAreasPerChannel; ++k)
        encodeAreaBlock(areas[k], block.data() + 1 + k * kAreaBlockBytes);
    return block;
}

DecodedZoneBlock decodeZoneBlock(const char *payload, int size)
{
    char block[kZoneBlockBytes] = {};
    if (payload && size > 0)
        std::memcpy(block, payload, size_t(std::min(size, kZoneBlockBytes)));
    DecodedZoneBlock out;
    out.channel = quint8(block[0]);
    for (int k = 0; k < kAreasPerChannel; ++k)
        out.areas[k] = decodeAreaBlock(block + 1 + k * kAreaBlockBytes, &out.cutPoints[k]);
    return out;
}
