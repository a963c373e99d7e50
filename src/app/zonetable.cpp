// Point table: the edited area's vertices in millimetres, kept in step with the handles.
#include "zoneeditor.h"

#include "pathitem.h"
#include "pointstext.h"
#include "rectangleitem.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"
#include "zonegeometry.h"

#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

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

bool ZoneEditor::isAddRow(int row) const
{
    const QStandardItem *header = model->verticalHeaderItem(row);
    return header && header->text() == kAddRowHeader;
}

void ZoneEditor::setRowCells(int row, const QPointF &vertex)
{
    const QPoint mm = sceneToMm(vertex);
    model->setData(model->index(row, 0), mm.x(), Qt::EditRole);
    model->setData(model->index(row, 1), mm.y(), Qt::EditRole);
}

void ZoneEditor::refreshRow(int row)
{
    const QVector<QPointF> &points = areaSettings[currentArea].points;
    if (row < 0 || row >= points.size())
        return;
    if (model->rowCount() > row)
        setRowCells(row, points[row]);
    else
        model->insertRow(model->rowCount(), vertexRowItems(points[row]));
}

void ZoneEditor::fillTable()
{
    tableTouched = false;
    model->clear();
    model->setHorizontalHeaderLabels({QStringLiteral("X[mm]"), QStringLiteral("Y[mm]")});
    const AreaSettings &area = areaSettings[currentArea];
    switch (area.regionType) {
    case PolygonRegion:
    case ArcRegion:
    case RectangleRegion:
        for (const QPointF &vertex : area.points)
            model->appendRow(vertexRowItems(vertex));
        // A polygon grows through its add row until every handle is in use.
        if (area.regionType == PolygonRegion && area.points.size() < kHandleCount) {
            const int row = model->rowCount();
            model->insertRow(row);
            setRowCells(row, QPointF(0, 0));
            model->setVerticalHeaderItem(row, new QStandardItem(kAddRowHeader));
        }
        break;
    case 4:
    case 5:
    case 6:
        model->appendRow({new QStandardItem(QStringLiteral("0")),
                          new QStandardItem(QString::number(area.dependScale * 10))});
        break;
    default:
        break;
    }
}

// Row k of a polygon follows vertex k; a new vertex gets its row just above the add row,
// and the 540th vertex takes over the add row itself.
void ZoneEditor::updatePolygonRow(int k, const QPointF &vertex)
{
    const int rows = model->rowCount();
    const bool hasAddRow = rows > 0 && isAddRow(rows - 1);
    const int vertexRows = hasAddRow ? rows - 1 : rows;
    if (k >= vertexRows) {
        if (hasAddRow && areaSettings[currentArea].points.size() >= kHandleCount)
            delete model->takeVerticalHeaderItem(rows - 1);
        else
            model->insertRow(vertexRows);
    }
    setRowCells(k, vertex);
}

// Arcs and rectangles from a store may hold fewer points than their shape has corners.
void ZoneEditor::placeShapeHandles(int count)
{
    const QVector<QPointF> &points = areaSettings[currentArea].points;
    for (int i = 0; i < count && i < points.size(); ++i) {
        placeHandle(i, points[i]);
        refreshRow(i);
    }
}

void ZoneEditor::moveHandle(RectangleItem *handle, const QPointF &pos)
{
    tableTouched = false;
    if (!handle)
        return;
    const int k = handle->data(3).toInt();
    const QPointF v = pos + QPointF(handleOffsetX, handleOffsetY);
    const Snapshot before = capture();
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
    // The moves of one drag are one step; a move without a press (a test, a script) is one
    // on its own.
    pushStep(windowTr("移动顶点%1").arg(k + 1), before, 1 << currentArea,
             dragging ? dragSerial : ++dragSerial);
}

// A cell's value in whole millimetres: a finite number, a fraction cut toward zero, and
// within what the scanner stores. Anything else is refused with the reason why.
bool ZoneEditor::readCellMm(int row, int column, int *mm, QString *refusal) const
{
    const QString typed = model->data(model->index(row, column), Qt::EditRole).toString().trimmed();
    bool ok = false;
    const double number = typed.toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        *refusal = windowTr("“%1”不是毫米数，顶点未改变").arg(typed);
        return false;
    }
    if (!fitsWire(number)) {
        *refusal = windowTr("%1毫米超出扫描仪可保存的-32768至32767毫米，顶点未改变").arg(typed);
        return false;
    }
    *mm = int(std::trunc(number));
    return true;
}

