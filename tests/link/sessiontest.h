#pragma once

// What the tests of the scanner session share: a simulated scanner whose zones differ in
// every area of every channel, the blocks and records of its zones, firmware images, quick
// options, and how a procedure ended.
#include "devicestate.h"
#include "sessionfailure.h"
#include "simoptions.h"
#include "zoneblock.h"

#include <QCryptographicHash>
#include <QObject>

namespace sessiontest {

// Every area of every channel different, so a channel stored in the wrong place shows.
inline DeviceState scannerZones()
{
    DeviceState state;
    for (int channel = 0; channel < kZoneChannels; ++channel) {
        for (int k = 0; k < kZoneAreas; ++k) {
            ZoneArea &a = state.zone(channel, k);
            a = ZoneArea();
            a.regionType = quint8(1 + (channel + k) % 3);
            a.onDelay = quint8(channel % 51);
            a.dependScale = quint16(channel * 100 + k);
            for (int i = 0; i < (channel + k) % 7; ++i)
                a.points.append(QPoint(channel * 10 - i, k * 1000 + i * 3));
        }
    }
    return state;
}

inline ZoneChannelRecord recordOf(const DeviceState &state, int channel)
{
    ZoneChannelRecord record;
    for (int k = 0; k < kAreasPerChannel; ++k) {
        const ZoneArea &z = state.zone(channel, k);
        ZoneAreaRecord &a = record[k];
        a.onDelay = z.onDelay;
        a.offDelay = z.offDelay;
        a.hysteresis = z.hysteresis;
        a.detectableSize = z.detectableSize;
        a.regionType = z.regionType;
        a.dependScale = z.dependScale;
        a.points = z.points;
    }
    return record;
}

inline QVector<QByteArray> blocksOf(const DeviceState &state)
{
    QVector<QByteArray> blocks;
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        blocks.append(encodeZoneBlock(channel, recordOf(state, channel)));
    return blocks;
}

inline QByteArray image(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 512 * 13);
    return bytes;
}

inline QByteArray md5(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

// The channel of a zone request, -1 for a request without payload.
inline int firstByte(const QByteArray &payload)
{
    return payload.isEmpty() ? -1 : quint8(payload.at(0));
}

inline SimOptions quick()
{
    SimOptions o;
    o.paced = false;
    o.scanStream = false;
    o.seed = 5;
    o.restartMs = 100;
    return o;
}

// How a procedure ended, as its signals said.
struct Outcome
{
    int finished = 0;
    int failed = 0;
    SessionFailure failure;
    bool over() const { return finished + failed > 0; }

    template <class Procedure> void watch(Procedure *p)
    {
        QObject::connect(p, &Procedure::finished, &context, [this]() { ++finished; });
        QObject::connect(p, &Procedure::failed, &context, [this](const SessionFailure &f) {
            ++failed;
            failure = f;
        });
    }

private:
    QObject context; // the connections end with the outcome
};

} // namespace sessiontest
