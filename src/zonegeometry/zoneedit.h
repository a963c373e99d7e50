#pragma once

#include "areasettings.h"

#include <QPointF>
#include <QString>
#include <QVector>

// The zone page's editing arithmetic on plain numbers: the channel lists an area set is
// copied to, the mirror of an area, the grid a drag lands on and a measured distance.
namespace ZoneEdit {

// The grids a drag may snap to, in millimetres, and the one chosen at first.
const QVector<int> &snapGridsMm();
constexpr int kDefaultSnapGridMm = 50;

// A list of channels as the user types it: numbers and ranges "a-b" separated by commas
// (ASCII or full width) or blanks, e.g. "8-15, 20". Channels come back ascending, each
// once. On a part that is no channel 0..channelCount-1 or no rising range, returns false
// with that part in *badPart.
bool parseChannelList(const QString &text, int channelCount, QVector<int> *channels,
                      QString *badPart);

// The area mirrored about the scanner's forward axis (scene x to -x). The field of view is
// symmetric about that axis, so a mirrored zone keeps what the scanner can see of it.
AreaSettings mirroredArea(AreaSettings area);

// A scene point on the nearest crossing of a grid of gridMm millimetres (10 mm per scene
// unit); a grid of 0 or less leaves the point as it is.
QPointF snapToGrid(const QPointF &scene, int gridMm);

// From one scene point to another: the distance in millimetres and the direction in
// degrees counter-clockwise from the scanner's right (0 to under 360, 90 straight ahead).
struct Measurement
{
    double distanceMm = 0;
    double directionDeg = 0;
};
Measurement measure(const QPointF &fromScene, const QPointF &toScene);

} // namespace ZoneEdit
