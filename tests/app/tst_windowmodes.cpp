// The window's modes: which controls each mode lets the user reach, from one table, and
// the modes the window passes through with a scanner on the line.
#include "studiorig.h"
#include "zonecomparedialog.h"

#include <QtTest>

Q_DECLARE_METATYPE(WindowMode)

namespace {
// Every control a mode decides on, by object name; the operating parameters and the output
// type are shown only, in every mode.
const QStringList kControls = {"MainWindow",
                               "treeWidget",
                               "portName",
                               "baudRate",
                               "openBtn",
                               "actionWorkOffline",
                               "areasMonitoningGroupBox",
                               "downLoadBtn",
                               "uploadBtn",
                               "actionUndo",
                               "actionRedo",
                               "filterGroupBox",
                               "factorySettingsBtn",
                               "selectFirmwareBtn",
                               "updateFirmwareBtn",
                               "actionRecordScans",
                               "actionExportReport",
                               "compareScannerBtn",
                               "actionBackupScanner",
                               "actionRestoreScanner",
                               "actionOpenRecording",
                               "actionCloseRecording",
                               "playbackBar",
                               "distanceLineEdit",
                               "scanAngleLineEdit",
                               "scanArealineEdit",
                               "deviceFrequencyLineEdit",
                               "angleResolutionComboBox",
                               "npnorpnp"};
const QStringList kProgressBars = {"readAreaProgressBar", "progressBar", "resetFactoryProgressBar"};

// Whether the control can be used, the window's own state left aside for its children.
bool enabled(MainWindow &window, const QString &name)
{
    if (name == QLatin1String("MainWindow"))
        return window.isEnabled();
    if (auto *action = window.findChild<QAction *>(name))
        return action->isEnabled();
    if (auto *widget = window.findChild<QWidget *>(name))
        return !widget->testAttribute(Qt::WA_ForceDisabled);
    qWarning() << "no control" << name;
    return false;
}

// The owners' own conditions: a port listed, a step to take back and to do again, a
// firmware file chosen, no report being written; and whether the pages were reachable once.
void setOwnConditions(MainWindow &window, bool hold)
{
    for (WindowModes::Control c :
         {WindowModes::OpenPort, WindowModes::Undo, WindowModes::Redo, WindowModes::FirmwareUpdate,
          WindowModes::Report, WindowModes::Navigation})
        window.modes()->setOwnCondition(c, hold);
}
} // namespace

class TestWindowModes : public QObject
{
    Q_OBJECT

private slots:
    void controlsPerMode_data()
    {
        QTest::addColumn<WindowMode>("mode");
        QTest::addColumn<QStringList>("usable");
        QTest::addColumn<QString>("progress");
        // A name ending in '?' is usable only while its owner's own condition holds.
        const QStringList device = {"selectFirmwareBtn", "updateFirmwareBtn?",
                                    "actionExportReport?"};
        const QStringList linked = device + QStringList{"openBtn", "actionRecordScans"};
        QTest::newRow("disconnected")
            << WindowMode::Disconnected
            << device + QStringList{"MainWindow",         "treeWidget?", "portName",
                                    "baudRate",           "openBtn?",    "actionWorkOffline",
                                    "actionOpenRecording"}
            << QString();
        QTest::newRow("offline") << WindowMode::Offline
                                 << device + QStringList{"MainWindow",
                                                         "treeWidget",
                                                         "portName",
                                                         "baudRate",
                                                         "openBtn?",
                                                         "actionWorkOffline",
                                                         "areasMonitoningGroupBox",
                                                         "actionUndo?",
                                                         "actionRedo?",
                                                         "actionOpenRecording"}
                                 << QString();
        QTest::newRow("connecting")
            << WindowMode::Connecting
            << device + QStringList{"MainWindow", "treeWidget?", "portName", "baudRate", "openBtn"}
            << QString();
        QTest::newRow("connected")
            << WindowMode::Connected << linked + QStringList{"MainWindow", "treeWidget?"}
            << "readAreaProgressBar";
        QTest::newRow("reading") << WindowMode::Reading << linked + QStringList{"treeWidget?"}
                                 << "readAreaProgressBar";
        QTest::newRow("ready")
            << WindowMode::Ready
            << linked +
                   QStringList{
                       "MainWindow",        "treeWidget",          "areasMonitoningGroupBox",
                       "downLoadBtn",       "uploadBtn",           "actionUndo?",
                       "actionRedo?",       "filterGroupBox",      "factorySettingsBtn",
                       "compareScannerBtn", "actionBackupScanner", "actionRestoreScanner"}
            << QString();
        QTest::newRow("no zones") << WindowMode::NoZones
                                  << linked + QStringList{"MainWindow", "treeWidget",
                                                          "filterGroupBox", "actionBackupScanner",
                                                          "actionRestoreScanner"}
                                  << QString();
        QTest::newRow("writing") << WindowMode::Writing << linked + QStringList{"treeWidget"}
                                 << "progressBar";
        QTest::newRow("restoring factory")
            << WindowMode::RestoringFactory << linked + QStringList{"treeWidget"}
            << "resetFactoryProgressBar";
        QTest::newRow("comparing")
            << WindowMode::Comparing << linked + QStringList{"treeWidget"} << "readAreaProgressBar";
        QTest::newRow("updating firmware")
            << WindowMode::UpdatingFirmware
            << QStringList{"MainWindow", "treeWidget?", "openBtn", "actionRecordScans",
                           "actionExportReport?"}
            << QString();
        // A backup or a restore locks the window; its progress bar is its own.
        QTest::newRow("backing up")
            << WindowMode::BackingUp << linked + QStringList{"treeWidget"} << QString();
        QTest::newRow("restoring")
            << WindowMode::Restoring << linked + QStringList{"treeWidget"} << QString();
        // A recording instead of a scanner: nothing that would talk to one.
        QTest::newRow("playback")
            << WindowMode::Playback
            << QStringList{"MainWindow",          "treeWidget",          "areasMonitoningGroupBox",
                           "actionUndo?",         "actionRedo?",         "selectFirmwareBtn",
                           "actionExportReport?", "actionOpenRecording", "actionCloseRecording",
                           "playbackBar"}
            << QString();
    }

