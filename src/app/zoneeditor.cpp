// Zone editor: the scene's items, the edited channel taken from the zone set and saved
// back, the outline builds, the handle pool and the cursor read-out.
#include "zoneeditor.h"

#include "pathitem.h"
#include "pointstext.h"
#include "rectangleitem.h"
#include "scanpointlayer.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"
#include "zonegeometry.h"
#include "zonestorefile.h"

#include <QCoreApplication>
#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPen>
#include <QStandardItemModel>
#include <QUndoStack>

#include <algorithm>
#include <cmath>

using namespace ZoneGeometry;

namespace {
// Steps kept for taking back; the oldest go first. A step holds the edited channel's
// records (shared with its neighbours until they change), a zone file load the store.
constexpr int kHistoryLimit = 1000;

QPoint sceneToStored(const QPointF &p)
{
    return QPoint(int(std::trunc(p.x() * 10)), int(std::trunc(-p.y() * 10)));
}
} // namespace

ZoneEditor::ZoneEditor(Ui::MainWindow *form, QWidget *window, QStatusBar *statusBar,
                       ZoneStoreFile *store, QObject *parent)
    : QObject(parent), form(form), window(window), statusBar(statusBar), store(store)
{
    // The table's model lives as long as its view: a cell editor may commit into it while the
    // window's widgets are torn down, after the editor has gone.
    model = new QStandardItemModel(0, 2, form->tableView);
    form->tableView->setModel(model);
    form->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    history = new QUndoStack(this);
    history->setUndoLimit(kHistoryLimit);
    setupScene();
    connectPage();
    connectTools();
}

void ZoneEditor::setupScene()
{
    QGraphicsScene *scene = form->areaMonitorGraphicsView->zoneScene();
    // The scan's squares move on every scan; a spatial index would be rebuilt for each
    // of them, while the few hundred items of the zone page are cheap to walk.
    scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    // First in the scene: among the items of Z value 0 the points then lie below the
    // vertex handles added later, and above the zone outlines, grid and sectors.
    scanPoints = new ScanPointLayer;
    scene->addItem(scanPoints);

    gridItem = new QGraphicsPathItem(gridPath(gridLabelFont()));
    gridItem->setPos(-1000, -1000);
    gridItem->setPen(QPen(Qt::gray, 2));
    gridItem->setBrush(QBrush(Qt::gray)); // fills the label glyphs
    gridItem->setZValue(-61);
    // The grid's many label glyphs are drawn once, not on every repaint of the live scan.
    gridItem->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    scene->addItem(gridItem);

    auto *blindSector = new QGraphicsEllipseItem(-1000, -1000, 2000, 2000);
    blindSector->setStartAngle(-2160);
    blindSector->setSpanAngle(1440);
    blindSector->setBrush(QBrush(Qt::gray));
    blindSector->setOpacity(kSectorOpacity);
    blindSector->setZValue(-61);
    scene->addItem(blindSector);

    fieldOfViewItem = new QGraphicsEllipseItem(-1000, -1000, 2000, 2000);
    fieldOfViewItem->setStartAngle(-720);
    fieldOfViewItem->setSpanAngle(4320);
    fieldOfViewItem->setOpacity(kSectorOpacity);
    fieldOfViewItem->setZValue(-60);
    scene->addItem(fieldOfViewItem);

    vertexHandles.reserve(kHandleCount);
    for (int i = 0; i < kHandleCount; ++i) {
        auto *handle = new RectangleItem(10, 10);
        handle->setData(3, i);
        vertexHandles.append(handle);
        handle->setPos(-handleOffsetX, -handleOffsetY);
        connect(handle, &RectangleItem::pressed, this, &ZoneEditor::beginDrag);
        connect(handle, &RectangleItem::released, this, &ZoneEditor::endDrag);
    }
    // Items of equal Z stack in insertion order: adding the pool backwards puts the lowest
    // index on top, so of the spare handles on the scanner the next free vertex is grabbed.
    for (int i = kHandleCount - 1; i >= 0; --i)
        scene->addItem(vertexHandles[i]);

    for (int k = 0; k < 3; ++k) {
        auto *outline = new PathItem(k);
        outline->setBrush(zoneBrush(k));
        outline->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsFocusable);
        outline->setZValue(-106 - k);
        scene->addItem(outline);
        zoneItems.append(outline);
    }

    // Dashed, unfilled and above the zones, so that both outlines show where they differ.
    const QColor dashes[3] = {QColor(150, 120, 0), QColor(170, 80, 0), QColor(130, 0, 0)};
    for (const QColor &dash : dashes) {
        auto *other = new QGraphicsPathItem;
        QPen pen(dash, 2, Qt::DashLine);
        pen.setCosmetic(true);
        other->setPen(pen);
        other->setZValue(-50);
        other->setAcceptedMouseButtons(Qt::NoButton);
        other->hide();
        scene->addItem(other);
        comparedItems.append(other);
    }
}

