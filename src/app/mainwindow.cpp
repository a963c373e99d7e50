#include "mainwindow.h"

#include "applog.h"
#include "closeguard.h"
#include "scannersession.h"
#include "statuspanel.h"
#include "ui_mainwindow.h"
#include "zonestorefile.h"

#include <QApplication>
#include <QBrush>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QMessageBox>
#include <QPixmap>
#include <QSettings>
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

    form = new Ui::MainWindow;
    form->setupUi(this);

    translator = new QTranslator(this);
    if (translator->load(QStringLiteral(":/translations/vt_en.qm")))
        QApplication::installTranslator(translator);
    form->retranslateUi(this);

    loadStyleSheet();

    loadProductInformation();
    zoneStore = new ZoneStoreFile(zoneStoreFileName(), this);
    closeGuard = new CloseGuard(this);
    closeGuard->keepLastRun();
    initConfigFile();

    setupSession();

    form->areasMonitoningGroupBox->setEnabled(false);
    form->filterGroupBox->setEnabled(false);
    form->distanceLineEdit->setEnabled(false);
    form->scanAngleLineEdit->setEnabled(false);
    form->scanArealineEdit->setEnabled(false);
    form->deviceFrequencyLineEdit->setEnabled(false);
    form->angleResolutionComboBox->setEnabled(false);
    form->factorySettingsBtn->setEnabled(false);
    form->updateFirmwareBtn->setEnabled(false);
    form->saveBtn->hide();
    form->firmwarePlainTextEdit->setReadOnly(true);

    connect(form->selectFirmwareBtn, &QPushButton::clicked, this, &MainWindow::onSelectFirmwareBtn);
    connect(form->updateFirmwareBtn, &QPushButton::clicked, this, &MainWindow::onUpdateFirmwareBtn);
    connect(form->tabWidget, &QTabWidget::tabCloseRequested, this,
            &MainWindow::onTabCloseRequested);
    form->tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(form->tableView, &QWidget::customContextMenuRequested, this,
            &MainWindow::onContextMenu);
    connect(form->refreshBtn, &QPushButton::clicked, this, &MainWindow::onRefreshBtn);
    connect(form->openBtn, &QPushButton::clicked, this, &MainWindow::onOpenBtn);
    form->openBtn->setCheckable(true);
    connect(form->channels, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onChannelCurrentIndexChanged);
    connect(form->areas, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onAreasCurrentIndexChanged);
    connect(form->tabWidget, &QTabWidget::tabCloseRequested, form->tabWidget,
            [this](int index) { removeTab(index); });
    connect(form->treeWidget, &QTreeWidget::itemClicked, this, &MainWindow::onTreeWidgetClicked);

    setupScanPointGroup();
    statusPanel =
        std::make_unique<StatusPanel>(form, [this](int channel) { return storedChannel(channel); });
    setupZoneEditor();
    setupMenus();

    setupTabs();
    form->treeWidget->setEnabled(false);
    reloadChannel(0);

    setupFilterPage();
    setupReportExport();
    setupRecording();
    setupZoneFromScan();

    form->progressLabel->hide();
    form->progressBar->hide();
    form->readAreaLlabel->hide();
    form->readAreaProgressBar->hide();
    form->resetFactoryLabel->hide();
    form->resetFactoryProgressBar->hide();

    connect(form->downLoadBtn, &QPushButton::clicked, this, &MainWindow::onDownloadBtn);
    connect(form->uploadBtn, &QPushButton::clicked, this, &MainWindow::onUploadBtn);
    connect(form->areaMonitorGraphicsView, &LGraphicsView::mouseMovePoint, this,
            &MainWindow::onMouseMovePoint);
    for (QComboBox *box : {form->offDelayComboBox, form->onDelayComboBox,
                           form->detectableSizeComboBox, form->hysteresisComboBox})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &MainWindow::onParametorChange);
    connect(form->factorySettingsBtn, &QPushButton::clicked, this,
            &MainWindow::onFactorySettingsBtn);
    connect(form->saveSettingsBtn, &QPushButton::clicked, this, &MainWindow::onSaveSettingsBtn);
    connect(form->loadSettingsBtn, &QPushButton::clicked, this, &MainWindow::onLoadSettingsBtn);
    form->npnorpnp->setEnabled(false);

    buildNavigationTree();
    onRefreshBtn();
}

MainWindow::~MainWindow()
{
    disconnectZoneEditor();
    // The session closes its port and deletes its worker, before the form goes that its
    // reports would reach.
    delete session;
    session = nullptr;
    delete form;
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
