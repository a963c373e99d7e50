#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QPoint>
#include <QVector>
#include <QtGlobal>

#include <array>

// One channel of the scanner's zone memory travels as one block: the channel number and
// three area blocks (attention, warning, alarm), little-endian, with room for 540
// vertices per area. The same layout goes both ways.
constexpr int kZoneChannelCount = 64;
constexpr int kAreasPerChannel = 3;
constexpr int kMaxZonePoints = 540;
constexpr int kAreaBlockBytes = 9 + 4 * kMaxZonePoints;                 // 2169
constexpr int kZoneBlockBytes = 1 + kAreasPerChannel * kAreaBlockBytes; // 6508

// An area as the scanner and the zone store hold it: the four selector indices, the
// shape type, the value carried for the single-value shapes, and the vertices in whole
// millimetres in the scanner's frame (x to the right, y forward).
struct ZoneAreaRecord
{
    quint8 onDelay = 0;
    quint8 offDelay = 0;
    quint8 hysteresis = 0;
    quint8 detectableSize = 0;
    quint8 regionType = 0;
    quint16 dependScale = 0;
    QVector<QPoint> points;

    bool operator==(const ZoneAreaRecord &o) const;
    bool operator!=(const ZoneAreaRecord &o) const { return !(*this == o); }
};

using ZoneChannelRecord = std::array<ZoneAreaRecord, kAreasPerChannel>;
Q_DECLARE_METATYPE(ZoneChannelRecord)

// Writes one area block (kAreaBlockBytes bytes) at out. Coordinates keep their low 16
// bits; only the first kMaxZonePoints vertices fit, so a longer list is cut there (the
// callers refuse such lists before they get here).
void encodeAreaBlock(const ZoneAreaRecord &area, char *out);

// Reads one area block. A point count above kMaxZonePoints is cut to it: the block has
// no room for more, and reading on would take the next area's bytes for vertices.
// *cut (if given) receives the number of vertices dropped.
ZoneAreaRecord decodeAreaBlock(const char *block, int *cut = nullptr);

// The whole kZoneBlockBytes-byte block of a channel (its number keeps its low 8 bits).
QByteArray encodeZoneBlock(int channel, const ZoneChannelRecord &areas);

struct DecodedZoneBlock
{
    int channel = 0;
    ZoneChannelRecord areas;
    int cutPoints[kAreasPerChannel] = {0, 0, 0}; // vertices dropped per area
};

// Decodes the block carried by a zone reply. A short payload is read as if padded with
// zeros to the block size; bytes beyond the block are ignored.
DecodedZoneBlock decodeZoneBlock(const char *payload, int size);
