#pragma once

#include "firmwareupdate.h"
#include "requesttype.h"
#include "sessionfailure.h"
#include "zoneblock.h"
#include "zonefromscan.h"
#include "zonefromscandialog.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointF>
#include <QSerialPort>
#include <QString>
#include <QVector>

class CloseGuard;
class FilterPanel;
class ZoneCompareDialog;
class ZoneSet;

#include <functional>
#include <memory>

class FrameRecorder;
class QAction;
class QGraphicsItem;
class QLabel;
class QProgressBar;
class QGraphicsPathItem;
class QStandardItem;
class QTimer;
class QTranslator;
class QTreeWidgetItem;
class ScanPointLayer;
class ScannerLink;
class ScannerSession;
class StatusPanel;
class WorkerThread;
class ZoneEditor;
class ZoneStoreFile;
struct ZoneFileProblem;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Ports that the system's port list does not show (pseudo-terminals, links):
    // appended to the list after every refresh.
    void addExtraPort(const QString &name);
    void selectPort(const QString &name);
    void openSelectedPort();
    // Opens (inserting it again if it was closed) and selects page 0 device, 1 zones or
    // 2 running status, as the navigation tree does.
    void openTab(int page);

    Ui::MainWindow *ui() const { return form; }
    // The link: the worker of the current connection (null without one), the link of the
    // last open (serial port, TCP, recording; null before the first), the reconnect loop of
    // the firmware update and whether the full zone read runs.
    WorkerThread *worker() const;
    ScannerLink *link() const;
    QTimer *reconnectTimerObject() const;
    bool isReadingAreas() const;
    int currentDeviceChannel() const { return deviceCurrentChannel; }
    // The committed filter values in member order, as decimal texts.
    QStringList filterSnapshot() const;

    // How long the full zone read waits for each channel, and a zone upload for each
    // acknowledgement, before it asks again (twice) and then gives up.
    void setZoneReadTimeout(int ms);
    void setZoneWriteTimeout(int ms);
    QGraphicsPathItem *stateZoneItem(int area) const;
    // The zones of this run and their copy in config.ini, and the zone page's editor.
    ZoneStoreFile *zoneStoreFile() const { return zoneStore; }
    ZoneEditor *zoneEditor() const { return editor; }
    // The channel in the zone editor.
    int editedChannel() const;

    // Firmware update: where the file name comes from (a file dialog unless replaced),
    // the reconnect period while the scanner restarts into its bootloader, and how long
    // one step, or the bootloader's appearance, may take before the update is given up.
    void setFirmwareFileProvider(std::function<QString()> provider)
    {
        firmwareFileProvider = std::move(provider);
    }
    void setReconnectInterval(int ms);
    // Replaces the dialogs that ask for a zone file name (save true: the save dialog).
    void setZoneFileProvider(std::function<QString(bool save)> provider)
    {
        zoneFileProvider = std::move(provider);
    }
    // Replaces the dialog that asks where the commissioning report goes.
    void setReportFileProvider(std::function<QString()> provider)
    {
        reportFileProvider = std::move(provider);
    }
    void setFirmwareStepTimeout(int ms);
    // The steps that erase or program the flash (begin, commit).
    void setFirmwareFlashTimeout(int ms);
    void setBootloaderTimeout(int ms);
    bool isFirmwareUpdateRunning() const;

    // Recording the scanner's frames (File, Record scans): where the file name comes from
    // (a save dialog unless replaced; empty: cancelled), and the recorder.
    void setRecordFileProvider(std::function<QString()> provider)
    {
        recordFileProvider = std::move(provider);
    }
    FrameRecorder *frameRecorder() const { return recorder; }
    // Zone from scan (Edit): where the choice comes from (its dialog unless replaced; false:
    // cancelled), and the scans kept for it, the latest last.
    void setZoneFromScanProvider(std::function<bool(ZoneFromScanChoice *)> provider)
    {
        zoneFromScanProvider = std::move(provider);
    }
    const QVector<ScanSweep> &keptScans() const { return recentScans; }
    static constexpr int kKeptScans = 250; // ten seconds at 25 scans a second
    // Working without a scanner: the navigation tree and the zone page become usable, the
    // store taken from zoneFile when one is named (read as LoadConfig reads it; refused
    // with its box, and *refusal in English, otherwise). Read and Upload stay disabled
    // until a scanner's zones have been read.
    bool workOffline(const QString &zoneFile = QString(), QString *refusal = nullptr);
    // The comparison of the store with a zone file, or with the scanner's zones read
    // afresh (the store untouched), in a dialog; null until the first comparison.
    bool compareWithZoneFile(const QString &path);
    bool compareWithScanner();
    ZoneCompareDialog *comparisonDialog() const { return compareDialog; }

