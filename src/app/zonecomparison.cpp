#include "zonecomparison.h"

#include "sessionfailure.h"
#include "statuspanel.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zonecomparedialog.h"
#include "zonediff.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zonefiles.h"
#include "zonestorefile.h"
#include "zonetransfer.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QUndoStack>

ZoneComparison::ZoneComparison(Ui::MainWindow *f, QWidget *window, WindowModes *modes,
                               ZoneStoreFile *store, ZoneEditor *editor, ZoneFiles *files,
                               ZoneTransfer *transfer, QObject *parent)
    : QObject(parent), form(f), window(window), modes(modes), store(store), editor(editor),
      files(files), transfer(transfer)
{
    connect(form->actionCompareWithFile, &QAction::triggered, this,
            &ZoneComparison::compareWithChosenFile);
    connect(transfer, &ZoneTransfer::comparisonRead, this,
            [this](const ZoneSet &zones) { show(zones, windowTr("扫描仪"), true); });
    connect(transfer, &ZoneTransfer::comparisonFailed, this, &ZoneComparison::onScannerUnread);
    // The list follows the store while the dialog is open, and the editor's edits as they
    // are made (each is a step of its history), before they are saved.
    connect(store, &ZoneStoreFile::channelChanged, this, &ZoneComparison::refreshLater);
    connect(store, &ZoneStoreFile::zonesReplaced, this, &ZoneComparison::refreshLater);
    connect(editor->undoStack(), &QUndoStack::indexChanged, this, &ZoneComparison::refreshLater);
}

void ZoneComparison::compareWithChosenFile()
{
    const QString name = files->askFileName(false);
    if (!name.isEmpty())
        compareWithZoneFile(name);
}

bool ZoneComparison::compareWithZoneFile(const QString &name)
{
    // Read as strictly as LoadConfig reads: what is compared is what a load would take.
    const ZoneFile file = readZoneFile(name);
    if (!file.ok()) {
        QMessageBox::critical(
            window, windowTr("提示"),
            windowTr("无法与区域配置文件%1比较：%2")
                .arg(QDir::toNativeSeparators(name), zoneFileProblemText(file.problem)),
            QMessageBox::Ok);
        return false;
    }
    show(zoneSetOf(file.channels), QFileInfo(name).fileName(), false);
    return true;
}

bool ZoneComparison::compareWithScanner()
{
    return transfer->readForComparison();
}

void ZoneComparison::onScannerUnread(const SessionFailure &failure)
{
    if (failure.kind != SessionFailure::Closed && failure.kind != SessionFailure::PortLost)
        QMessageBox::critical(nullptr, windowTr("提示"), windowTr("读取扫描仪区域超时，未能比较"),
                              QMessageBox::Ok);
}

void ZoneComparison::show(const ZoneSet &other, const QString &name, bool scanner)
{
    if (!compareDialog) {
        compareDialog = new ZoneCompareDialog(window);
        connect(compareDialog, &ZoneCompareDialog::compareWithFileRequested, this,
                &ZoneComparison::compareWithChosenFile);
        connect(compareDialog, &ZoneCompareDialog::compareWithScannerRequested, this,
                &ZoneComparison::compareWithScanner);
        connect(compareDialog, &ZoneCompareDialog::differenceChosen, this,
                &ZoneComparison::showDifferenceInEditor);
        connect(compareDialog, &QDialog::finished, editor, &ZoneEditor::hideOtherOutlines);
        // Whether the scanner can be read for a comparison is the window's mode.
        modes->bind(WindowModes::CompareScanner, compareDialog->scannerButton());
    }
    // Edits that only the editor holds count as the store's.
    editor->saveChannel();
    editor->hideOtherOutlines();
    compareDialog->setOther(other, name, scanner);
    refresh();
    compareDialog->show();
    compareDialog->raise();
    compareDialog->activateWindow();
}

void ZoneComparison::refreshLater()
{
    if (!compareDialog || !compareDialog->isVisible() || refreshPending)
        return;
    refreshPending = true;
    QTimer::singleShot(0, this, [this]() {
        refreshPending = false;
        refresh();
    });
}

void ZoneComparison::refresh()
{
    if (!compareDialog)
        return;
    compareDialog->showDifferences(
        compareZoneSets(editor->zonesWithEdits(), compareDialog->other()));
}

// The chosen row's channel and area in the editor, with the other set's outlines of that
// channel dashed over the store's.
void ZoneComparison::showDifferenceInEditor(int channel, int area)
{
    if (!compareDialog || channel < 0 || channel >= kZoneChannelCount)
        return;
    emit zonePageWanted();
    if (form->channels->currentIndex() != channel)
        form->channels->setCurrentIndex(channel);
    if (editor->editedChannel() != channel)
        return; // the edited channel could not be saved: the editor kept it
    if (form->areas->currentIndex() != area)
        form->areas->setCurrentIndex(area);
    QVector<QPainterPath> outlines(kAreasPerChannel);
    for (int k = 0; k < kAreasPerChannel; ++k)
        StatusPanel::areaOutline(compareDialog->other().area(channel, k), &outlines[k]);
    editor->showOtherOutlines(channel, outlines);
}
