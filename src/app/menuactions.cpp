// The menu bar's actions: working without a scanner and comparing zone sets (File), undo
// and redo of the zone page (Edit).
#include "mainwindow.h"

#include "scannersession.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"

#include <QEvent>
#include <QUndoStack>

namespace {
// Calls back whenever the watched widget is enabled or disabled, by itself or with its
// window.
class EnabledWatch : public QObject
{
public:
    EnabledWatch(QWidget *watched, std::function<void()> changed)
        : QObject(watched), changed(std::move(changed))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            changed();
        return false;
    }

private:
    std::function<void()> changed;
};
} // namespace

void MainWindow::setupMenus()
{
    connect(form->actionWorkOffline, &QAction::triggered, this, [this]() { workOffline(); });
    connect(form->actionCompareWithFile, &QAction::triggered, this, &MainWindow::onCompareWithFile);

    // Both usual redo keys; Ctrl+Z comes from the form.
    form->actionRedo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    QUndoStack *history = editor->undoStack();
    connect(form->actionUndo, &QAction::triggered, this, [this]() {
        if (form->areasMonitoningGroupBox->isEnabled())
            editor->undoStack()->undo();
    });
    connect(form->actionRedo, &QAction::triggered, this, [this]() {
        if (form->areasMonitoningGroupBox->isEnabled())
            editor->undoStack()->redo();
    });
    connect(history, &QUndoStack::indexChanged, this, &MainWindow::updateEditMenu);
    connect(history, &QUndoStack::undoTextChanged, this, &MainWindow::updateEditMenu);
    connect(history, &QUndoStack::redoTextChanged, this, &MainWindow::updateEditMenu);
    // Steps change the zone page, so they are offered only while it can be used.
    new EnabledWatch(form->areasMonitoningGroupBox, [this]() { updateEditMenu(); });
    updateEditMenu();
}

void MainWindow::updateEditMenu()
{
    const QUndoStack *history = editor->undoStack();
    const bool usable = form->areasMonitoningGroupBox->isEnabled();
    form->actionUndo->setEnabled(usable && history->canUndo());
    form->actionRedo->setEnabled(usable && history->canRedo());
    form->actionUndo->setText(history->canUndo() ? tr("撤销%1").arg(history->undoText())
                                                 : tr("撤销"));
    form->actionRedo->setText(history->canRedo() ? tr("重做%1").arg(history->redoText())
                                                 : tr("重做"));
}

bool MainWindow::workOffline(const QString &zoneFile, QString *refusal)
{
    if (!zoneFile.isEmpty() && !loadZoneFile(zoneFile, refusal))
        return false;
    if (!session->isOpen()) {
        // The zone page without a link: everything that works on the store, nothing that
        // needs the scanner. The device's own controls stay locked as they are until one
        // has been read.
        form->treeWidget->setEnabled(true);
        form->areasMonitoningGroupBox->setEnabled(true);
        setScannerZoneButtonsEnabled(false);
    }
    openTab(1);
    return true;
}

void MainWindow::setScannerZoneButtonsEnabled(bool enabled)
{
    form->downLoadBtn->setEnabled(enabled);
    form->uploadBtn->setEnabled(enabled);
}
