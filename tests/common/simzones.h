#pragma once

#include "devicestate.h"
#include "zoneblock.h"
#include "zoneset.h"

#include <QVector>

#include <cmath>

// The one converter between the simulated scanner's zone memory and the tool's zone
// records: the same six numbers and vertices under the names each side gives them.

inline ZoneAreaRecord toolArea(const ZoneArea &z)
{
    ZoneAreaRecord a;
    a.onDelay = z.onDelay;
    a.offDelay = z.offDelay;
    a.hysteresis = z.hysteresis;
    a.detectableSize = z.detectableSize;
    a.regionType = z.regionType;
    a.dependScale = z.dependScale;
    a.points = z.points;
    return a;
}

inline ZoneArea simArea(const ZoneAreaRecord &a)
{
    ZoneArea z;
    z.onDelay = a.onDelay;
    z.offDelay = a.offDelay;
    z.hysteresis = a.hysteresis;
    z.detectableSize = a.detectableSize;
    z.regionType = a.regionType;
    z.dependScale = a.dependScale;
    z.points = a.points;
    return z;
}

// One channel of the scanner, as the tool keeps it.
inline ZoneChannelRecord toolChannel(const DeviceState &state, int channel)
{
    ZoneChannelRecord record;
    for (int k = 0; k < kAreasPerChannel; ++k)
        record[size_t(k)] = toolArea(state.zone(channel, k));
    return record;
}

// The zones the simulated scanner holds, as the tool keeps them.
inline ZoneSet toolZones(const DeviceState &state)
{
    ZoneSet set;
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        set.setChannel(channel, toolChannel(state, channel));
    return set;
}

// A scanner holding the given channels (all 64), its other state as a new one's.
inline DeviceState scannerHolding(const QVector<ZoneChannelRecord> &channels,
                                  DeviceState state = DeviceState())
{
    for (int c = 0; c < kZoneChannelCount && c < channels.size(); ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            state.zone(c, k) = simArea(channels.at(c)[size_t(k)]);
    return state;
}

inline DeviceState scannerHolding(const ZoneSet &zones, DeviceState state = DeviceState())
{
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            state.zone(c, k) = simArea(zones.area(c, k));
    return state;
}

// count vertices on a circle of radius mm around the scanner, from a little right of it
// round to its left.
inline QVector<QPoint> polygonOf(int radius, int count)
{
    QVector<QPoint> points;
    for (int i = 0; i < count; ++i) {
        const double a = -0.6 + 4.3 * i / qMax(1, count - 1);
        points.append(QPoint(int(radius * std::cos(a)), int(radius * std::sin(a))));
    }
    return points;
}
