// The zone page's widgets and the Edit menu's steps connected to the editor, and the live
// scan over the zones. Later editing actions connect here too.
#include "zoneeditor.h"

#include "lgraphicsview.h"
#include "pathitem.h"
#include "rectangleitem.h"
#include "scanpointlayer.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"

#include <QGraphicsScene>
#include <QStandardItemModel>
#include <QUndoStack>

void ZoneEditor::connectPage()
{
    for (RectangleItem *handle : qAsConst(vertexHandles))
        connect(handle, &RectangleItem::sendItemPos, this,
                [this, handle](QPointF pos) { moveHandle(handle, pos); });
    for (PathItem *outline : qAsConst(zoneItems))
        connect(outline, &PathItem::sendPathId, this, &ZoneEditor::selectOutline);
    connect(form->areaMonitorGraphicsView->zoneScene(), &QGraphicsScene::focusItemChanged, this,
            [this](QGraphicsItem *newFocusItem) { focusChanged(newFocusItem); });
    connect(form->areaMonitorGraphicsView, &LGraphicsView::mouseMovePoint, this,
            &ZoneEditor::showCursor);
    connect(model, &QStandardItemModel::itemChanged, this, &ZoneEditor::takeCell);
    connect(form->tableView, &QAbstractItemView::clicked, this, [this]() { touchTable(); });

    connect(form->channels, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ZoneEditor::showChannel);
    connect(form->areas, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ZoneEditor::selectArea);
    for (QComboBox *box : {form->offDelayComboBox, form->onDelayComboBox,
                           form->detectableSizeComboBox, form->hysteresisComboBox})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, box](int index) { setParameter(box, index); });
    for (QToolButton *button : {form->polygonBtn, form->arcBtn, form->rectangleBtn})
        connect(button, &QToolButton::clicked, this, [this, button]() { chooseShape(button); });
    connect(form->backwardDeleteBtn, &QPushButton::clicked, this, &ZoneEditor::backwardDelete);

    // Both usual redo keys; Ctrl+Z comes from the form. A step is taken only while the
    // window's mode lets the actions be used.
    form->actionRedo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    connect(form->actionUndo, &QAction::triggered, this, [this]() {
        if (form->actionUndo->isEnabled())
            history->undo();
    });
    connect(form->actionRedo, &QAction::triggered, this, [this]() {
        if (form->actionRedo->isEnabled())
            history->redo();
    });
    connect(history, &QUndoStack::indexChanged, this, &ZoneEditor::updateEditMenu);
    connect(history, &QUndoStack::undoTextChanged, this, &ZoneEditor::updateEditMenu);
    connect(history, &QUndoStack::redoTextChanged, this, &ZoneEditor::updateEditMenu);
    updateEditMenu();
}

void ZoneEditor::updateEditMenu()
{
    form->actionUndo->setText(history->canUndo() ? windowTr("撤销%1").arg(history->undoText())
                                                 : windowTr("撤销"));
    form->actionRedo->setText(history->canRedo() ? windowTr("重做%1").arg(history->redoText())
                                                 : windowTr("重做"));
    emit historyChanged(history->canUndo(), history->canRedo());
}

void ZoneEditor::showScan(const QVector<float> &angles, const QVector<ushort> &ranges,
                          const QVector<ushort> &intensities)
{
    scanPoints->showScan(angles, ranges, intensities,
                         viewZoom(form->areaMonitorGraphicsView->transform()));
}
