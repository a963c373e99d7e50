// Zone editor: the view's tools (zoom, the handles' size on the screen, the grid drags
// snap to, measuring), the Edit and View menus' zone actions and the keys on the selected
// vertex.
#include "zoneeditor.h"

#include "lgraphicsview.h"
#include "pathitem.h"
#include "rectangleitem.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"
#include "zoneedit.h"
#include "zonegeometry.h"

#include <QActionGroup>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QUndoStack>

using namespace ZoneGeometry;

void ZoneEditor::connectTools()
{
    LGraphicsView *view = form->areaMonitorGraphicsView;
    cursorLabel = new QLabel(statusBar);
    cursorLabel->setObjectName(QStringLiteral("cursorMmLabel"));
    statusBar->addPermanentWidget(cursorLabel);

    // Edits run only while the window's mode lets the zone page be used.
    const auto whenEnabled = [](QAction *action, const std::function<void()> &run) {
        connect(action, &QAction::triggered, action, [action, run]() {
            if (action->isEnabled())
                run();
        });
    };
    whenEnabled(form->actionCopyArea, [this]() { copyArea(); });
    whenEnabled(form->actionPasteArea, [this]() { pasteArea(); });
    whenEnabled(form->actionCopyChannelTo, [this]() { askCopyChannelTo(); });
    whenEnabled(form->actionMirrorArea, [this]() { mirrorArea(); });

    form->actionZoomIn->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+="))});
    connect(form->actionZoomIn, &QAction::triggered, view, &LGraphicsView::zoomIn);
    connect(form->actionZoomOut, &QAction::triggered, view, &LGraphicsView::zoomOut);
    connect(form->actionZoomFit, &QAction::triggered, this, &ZoneEditor::zoomToFit);
    connect(view, &LGraphicsView::zoomChanged, this, &ZoneEditor::applyHandleScale);
    applyHandleScale(view->pixelsPerUnit());

    connect(form->actionSnapToGrid, &QAction::toggled, this, &ZoneEditor::setSnapping);
    auto *grids = new QMenu(windowTr("网格间距"), form->menuEdit);
    grids->setObjectName(QStringLiteral("menuSnapGrid"));
    auto *gridGroup = new QActionGroup(grids);
    for (int mm : ZoneEdit::snapGridsMm()) {
        QAction *choice = grids->addAction(windowTr("%1 mm").arg(mm));
        choice->setCheckable(true);
        choice->setChecked(mm == snapGrid);
        choice->setData(mm);
        gridGroup->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, mm]() { setSnapGridMm(mm); });
    }
    form->menuEdit->insertMenu(form->actionMeasure, grids);

    connect(form->actionMeasure, &QAction::toggled, view, &LGraphicsView::setMeasuring);
    connect(view, &LGraphicsView::measured, this, &ZoneEditor::showMeasurement);
    connect(view, &LGraphicsView::measureCleared, statusBar, &QStatusBar::clearMessage);

    view->installEventFilter(this);
}

void ZoneEditor::applyHandleScale(qreal pixelsPerUnit)
{
    if (pixelsPerUnit <= 0)
        return;
    for (RectangleItem *handle : qAsConst(vertexHandles))
        handle->setUnitsPerPixel(1.0 / pixelsPerUnit);
}

void ZoneEditor::zoomToFit()
{
    QRectF all = fieldOfViewItem->sceneBoundingRect();
    for (int k = 0; k < 3; ++k) {
        all |= zoneItems[k]->sceneBoundingRect();
        for (const QPointF &p : areaSettings[k].points)
            all |= QRectF(p, QSizeF(0.001, 0.001));
    }
    form->areaMonitorGraphicsView->fitRect(all);
}

void ZoneEditor::setSnapGridMm(int gridMm)
{
    if (!ZoneEdit::snapGridsMm().contains(gridMm))
        return;
    snapGrid = gridMm;
    setSnapping(snapping);
}

void ZoneEditor::setSnapping(bool on)
{
    snapping = on;
    if (form->actionSnapToGrid->isChecked() != on)
        form->actionSnapToGrid->setChecked(on);
    for (RectangleItem *handle : qAsConst(vertexHandles))
        handle->setSnapGridMm(on ? snapGrid : 0);
}

