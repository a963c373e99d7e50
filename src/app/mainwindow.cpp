#include "mainwindow.h"

#include "applog.h"
#include "backuprestore.h"
#include "closeguard.h"
#include "devicepanel.h"
#include "diagnosticspanel.h"
#include "factoryreset.h"
#include "filterpanel.h"
#include "firmwarepanel.h"
#include "laserscanview.h"
#include "recordingplayback.h"
#include "reportexport.h"
#include "scannersession.h"
#include "scanrecording.h"
#include "scanzones.h"
#include "serialpanel.h"
#include "statuspanel.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zonecomparison.h"
#include "zoneeditor.h"
#include "zonefiles.h"
#include "zonestorefile.h"
#include "zonetransfer.h"

#include <QApplication>
#include <QBrush>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QMessageBox>
#include <QPixmap>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcApp, "areascan.app", QtInfoMsg)

static void initStudioResources()
{
    // The resources live in a static library, so they must be registered explicitly.
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(translations);
}

namespace {
const char *const kSettingsFile = "settings.ini";
const char *const kTitleKey = "ProductInformation/windowTitle";
const char *const kManufacturerKey = "ProductInformation/manufacturer";
const char *const kModelKey = "ProductInformation/deviceModel";
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), tabPages(3, nullptr), tabTitles(3)
{
    initStudioResources();
    qRegisterMetaType<RequestType>("RequestType");

    form = std::make_unique<Ui::MainWindow>();
    form->setupUi(this);

    translator = new QTranslator(this);
    if (translator->load(QStringLiteral(":/translations/vt_en.qm")))
        QApplication::installTranslator(translator);
    form->retranslateUi(this);

    loadStyleSheet();
    loadProductInformation();
    makeOwners();
    wireOwners();
    setupTabs();
    loadChannelFromConfig(0);
    buildNavigationTree();
    serial->refresh();
}

MainWindow::~MainWindow() = default;

void MainWindow::makeOwners()
{
    windowModes = std::make_unique<WindowModes>(form.get(), this);
    zoneStore = std::make_unique<ZoneStoreFile>(zoneStoreFileName());
    CloseGuard::keepLastRun(zoneStore.get(), statusBar());
    initConfigFile();
    session = std::make_unique<ScannerSession>();
    status = std::make_unique<StatusPanel>(form.get(), StatusPanel::fromStore(zoneStore.get()));
    editor = std::make_unique<ZoneEditor>(form.get(), this, statusBar(), zoneStore.get());

    WindowModes *modes = windowModes.get();
    serial = std::make_unique<SerialPanel>(form.get(), session.get(), modes);
    device = std::make_unique<DevicePanel>(form.get());
    firmware = std::make_unique<FirmwarePanel>(form.get(), this, session.get(), modes);
    // A factory reset and a restore save the settings on their own, and report it so.
    filters = std::make_unique<FilterPanel>(form.get(), statusBar(), [this]() {
        return (factory && factory->isRunning()) || (backup && backup->isRunning());
    });
    transfer =
        std::make_unique<ZoneTransfer>(form.get(), this, session.get(), modes, zoneStore.get(),
                                       editor.get(), [this]() { return device->currentChannel(); });
    factory = std::make_unique<FactoryReset>(form.get(), this, session.get(), modes, filters.get(),
                                             zoneStore.get(), editor.get(), transfer.get());
    files = std::make_unique<ZoneFiles>(form.get(), this, zoneStore.get(), editor.get());
    closeGuard = std::make_unique<CloseGuard>(form.get(), this, zoneStore.get(), editor.get(),
                                              files.get(), status.get());
    comparison = std::make_unique<ZoneComparison>(form.get(), this, modes, zoneStore.get(),
                                                  editor.get(), files.get(), transfer.get());
    backup = std::make_unique<BackupRestore>(form.get(), this, session.get(), modes,
                                             zoneStore.get(), editor.get(), transfer.get());
    report = std::make_unique<ReportExport>(form.get(), this, modes, zoneStore.get(), editor.get(),
                                            filters.get());
    // The report of a scanner restored from a backup names the backup.
    report->setDataNotes(
        [jobs = backup.get()](ZoneReportData *data) { jobs->describeRestoredScanner(data); });
    recording = std::make_unique<ScanRecording>(form.get(), this, session.get(), modes);
    scans = std::make_unique<ScanZones>(form.get(), this, editor.get());
    playback = std::make_unique<RecordingPlayback>(form.get(), this, session.get(), modes);
    diagnostics = std::make_unique<DiagnosticsPanel>(this, session.get(), playback.get());
}

