#pragma once

#include "zoneset.h"

#include <QObject>
#include <QString>

// The zone set of this run and its copy on disk (config.ini in the working directory).
// Every change is made here first and written through at once, in the store's own format,
// so the file holds what a crash would otherwise lose; the file is read back only when it
// was replaced from outside (start-up, a zone file copied over it).
class ZoneStoreFile : public QObject
{
    Q_OBJECT

public:
    explicit ZoneStoreFile(const QString &fileName = zoneStoreFileName(),
                           QObject *parent = nullptr);

    QString fileName() const { return m_fileName; }
    const ZoneSet &zones() const { return m_zones; }
    const ZoneChannelRecord &channel(int channel) const { return m_zones.channel(channel); }

    // Writes the start-up values into the file (every area a polygon without vertices;
    // hysteresis keys are left as they are) and takes what the file then holds.
    bool reset();
    // Takes the whole file again, after it was replaced from outside.
    bool reload();

    // One channel, or the whole set, in memory and on disk. False when the file could not
    // be written: memory holds the change then, the file does not.
    bool setChannel(int channel, const ZoneChannelRecord &areas);
    bool setZones(const ZoneSet &zones);

    // The zones the scanner is known to hold: the set after a completed full read or
    // upload. Until a scanner has been read that is the start-up set, so zones drawn or
    // loaded before any connection count as not on the scanner, and an untouched start-up
    // store does not.
    void markOnScanner() { m_onScanner = m_zones; }
    bool hasUnsentChanges() const { return m_zones != m_onScanner; }

signals:
    void channelChanged(int channel);
    void zonesReplaced();

private:
    QString m_fileName;
    ZoneSet m_zones;
    ZoneSet m_onScanner;
};