void ZoneEditor::showOtherOutlines(int channel, const QVector<QPainterPath> &paths)
{
    comparedChannel = channel;
    for (int k = 0; k < comparedItems.size(); ++k) {
        comparedItems[k]->setPath(paths.value(k));
        comparedItems[k]->setVisible(channel == currentChannel);
    }
}

void ZoneEditor::hideOtherOutlines()
{
    comparedChannel = -1;
    for (QGraphicsPathItem *other : qAsConst(comparedItems))
        other->hide();
}

QBrush ZoneEditor::zoneBrush(int area)
{
    return QBrush(zoneColor(area));
}

bool ZoneEditor::hasEdits() const
{
    return std::any_of(areaEdits.cbegin(), areaEdits.cend(), [](int edits) { return edits != 0; });
}

void ZoneEditor::markAreaEdited(int area, int what)
{
    if (area >= 0 && area < areaEdits.size())
        areaEdits[area] |= what;
}

bool ZoneEditor::showChannel(int channel)
{
    if (channel < 0)
        return false;
    if (!saveChannel()) {
        // Taking another channel would drop the edits that only the editor holds now.
        const QSignalBlocker quiet(form->channels);
        form->channels->setCurrentIndex(currentChannel);
        return false;
    }
    takeChannel(channel);
    backwardDeleteIndex = 2;
    return true;
}

QVector<QPoint> ZoneEditor::storedPointsOf(int area) const
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
// keys as they were read, byte for byte.
// The user's changes of the edited channel laid over areas: each edited area's numbers,
// and its vertices where its shape was edited. keys, when given, says which keys of each
// area a save writes.
void ZoneEditor::layEditsOver(ZoneChannelRecord *areas, ZoneStoreFile::ChannelKeys *keys) const
{
    for (int k = 0; k < 3; ++k) {
        if (!areaEdits[k])
            continue;
        const AreaSettings &a = areaSettings[k];
        ZoneAreaRecord &record = (*areas)[size_t(k)];
        record.onDelay = a.onDelay;
        record.offDelay = a.offDelay;
        record.hysteresis = a.hysteresis;
        record.detectableSize = a.detectableSize;
        record.regionType = a.regionType;
        record.dependScale = a.dependScale;
        if (areaEdits[k] & ShapeEdited)
            record.points = storedPointsOf(k);
        if (keys)
            (*keys)[size_t(k)] =
                areaEdits[k] & ShapeEdited ? ZoneStoreFile::AllKeys : ZoneStoreFile::NumberKeys;
    }
}

ZoneSet ZoneEditor::zonesWithEdits() const
{
    ZoneSet zones = store->zones();
    if (hasEdits()) {
        ZoneChannelRecord areas = zones.channel(currentChannel);
        layEditsOver(&areas, nullptr);
        zones.setChannel(currentChannel, areas);
    }
    return zones;
}

bool ZoneEditor::saveChannel()
{
    if (!hasEdits())
        return true;
    ZoneChannelRecord areas;
    ZoneStoreFile::ChannelKeys keys = {};
    layEditsOver(&areas, &keys);
    if (store->setChannel(currentChannel, areas, keys)) {
        areaEdits.fill(0);
        return true;
    }
    storeWriteFailed();
    return false;
}

void ZoneEditor::takeChannel(int channel)
{
    currentChannel = channel;
    loadChannel(channel);
    rebuildChannelShapes();
}

