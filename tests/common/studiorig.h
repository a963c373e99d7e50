#pragma once

#include "devicepanel.h"
#include "eventwait.h"
#include "filterpanel.h"
#include "firmwarepanel.h"
#include "firmwareupdate.h"
#include "mainwindow.h"
#include "modalcatcher.h"
#include "reportexport.h"
#include "scannersession.h"
#include "scanrecording.h"
#include "scanzones.h"
#include "serialpanel.h"
#include "simulatorhost.h"
#include "statuspanel.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "workerthread.h"
#include "zonecomparison.h"
#include "zoneeditor.h"
#include "zonefiles.h"
#include "zonefromscan.h"
#include "zonegeometry.h"
#include "zoneread.h"
#include "zonestore.h"
#include "zonewrite.h"

#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

// The working folder of a rig: a temporary folder, entered for the rig's lifetime, or the
// folder the process is in (a program that was told where to write).
class RigFolder
{
public:
    explicit RigFolder(bool temporary) : m_previous(QDir::currentPath())
    {
        if (temporary) {
            m_temporary = std::make_unique<QTemporaryDir>();
            m_valid = m_temporary->isValid() && QDir::setCurrent(m_temporary->path());
        }
        m_path = QDir::currentPath();
    }
    ~RigFolder()
    {
        if (m_temporary)
            QDir::setCurrent(m_previous);
    }
    RigFolder(const RigFolder &) = delete;
    RigFolder &operator=(const RigFolder &) = delete;

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }
    QString filePath(const QString &name) const { return QDir(m_path).filePath(name); }

private:
    QString m_previous;
    QString m_path;
    std::unique_ptr<QTemporaryDir> m_temporary;
    bool m_valid = true;
};

// The end-to-end rig: a working folder of its own, every modal box answered, a simulated
// scanner on a pseudo-terminal and the window, whose file questions the rig answers. Tests,
// the file comparison of two builds and the benchmarks all drive the window through it.
//
//     StudioRig rig;
//     QVERIFY(rig.start(state));
//     QVERIFY(rig.connectAndRead());
class StudioRig
{
public:
    enum Folder
    {
        TemporaryFolder,
        CurrentFolder
    };
    explicit StudioRig(Folder folder = TemporaryFolder) : dir(folder == TemporaryFolder) {}

    RigFolder dir;
    ModalCatcher boxes;
    SimulatorHost sim;
    std::unique_ptr<MainWindow> window;

    // The answers to the window's file questions; an empty name cancels the question. The
    // zone file answers LoadConfig, SaveConfig and the comparison with a file.
    QString zoneFile;
    QString reportFile;
    QString recordFile;
    QString firmwareFile;
    // Zone from scan's dialog; by default cancelled.
    std::function<bool(ZoneFromScanChoice *)> zoneFromScan = [](ZoneFromScanChoice *) {
        return false;
    };

    // Unpaced, so that a test waits only for what it tests; a short restart.
    static SimOptions quick()
    {
        SimOptions o;
        o.paced = false;
        o.seed = 11;
        o.restartMs = 150;
        return o;
    }
    // A scanner that never answers a zone read: the full read after connecting gives up at
    // once (the window's read time-out is 100 ms then) and leaves the window usable.
    static SimOptions withoutZoneReads()
    {
        SimOptions o = quick();
        o.dropTypes = {REQUEST_READ_AREA};
        return o;
    }

    bool startScanner(const SimOptions &options = quick())
    {
        QString error;
        if (!dir.isValid() || !sim.start(options, &error)) {
            qWarning() << "simulator:" << error;
            return false;
        }
        return true;
    }
    bool startScanner(const DeviceState &state, const SimOptions &options = quick())
    {
        sim.setState(state);
        return startScanner(options);
    }

    // The window, its file questions answered by the rig, with the scanner's terminal (or
    // portPath) listed and selected when a scanner runs.
    bool openWindow(const QString &portPath = QString())
    {
        window = std::make_unique<MainWindow>();
        window->zoneFiles()->setFileProvider([this](bool) { return zoneFile; });
        window->reportExport()->setFileProvider([this]() { return reportFile; });
        window->scanRecording()->setFileProvider([this]() { return recordFile; });
        window->firmwarePanel()->setFileProvider([this]() { return firmwareFile; });
        window->scanZones()->setChoiceProvider(
            [this](ZoneFromScanChoice *choice) { return zoneFromScan && zoneFromScan(choice); });
        if (sim.options().dropTypes.contains(REQUEST_READ_AREA))
            window->scannerSession()->zoneRead()->setTimeout(100);
        const QString port = portPath.isEmpty() ? sim.devicePath() : portPath;
        if (port.isEmpty())
            return true;
        window->serialPanel()->addExtraPort(port);
        return ui()->portName->currentText() == port;
    }

