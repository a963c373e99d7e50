#pragma once

#include "zoneblock.h"

#include <QLatin1String>
#include <QString>
#include <QVariant>

class QSettings;

// The zone store: config.ini in the working directory, one section per channel with the
// seven keys of each area ("Channel5/Area2/Points" and so on). The zones of a run live in
// a ZoneSet, and ZoneStoreFile keeps the file as its copy; the functions here read and
// write the store's keys on a QSettings the caller opened (on the store or on a file of
// the same format).

inline QString zoneStoreFileName()
{
    return QStringLiteral("config.ini");
}

QString zoneKey(int channel, int area, QLatin1String name);

// The text under a Points key. A value written by hand without quotes is read by the
// settings library as a list of texts; it is joined back rather than lost.
QString storedPointsText(const QVariant &value);

// The start-up values of every area of every channel: no vertices, polygon, all
// parameters 0. Hysteresis is left as it is.
void resetZoneStore(QSettings &store);

// The six numbers of an area, cut to their field widths (8 bits, 16 for dependScale); the
// record's points stay empty. Missing keys read as 0.
ZoneAreaRecord readStoredParameters(QSettings &store, int channel, int area);
// The vertices of an area in millimetres as written, fractions included.
QVector<QPointF> readStoredPoints(QSettings &store, int channel, int area);

// A channel as the scanner gets it: the integer keys cut to their field widths, the
// vertices cut toward zero and kept to 16 bits. Missing keys read as 0 or no vertices.
ZoneChannelRecord readStoredChannel(QSettings &store, int channel);

// What the scanner sent for a channel, written over the channel's keys.
void writeStoredChannel(QSettings &store, int channel, const ZoneChannelRecord &areas);
// One area's keys: all seven, or only its six numbers (the Points text stays as it is).
void writeStoredArea(QSettings &store, int channel, int area, const ZoneAreaRecord &record);
void writeStoredParameters(QSettings &store, int channel, int area, const ZoneAreaRecord &record);

// An area that cannot travel to the scanner as it is stored.
struct UnsendableArea
{
    enum Reason
    {
        None,
        TooManyPoints,      // more vertices than the zone block holds
        CoordinateTooLarge, // a coordinate outside the 16-bit range
    };
    Reason reason = None;
    int channel = -1;
    int area = -1;
    int pointCount = 0;
    explicit operator bool() const { return reason != None; }
};

// The first area of channels 0..63 that would be cut or changed on the way to the
// scanner, or a result that converts to false when all of them fit.
UnsendableArea findUnsendableArea(QSettings &store);
