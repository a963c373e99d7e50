#pragma once

#include "zoneblock.h"

#include <QVector>

#include <functional>

class QGraphicsPathItem;
class LaserScanView;
class QLabel;
class QPainterPath;
class ZoneStoreFile;

namespace Ui {
class MainWindow;
}

// The running-status page's state: the indicators of the scanner's inputs and outputs (on
// that page and, as a copy, on the zone page), the channel the inputs select, and the
// outlines of that channel's three zones in the live scan view, lit while their output is.
class StatusPanel
{
public:
    // The stored areas of a channel, as the window holds them.
    using StoredZones = std::function<ZoneChannelRecord(int channel)>;
    // The channels of a store, as the scanner would receive them.
    static StoredZones fromStore(const ZoneStoreFile *store);

    // Adds the three outlines (attention, warning, alarm) to the scan view's scene.
    StatusPanel(Ui::MainWindow *form, StoredZones storedZones);

    // One status message: the outputs light their indicators and zones, the inputs theirs;
    // a changed input byte selects the channel whose zones are drawn.
    void showState(uchar output, uchar input);
    // The link has gone: no output or input is lit, the zones are drawn unlit and the last
    // scan is no longer shown, so that nothing looks live that is not.
    void showNotLive();
    // Draws the stored zones of a channel, and keeps to it until the inputs choose another.
    void showChannel(int channel);
    // Draws the shown channel again, after its stored zones changed.
    void redraw() { showChannel(channel); }
    int shownChannel() const { return channel; }
    QGraphicsPathItem *zoneItem(int area) const { return zones.at(area); }

    // The outline of a stored area in scene units (10 mm, y down). False for the types
    // that have no outline of their own: the outline drawn before stays.
    static bool areaOutline(const ZoneAreaRecord &area, QPainterPath *outline);

private:
    struct Output
    {
        uchar mask;
        QLabel *status;
        QLabel *zonePage;
        int zone; // the zone it lights, -1 for none
    };

    StoredZones storedZones;
    QVector<QGraphicsPathItem *> zones;
    QVector<Output> outputs;
    QVector<QLabel *> inputs; // input n at 2n (status page) and 2n + 1 (zone page)
    QLabel *channelLabel;
    LaserScanView *scanView;
    // Outside the input bytes (0 to 63), so the first status message always counts as a
    // change.
    static constexpr uchar kNoInput = 0x41;
    uchar lastInput = kNoInput;
    int channel = 0;
};