void ZoneEditor::loadChannel(int channel)
{
    const ZoneChannelRecord &stored = store->channel(channel);
    areaEdits.fill(0); // the records hold what the set holds
    if (channel != comparedChannel)
        hideOtherOutlines();
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

void ZoneEditor::replaceAreaRecord(int area, const AreaSettings &record, const QString &stepName)
{
    if (area < 0 || area > 2)
        return;
    const Snapshot before = capture();
    putAreaRecord(area, record);
    pushStep(stepName.isEmpty() ? windowTr("替换%1").arg(areaTitle(area)) : stepName, before,
             1 << area);
}

void ZoneEditor::putAreaRecord(int area, const AreaSettings &record)
{
    areaSettings[area] = record;
    markAreaEdited(area, ShapeEdited | ParametersEdited);
    // An outline without vertices keeps its path when it is rebuilt: the old one goes first.
    zoneItems[area]->setPath(QPainterPath());
    if (area == currentArea) {
        placeHandles();
        fillTable();
        showAreaSelectors();
        checkShapeButton(record.regionType);
    } else {
        currentArea = area;
        rebuildOutline(kNoMovedVertex);
        currentArea = selectedArea;
        checkShapeButton(areaSettings[currentArea].regionType);
    }
}

void ZoneEditor::placeHandle(int index, const QPointF &vertex)
{
    if (index >= 0 && index < vertexHandles.size())
        vertexHandles[index]->setPos(vertex - QPointF(handleOffsetX, handleOffsetY));
}

void ZoneEditor::resetHandles()
{
    for (RectangleItem *handle : qAsConst(vertexHandles)) {
        handle->setPos(-handleOffsetX, -handleOffsetY);
        handle->hide();
    }
}

void ZoneEditor::setHandlesVisible(bool visible)
{
    for (RectangleItem *handle : qAsConst(vertexHandles))
        handle->setVisible(visible);
}

// Draws the edited area's outline from its record. Only the user's own move (movedVertex
// set) may change the record: a polygon's dependScale then goes to 0, and the caller has
// already pulled an arc's partner or coupled a rectangle's corners. A redraw changes
// nothing, so a channel that is only looked at keeps what was read.
void ZoneEditor::rebuildOutline(int movedVertex)
{
    AreaSettings &area = areaSettings[currentArea];
    PathItem *outline = zoneItems[currentArea];
    switch (area.regionType) {
    case NoRegion:
        outline->setPath(QPainterPath());
        break;
    case PolygonRegion:
        form->polygonBtn->setChecked(true);
        if (movedVertex != kNoMovedVertex)
            area.dependScale = 0;
        if (!area.points.isEmpty())
            outline->setPath(polygonZonePath(area.points));
        break;
    case ArcRegion:
        form->arcBtn->setChecked(true);
        // The radius of the vertex the user moved; as read, that of vertex 0.
        outline->setPath(movedVertex == kNoMovedVertex
                             ? arcZonePath(area.points)
                             : buildArcZone(area.points, movedVertex).path);
        break;
    case RectangleRegion:
        form->rectangleBtn->setChecked(true);
        outline->setPath(buildRectangleZone(area.points).path);
        break;
    default:
        break;
    }
}

void ZoneEditor::startNewShape()
{
    resetHandles();
    AreaSettings &area = areaSettings[currentArea];
    area.points.clear();
    area.dependScale = 0;
    zoneItems[currentArea]->setPath(QPainterPath());
    switch (area.regionType) {
    case ArcRegion:
        area.points = QVector<QPointF>(2, QPointF(0, 0));
        vertexHandles[0]->show();
        vertexHandles[1]->show();
        break;
    case RectangleRegion:
        area.points = QVector<QPointF>(4, QPointF(0, 0));
        for (int i = 0; i < 4; ++i)
            vertexHandles[i]->show();
        break;
    case PolygonRegion:
        setHandlesVisible(true);
        break;
    default:
        break;
    }
}

void ZoneEditor::placeHandles()
{
    resetHandles();
    const AreaSettings &area = areaSettings[currentArea];
    const int count = area.points.size();
    switch (area.regionType) {
    case PolygonRegion:
        // Spare handles stay on the scanner, where dragging one adds the next vertex.
        for (int i = 0; i < count && i < kHandleCount; ++i)
            placeHandle(i, area.points[i]);
        setHandlesVisible(true);
        break;
    case ArcRegion:
    case RectangleRegion:
        for (int i = 0; i < count && i < kHandleCount; ++i) {
            placeHandle(i, area.points[i]);
            vertexHandles[i]->show();
        }
        break;
    default:
        break;
    }
    rebuildOutline(kNoMovedVertex);
}

void ZoneEditor::rebuildChannelShapes()
{
    for (int k = 0; k < 3; ++k) {
        currentArea = k;
        rebuildOutline(kNoMovedVertex);
    }
    currentArea = selectedArea;
    placeHandles();
    fillTable();
}

void ZoneEditor::showCursor(const QPoint &viewPoint)
{
    const QPointF scene = form->areaMonitorGraphicsView->mapToScene(viewPoint);
    const qreal x = scene.x() / 100;
    const qreal y = -scene.y() / 100;
    qreal degrees = std::atan2(-scene.y(), scene.x()) * 180 / M_PI;
    if (degrees < 0)
        degrees += 360;
    form->lineEditX->setText(QString::number(x, 'f', 2));
    form->lineEditY->setText(QString::number(y, 'f', 2));
    form->lineEditD->setText(QString::number(std::hypot(scene.x(), scene.y()) / 100, 'f', 2));
    form->lineEdit0->setText(QString::number(degrees, 'f', 1));
    if (cursorLabel) {
        const QPoint mm = sceneToMm(scene);
        cursorLabel->setText(windowTr("X %1 mm  Y %2 mm").arg(mm.x()).arg(mm.y()));
    }
}