signals:
    void sendRequestType(RequestType type, QString value);
    void readLidarArea(int index);
    void firmwareWriteData(QString file);

private slots:
    void onTabCloseRequested(int index);
    void onContextMenu(QPoint pos);
    void onRefreshBtn();
    void onOpenBtn();
    void onSaveBtn();
    void onChannelCurrentIndexChanged(int index);
    void onAreasCurrentIndexChanged(int index);
    void onParametorChange(int index);
    void onTreeWidgetClicked(QTreeWidgetItem *item, int column);
    void onRecvState(uchar err, uchar output, uchar input);
    void onModelItemChanged(QStandardItem *item);
    void onShapeBtn();
    void onDownloadBtn();
    void onUploadBtn();
    void onSaveSettingsBtn();
    void onLoadSettingsBtn();
    void onReadCurArea(int index);
    void onWriteCurArea(int index);
    void onFactorySettingsBtn();
    void onSelectFirmwareBtn();
    void onUpdateFirmwareBtn();
    void onReconnectTimer();
    void onWriteFirmwareDataProgress(int index, int total);

public slots:
    void onRectangleItemPos(QPointF pos);
    void onRecvPathId(int id);
    void onRecvRequestResult(RequestType type, QString value);
    void onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                            QVector<ushort> intensityVec);
    void onMouseMovePoint(QPoint point);
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void onFocusItemChanged(QGraphicsItem *newFocusItem, QGraphicsItem *oldFocusItem);

private slots:
    void onFiterStateChanged(int state);
    void onAverageFiterStateChanged(int state);
    void onInputNoncStateChanged(int state);
    void onOutputNoncStateChanged(int state);
    void onFilterStrenthSliderValueChanged(int value);
    void onFilterMinRangeSliderValueChanged(int value);
    void onFilterMaxRangeSliderValueChanged(int value);
    void onSetMaskIntensitySliderValueChanged(int value);
    void onSetMaskMinAngleSliderValueChanged(int value);
    void onSetMaskMaxAngleSliderValueChanged(int value);

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Closing asks first while the store holds zones the scanner has not received.
    void closeEvent(QCloseEvent *event) override;

