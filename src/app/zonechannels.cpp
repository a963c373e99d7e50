// The zone store as the window sees it: config.ini reset at start, the edited channel
// written and read back, and stored zones drawn in the running-status view.
#include "mainwindow.h"

#include "pathitem.h"
#include "pointstext.h"
#include "ui_mainwindow.h"
#include "zonegeometry.h"
#include "zonestore.h"

#include <QGraphicsPathItem>
#include <QSettings>

#include <cmath>

using namespace ZoneGeometry;

namespace {
const QLatin1String kPoints("Points");
const QLatin1String kRegionType("regionType");
const QLatin1String kDependScale("dependScale");
const QLatin1String kDetectableSize("detectableSize");
const QLatin1String kHysteresis("hysteresis");
const QLatin1String kOnDelay("onDelay");
const QLatin1String kOffDelay("offDelay");

// Stored millimetres (device frame, y forward) as scene units (10 mm, y down).
QVector<QPointF> storedToScene(const QVariant &value)
{
    QVector<QPointF> points = parsePointsText(storedPointsText(value));
    for (QPointF &p : points)
        p = QPointF(p.x() / 10, -p.y() / 10);
    return points;
}

QPoint sceneToStored(const QPointF &p)
{
    return QPoint(int(std::trunc(p.x() * 10)), int(std::trunc(-p.y() * 10)));
}
} // namespace

void MainWindow::initConfigFile()
{
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    resetZoneStore(store);
    store.sync();
}

QString MainWindow::storedPointsOf(int area) const
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
        for (const QPointF &p : rectangleCorners[area])
            stored.append(sceneToStored(p));
        break;
    default:
        for (const QPointF &p : a.points)
            stored.append(sceneToStored(p));
        break;
    }
    return pointsText(stored);
}

void MainWindow::saveChannelToConfig(int channel)
{
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    for (int k = 0; k < 3; ++k) {
        const AreaSettings &a = areaSettings[k];
        store.setValue(zoneKey(channel, k, kPoints), storedPointsOf(k));
        store.setValue(zoneKey(channel, k, kRegionType), int(a.regionType));
        store.setValue(zoneKey(channel, k, kDependScale), int(a.dependScale));
        store.setValue(zoneKey(channel, k, kDetectableSize), int(a.detectableSize));
        store.setValue(zoneKey(channel, k, kHysteresis), int(a.hysteresis));
        store.setValue(zoneKey(channel, k, kOnDelay), int(a.onDelay));
        store.setValue(zoneKey(channel, k, kOffDelay), int(a.offDelay));
    }
    store.sync();
}

void MainWindow::loadChannelFromConfig(int channel)
{
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    for (int k = 0; k < 3; ++k) {
        zoneItems[k]->setPath(QPainterPath());
        AreaSettings &a = areaSettings[k];
        auto number = [&](QLatin1String name) {
            return store.value(zoneKey(channel, k, name)).toInt();
        };
        a.regionType = quint8(number(kRegionType));
        a.dependScale = quint16(number(kDependScale));
        a.detectableSize = quint8(number(kDetectableSize));
        a.hysteresis = quint8(number(kHysteresis));
        a.onDelay = quint8(number(kOnDelay));
        a.offDelay = quint8(number(kOffDelay));
        a.points = storedToScene(store.value(zoneKey(channel, k, kPoints)));
    }
    store.sync();
    // The area selector keeps the area the user picked; only its parameters are shown.
    showAreaSelectors();
}

void MainWindow::reloadChannel(int channel)
{
    loadChannelFromConfig(channel);
    // Nothing may reach the store until all three shapes are rebuilt: a rectangle's
    // stored corners come from its build, and the store must keep what was loaded.
    storeSavesHeld = true;
    rebuildChannelShapes();
    storeSavesHeld = false;
}

void MainWindow::saveEditedChannel()
{
    if (!storeSavesHeld)
        saveChannelToConfig(currentChannel);
}

void MainWindow::showStateAreas(int channel)
{
    stateAreasChannel = channel;
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    for (int k = 0; k < 3; ++k) {
        const int type = store.value(zoneKey(channel, k, kRegionType)).toInt();
        const QVector<QPointF> points = storedToScene(store.value(zoneKey(channel, k, kPoints)));
        QGraphicsPathItem *item = stateZoneItems[k];
        switch (type) {
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
    store.sync();
}