// The row shows the record again; a row the record has no vertex for is not kept.
void ZoneEditor::refuseCellEdit(int row, const QString &reason)
{
    const AreaSettings &area = areaSettings[currentArea];
    const int type = area.regionType;
    const bool shape = type == PolygonRegion || type == ArcRegion || type == RectangleRegion;
    if (shape && row < area.points.size()) {
        setRowCells(row, area.points[row]);
    } else if (type == PolygonRegion && isAddRow(row)) {
        setRowCells(row, QPointF(0, 0));
    } else {
        // Refilled once this edit is over: the model must not be cleared while it reports it.
        QTimer::singleShot(0, this, [this]() { fillTable(); });
    }
    if (!reason.isEmpty()) {
        cellRefusal = reason;
        statusBar->showMessage(reason, 15000);
    }
}

void ZoneEditor::takeCell(QStandardItem *item)
{
    if (!tableTouched || !item)
        return;
    tableTouched = false;
    const int e = item->row();
    const Snapshot before = capture();
    AreaSettings &area = areaSettings[currentArea];
    const int type = area.regionType;

    int x = 0;
    int y = 0;
    QString refusal;
    if (!readCellMm(e, 0, &x, &refusal) || !readCellMm(e, 1, &y, &refusal)) {
        refuseCellEdit(e, refusal);
        return;
    }
    // Kept as typed, even beyond the handles' reach: the zone is clipped to the field of
    // view, and a clamped vertex would move its clipped edge.
    const QPointF v = mmToScene(x, y);

    switch (type) {
    case ArcRegion: {
        if (e > 1 || e >= area.points.size()) {
            refuseCellEdit(e, QString());
            return;
        }
        const QVector<QPointF> synced = syncArcRadius(area.points, e, v);
        for (const QPointF &p : synced) {
            if (!fitsWire(p.x() * 10) || !fitsWire(-p.y() * 10)) {
                refuseCellEdit(e, windowTr("圆弧的另一个顶点将超出-32768至32767毫米，顶点未改变"));
                return;
            }
        }
        area.points = synced;
        placeShapeHandles(2);
        break;
    }
    case RectangleRegion:
        if (e > 3 || e >= area.points.size()) {
            refuseCellEdit(e, QString());
            return;
        }
        area.points = coupleRectangle(area.points, e, v);
        placeShapeHandles(4);
        break;
    case PolygonRegion:
        if (e > area.points.size() || (e == area.points.size() && !isAddRow(e))) {
            refuseCellEdit(e, QString());
            return;
        }
        if (isAddRow(e)) {
            model->setVerticalHeaderItem(e, new QStandardItem(QString::number(model->rowCount())));
            if (area.points.size() + 1 < kHandleCount) {
                const int row = model->rowCount();
                model->insertRow(row);
                setRowCells(row, QPointF(0, 0));
                model->setVerticalHeaderItem(row, new QStandardItem(kAddRowHeader));
            }
        }
        if (e < area.points.size())
            area.points[e] = v;
        else
            area.points.append(v);
        placeHandle(e, v);
        break;
    default:
        // The single row of a single-value type shows dependScale; it is not edited here.
        refuseCellEdit(e, QString());
        return;
    }
    markAreaEdited(currentArea, ShapeEdited);
    if (!cellRefusal.isEmpty() && statusBar->currentMessage() == cellRefusal)
        statusBar->clearMessage();
    cellRefusal.clear();
    // The cell shows what the vertex holds: whole millimetres.
    if (e < area.points.size())
        setRowCells(e, area.points[e]);
    rebuildOutline(e);
    pushStep(windowTr("输入顶点%1").arg(e + 1), before, 1 << currentArea);
}

void ZoneEditor::focusChanged(QGraphicsItem *newFocusItem)
{
    if (!newFocusItem) {
        setHandlesVisible(false);
        return;
    }
    if (newFocusItem->type() == RectangleItem::Type)
        form->tableView->setCurrentIndex(model->index(newFocusItem->data(3).toInt(), 0));
    else if (newFocusItem->type() == PathItem::Type)
        setHandlesVisible(true);
}
