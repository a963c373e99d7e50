#pragma once

#include "zoneblock.h"
#include "zonestore.h"

#include <QByteArray>
#include <QVector>

#include <array>

class QSettings;

// The zones of all 64 channels in memory, as the scanner holds them: the window, the
// running-status view, the zone files and the command-line tool all work on one of these,
// and the zone store on disk is only its copy.
//
// Vertices are whole millimetres, but not yet cut to the block's 16 bits: a set taken from
// a store that holds more than the scanner can carry still says so (findUnsendable), and
// nothing is wrapped before that check has passed.
class ZoneSet
{
public:
    // The store's start-up contents: every area a polygon without vertices, every
    // parameter 0.
    ZoneSet();

    const ZoneChannelRecord &channel(int channel) const { return m_channels.at(size_t(channel)); }
    const ZoneAreaRecord &area(int channel, int area) const
    {
        return m_channels.at(size_t(channel)).at(size_t(area));
    }
    void setChannel(int channel, const ZoneChannelRecord &areas);
    void setArea(int channel, int area, const ZoneAreaRecord &record);

    bool operator==(const ZoneSet &other) const { return m_channels == other.m_channels; }
    bool operator!=(const ZoneSet &other) const { return !(*this == other); }

    // Reads all 64 channels from a store: the integer keys cut to their field widths as
    // the block carries them, missing keys 0, vertices cut toward zero to whole millimetres.
    void load(QSettings &store);
    // Writes the seven keys of every area of one channel, or of all 64, in the store's own
    // order; the caller syncs.
    void saveChannel(QSettings &store, int channel) const;
    void save(QSettings &store) const;

    // The first area that the block cannot carry as it is (over 540 vertices, or a
    // coordinate outside 16 bits); converts to false when every area fits.
    UnsendableArea findUnsendable() const;

    // The block of one channel as REQUEST_WRITE_AREA sends it, or all 64 in channel order.
    QByteArray block(int channel) const;
    QVector<QByteArray> blocks() const;

private:
    std::array<ZoneChannelRecord, kZoneChannelCount> m_channels;
};
