// Point table: the edited area's vertices in millimetres, kept in step with the handles.
#include "mainwindow.h"

#include "pathitem.h"
#include "rectangleitem.h"
#include "ui_mainwindow.h"
#include "zonegeometry.h"

#include <QStandardItemModel>

#include <cmath>

using namespace ZoneGeometry;

namespace {
const QString kAddRowHeader = QStringLiteral("+");

QList<QStandardItem *> vertexRowItems(const QPointF &vertex)
{
    const QPoint mm = sceneToMm(vertex);
    return {new QStandardItem(QString::number(mm.x())), new QStandardItem(QString::number(mm.y()))};
}
} // namespace

bool MainWindow::isAddRow(int row) const
{
    const QStandardItem *header = pointModel->verticalHeaderItem(row);
    return header && header->text() == kAddRowHeader;
}

void MainWindow::setRowCells(int row, const QPointF &vertex)
{
    const QPoint mm = sceneToMm(vertex);
    pointModel->setData(pointModel->index(row, 0), mm.x(), Qt::EditRole);
    pointModel->setData(pointModel->index(row, 1), mm.y(), Qt::EditRole);
}

void MainWindow::refreshRow(int row)
{
    const QVector<QPointF> &points = areaSettings[currentArea].points;
    if (row < 0 || row >= points.size())
        return;
    if (pointModel->rowCount() > row)
        setRowCells(row, points[row]);
    else
        pointModel->insertRow(pointModel->rowCount(), vertexRowItems(points[row]));
}

void MainWindow::fillTable()
{
    tableTouched = false;
    pointModel->clear();
    pointModel->setHorizontalHeaderLabels({QStringLiteral("X[mm]"), QStringLiteral("Y[mm]")});
    const AreaSettings &area = areaSettings[currentArea];
    switch (area.regionType) {
    case PolygonRegion:
    case ArcRegion:
    case RectangleRegion:
        for (const QPointF &vertex : area.points)
            pointModel->appendRow(vertexRowItems(vertex));
        // A polygon grows through its add row until every handle is in use.
        if (area.regionType == PolygonRegion && area.points.size() < kHandleCount) {
            const int row = pointModel->rowCount();
            pointModel->insertRow(row);
            setRowCells(row, QPointF(0, 0));
            pointModel->setVerticalHeaderItem(row, new QStandardItem(kAddRowHeader));
        }
        break;
    case 4:
    case 5:
    case 6:
        pointModel->appendRow({new QStandardItem(QStringLiteral("0")),
                               new QStandardItem(QString::number(area.dependScale * 10))});
        break;
    default:
        break;
    }
}

// Row k of a polygon follows vertex k; a new vertex gets its row just above the add row,
// and the 540th vertex takes over the add row itself.
void MainWindow::updatePolygonRow(int k, const QPointF &vertex)
{
    const int rows = pointModel->rowCount();
    const bool hasAddRow = rows > 0 && isAddRow(rows - 1);
    const int vertexRows = hasAddRow ? rows - 1 : rows;
    if (k >= vertexRows) {
        if (hasAddRow && areaSettings[currentArea].points.size() >= kHandleCount)
            delete pointModel->takeVerticalHeaderItem(rows - 1);
        else
            pointModel->insertRow(vertexRows);
    }
    setRowCells(k, vertex);
}

// Arcs and rectangles from a store may hold fewer points than their shape has corners.
void MainWindow::placeShapeHandles(int count)
{
    const QVector<QPointF> &points = areaSettings[currentArea].points;
    for (int i = 0; i < count && i < points.size(); ++i) {
        placeHandle(i, points[i]);
        refreshRow(i);
    }
}

