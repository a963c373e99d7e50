#pragma once

#include "requesttype.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointF>
#include <QSerialPort>
#include <QString>
#include <QVector>

#include <functional>

class QGraphicsItem;
class QGraphicsPathItem;
class QStandardItem;
class QStandardItemModel;
class QTimer;
class QTranslator;
class QTreeWidgetItem;
class WorkerThread;

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

    Ui::MainWindow *ui() const { return form; }
    WorkerThread *worker() const { return workerThread; }
    QSerialPort *port() const { return serialPort; }
    QTimer *reconnectTimerObject() const { return reconnectTimer; }
    bool isReadingAreas() const { return readingAreas; }
    int currentDeviceChannel() const { return deviceCurrentChannel; }
    // The committed filter values in member order, as decimal texts.
    QStringList filterSnapshot() const;

    // How long the full zone read may wait for the next channel before it gives up.
    void setZoneReadTimeout(int ms) { zoneReadTimeoutMs = ms; }

    // Firmware update: where the file name comes from (a file dialog unless replaced),
    // the reconnect period while the scanner restarts into its bootloader, and how long
    // one step, or the bootloader's appearance, may take before the update is given up.
    void setFirmwareFileProvider(std::function<QString()> provider)
    {
        firmwareFileProvider = std::move(provider);
    }
    void setReconnectInterval(int ms) { reconnectIntervalMs = ms; }
    void setFirmwareStepTimeout(int ms) { firmwareStepTimeoutMs = ms; }
    void setBootloaderTimeout(int ms) { bootloaderTimeoutMs = ms; }
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
    void setupSerialPort();
    void setupTabs();
    void buildNavigationTree();
    void removeTab(int index);

    // Serial panel and request sequence.
    void openPort();
    void closePort();
    void startRequestSequence();
    void startFullZoneRead();
    void endFullZoneRead();
    void onZoneReadTimeout();
    void handlePortLost();

    // Request results.
    void handleFirmwareResult(RequestType type, const QString &value);
    void takeFilterSnapshot();

    // Filter page.
    void setupFilterPage();
    void restoreFilterSnapshot();

    // Firmware update: every step arms a watchdog that gives the update up when the
    // scanner does not answer in time.
    void logFirmware(const QString &line);
    bool firmwareFileReadable(const QString &path);
    void armFirmwareStep(const QString &failure, int ms);
    void failFirmwareUpdate(const QString &failure);
    void endFirmwareUpdate();

    Ui::MainWindow *form = nullptr;
    QVector<QWidget *> tabPages;
    QVector<QString> tabTitles;
    QSerialPort *serialPort = nullptr;
    WorkerThread *workerThread = nullptr;
    QTimer *reconnectTimer = nullptr;
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

    bool readingAreas = false;
    int readAreaIndex = 0;
    int deviceCurrentChannel = 0;
    QVector<QGraphicsPathItem *> stateZoneItems;

    // Zone page state (filled in by the zone editor).
    qreal handleOffsetX = 0;
    qreal handleOffsetY = 0;
    QStandardItemModel *pointModel = nullptr;
    bool factoryResetInProgress = false;

    // Serial panel extras: ports the system list does not show, and the guard that
    // ends a full zone read the scanner never finishes.
    QStringList extraPorts;
    QTimer *zoneReadTimer = nullptr;
    int zoneReadTimeoutMs = 3000;
    bool portLost = false;

    // Firmware update state beyond the reconnect timer.
    std::function<QString()> firmwareFileProvider;
    QTimer *firmwareStepTimer = nullptr;
    QString firmwareStepFailure;
    bool firmwareUpdating = false;
    bool updateBtnWasEnabled = false;
    int reconnectIntervalMs = 5000;
    int firmwareStepTimeoutMs = 5000;
    int bootloaderTimeoutMs = 60000;
};
