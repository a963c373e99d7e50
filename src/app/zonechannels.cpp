// The zone store as the window sees it: config.ini reset at start, the edited channel
// written and read back, and stored zones drawn in the running-status view.
#include "mainwindow.h"

#include "pathitem.h"
#include "pointstext.h"
#include "ui_mainwindow.h"
#include "zonegeometry.h"
#include "zonestore.h"

#include <QGraphicsPathItem>
#include <QMessageBox>
#include <QSettings>

#include <algorithm>
#include <cmath>

using namespace ZoneGeometry;

namespace {

// Stored millimetres (device frame, y forward) as scene units (10 mm, y down).
QVector<QPointF> storedToScene(QVector<QPointF> points)
{
    for (QPointF &p : points)
        p = QPointF(p.x() / 10, -p.y() / 10);
    return points;
}

QPoint sceneToStored(const QPointF &p)
{
    return QPoint(int(std::trunc(p.x() * 10)), int(std::trunc(-p.y() * 10)));
}
} // namespace

// A channel as the scanner sent it goes into the store before the window hears of it.
void MainWindow::storeScannerChannel(int channel, const ZoneChannelRecord &areas)
{
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    writeStoredChannel(store, channel, areas);
    store.sync();
}

ZoneChannelRecord MainWindow::storedChannel(int channel) const
{
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    return readStoredChannel(store, channel);
}

void MainWindow::initConfigFile()
{
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    resetZoneStore(store);
    store.sync();
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
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    const ZoneChannelRecord before = readStoredChannel(store, channel);
    for (int k = 0; k < 3; ++k) {
        if (!areaEdits[k])
            continue;
        const AreaSettings &a = areaSettings[k];
        ZoneAreaRecord record;
        record.onDelay = a.onDelay;
        record.offDelay = a.offDelay;
        record.hysteresis = a.hysteresis;
        record.detectableSize = a.detectableSize;
        record.regionType = a.regionType;
        record.dependScale = a.dependScale;
        if (areaEdits[k] & ShapeEdited) {
            record.points = storedPointsOf(k);
            writeStoredArea(store, channel, k, record);
        } else {
            writeStoredParameters(store, channel, k, record);
        }
    }
    store.sync();
    if (store.status() == QSettings::NoError) {
        zonesNotOnScanner = zonesNotOnScanner || readStoredChannel(store, channel) != before;
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
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    areaEdits.fill(0); // the records hold what the store holds
    for (int k = 0; k < 3; ++k) {
        zoneItems[k]->setPath(QPainterPath());
        const ZoneAreaRecord stored = readStoredParameters(store, channel, k);
        AreaSettings &a = areaSettings[k];
        a.regionType = stored.regionType;
        a.dependScale = stored.dependScale;
        a.detectableSize = stored.detectableSize;
        a.hysteresis = stored.hysteresis;
        a.onDelay = stored.onDelay;
        a.offDelay = stored.offDelay;
        a.points = storedToScene(readStoredPoints(store, channel, k));
    }
    store.sync();
    // The area selector keeps the area the user picked; only its parameters are shown.
    showAreaSelectors();
}

void MainWindow::reloadChannel(int channel)
{
    loadChannelFromConfig(channel);
    rebuildChannelShapes();
}
