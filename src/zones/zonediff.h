#pragma once

#include "zoneset.h"

#include <QPoint>
#include <QString>
#include <QVector>

// What differs between two zone sets, area by area: the list the window's comparison
// dialog shows and the lines areascan-cli diff prints. "First" and "second" are the two
// sets in the order the caller names them.
struct ZoneDifference
{
    enum Kind
    {
        Shape,       // regionType
        VertexCount, // how many vertices Points holds
        Vertex,      // the first vertex, among those both lists hold, that differs
        Parameter,   // one of the five numbers of the area
    };
    int channel = 0;
    int area = 0;
    Kind kind = Shape;
    QString key;      // the zone store's key: regionType, Points, onDelay, ...
    int vertex = -1;  // Vertex: its index, from 0
    qint64 first = 0; // Shape, VertexCount, Parameter: the two values
    qint64 second = 0;
    QPoint firstPoint; // Vertex: the two vertices in millimetres
    QPoint secondPoint;

    bool operator==(const ZoneDifference &o) const;
    bool operator!=(const ZoneDifference &o) const { return !(*this == o); }
};

// The differences of one area, in this order: its shape, its number of vertices, its first
// differing vertex, then each differing number in the order the zone page shows them
// (onDelay, offDelay, hysteresis, detectableSize, dependScale).
void compareZoneAreas(int channel, int area, const ZoneAreaRecord &first,
                      const ZoneAreaRecord &second, QVector<ZoneDifference> *out);
// Every channel and area, in channel and area order; empty when the sets are equal.
QVector<ZoneDifference> compareZoneSets(const ZoneSet &first, const ZoneSet &second);

// One line in English: "channel 3, warning area: onDelay 2 vs 5", "channel 0, alarm
// area: vertex 4 at 100,900 vs 100,950" (vertices counted from 1, as the point table
// counts its rows).
QString describeZoneDifference(const ZoneDifference &difference);

// The 64 channels of a zone file that passed the strict reading, as a set.
ZoneSet zoneSetOf(const QVector<ZoneChannelRecord> &channels);