void ZoneEditor::showMeasurement(const QPointF &from, const QPointF &to)
{
    const ZoneEdit::Measurement m = ZoneEdit::measure(from, to);
    const QString distance = QString::number(qRound(m.distanceMm));
    const QString direction = QString::number(m.directionDeg, 'f', 1);
    form->areaMonitorGraphicsView->setMeasureText(windowTr("%1 mm, %2°").arg(distance, direction));
    statusBar->showMessage(windowTr("距离 %1 mm，方向 %2°").arg(distance, direction));
}

bool ZoneEditor::editingAllowed() const
{
    return form->areasMonitoningGroupBox->isEnabled();
}

int ZoneEditor::selectedVertex() const
{
    const AreaSettings &area = areaSettings[currentArea];
    const int type = area.regionType;
    if (type != PolygonRegion && type != ArcRegion && type != RectangleRegion)
        return -1;
    for (int k = 0; k < area.points.size() && k < vertexHandles.size(); ++k)
        if (vertexHandles[k]->isVisible() && vertexHandles[k]->isSelected())
            return k;
    return -1;
}

bool ZoneEditor::nudgeSelectedVertex(int dxMm, int dyMm)
{
    const int k = selectedVertex();
    if (k < 0 || !editingAllowed())
        return false;
    RectangleItem *handle = vertexHandles[k];
    // Presses on one vertex with nothing done between are one step.
    const int key = (currentChannel * 3 + currentArea) * kHandleCount + k;
    const bool series = keySeriesVertex == key && keySeriesIndex == history->index();
    if (!series)
        keySeriesSerial = ++dragSerial;
    const QPointF target = areaSettings[currentArea].points[k] + QPointF(dxMm / 10.0, -dyMm / 10.0);
    handle->setPos(target - QPointF(handleOffsetX, handleOffsetY));
    dragSerial = keySeriesSerial;
    dragging = true;
    moveHandle(handle, handle->pos());
    dragging = false;
    keySeriesVertex = key;
    keySeriesIndex = history->index();
    return true;
}

bool ZoneEditor::deleteSelectedVertex()
{
    const int k = selectedVertex();
    AreaSettings &area = areaSettings[currentArea];
    if (k < 0 || area.regionType != PolygonRegion || !editingAllowed())
        return false;
    const Snapshot before = capture();
    areaSettings[currentArea].points.remove(k);
    areaSettings[currentArea].dependScale = 0;
    markAreaEdited(currentArea, ShapeEdited);
    // An outline without vertices keeps its path when it is rebuilt.
    zoneItems[currentArea]->setPath(QPainterPath());
    placeHandles();
    fillTable();
    pushStep(windowTr("删除顶点%1").arg(k + 1), before, 1 << currentArea);
    // The next vertex takes the deleted one's place, so Delete can be pressed again.
    const int count = areaSettings[currentArea].points.size();
    if (count > 0) {
        RectangleItem *next = vertexHandles[qMin(k, count - 1)];
        next->setSelected(true);
        next->setFocus();
    }
    return true;
}

bool ZoneEditor::selectNextVertex()
{
    const AreaSettings &area = areaSettings[currentArea];
    const int type = area.regionType;
    const int count = qMin(area.points.size(), vertexHandles.size());
    if (count == 0 || (type != PolygonRegion && type != ArcRegion && type != RectangleRegion))
        return false;
    const int k = selectedVertex();
    RectangleItem *next = vertexHandles[(k + 1) % count];
    form->areaMonitorGraphicsView->zoneScene()->clearSelection();
    next->show();
    next->setSelected(true);
    next->setFocus();
    return true;
}

bool ZoneEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != form->areaMonitorGraphicsView || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const int step = key->modifiers().testFlag(Qt::ShiftModifier) ? 100 : 10;
    switch (key->key()) {
    case Qt::Key_Left:
        return nudgeSelectedVertex(-step, 0);
    case Qt::Key_Right:
        return nudgeSelectedVertex(step, 0);
    case Qt::Key_Up:
        return nudgeSelectedVertex(0, step);
    case Qt::Key_Down:
        return nudgeSelectedVertex(0, -step);
    case Qt::Key_Delete:
        return deleteSelectedVertex();
    case Qt::Key_Tab:
        return key->modifiers() == Qt::NoModifier && selectedVertex() >= 0 && selectNextVertex();
    default:
        return QObject::eventFilter(watched, event);
    }
}
