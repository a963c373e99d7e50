#pragma once

#include "requesttype.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointF>
#include <QSerialPort>
#include <QString>
#include <QVector>

#include <memory>

class BackupRestore;
class CloseGuard;
class DevicePanel;
class DiagnosticsPanel;
class FactoryReset;
class FilterPanel;
class FirmwarePanel;
class QGraphicsItem;
class QStandardItem;
class QTranslator;
class QTreeWidgetItem;
class RecordingPlayback;
class ReportExport;
class ScanRecording;
class ScanZones;
class ScannerSession;
class SerialPanel;
class StatusPanel;
class WindowModes;
class ZoneComparison;
class ZoneEditor;
class ZoneFiles;
class ZoneStoreFile;
class ZoneTransfer;

namespace Ui {
class MainWindow;
}

// The window: its form, the owners of its pages and of the link, and the wiring between
// them. What a page shows or decides is its owner's; the described slots forward to them.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Opens (inserting it again if it was closed) and selects page 0 device, 1 zones or
    // 2 running status, as the navigation tree does.
    void openTab(int page);
    // Working without a scanner: the zone page works on the store alone, taken from zoneFile
    // when one is named (read as LoadConfig reads it; refused with its box, and *refusal in
    // English, otherwise).
    bool workOffline(const QString &zoneFile = QString(), QString *refusal = nullptr);

    Ui::MainWindow *ui() const { return form.get(); }
    // The owners: the link, the window's mode, the zones and their editor, the pages.
    ScannerSession *scannerSession() const { return session.get(); }
    WindowModes *modes() const { return windowModes.get(); }
    ZoneStoreFile *zoneStoreFile() const { return zoneStore.get(); }
    ZoneEditor *zoneEditor() const { return editor.get(); }
    SerialPanel *serialPanel() const { return serial.get(); }
    DevicePanel *devicePanel() const { return device.get(); }
    FirmwarePanel *firmwarePanel() const { return firmware.get(); }
    FilterPanel *filterPanel() const { return filters.get(); }
    StatusPanel *statusPanel() const { return status.get(); }
    ZoneTransfer *zoneTransfer() const { return transfer.get(); }
    ZoneFiles *zoneFiles() const { return files.get(); }
    CloseGuard *closingGuard() const { return closeGuard.get(); }
    ZoneComparison *zoneComparison() const { return comparison.get(); }
    FactoryReset *factoryReset() const { return factory.get(); }
    ReportExport *reportExport() const { return report.get(); }
    BackupRestore *backupRestore() const { return backup.get(); }
    ScanRecording *scanRecording() const { return recording.get(); }
    ScanZones *scanZones() const { return scans.get(); }
    RecordingPlayback *recordingPlayback() const { return playback.get(); }
    DiagnosticsPanel *diagnosticsPanel() const { return diagnostics.get(); }

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
    // Construction steps.
    void loadStyleSheet();
    void loadProductInformation();
    void makeOwners();
    void wireOwners();
    void setupTabs();
    void buildNavigationTree();
    void removeTab(int index);

    // The zone store's described operations; the store, the editor and the status panel do
    // the work.
    void initConfigFile();
    void loadChannelFromConfig(int channel);
    bool saveChannelToConfig(int channel);
    void showStateAreas(int channel);

    // Let go of last: the owners work on the form's widgets to the end.
    std::unique_ptr<Ui::MainWindow> form;
    QVector<QWidget *> tabPages;
    QVector<QString> tabTitles;
    QTranslator *translator = nullptr;

    // The owners, made in this order and let go of in reverse, all before the widgets they
    // work on.
    std::unique_ptr<WindowModes> windowModes;
    std::unique_ptr<ScannerSession> session;
    std::unique_ptr<ZoneStoreFile> zoneStore;
    std::unique_ptr<StatusPanel> status;
    std::unique_ptr<ZoneEditor> editor;
    std::unique_ptr<SerialPanel> serial;
    std::unique_ptr<DevicePanel> device;
    std::unique_ptr<FirmwarePanel> firmware;
    std::unique_ptr<FilterPanel> filters;
    std::unique_ptr<ZoneTransfer> transfer;
    std::unique_ptr<FactoryReset> factory;
    std::unique_ptr<ZoneFiles> files;
    std::unique_ptr<CloseGuard> closeGuard;
    std::unique_ptr<ZoneComparison> comparison;
    std::unique_ptr<BackupRestore> backup;
    std::unique_ptr<ReportExport> report;
    std::unique_ptr<ScanRecording> recording;
    std::unique_ptr<ScanZones> scans;
    std::unique_ptr<RecordingPlayback> playback;
    std::unique_ptr<DiagnosticsPanel> diagnostics;
};
