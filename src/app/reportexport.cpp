// The commissioning report from the window: the File menu's action, the PDF of what the
// window shows and holds, and the zone fingerprint on the zone page.
#include "mainwindow.h"

#include "filterpanel.h"
#include "outputfiles.h"
#include "ui_mainwindow.h"
#include "zonefilecheck.h"
#include "zonefingerprint.h"
#include "zonereport.h"
#include "zonestorefile.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>

void MainWindow::setupReportExport()
{
    exportReportAction = new QAction(tr("导出报告…"), this);
    exportReportAction->setObjectName(QStringLiteral("actionExportReport"));
    exportReportAction->setStatusTip(tr("把设备信息、滤波设置和全部区域写成PDF报告"));
    exportReportAction->setShortcut(QKeySequence::Print);
    form->menuFile->addAction(exportReportAction);
    connect(exportReportAction, &QAction::triggered, this, &MainWindow::onExportReport);

    // Under the transfer buttons: what the scanner holds since the last full read or upload.
    zoneFingerprintLabel = new QLabel(form->areasMonitoningGroupBox);
    zoneFingerprintLabel->setObjectName(QStringLiteral("zoneFingerprintLabel"));
    zoneFingerprintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The English label and 32 digits are wider than the column: the digits go on a line
    // of their own rather than being cut off.
    zoneFingerprintLabel->setWordWrap(true);
    zoneFingerprintLabel->hide();
    const int below = form->areasMonitoringLayout->indexOf(form->progressLayout);
    form->areasMonitoringLayout->insertWidget(below + 1, zoneFingerprintLabel);

    reportProgressBar = new QProgressBar(this);
    reportProgressBar->setObjectName(QStringLiteral("reportProgressBar"));
    reportProgressBar->setFormat(tr("正在生成报告…") + QStringLiteral(" %v/%m"));
    reportProgressBar->hide();
    statusBar()->addPermanentWidget(reportProgressBar);
}

void MainWindow::showZoneFingerprint()
{
    zoneFingerprintLabel->setText(
        tr("区域指纹：%1").arg(QString::fromLatin1(zoneSetFingerprint(zoneStore->zones()))));
    zoneFingerprintLabel->show();
}

QString MainWindow::askReportFileName()
{
    if (reportFileProvider)
        return reportFileProvider();
    const QString proposed =
        QStringLiteral("report-%1.pdf")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    return askSaveFileName(this, tr("导出报告"), proposed, QStringLiteral("PDF (*.pdf)"));
}

void MainWindow::onExportReport()
{
    QString path = askReportFileName();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const QString shown = QDir::toNativeSeparators(path);
    path = chosenOutputFile(this, path, !reportFileProvider, tr("无法写入报告%1：%2"),
                            tr("%1是本工具自己的文件，报告不能保存在它上面"));
    if (path.isEmpty())
        return;
    // The report records the zones as the scanner would receive them, the editor's latest
    // edits included; a store the scanner could not take as it stands has no such record.
    saveChannelToConfig(editedChannel());
    if (const ZoneFileProblem problem = zoneStore->findProblem()) {
        QMessageBox::critical(this, tr("提示"),
                              tr("区域无法导出：%1，未生成报告").arg(zoneFileProblemText(problem)),
                              QMessageBox::Ok);
        return;
    }

    ZoneReportData data;
    data.model = form->deviceModelLabel->text();
    data.manufacturer = form->manufacturerLabel->text();
    data.serialNumber = form->deviceSerialLabel->text();
    data.lot = form->deviceLotLabel->text();
    data.firmwareVersion = form->versionLabel->text();
    data.settings = filterPanel->committedSettings();
    data.createdAt = QDateTime::currentDateTime();
    data.zoneSource = hasUnsentZones() ? tr("本程序的区域，尚未上传到扫描仪") : tr("扫描仪");
    data.zones = zoneStore->zones();
    const ZoneReport report(data);

    // The pages are painted here, between events: the window takes no input meanwhile,
    // but keeps drawing itself and the bar.
    exportReportAction->setEnabled(false);
    reportProgressBar->setRange(0, report.pageCount());
    reportProgressBar->setValue(0);
    reportProgressBar->show();
    QString error;
    const ReportFileResult result = writeReportFile(report, path, &error, [this](int done, int) {
        reportProgressBar->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    reportProgressBar->hide();
    exportReportAction->setEnabled(true);

    if (result == ReportFileResult::Written)
        QMessageBox::information(this, tr("导出报告"), tr("报告已保存到%1").arg(shown),
                                 QMessageBox::Ok);
    else
        QMessageBox::critical(this, tr("提示"), tr("无法写入报告%1：%2").arg(shown, error),
                              QMessageBox::Ok);
}