void MainWindow::wireOwners()
{
    // The window asks the scanner through its three signals; the pages' requests join them.
    ScannerSession *link = session.get();
    connect(this, &MainWindow::sendRequestType, link, &ScannerSession::send);
    connect(this, &MainWindow::readLidarArea, link, &ScannerSession::readChannel);
    connect(filters.get(), &FilterPanel::sendRequestType, this, &MainWindow::sendRequestType);
    connect(device.get(), &DevicePanel::sendRequestType, this, &MainWindow::sendRequestType);
    connect(factory.get(), &FactoryReset::sendRequestType, this, &MainWindow::sendRequestType);

    // The session's reports, whatever worker is current. Results and refusals may open
    // boxes: they are taken once the receive handler has returned.
    connect(link, &ScannerSession::errorOccurred, this, &MainWindow::onErrorOccurred);
    connect(link, &ScannerSession::sendPointVec, form->stateGraphicsView,
            &LaserScanView::onRecvAndShowPoint);
    connect(link, &ScannerSession::sendPointVec, this, &MainWindow::onRecvAndShowPoint);
    connect(link, &ScannerSession::sendState, this, &MainWindow::onRecvState);
    connect(link, &ScannerSession::sendMainRequestResult, this, &MainWindow::onRecvRequestResult,
            Qt::QueuedConnection);
    connect(link, &ScannerSession::sendSettingRefused, filters.get(),
            &FilterPanel::onSettingRefused, Qt::QueuedConnection);

    // The link's ends: a new scanner's scans, the recording closed before the port, the
    // refusals of the old link forgotten; a failed update or a restarting scanner closes it.
    connect(serial.get(), &SerialPanel::connected, scans.get(), &ScanZones::forgetScans);
    connect(playback.get(), &RecordingPlayback::opened, scans.get(), &ScanZones::forgetScans);
    connect(serial.get(), &SerialPanel::closing, recording.get(), &ScanRecording::stop);
    connect(serial.get(), &SerialPanel::closing, backup.get(), &BackupRestore::stop);
    connect(serial.get(), &SerialPanel::closed, filters.get(), &FilterPanel::forgetRefusals);
    // Nothing on the pages looks live once the link has gone, a lost one included.
    connect(serial.get(), &SerialPanel::closed, this, [this]() {
        status->showNotLive();
        editor->showScan({}, {}, {});
        // What the close itself reported (a recording's file) goes first.
        if (statusBar()->currentMessage().isEmpty())
            statusBar()->showMessage(windowTr("未连接扫描仪，请先打开串口"));
    });
    connect(serial.get(), &SerialPanel::connected, this, [this]() {
        if (statusBar()->currentMessage() == windowTr("未连接扫描仪，请先打开串口"))
            statusBar()->clearMessage();
    });
    connect(firmware.get(), &FirmwarePanel::linkGone, serial.get(),
            &SerialPanel::dropLinkAfterUpdate);
    connect(device.get(), &DevicePanel::scannerRestarting, serial.get(),
            &SerialPanel::hangUpForRestart);
    // Asked from within the session's read-out: the port closes once that has returned.
    connect(transfer.get(), &ZoneTransfer::unsentZonesKept, serial.get(), &SerialPanel::closeLink,
            Qt::QueuedConnection);

    // The running-status page draws the stored zones again when the scanner's reach the
    // store, a backward delete clears one, or a step taken back changes them.
    StatusPanel *statusPage = status.get();
    connect(transfer.get(), &ZoneTransfer::zonesUpdated, this,
            [statusPage]() { statusPage->redraw(); });
    connect(backup.get(), &BackupRestore::zonesUpdated, this,
            [statusPage]() { statusPage->redraw(); });
    connect(editor.get(), &ZoneEditor::areaCleared, this,
            [statusPage](int area) { statusPage->zoneItem(area)->setPath(QPainterPath()); });
    connect(editor.get(), &ZoneEditor::stepApplied, this, [statusPage]() { statusPage->redraw(); });
    connect(editor.get(), &ZoneEditor::historyChanged, windowModes.get(),
            [modes = windowModes.get()](bool canUndo, bool canRedo) {
                modes->setOwnCondition(WindowModes::Undo, canUndo);
                modes->setOwnCondition(WindowModes::Redo, canRedo);
            });

    // The pages and the menu's own entries.
    connect(comparison.get(), &ZoneComparison::zonePageWanted, this, [this]() { openTab(1); });
    connect(scans.get(), &ScanZones::zonePageWanted, this, [this]() { openTab(1); });
    connect(form->actionWorkOffline, &QAction::triggered, this, [this]() { workOffline(); });
    connect(form->tabWidget, &QTabWidget::tabCloseRequested, this,
            &MainWindow::onTabCloseRequested);
    connect(form->tabWidget, &QTabWidget::tabCloseRequested, form->tabWidget,
            [this](int index) { removeTab(index); });
    connect(form->treeWidget, &QTreeWidget::itemClicked, this, &MainWindow::onTreeWidgetClicked);
    form->tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(form->tableView, &QWidget::customContextMenuRequested, this,
            &MainWindow::onContextMenu);
}