void MainWindow::onRectangleItemPos(QPointF pos)
{
    tableTouched = false;
    auto *handle = qobject_cast<RectangleItem *>(sender());
    if (!handle)
        return;
    const int k = handle->data(3).toInt();
    const QPointF v = pos + QPointF(handleOffsetX, handleOffsetY);
    AreaSettings &area = areaSettings[currentArea];
    const int type = area.regionType;

    // Arcs and rectangles have a fixed number of vertices: a spare handle dragged off the
    // scanner would add a point the shape cannot use, so it stays on the scanner.
    if ((type == ArcRegion || type == RectangleRegion) && k >= area.points.size()) {
        handle->setPos(-handleOffsetX, -handleOffsetY);
        return;
    }

    switch (type) {
    case ArcRegion: {
        area.points = syncArcRadius(area.points, k, v);
        refreshRow(k);
        const int other = k == 0 ? 1 : 0;
        if (other < area.points.size()) {
            placeHandle(other, area.points[other]);
            refreshRow(other);
        }
        break;
    }
    case RectangleRegion:
        // The coupling reads the corners as they were before this move.
        area.points = coupleRectangle(area.points, k, v);
        placeShapeHandles(4);
        refreshRow(k);
        break;
    default:
        if (k < area.points.size())
            area.points[k] = v;
        else
            area.points.append(v);
        if (type == PolygonRegion)
            updatePolygonRow(k, v);
        break;
    }
    markAreaEdited(currentArea, ShapeEdited);
    rebuildOutline(k);
}

// A cell's value in whole millimetres. Text that is no finite number is refused; a
// fraction is truncated toward zero like every millimetre value.
bool MainWindow::readCellMm(int row, int column, int *mm) const
{
    const QVariant value = pointModel->data(pointModel->index(row, column), Qt::EditRole);
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    *mm = int(qBound(-1e9, std::trunc(number), 1e9));
    return true;
}

void MainWindow::onModelItemChanged(QStandardItem *item)
{
    if (!tableTouched || !item)
        return;
    tableTouched = false;
    const int e = item->row();
    AreaSettings &area = areaSettings[currentArea];
    const int type = area.regionType;

    int x = 0;
    int y = 0;
    if (!readCellMm(e, 0, &x) || !readCellMm(e, 1, &y)) {
        setRowCells(e, e < area.points.size() ? area.points[e] : QPointF(0, 0));
        return;
    }
    // Only where a dragged handle can go, which also keeps the value within 16 bits.
    const QPointF v = mmToScene(qBound(kMinX, x, kMaxX), qBound(kMinY, y, kMaxY));

    switch (type) {
    case ArcRegion:
        if (e > 1 || e >= area.points.size())
            return;
        area.points = syncArcRadius(area.points, e, v);
        placeShapeHandles(2);
        break;
    case RectangleRegion:
        if (e > 3 || e >= area.points.size())
            return;
        area.points = coupleRectangle(area.points, e, v);
        placeShapeHandles(4);
        break;
    case PolygonRegion:
        if (e > area.points.size())
            return;
        if (isAddRow(e)) {
            pointModel->setVerticalHeaderItem(
                e, new QStandardItem(QString::number(pointModel->rowCount())));
            if (area.points.size() + 1 < kHandleCount) {
                const int row = pointModel->rowCount();
                pointModel->insertRow(row);
                setRowCells(row, QPointF(0, 0));
                pointModel->setVerticalHeaderItem(row, new QStandardItem(kAddRowHeader));
            }
        }
        if (e < area.points.size())
            area.points[e] = v;
        else
            area.points.append(v);
        placeHandle(e, v);
        break;
    default:
        break;
    }
    markAreaEdited(currentArea, ShapeEdited);
    // The cell shows what the vertex holds: truncated, and clamped where it had to be.
    if (e < area.points.size())
        setRowCells(e, area.points[e]);
    rebuildOutline(e);
}

void MainWindow::onFocusItemChanged(QGraphicsItem *newFocusItem, QGraphicsItem *oldFocusItem)
{
    Q_UNUSED(oldFocusItem)
    if (!newFocusItem) {
        setHandlesVisible(false);
        return;
    }
    if (newFocusItem->type() == RectangleItem::Type)
        form->tableView->setCurrentIndex(pointModel->index(newFocusItem->data(3).toInt(), 0));
    else if (newFocusItem->type() == PathItem::Type)
        setHandlesVisible(true);
}