private:
    // Construction steps, one per page.
    void loadStyleSheet();
    void loadProductInformation();
    void setupTabs();
    void setupScanPointGroup();
    void buildNavigationTree();
    void removeTab(int index);

    // Serial panel: the window's side of the session's link and procedures.
    void setupSession();
    void openPort();
    void closePort();
    void onProbeAnswered();
    void onProbeUnanswered();
    void handlePortLost();
    void dropLinkAfterUpdate();
    void endFullZoneRead();
    void onZoneReadFinished();
    void onZoneReadFailed(const SessionFailure &failure);

    // Zone editor: wired to the window's slots, let go of before the window's children go.
    void setupZoneEditor();
    void disconnectZoneEditor();

    // Zone store and transfers.
    void initConfigFile();
    // The editor's seams: its channel saved into the store, or taken from it again.
    bool saveChannelToConfig(int channel);
    void reloadChannel(int channel);
    void showStateAreas(int channel);
    // Draws the running-status view's channel again after its stored zones changed.
    void redrawStateAreas();
    void storeScannerChannel(int channel, const ZoneChannelRecord &areas);
    // The stored areas of a channel, as the scanner would receive them.
    ZoneChannelRecord storedChannel(int channel) const;
    // Whether the store holds changes the scanner has not received; the end of a full read
    // or of a whole upload says it holds them now.
    bool hasUnsentZones() const;
    void zonesReachedScanner();
    QString areaName(int area) const;
    bool storeFitsTheScanner(QVector<QByteArray> *blocks);
    void endZoneWrite();
    void onZoneWriteFinished();
    void onZoneWriteFailed(const SessionFailure &failure);
    // Zones in the store the scanner has not received (unsentzones.cpp).
    bool uploadUnsentZonesInstead();
    QString keepUnsentZonesCopy(QString *error);
    QString askZoneFileName(bool save);
    // SaveConfig's work: the store written to a zone file the user names; false when
    // nothing was written (cancelled, refused or failed, each said in a box).
    bool saveZonesToFile();
    // LoadConfig's work on a file already named: refused (with the box, and *refusal in
    // English) unless the strict reading takes it; otherwise one step of the editor's history.
    bool loadZoneFile(const QString &name, QString *refusal = nullptr);
    // Why a zone file or the store cannot be used, naming channel, area and key.
    QString zoneFileProblemText(const ZoneFileProblem &problem) const;

    // Filter page.
    void setupFilterPage();

    // The commissioning report (reportexport.cpp), and the fingerprint of the zones the
    // scanner holds, shown after every full read and upload.
    void setupReportExport();
    void showZoneFingerprint();
    QString askReportFileName();
    void onExportReport();
    // Recording (recordscans.cpp) and zone from scan (scanzone.cpp).
    void setupRecording();
    void onRecordScans(bool checked);
    void stopRecording();
    void onRecordingFailed(const QString &error);
    void showRecordingStatus();
    void setupZoneFromScan();
    void onZoneFromScan();
    void keepScan(const QVector<float> &angles, const QVector<ushort> &ranges);
    // The menu bar (menuactions.cpp) and the comparison of zone sets (zonecompare.cpp).
    void setupMenus();
    void updateEditMenu();
    void setScannerZoneButtonsEnabled(bool enabled);
    void onCompareWithFile();
    bool canCompareWithScanner() const;
    void endScannerComparison(bool finished);
    void showComparison(const ZoneSet &other, const QString &name, bool scanner);
    void refreshComparison();
    void showDifferenceInEditor(int channel, int area);

    // Firmware page: the log of the session's update.
    void logFirmware(const QString &line);
    bool readFirmwareFile(const QString &path, QByteArray *image);
    void onFirmwareEvent(FirmwareUpdate::Event event);
    void onFirmwareFinished();
    void onFirmwareFailed(const SessionFailure &failure);
    void endFirmwareUpdate();

    // The user's zones at the ends of a run: the close question, the last run's copy.
    friend class CloseGuard;
    CloseGuard *closeGuard = nullptr;

    Ui::MainWindow *form = nullptr;
    QVector<QWidget *> tabPages;
    QVector<QString> tabTitles;
    // The port, the worker and the procedures over them.
    ScannerSession *session = nullptr;
    QTranslator *translator = nullptr;
    FilterPanel *filterPanel = nullptr;
    std::unique_ptr<StatusPanel> statusPanel;

    int deviceCurrentChannel = 0;
    // The live scan over the zone editor, one square per measurement (the zone scene owns it).
    ScanPointLayer *zoneScanPoints = nullptr;

    // Zone page: the set and its file, and the editor working on it.
    ZoneStoreFile *zoneStore = nullptr;
    ZoneEditor *editor = nullptr;
    bool factoryResetInProgress = false;
    ZoneCompareDialog *compareDialog = nullptr;
    bool comparisonRefreshPending = false;
    // The scanner's zones while a full read for a comparison runs; null otherwise.
    std::unique_ptr<ZoneSet> scannerComparison;

    // Serial panel extras: ports the system list does not show.
    QStringList extraPorts;

    // Firmware page: where the image comes from, and the update button's state to give
    // back when an update ends.
    std::function<QString()> firmwareFileProvider;
    std::function<QString(bool save)> zoneFileProvider;
    std::function<QString()> reportFileProvider;
    QAction *exportReportAction = nullptr;
    QLabel *zoneFingerprintLabel = nullptr;
    QProgressBar *reportProgressBar = nullptr;
    bool updateBtnWasEnabled = false;

    // Recording: the recorder, its File menu action, the status bar's time and size while it
    // records and the timer that refreshes them.
    FrameRecorder *recorder = nullptr;
    QAction *recordAction = nullptr;
    QLabel *recordingLabel = nullptr;
    QTimer *recordingTimer = nullptr;
    QMetaObject::Connection recordingTap;
    std::function<QString()> recordFileProvider;
    // Zone from scan: the latest scans both displays got, the last choice made.
    QVector<ScanSweep> recentScans;
    ZoneFromScanChoice zoneFromScanChoice;
    std::function<bool(ZoneFromScanChoice *)> zoneFromScanProvider;
};