    void controlsPerMode()
    {
        QFETCH(WindowMode, mode);
        QFETCH(QStringList, usable);
        QFETCH(QString, progress);
        for (const bool hold : {true, false}) {
            StudioRig rig;
            MainWindow &window = rig.windowAlone();
            // The comparison dialog holds the scanner's button.
            QVERIFY(QFile::copy(zoneStoreFileName(), "other.ini"));
            QVERIFY(window.zoneComparison()->compareWithZoneFile("other.ini"));
            window.modes()->setMode(mode);
            setOwnConditions(window, hold);
            QCOMPARE(window.modes()->mode(), mode);
            for (const QString &name : kControls) {
                const bool always = usable.contains(name);
                const bool own = usable.contains(name + '?');
                QVERIFY2(
                    enabled(window, name) == (always || (own && hold)),
                    qPrintable(
                        QStringLiteral("%1, conditions %2").arg(name, hold ? "held" : "not held")));
            }
            for (const QString &bar : kProgressBars) {
                const QWidget *widget = window.findChild<QWidget *>(bar);
                QVERIFY(widget);
                QVERIFY2(widget->isHidden() == (bar != progress), qPrintable(bar));
            }
        }
    }

    // An update or a comparison returns to the mode it interrupted, unless another mode was
    // set meanwhile; the pages, once reachable, stay reachable.
    void interruptionsAndNavigation()
    {
        StudioRig rig;
        WindowModes *modes = rig.windowAlone().modes();
        QSignalSpy changes(modes, &WindowModes::modeChanged);
        QVERIFY(!rig.ui()->treeWidget->isEnabled());
        modes->setMode(WindowMode::NoZones);
        modes->enter(WindowMode::UpdatingFirmware);
        modes->leave(WindowMode::UpdatingFirmware);
        QCOMPARE(modes->mode(), WindowMode::NoZones);
        modes->enter(WindowMode::UpdatingFirmware);
        modes->setMode(WindowMode::Disconnected); // the link closed during the update
        modes->leave(WindowMode::UpdatingFirmware);
        QCOMPARE(modes->mode(), WindowMode::Disconnected);
        QVERIFY(rig.ui()->treeWidget->isEnabled());
        modes->setMode(WindowMode::Disconnected);
        QCOMPARE(changes.count(), 5); // the last leave and the same mode again change nothing
        // A condition that changes shows at once in a mode that asks for it.
        rig.ui()->portName->clear();
        rig.ui()->refreshBtn->click();
        const bool listed = rig.ui()->portName->count() > 0;
        QCOMPARE(rig.ui()->openBtn->isEnabled(), listed);
        modes->setOwnCondition(WindowModes::OpenPort, !listed);
        QCOMPARE(rig.ui()->openBtn->isEnabled(), !listed);
    }

    // With a scanner on the line: connecting, the zones read, an upload, the link closed.
    void modesFollowTheLink()
    {
        StudioRig rig;
        QVERIFY(rig.start());
        QSignalSpy changes(rig.window->modes(), &WindowModes::modeChanged);
        QVERIFY(rig.connectAndRead());
        QVERIFY(rig.upload());
        rig.ui()->openBtn->click();
        QList<WindowMode> seen;
        for (const QList<QVariant> &change : qAsConst(changes))
            seen << change.at(0).value<WindowMode>();
        QCOMPARE(seen,
                 (QList<WindowMode>{WindowMode::Connecting, WindowMode::Connected,
                                    WindowMode::Reading, WindowMode::Ready, WindowMode::Writing,
                                    WindowMode::Ready, WindowMode::Disconnected}));
        QVERIFY(rig.ui()->treeWidget->isEnabled());
        QVERIFY(!rig.ui()->areasMonitoningGroupBox->isEnabled());
        QVERIFY(rig.window->workOffline());
        QCOMPARE(rig.window->modes()->mode(), WindowMode::Offline);
    }

    // A scanner whose zones cannot be read leaves its settings usable and the zones locked.
    void unreadZonesLeaveTheSettings()
    {
        StudioRig rig;
        QVERIFY(rig.start(StudioRig::withoutZoneReads()));
        QVERIFY(rig.connectAndSettle());
        QCOMPARE(rig.window->modes()->mode(), WindowMode::NoZones);
        QVERIFY(rig.ui()->filterGroupBox->isEnabled());
        QVERIFY(!rig.ui()->areasMonitoningGroupBox->isEnabled());
        QVERIFY(rig.boxes.sawText(
            "Reading the zones timed out: the zones could not be read from the scanner"));
    }
};

QTEST_MAIN(TestWindowModes)
#include "tst_windowmodes.moc"