bool MainWindow::workOffline(const QString &zoneFile, QString *refusal)
{
    if (!zoneFile.isEmpty() && !files->load(zoneFile, refusal))
        return false;
    // With a link the zone page is what the link makes it.
    if (windowModes->mode() == WindowMode::Disconnected)
        windowModes->setMode(WindowMode::Offline);
    openTab(1);
    return true;
}

void MainWindow::initConfigFile()
{
    zoneStore->reset();
}

void MainWindow::loadChannelFromConfig(int channel)
{
    editor->takeChannel(channel);
}

bool MainWindow::saveChannelToConfig(int channel)
{
    return channel != editor->editedChannel() || editor->saveChannel();
}

void MainWindow::showStateAreas(int channel)
{
    status->showChannel(channel);
}

void MainWindow::loadStyleSheet()
{
    QFile file(QStringLiteral(":/resources/qss/style.qss"));
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(this, QStringLiteral("加载资源失败"), QStringLiteral("加载QSS失败"),
                             QMessageBox::Ok);
        return;
    }
    setStyleSheet(QString::fromLatin1(file.readAll()));
}

void MainWindow::loadProductInformation()
{
    const bool exists = QFileInfo::exists(QLatin1String(kSettingsFile));
    QSettings settings(QLatin1String(kSettingsFile), QSettings::IniFormat);
    if (!exists) {
        settings.setValue(QLatin1String(kTitleKey), QStringLiteral("RZ-KTM"));
        settings.setValue(QLatin1String(kManufacturerKey), QStringLiteral("Veltrona"));
        settings.setValue(QLatin1String(kModelKey), QStringLiteral("KP-21D"));
    }
    setWindowTitle(settings.value(QLatin1String(kTitleKey)).toString() + QStringLiteral(" ") +
                   QStringLiteral(" V1.2.0"));
    form->manufacturerLabel->setText(settings.value(QLatin1String(kManufacturerKey)).toString());
    form->deviceModelLabel->setText(settings.value(QLatin1String(kModelKey)).toString());
    settings.sync();
}

void MainWindow::setupTabs()
{
    for (int i = 0; i < 3; ++i) {
        tabPages[i] = form->tabWidget->widget(i);
        tabTitles[i] = form->tabWidget->tabText(i);
    }
    form->tabWidget->removeTab(2);
    form->tabWidget->removeTab(1);
}

void MainWindow::buildNavigationTree()
{
    QSettings settings(QLatin1String(kSettingsFile), QSettings::IniFormat);
    QTreeWidget *tree = form->treeWidget;
    tree->clear();
    tree->setHeaderLabel(settings.value(QLatin1String(kModelKey)).toString());

    auto *config = new QTreeWidgetItem(tree, QStringList(tr("配置")));
    new QTreeWidgetItem(config, QStringList(tr("设备配置")));
    new QTreeWidgetItem(config, QStringList(tr("区域监测配置")));
    auto *monitor = new QTreeWidgetItem(tree, QStringList(tr("监控")));
    new QTreeWidgetItem(monitor, QStringList(tr("运行状态")));
    tree->expandAll();
}

void MainWindow::onTreeWidgetClicked(QTreeWidgetItem *item, int column)
{
    if (!item)
        return;
    const QString text = item->text(column);
    int page = -1;
    if (text == tr("设备配置"))
        page = 0;
    else if (text == tr("区域监测配置"))
        page = 1;
    else if (text == tr("运行状态"))
        page = 2;
    if (page >= 0)
        openTab(page);
}

void MainWindow::openTab(int page)
{
    if (page < 0 || page >= tabPages.size())
        return;
    QTabWidget *tabs = form->tabWidget;
    if (tabs->indexOf(tabPages[page]) < 0)
        tabs->insertTab(page, tabPages[page], tabTitles[page]);
    tabs->setCurrentWidget(tabPages[page]);
}

void MainWindow::onTabCloseRequested(int index)
{
    qCDebug(lcApp) << "tab close requested:" << index;
}

void MainWindow::removeTab(int index)
{
    form->tabWidget->removeTab(index);
}

void MainWindow::onContextMenu(QPoint pos)
{
    Q_UNUSED(pos)
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    const QStringList candidates = {QStringLiteral("./images/logo.png"),
                                    QStringLiteral("./images/logo.jpg")};
    for (const QString &path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        const QPixmap logo(path);
        form->logoLabel->setPixmap(
            logo.scaled(206, 45, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        return;
    }
    qCDebug(lcApp) << "not found logo images";
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (closeGuard->mayClose())
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}