    bool start(const SimOptions &options = quick(), const QString &portPath = QString())
    {
        return startScanner(options) && openWindow(portPath);
    }
    bool start(const DeviceState &state, const SimOptions &options = quick(),
               const QString &portPath = QString())
    {
        return startScanner(state, options) && openWindow(portPath);
    }

    Ui::MainWindow *ui() const { return window->ui(); }

    // Shows the window, on page 0 device, 1 zones or 2 running status when one is given.
    bool show(int page = -1)
    {
        if (page >= 0)
            window->openTab(page);
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    // The zone page without a scanner, shown: what works on the store alone is usable.
    bool showOffline()
    {
        if (!window && !openWindow())
            return false;
        return window->workOffline() && show(1);
    }
    // The window without a scanner, not shown yet; or working offline on its zone page.
    MainWindow &windowAlone()
    {
        if (!window)
            openWindow();
        return *window;
    }
    MainWindow &offlineWindow()
    {
        windowAlone().workOffline();
        return *window;
    }

    // Opens the selected port; true once the probe was answered and the worker runs.
    bool connect()
    {
        window->serialPanel()->openSelectedPort();
        return window->scannerSession()->worker() != nullptr;
    }
    // For a scanner that does not answer zone reads: connected, and the full read after
    // connecting given up, the window usable again.
    bool connectAndSettle(int timeoutMs = 5000)
    {
        return connect() && waitUntil(
                                [this]() {
                                    return countOf(REQUEST_READ_AREA) > 0 &&
                                           !window->scannerSession()->zoneRead()->isRunning() &&
                                           window->isEnabled();
                                },
                                timeoutMs);
    }
    // Connected, and both the full read and the follow-up read of the current channel have
    // reached the store and the editor.
    bool connectAndRead(int timeoutMs = 10000)
    {
        window->serialPanel()->openSelectedPort();
        if (!window->scannerSession()->worker())
            return false;
        QSignalSpy channelsRead(window->scannerSession()->worker(), &WorkerThread::sendReadCurArea);
        return waitUntil(
            [&]() {
                return window->isEnabled() && !window->scannerSession()->zoneRead()->isRunning() &&
                       channelsRead.count() == kZoneChannelCount + 1 &&
                       ui()->areasMonitoningGroupBox->isEnabled();
            },
            timeoutMs);
    }
    // The device page filled by the read-out after connecting.
    bool waitForReadOut(int timeoutMs = 5000)
    {
        return QTest::qWaitFor(
            [this]() {
                return !ui()->versionLabel->text().isEmpty() &&
                       ui()->npnorpnp->currentText() == QLatin1String("NPN");
            },
            timeoutMs);
    }
    // The upload button, and all 64 blocks acknowledged.
    bool upload(int timeoutMs = 10000)
    {
        const int before = countOf(REQUEST_WRITE_AREA);
        QTest::mouseClick(ui()->uploadBtn, Qt::LeftButton);
        return waitUntil(
            [&]() {
                return window->isEnabled() && ui()->progressBar->isHidden() &&
                       countOf(REQUEST_WRITE_AREA) == before + kZoneChannelCount;
            },
            timeoutMs);
    }

    // A user edit of one cell of the point table: a click on it (a user edit needs the
    // table touched first), then the value.
    void typeCell(int row, int column, const QVariant &value)
    {
        auto *model = qobject_cast<QStandardItemModel *>(ui()->tableView->model());
        const QModelIndex index = model->index(row, column);
        ui()->tableView->scrollTo(index);
        QTest::mouseClick(ui()->tableView->viewport(), Qt::LeftButton, {},
                          ui()->tableView->visualRect(index).center());
        model->setData(index, value);
    }
    // A vertex typed into the add row of the point table.
    void typeVertex(int xMm, int yMm)
    {
        const int row = ui()->tableView->model()->rowCount() - 1;
        typeCell(row, 0, xMm);
        typeCell(row, 1, yMm);
    }

    // A key of the zone store, or of another zone file, as text.
    QString stored(int channel, int area, const char *key, const QString &file = QString()) const
    {
        return QSettings(file.isEmpty() ? zoneStoreFileName() : file, QSettings::IniFormat)
            .value(zoneKey(channel, area, QLatin1String(key)))
            .toString();
    }

    // The requests of one type the scanner received, oldest first.
    QVector<ReceivedFrame> framesOf(quint16 type) const
    {
        QVector<ReceivedFrame> out;
        const QVector<ReceivedFrame> all = sim.receivedFrames();
        for (const ReceivedFrame &frame : all)
            if (frame.type == type)
                out.append(frame);
        return out;
    }
    int countOf(quint16 type) const { return framesOf(type).size(); }
};

// Millimetres of the device frame as the editor's scene points.
inline QVector<QPointF> sceneOf(const QVector<QPoint> &millimetres)
{
    QVector<QPointF> out;
    for (const QPoint &p : millimetres)
        out.append(ZoneGeometry::mmToScene(p.x(), p.y()));
    return out;
}
