// Zone editor: the scene's items, the outline builds, the handle pool and the cursor read-out.
#include "mainwindow.h"

#include "pathitem.h"
#include "rectangleitem.h"
#include "ui_mainwindow.h"
#include "zonegeometry.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPen>
#include <QStandardItemModel>

#include <cmath>

using namespace ZoneGeometry;

void MainWindow::setupZoneScene()
{
    QGraphicsScene *scene = form->areaMonitorGraphicsView->zoneScene();

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
    blindSector->setOpacity(0.6);
    blindSector->setZValue(-61);
    scene->addItem(blindSector);

    fieldOfViewItem = new QGraphicsEllipseItem(-1000, -1000, 2000, 2000);
    fieldOfViewItem->setStartAngle(-720);
    fieldOfViewItem->setSpanAngle(4320);
    fieldOfViewItem->setOpacity(0.6);
    fieldOfViewItem->setZValue(-60);
    scene->addItem(fieldOfViewItem);

    vertexHandles.reserve(kHandleCount);
    for (int i = 0; i < kHandleCount; ++i) {
        auto *handle = new RectangleItem(10, 10);
        connect(handle, &RectangleItem::sendItemPos, this, &MainWindow::onRectangleItemPos);
        handle->setData(3, i);
        vertexHandles.append(handle);
        handle->setPos(-handleOffsetX, -handleOffsetY);
    }
    // Items of equal Z stack in insertion order: adding the pool backwards puts the lowest
    // index on top, so of the spare handles on the scanner the next free vertex is grabbed.
    for (int i = kHandleCount - 1; i >= 0; --i)
        scene->addItem(vertexHandles[i]);

    const QBrush zoneBrushes[3] = {QBrush(Qt::yellow), QBrush(QColor(255, 128, 0)),
                                   QBrush(Qt::red)};
    for (int k = 0; k < 3; ++k) {
        auto *outline = new PathItem(k);
        outline->setBrush(zoneBrushes[k]);
        outline->setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIsFocusable);
        outline->setZValue(-106 - k);
        scene->addItem(outline);
        zoneItems.append(outline);
        connect(outline, &PathItem::sendPathId, this, &MainWindow::onRecvPathId);
    }

    connect(scene, &QGraphicsScene::focusItemChanged, this, &MainWindow::onFocusItemChanged);
    connect(pointModel, &QStandardItemModel::itemChanged, this, &MainWindow::onModelItemChanged);
    connect(form->tableView, &QAbstractItemView::clicked, this, [this]() { tableTouched = true; });
    for (QToolButton *button : {form->polygonBtn, form->arcBtn, form->rectangleBtn})
        connect(button, &QToolButton::clicked, this, &MainWindow::onShapeBtn);
}

// The window's children outlive its members: a cell editor that commits, or a scene that
// drops its focus item while they are torn down, must no longer reach this window.
void MainWindow::disconnectZoneEditor()
{
    disconnect(pointModel, nullptr, this, nullptr);
    disconnect(form->areaMonitorGraphicsView->zoneScene(), nullptr, this, nullptr);
    disconnect(form->tableView, nullptr, this, nullptr);
}

void MainWindow::placeHandle(int index, const QPointF &vertex)
{
    if (index >= 0 && index < vertexHandles.size())
        vertexHandles[index]->setPos(vertex - QPointF(handleOffsetX, handleOffsetY));
}

void MainWindow::resetHandles()
{
    for (RectangleItem *handle : qAsConst(vertexHandles)) {
        handle->setPos(-handleOffsetX, -handleOffsetY);
        handle->hide();
    }
}

void MainWindow::setHandlesVisible(bool visible)
{
    for (RectangleItem *handle : qAsConst(vertexHandles))
        handle->setVisible(visible);
}

// Draws the edited area's outline from its record. Only the user's own move (movedVertex
// set) may change the record: a polygon's dependScale then goes to 0, and the caller has
// already pulled an arc's partner or coupled a rectangle's corners. A redraw changes
// nothing, so a channel that is only looked at keeps what was read.
void MainWindow::rebuildOutline(int movedVertex)
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

QVector<QPointF> MainWindow::rectangleCornerList(int area) const
{
    return buildRectangleZone(areaSettings[area].points).corners;
}

void MainWindow::startNewShape()
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

void MainWindow::placeHandles()
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

void MainWindow::rebuildChannelShapes()
{
    for (int k = 0; k < 3; ++k) {
        currentArea = k;
        rebuildOutline(kNoMovedVertex);
    }
    currentArea = selectedArea;
    placeHandles();
    fillTable();
}

void MainWindow::onMouseMovePoint(QPoint point)
{
    const QPointF scene = form->areaMonitorGraphicsView->mapToScene(point);
    const qreal x = scene.x() / 100;
    const qreal y = -scene.y() / 100;
    qreal degrees = std::atan2(-scene.y(), scene.x()) * 180 / M_PI;
    if (degrees < 0)
        degrees += 360;
    form->lineEditX->setText(QString::number(x, 'f', 2));
    form->lineEditY->setText(QString::number(y, 'f', 2));
    form->lineEditD->setText(QString::number(std::hypot(scene.x(), scene.y()) / 100, 'f', 2));
    form->lineEdit0->setText(QString::number(degrees, 'f', 1));
}
