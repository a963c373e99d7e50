#include "zoneset.h"

#include "pointstext.h"

#include <QSettings>

#include <cmath>
#include <limits>

namespace {
// A stored coordinate as whole millimetres. Values beyond what an int holds saturate; they
// are far outside 16 bits either way and findUnsendable refuses them.
int wholeMillimetres(double value)
{
    if (!std::isfinite(value))
        return std::numeric_limits<int>::max();
    const double whole = std::trunc(value);
    if (whole >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (whole <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(whole);
}

bool fitsBlock(int coordinate)
{
    return coordinate >= -32768 && coordinate <= 32767;
}
} // namespace

ZoneSet::ZoneSet()
{
    for (ZoneChannelRecord &channel : m_channels) {
        for (ZoneAreaRecord &area : channel)
            area.regionType = 1;
    }
}

void ZoneSet::setChannel(int channel, const ZoneChannelRecord &areas)
{
    m_channels.at(size_t(channel)) = areas;
}

void ZoneSet::setArea(int channel, int area, const ZoneAreaRecord &record)
{
    m_channels.at(size_t(channel)).at(size_t(area)) = record;
}

void ZoneSet::load(QSettings &store)
{
    for (int c = 0; c < kZoneChannelCount; ++c) {
        for (int k = 0; k < kAreasPerChannel; ++k) {
            ZoneAreaRecord record = readStoredParameters(store, c, k);
            const QVector<QPointF> points = readStoredPoints(store, c, k);
            record.points.reserve(points.size());
            for (const QPointF &p : points)
                record.points.append(QPoint(wholeMillimetres(p.x()), wholeMillimetres(p.y())));
            m_channels[size_t(c)][size_t(k)] = std::move(record);
        }
    }
}

void ZoneSet::saveChannel(QSettings &store, int channel) const
{
    writeStoredChannel(store, channel, m_channels.at(size_t(channel)));
}

void ZoneSet::save(QSettings &store) const
{
    for (int c = 0; c < kZoneChannelCount; ++c)
        saveChannel(store, c);
}

UnsendableArea ZoneSet::findUnsendable() const
{
    for (int c = 0; c < kZoneChannelCount; ++c) {
        for (int k = 0; k < kAreasPerChannel; ++k) {
            const QVector<QPoint> &points = area(c, k).points;
            UnsendableArea found;
            found.channel = c;
            found.area = k;
            found.pointCount = points.size();
            if (points.size() > kMaxZonePoints) {
                found.reason = UnsendableArea::TooManyPoints;
                return found;
            }
            for (const QPoint &p : points) {
                if (!fitsBlock(p.x()) || !fitsBlock(p.y())) {
                    found.reason = UnsendableArea::CoordinateTooLarge;
                    return found;
                }
            }
        }
    }
    return {};
}

QByteArray ZoneSet::block(int channel) const
{
    return encodeZoneBlock(channel, m_channels.at(size_t(channel)));
}

QVector<QByteArray> ZoneSet::blocks() const
{
    QVector<QByteArray> out;
    out.reserve(kZoneChannelCount);
    for (int c = 0; c < kZoneChannelCount; ++c)
        out.append(block(c));
    return out;
}
