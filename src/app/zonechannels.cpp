// The zone store as the window sees it: the set reset at start, the edited channel
// written into it and read back, and stored zones drawn in the running-status view.
#include "mainwindow.h"

#include "pathitem.h"
#include "pointstext.h"
#include "ui_mainwindow.h"
#include "zonegeometry.h"
#include "zonestorefile.h"

#include <QGraphicsPathItem>
#include <QMessageBox>

#include <algorithm>
#include <cmath>

using namespace ZoneGeometry;

namespace {

QPoint sceneToStored(const QPointF &p)
{
    return QPoint(int(std::trunc(p.x() * 10)), int(std::trunc(-p.y() * 10)));
}
} // namespace

// A channel as the scanner sent it goes into the store before the window hears of it.
void MainWindow::storeScannerChannel(int channel, const ZoneChannelRecord &areas)
{
    zoneStore->setScannerChannel(channel, areas);
}

ZoneChannelRecord MainWindow::storedChannel(int channel) const
{
    // The scanner's inputs can select a channel beyond the store's: it holds no zones.
    if (channel < 0 || channel >= kZoneChannelCount)
        return ZoneChannelRecord();
    ZoneChannelRecord areas = zoneStore->channel(channel);
    // As the block carries them: coordinates keep their low 16 bits.
    for (ZoneAreaRecord &a : areas)
        for (QPoint &p : a.points)
            p = QPoint(qint16(p.x()), qint16(p.y()));
    return areas;
}

void MainWindow::initConfigFile()
{
    zoneStore->reset();
}

QVector<QPoint> MainWindow::storedPointsOf(int area) const
{
    const AreaSettings &a = areaSettings[area];
    QVector<QPoint> stored;
    switch (a.regionType) {
    case PolygonRegion: {
        // Polygons are kept in their angular order, whatever order they were drawn in.
        QVector<QPointF> deviceFrame;
        deviceFrame.reserve(a.points.size());
        for (const QPointF &p : a.points)
            deviceFrame.append(QPointF(p.x(), -p.y()));
        for (const QPointF &p : storedPolygonOrder(deviceFrame))
            stored.append(QPoint(int(std::trunc(p.x() * 10)), int(std::trunc(p.y() * 10))));
        break;
    }
    case RectangleRegion:
        // The corners as the outline leaves them, from the vertices as they are now: a new
        // rectangle has all four on the scanner.
        for (const QPointF &p : buildRectangleZone(a.points).corners)
            stored.append(sceneToStored(p));
        break;
    default:
        for (const QPointF &p : a.points)
            stored.append(sceneToStored(p));
        break;
    }
    return stored;
}

// Writes what the user changed in the channel's areas; an area only looked at keeps its
// keys as they were read, byte for byte. False, after telling the user, when the store
// could not be written: the edits are then only in the editor, and whatever was about to
// read the store must not go on as if they were saved.
bool MainWindow::saveChannelToConfig(int channel)
{
    if (std::all_of(areaEdits.cbegin(), areaEdits.cend(), [](int edits) { return edits == 0; }))
        return true;
    ZoneChannelRecord areas;
    ZoneStoreFile::ChannelKeys keys = {};
    for (int k = 0; k < 3; ++k) {
        if (!areaEdits[k])
            continue;
        const AreaSettings &a = areaSettings[k];
        ZoneAreaRecord &record = areas[size_t(k)];
        record.onDelay = a.onDelay;
        record.offDelay = a.offDelay;
        record.hysteresis = a.hysteresis;
        record.detectableSize = a.detectableSize;
        record.regionType = a.regionType;
        record.dependScale = a.dependScale;
        if (areaEdits[k] & ShapeEdited) {
            record.points = storedPointsOf(k);
            keys[size_t(k)] = ZoneStoreFile::AllKeys;
        } else {
            keys[size_t(k)] = ZoneStoreFile::NumberKeys;
        }
    }
    if (zoneStore->setChannel(channel, areas, keys)) {
        areaEdits.fill(0);
        return true;
    }
    QMessageBox::critical(
        this, tr("提示"),
        tr("无法写入区域存储config.ini，第%1区域组的修改只保留在编辑器中").arg(channel),
        QMessageBox::Ok);
    return false;
}

void MainWindow::loadChannelFromConfig(int channel)
{
    const ZoneChannelRecord &stored = zoneStore->channel(channel);
    areaEdits.fill(0); // the records hold what the store holds
    for (int k = 0; k < 3; ++k) {
        zoneItems[k]->setPath(QPainterPath());
        const ZoneAreaRecord &record = stored[size_t(k)];
        AreaSettings &a = areaSettings[k];
        a.regionType = record.regionType;
        a.dependScale = record.dependScale;
        a.detectableSize = record.detectableSize;
        a.hysteresis = record.hysteresis;
        a.onDelay = record.onDelay;
        a.offDelay = record.offDelay;
        a.points.clear();
        a.points.reserve(record.points.size());
        for (const QPoint &p : record.points)
            a.points.append(QPointF(p.x() / 10.0, -p.y() / 10.0));
    }
    // The area selector keeps the area the user picked; only its parameters are shown.
    showAreaSelectors();
}

void MainWindow::reloadChannel(int channel)
{
    loadChannelFromConfig(channel);
    rebuildChannelShapes();
}

void MainWindow::showStateAreas(int channel)
{
    stateAreasChannel = channel;
    const ZoneChannelRecord areas = storedChannel(channel);
    for (int k = 0; k < 3; ++k) {
        QVector<QPointF> points;
        for (const QPoint &p : areas[k].points)
            points.append(QPointF(p.x() / 10.0, -p.y() / 10.0));
        QGraphicsPathItem *item = stateZoneItems[k];
        switch (areas[k].regionType) {
        case NoRegion:
            item->setPath(QPainterPath());
            break;
        case PolygonRegion:
            item->setPath(polygonZonePath(points));
            break;
        case ArcRegion:
            item->setPath(arcZonePath(points));
            break;
        case RectangleRegion:
            item->setPath(buildRectangleZone(points).path);
            break;
        default:
            break; // single-value types have no outline; the last one stays
        }
    }
}
