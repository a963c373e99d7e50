// Comparing the zone store with a zone file or with the scanner's zones: the dialog that
// lists the differences, the channel shown in the editor with the other outlines dashed
// over the store's, and the scanner's zones read afresh without touching the store.
#include "mainwindow.h"

#include "scannersession.h"
#include "statuspanel.h"
#include "ui_mainwindow.h"
#include "zonecomparedialog.h"
#include "zonediff.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zoneread.h"
#include "zonestorefile.h"
#include "zonewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

void MainWindow::onCompareWithFile()
{
    const QString name = askZoneFileName(false);
    if (!name.isEmpty())
        compareWithZoneFile(name);
}

bool MainWindow::compareWithZoneFile(const QString &name)
{
    // Read as strictly as LoadConfig reads: what is compared is what a load would take.
    const ZoneFile file = readZoneFile(name);
    if (!file.ok()) {
        QMessageBox::critical(
            this, tr("提示"),
            tr("无法与区域配置文件%1比较：%2")
                .arg(QDir::toNativeSeparators(name), zoneFileProblemText(file.problem)),
            QMessageBox::Ok);
        return false;
    }
    showComparison(zoneSetOf(file.channels), QFileInfo(name).fileName(), false);
    return true;
}

bool MainWindow::canCompareWithScanner() const
{
    return session->worker() && session->isOpen() && !session->zoneRead()->isRunning() &&
           !session->zoneWrite()->isRunning() && form->areasMonitoningGroupBox->isEnabled() &&
           form->uploadBtn->isEnabled();
}

bool MainWindow::compareWithScanner()
{
    if (!canCompareWithScanner())
        return false;
    // The store as the editor has it; the scanner's zones go into a set of their own.
    saveChannelToConfig(editedChannel());
    scannerComparison = std::make_unique<ZoneSet>();
    session->zoneRead()->start();
    if (session->zoneRead()->isRunning())
        return true;
    scannerComparison.reset();
    return false;
}

// The end of the full read that was started for a comparison: the store was not touched.
void MainWindow::endScannerComparison(bool finished)
{
    const std::unique_ptr<ZoneSet> read = std::move(scannerComparison);
    endFullZoneRead();
    setEnabled(true);
    if (finished)
        showComparison(*read, tr("扫描仪"), true);
}

void MainWindow::showComparison(const ZoneSet &other, const QString &name, bool scanner)
{
    if (!compareDialog) {
        compareDialog = new ZoneCompareDialog(this);
        connect(compareDialog, &ZoneCompareDialog::compareWithFileRequested, this,
                &MainWindow::onCompareWithFile);
        connect(compareDialog, &ZoneCompareDialog::compareWithScannerRequested, this,
                &MainWindow::compareWithScanner);
        connect(compareDialog, &ZoneCompareDialog::differenceChosen, this,
                &MainWindow::showDifferenceInEditor);
        connect(compareDialog, &QDialog::finished, this, [this]() { editor->hideOtherOutlines(); });
        // The list follows the store while the dialog is open.
        auto later = [this]() {
            if (!compareDialog->isVisible() || comparisonRefreshPending)
                return;
            comparisonRefreshPending = true;
            QTimer::singleShot(0, this, [this]() {
                comparisonRefreshPending = false;
                refreshComparison();
            });
        };
        connect(zoneStore, &ZoneStoreFile::channelChanged, this, later);
        connect(zoneStore, &ZoneStoreFile::zonesReplaced, this, later);
    }
    // Edits that only the editor holds count as the store's.
    saveChannelToConfig(editedChannel());
    editor->hideOtherOutlines();
    compareDialog->setOther(other, name, scanner);
    refreshComparison();
    compareDialog->show();
    compareDialog->raise();
    compareDialog->activateWindow();
}

void MainWindow::refreshComparison()
{
    if (!compareDialog)
        return;
    compareDialog->setScannerAvailable(canCompareWithScanner());
    compareDialog->showDifferences(compareZoneSets(zoneStore->zones(), compareDialog->other()));
}

// The chosen row's channel and area in the editor, with the other set's outlines of that
// channel dashed over the store's.
void MainWindow::showDifferenceInEditor(int channel, int area)
{
    if (!compareDialog || channel < 0 || channel >= kZoneChannelCount)
        return;
    openTab(1);
    if (form->channels->currentIndex() != channel)
        form->channels->setCurrentIndex(channel);
    if (editedChannel() != channel)
        return; // the edited channel could not be saved: the editor kept it
    if (form->areas->currentIndex() != area)
        form->areas->setCurrentIndex(area);
    QVector<QPainterPath> outlines(kAreasPerChannel);
    for (int k = 0; k < kAreasPerChannel; ++k)
        StatusPanel::areaOutline(compareDialog->other().area(channel, k), &outlines[k]);
    editor->showOtherOutlines(channel, outlines);
}
