#pragma once

#include "zoneblock.h"

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QVector>

class QSettings;

// Zone files from outside the tool (a user's file, a set carried from another PC) are
// read strictly, unlike the zone store's own lenient reading: a file is taken only if the
// scanner would receive exactly what it says, in every area of all 64 channels. Anything
// the block would wrap, cut, or make up from a missing or broken value is refused, with
// the channel, area and key that are wrong.

// The largest zone file that is read at all. The largest file the tool writes itself,
// 540 vertices of "-32768,-32768," in each of the 192 areas with their six numbers, is
// about 1.5 MB; a file several times that size cannot be a zone file and is refused
// before a byte of it is read.
constexpr qint64 kMaxZoneFileBytes = 4 * 1024 * 1024;

struct ZoneFileProblem
{
    enum Kind
    {
        None,
        NotARegularFile, // a folder, a device, a FIFO, a socket: never opened
        TooLarge,        // number: the size found
        Unreadable,      // detail: the system's reason
        NotIni,          // the settings library cannot parse it
        NoChannels,      // not a single "ChannelN" section
        MissingChannel,  // channel
        MissingKey,      // channel, area, key
        NotAWholeNumber, // channel, area, key; detail: the value as written (shortened)
        OutOfRange,      // channel, area, key, detail, minimum, maximum
        PointsNotPairs,  // channel, area, key: not whole "x,y," pairs ending in a comma
        TooManyPoints,   // channel, area, key; number: the vertex count
    };
    Kind kind = None;
    int channel = -1;
    int area = -1;
    QString key;
    QString detail;
    qint64 number = 0;
    qint64 minimum = 0;
    qint64 maximum = 0;
    explicit operator bool() const { return kind != None; }
};

struct ZoneFile
{
    bool read = false; // whether the file was opened and read
    QByteArray bytes;  // what was read
    // All 64 channels as the scanner would receive them; empty when the file is refused.
    QVector<ZoneChannelRecord> channels;
    ZoneFileProblem problem;
    bool ok() const { return !problem; }
};

// Reads and checks the file at path. A path that is not a regular file, or a file above
// kMaxZoneFileBytes, is refused before it is read, so a FIFO or a device cannot block or
// flood the caller. Nothing but the file is touched.
ZoneFile readZoneFile(const QString &path);

// The same checks on bytes already in memory (parsed from a temporary copy, exactly as
// the settings library reads the zone store).
ZoneFile checkZoneFileBytes(const QByteArray &bytes);

// The checks on an opened settings file: every area of channels 0..63 must hold Points,
// regionType, dependScale, detectableSize, onDelay and offDelay (hysteresis may be missing,
// as the start-up store leaves it, and reads 0), each within its field of the zone block.
// Fills *channels with the 64 channels only when there is no problem.
ZoneFileProblem checkZoneStore(QSettings &store, QVector<ZoneChannelRecord> *channels);

// The same checks for the three areas of one channel (a channel without a section shows
// as the missing Points key of its area 0). Fills *areas only when there is no problem.
ZoneFileProblem checkStoredChannel(QSettings &store, int channel, ZoneChannelRecord *areas);
// The same checks for one area; *out holds the area when there is no problem.
ZoneFileProblem checkStoredArea(QSettings &store, int channel, int area, ZoneAreaRecord *out);

// A points text as a file from outside must write it: empty, or whole "x,y," pairs with
// the final comma, each number a whole millimetre within 16 bits, at most 540 pairs.
// On success *points holds the vertices; the problem names no channel or area.
ZoneFileProblem readStrictPointsText(const QString &text, QVector<QPoint> *points);

// One line in English for the command-line tool: the file as the user named it, then
// what is wrong and where ("zones.ini: channel 3, warning area: regionType 300 is outside
// 0 to 255").
QString describeZoneFileProblem(const ZoneFileProblem &problem, const QString &fileName);
