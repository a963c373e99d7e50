#include "reportexport.h"

#include "filterpanel.h"
#include "outputfiles.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zonereport.h"
#include "zonestorefile.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>

ReportExport::ReportExport(Ui::MainWindow *f, QMainWindow *window, WindowModes *modes,
                           ZoneStoreFile *store, ZoneEditor *editor, const FilterPanel *filters,
                           QObject *parent)
    : QObject(parent), form(f), window(window), modes(modes), store(store), editor(editor),
      filters(filters)
{
    action = new QAction(windowTr("导出报告…"), window);
    action->setObjectName(QStringLiteral("actionExportReport"));
    action->setStatusTip(windowTr("把设备信息、滤波设置和全部区域写成PDF报告"));
    action->setShortcut(QKeySequence::Print);
    form->menuFile->addAction(action);
    connect(action, &QAction::triggered, this, &ReportExport::exportReport);
    modes->setOwnCondition(WindowModes::Report, true);
    modes->bind(WindowModes::Report, action);

    progressBar = new QProgressBar(window);
    progressBar->setObjectName(QStringLiteral("reportProgressBar"));
    progressBar->setFormat(windowTr("正在生成报告…") + QStringLiteral(" %v/%m"));
    progressBar->hide();
    window->statusBar()->addPermanentWidget(progressBar);
}

QString ReportExport::askFileName()
{
    if (fileProvider)
        return fileProvider();
    const QString proposed =
        QStringLiteral("report-%1.pdf")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    return askSaveFileName(window, windowTr("导出报告"), proposed, QStringLiteral("PDF (*.pdf)"));
}

void ReportExport::exportReport()
{
    QString path = askFileName();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const QString shown = QDir::toNativeSeparators(path);
    path = chosenOutputFile(window, path, !fileProvider, windowTr("无法写入报告%1：%2"),
                            windowTr("%1是本工具自己的文件，报告不能保存在它上面"));
    if (path.isEmpty())
        return;
    // The report records the zones as the scanner would receive them, the editor's latest
    // edits included; a store the scanner could not take as it stands has no such record.
    editor->saveChannel();
    if (const ZoneFileProblem problem = store->findProblem()) {
        QMessageBox::critical(
            window, windowTr("提示"),
            windowTr("区域无法导出：%1，未生成报告").arg(zoneFileProblemText(problem)),
            QMessageBox::Ok);
        return;
    }

    ZoneReportData data;
    data.model = form->deviceModelLabel->text();
    data.manufacturer = form->manufacturerLabel->text();
    data.serialNumber = form->deviceSerialLabel->text();
    data.lot = form->deviceLotLabel->text();
    data.firmwareVersion = form->versionLabel->text();
    data.settings = filters->committedSettings();
    data.createdAt = QDateTime::currentDateTime();
    data.zoneSource =
        store->hasUnsentChanges() ? windowTr("本程序的区域，尚未上传到扫描仪") : windowTr("扫描仪");
    data.zones = store->zones();
    const ZoneReport report(data);

    // The pages are painted here, between events: the window takes no input meanwhile,
    // but keeps drawing itself and the bar.
    modes->setOwnCondition(WindowModes::Report, false);
    progressBar->setRange(0, report.pageCount());
    progressBar->setValue(0);
    progressBar->show();
    QString error;
    const ReportFileResult result = writeReportFile(report, path, &error, [this](int done, int) {
        progressBar->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    progressBar->hide();
    modes->setOwnCondition(WindowModes::Report, true);

    if (result == ReportFileResult::Written)
        QMessageBox::information(window, windowTr("导出报告"),
                                 windowTr("报告已保存到%1").arg(shown), QMessageBox::Ok);
    else
        QMessageBox::critical(window, windowTr("提示"),
                              windowTr("无法写入报告%1：%2").arg(shown, error), QMessageBox::Ok);
}
