// The window's side of the zones: the set reset at start, the scanner's channels put into
// it, the stored zones drawn in the running-status view, and the zone editor wired to the
// window's slots, each of which hands its signal on to the editor.
#include "mainwindow.h"

#include "backuprestore.h"
#include "pathitem.h"
#include "rectangleitem.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonegeometry.h"
#include "zonestorefile.h"

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QStandardItemModel>
#include <QUndoStack>

using namespace ZoneGeometry;

void MainWindow::setupZoneEditor()
{
    editor = new ZoneEditor(form, this, statusBar(), zoneStore, this);
    for (RectangleItem *handle : editor->handles())
        connect(handle, &RectangleItem::sendItemPos, this, &MainWindow::onRectangleItemPos);
    for (PathItem *outline : editor->outlines())
        connect(outline, &PathItem::sendPathId, this, &MainWindow::onRecvPathId);
    connect(form->areaMonitorGraphicsView->zoneScene(), &QGraphicsScene::focusItemChanged, this,
            &MainWindow::onFocusItemChanged);
    connect(editor->pointModel(), &QStandardItemModel::itemChanged, this,
            &MainWindow::onModelItemChanged);
    connect(form->tableView, &QAbstractItemView::clicked, this, [this]() { editor->touchTable(); });
    for (QToolButton *button : {form->polygonBtn, form->arcBtn, form->rectangleBtn})
        connect(button, &QToolButton::clicked, this, &MainWindow::onShapeBtn);
    connect(form->backwardDeleteBtn, &QPushButton::clicked, editor, &ZoneEditor::backwardDelete);

    // A backward delete clears the area in the running-status view too; a step taken back
    // may have put zones back into the store.
    connect(editor, &ZoneEditor::areaCleared, this,
            [this](int area) { stateZoneItem(area)->setPath(QPainterPath()); });
    connect(editor, &ZoneEditor::stepApplied, this, &MainWindow::redrawStateAreas);
}

// The window's children outlive its members: a cell editor that commits, or a scene that
// drops its focus item while they are torn down, must no longer reach the editor.
void MainWindow::disconnectZoneEditor()
{
    disconnect(editor->pointModel(), nullptr, this, nullptr);
    disconnect(form->areaMonitorGraphicsView->zoneScene(), nullptr, this, nullptr);
    disconnect(form->tableView, nullptr, this, nullptr);
    // The history is cleared as it goes, which would update menu items already gone.
    disconnect(editor->undoStack(), nullptr, this, nullptr);
    disconnect(editor, nullptr, this, nullptr);
}

int MainWindow::editedChannel() const
{
    return editor->editedChannel();
}

void MainWindow::onAreasCurrentIndexChanged(int index)
{
    editor->selectArea(index);
}

void MainWindow::onParametorChange(int index)
{
    editor->setParameter(sender(), index);
}

void MainWindow::onShapeBtn()
{
    editor->chooseShape(sender());
}

void MainWindow::onRecvPathId(int id)
{
    editor->selectOutline(id);
}

void MainWindow::onModelItemChanged(QStandardItem *item)
{
    editor->takeCell(item);
}

void MainWindow::onRectangleItemPos(QPointF pos)
{
    editor->moveHandle(qobject_cast<RectangleItem *>(sender()), pos);
}

void MainWindow::onFocusItemChanged(QGraphicsItem *newFocusItem, QGraphicsItem *)
{
    editor->focusChanged(newFocusItem);
}

void MainWindow::onMouseMovePoint(QPoint point)
{
    editor->showCursor(point);
}

// A channel as the scanner sent it goes into the store before the window hears of it.
void MainWindow::storeScannerChannel(int channel, const ZoneChannelRecord &areas)
{
    // Read for a backup or restore: it keeps what it reads.
    if (backupRestoreJobs->isRunning())
        return;
    // Read for a comparison: the store stays as it is.
    if (scannerComparison) {
        if (channel >= 0 && channel < kZoneChannelCount)
            scannerComparison->setChannel(channel, areas);
        return;
    }
    zoneStore->setScannerChannel(channel, areas);
    // The steps of the history were made on zones the scanner's now replace.
    editor->clearHistory();
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

// The editor holds one channel; only its own edits can be saved.
bool MainWindow::saveChannelToConfig(int channel)
{
    return channel != editor->editedChannel() || editor->saveChannel();
}

void MainWindow::reloadChannel(int channel)
{
    editor->takeChannel(channel);
}
