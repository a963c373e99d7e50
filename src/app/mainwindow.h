#pragma once

#include "areasettings.h"
#include "firmwareupdate.h"
#include "requesttype.h"
#include "sessionfailure.h"
#include "zoneblock.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointF>
#include <QSerialPort>
#include <QSet>
#include <QString>
#include <QVector>

class PathItem;
class QGraphicsEllipseItem;

#include <functional>

class QGraphicsItem;
class QGraphicsItemGroup;
class QGraphicsPathItem;
class QLabel;
class QSlider;
class QStandardItem;
class QStandardItemModel;
class QTimer;
class QTranslator;
class QTreeWidgetItem;
class RectangleItem;
class ScannerSession;
class WorkerThread;
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
    // The link: the worker of the current connection (null without one), the port, the
    // reconnect loop of the firmware update and whether the full zone read runs.
    WorkerThread *worker() const;
    QSerialPort *port() const;
    QTimer *reconnectTimerObject() const;
    bool isReadingAreas() const;
    int currentDeviceChannel() const { return deviceCurrentChannel; }
    // The committed filter values in member order, as decimal texts.
    QStringList filterSnapshot() const;

    // How long the full zone read waits for each channel, and a zone upload for each
    // acknowledgement, before it asks again (twice) and then gives up.
    void setZoneReadTimeout(int ms);
    void setZoneWriteTimeout(int ms);
    int editedChannel() const { return currentChannel; }
    QGraphicsPathItem *stateZoneItem(int area) const { return stateZoneItems[area]; }

    // After a channel's records were loaded: rebuild the three outlines, then show the
    // area the user last picked with its handles and table rows.
    void rebuildChannelShapes();
    const AreaSettings &areaRecord(int area) const { return areaSettings[area]; }
    // The corners the store receives for the area when it is a rectangle.
    QVector<QPointF> rectangleCornerList(int area) const;
    int editedArea() const { return currentArea; }

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
    void setFirmwareStepTimeout(int ms);
    // The steps that erase or program the flash (begin, commit).
    void setFirmwareFlashTimeout(int ms);
    void setBootloaderTimeout(int ms);
    bool isFirmwareUpdateRunning() const;

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

    // Request results.
    void takeFilterSnapshot();
    void onParametersSaved(int status);

    // Zone editor: scene, outlines, handles, point table.
    void setupZoneScene();
    void disconnectZoneEditor();
    // movedVertex: the vertex the user just moved, or kNoMovedVertex for a redraw of the
    // record as it is (showing a channel or an area), which moves nothing.
    void rebuildOutline(int movedVertex);
    void startNewShape();
    void placeHandles();
    void placeHandle(int index, const QPointF &vertex);
    void placeShapeHandles(int count);
    void resetHandles();
    void setHandlesVisible(bool visible);
    void fillTable();
    void refreshRow(int row);
    void setRowCells(int row, const QPointF &vertex);
    bool isAddRow(int row) const;
    bool readCellMm(int row, int column, int *mm, QString *refusal) const;
    void refuseCellEdit(int row, const QString &reason);
    void markAreaEdited(int area, int what);
    void updatePolygonRow(int k, const QPointF &vertex);
    void checkShapeButton(int regionType);
    void showAreaSelectors();
    void backwardDelete();

    // Zone store and transfers.
    void initConfigFile();
    bool saveChannelToConfig(int channel);
    void loadChannelFromConfig(int channel);
    void reloadChannel(int channel);
    QVector<QPoint> storedPointsOf(int area) const;
    void showStateAreas(int channel);
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
    // Whether a path names one of the tool's own files in the working folder.
    static bool isOwnFile(const QString &path);
    // Why a zone file or the store cannot be used, naming channel, area and key.
    QString zoneFileProblemText(const ZoneFileProblem &problem) const;

    // Filter page.
    void setupFilterPage();
    void restoreFilterSnapshot();
    bool filterRangeRefused(QSlider *moved, QLabel *label, int minRange, int maxRange);
    QString filterSettingName(RequestType setType) const;
    void onSettingRefused(RequestType type, int status);
    bool showRereadFilterValue(RequestType type, const QString &value);

    // Firmware page: the log of the session's update.
    void logFirmware(const QString &line);
    bool readFirmwareFile(const QString &path, QByteArray *image);
    void onFirmwareEvent(FirmwareUpdate::Event event);
    void onFirmwareFinished();
    void onFirmwareFailed(const SessionFailure &failure);
    void endFirmwareUpdate();

    Ui::MainWindow *form = nullptr;
    QVector<QWidget *> tabPages;
    QVector<QString> tabTitles;
    // The port, the worker and the procedures over them.
    ScannerSession *session = nullptr;
    QTranslator *translator = nullptr;
    uchar lastInputState = 0x41;

    QString filterStrength;
    QString filterMinRange;
    QString filterMaxRange;
    bool filterEnabled = false;
    bool averageFilterEnabled = false;
    bool outputNormallyClosed = false;
    bool inputNormallyClosed = false;
    ushort maskIntensity = 0;
    ushort maskMinAngle = 0;
    ushort maskMaxAngle = 0;
    // Filter settings the scanner refused since the last save (their names); the reads
    // asked for after a refusal; a snapshot that waits for their answers; set while the
    // window itself moves the controls (scanner values, Cancel), not the user.
    QStringList refusedFilterSettings;
    QSet<int> filterRereads;
    bool snapshotAfterRereads = false;
    bool applyingFilterValues = false;

    int deviceCurrentChannel = 0;
    QVector<QGraphicsPathItem *> stateZoneItems;
    // The live scan over the zone editor, one square per measurement.
    QGraphicsItemGroup *scanPointGroup = nullptr;

    // Zone page state.
    qreal handleOffsetX = 0;
    qreal handleOffsetY = 0;
    QStandardItemModel *pointModel = nullptr;
    bool factoryResetInProgress = false;
    QVector<AreaSettings> areaSettings = QVector<AreaSettings>(3);
    // What the user changed in each area since the channel was read from the store: only
    // that is written back, so a channel that was only looked at keeps its bytes.
    enum AreaEdit
    {
        ParametersEdited = 1, // a selector: the six numbers are written, Points stays
        ShapeEdited = 2,      // a vertex, a new shape or a delete: the whole area
    };
    QVector<int> areaEdits = QVector<int>(3, 0);
    static constexpr int kNoMovedVertex = -1;
    // The reason for the last refused cell edit while the status bar still shows it.
    QString cellRefusal;
    int currentChannel = 0;
    int currentArea = 0;  // the edited area
    int selectedArea = 0; // the area the user last picked (selector or outline click)
    int backwardDeleteIndex = 2;
    bool tableTouched = false;
    QVector<RectangleItem *> vertexHandles;
    QVector<PathItem *> zoneItems;
    QGraphicsPathItem *gridItem = nullptr;
    QGraphicsEllipseItem *fieldOfViewItem = nullptr;
    // The store holds changes the scanner has not received: set when edits or a loaded
    // zone file reach it, cleared by a whole full read or a whole upload.
    bool zonesNotOnScanner = false;
    int stateAreasChannel = 0; // the channel whose zones the running-status view shows

    // Serial panel extras: ports the system list does not show.
    QStringList extraPorts;

    // Firmware page: where the image comes from, and the update button's state to give
    // back when an update ends.
    std::function<QString()> firmwareFileProvider;
    std::function<QString(bool save)> zoneFileProvider;
    bool updateBtnWasEnabled = false;
};
