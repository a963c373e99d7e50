// The window's backup and restore of a whole scanner: a backup of one simulated scanner
// restored onto a replacement of another serial, the summary before anything is sent, the
// store, editor and filter page afterwards, the report of the restored scanner, and the
// refusals and failures, each with what was and was not written.
#include "backuprestore.h"
#include "filterpanel.h"
#include "pdftext.h"
#include "scannerbackup.h"
#include "simzones.h"
#include "studiorig.h"
#include "zoneeditor.h"
#include "zonestorefile.h"

#include <QUndoStack>
#include <QtTest>

namespace {

// The old unit: settings of its own and zones in every channel.
DeviceState oldUnit()
{
    DeviceState s;
    s.filterStrength = 61;
    s.filterMaxRange = 9000;
    s.averageFilter = true;
    s.maskIntensity = 700;
    s.maskMinAngle = 181;
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k) {
            ZoneArea &a = s.zone(c, k);
            a = ZoneArea();
            a.regionType = 1;
            a.onDelay = quint8(c % 40);
            a.points = polygonOf(1000 * (3 - k) + c, 5 + k);
        }
    return s;
}

// Its replacement as it comes: another serial, the simulator's default settings and zones.
DeviceState newUnit()
{
    DeviceState s;
    setSerialNumber(s, QStringLiteral("KP9990001"));
    return s;
}

QVector<int> wireSettings(const DeviceState &s)
{
    return {s.filterEnabled, s.filterStrength,      s.filterMinRange,       s.filterMaxRange,
            s.averageFilter, s.inputNormallyClosed, s.outputNormallyClosed, s.maskIntensity,
            s.maskMinAngle,  s.maskMaxAngle};
}

// The shared rig, shown and connected to a scanner whose zones were read, with the job that
// backs it up and restores onto it.
struct BackupRig : StudioRig
{
    BackupRestore *jobs() const { return window->backupRestore(); }
    QAction *backupAction() const { return ui()->actionBackupScanner; }
    QAction *restoreAction() const { return ui()->actionRestoreScanner; }

    bool startWith(const DeviceState &state, const SimOptions &options = quick())
    {
        return start(state, options) && show() && connectAndRead();
    }
    bool idle(int timeoutMs = 20000)
    {
        return waitUntil([this]() { return !jobs()->isRunning() && window->isEnabled(); },
                         timeoutMs);
    }
    // The scanner on the other end of the cable is replaced by another, as on site.
    bool swapScanner(const DeviceState &state)
    {
        ui()->openBtn->click();
        sim.setState(state);
        return connectAndRead();
    }
    // A backup of the scanner on the line into the file name.
    bool backUp(const QString &name)
    {
        backupFile = dir.filePath(name);
        backupAction()->trigger();
        return idle() && QFileInfo::exists(backupFile);
    }
};

const QString kRestoreButton = QStringLiteral("Restore");

} // namespace

Q_DECLARE_METATYPE(SimOptions)
Q_DECLARE_METATYPE(WindowMode)

class TestBackupRestore : public QObject
{
    Q_OBJECT

private slots:
    void backupRestoredOntoAnotherScanner();
    void brokenBackupIsRefusedBeforeAnythingIsSent_data();
    void brokenBackupIsRefusedBeforeAnythingIsSent();
    void failuresNameWhatWasWritten_data();
    void failuresNameWhatWasWritten();
    void declinedSummarySendsNothing();
    void backupIsAZoneFileForTheZonePage();
};

void TestBackupRestore::backupRestoredOntoAnotherScanner()
{
    BackupRig rig;
    QVERIFY(rig.start(oldUnit()) && rig.show());
    // Without a scanner there is nothing to back up or restore.
    QVERIFY(!rig.backupAction()->isEnabled());
    QVERIFY(rig.connectAndRead());
    QVERIFY(rig.backupAction()->isEnabled());
    QVERIFY(rig.restoreAction()->isEnabled());

    rig.backupFile = rig.dir.filePath("old.ini");
    rig.backupAction()->trigger();
    QVERIFY(rig.jobs()->isRunning());
    QCOMPARE(rig.window->modes()->mode(), WindowMode::BackingUp);
    QVERIFY(!rig.restoreAction()->isEnabled());
    QVERIFY(rig.idle());
    QCOMPARE(rig.window->modes()->mode(), WindowMode::Ready);
    const BackupFile file = readBackupFile(rig.backupFile);
    QVERIFY2(file.ok(), qPrintable(describeBackupProblem(file.problem, "old.ini")));
    QCOMPARE(file.backup.identity.serial, QString("KP2100417"));
    QCOMPARE(file.backup.settings, wireSettings(oldUnit()));
    QVERIFY(file.backup.zones == toolZones(oldUnit()));
    QVERIFY2(rig.boxes.boxes().last().text.startsWith("Scanner KP2100417 was backed up to"),
             qPrintable(rig.boxes.boxes().last().text));

    QVERIFY(rig.swapScanner(newUnit()));
    QCOMPARE(rig.ui()->deviceSerialLabel->text(), QString("KP9990001"));
    // An edit the history could take back: after the restore it cannot.
    rig.ui()->onDelayComboBox->setCurrentIndex(rig.ui()->onDelayComboBox->currentIndex() + 3);
    QVERIFY(rig.window->zoneEditor()->undoStack()->canUndo());

    rig.boxes.clear();
    rig.boxes.answerQuestion(kRestoreButton);
    qRegisterMetaType<WindowMode>();
    QSignalSpy modes(rig.window->modes(), &WindowModes::modeChanged);
    rig.restoreAction()->trigger();
    QVERIFY(rig.idle());
    // Nothing else could be used meanwhile, and the window is back as it was.
    QCOMPARE(modes.count(), 2);
    QCOMPARE(modes.at(0).at(0).value<WindowMode>(), WindowMode::Restoring);
    QCOMPARE(modes.at(1).at(0).value<WindowMode>(), WindowMode::Ready);
    const QList<ModalCatcher::Box> boxes = rig.boxes.boxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).text, QString("Restore the backup old.ini onto this scanner?"));
    QCOMPARE(boxes.at(0).icon, QMessageBox::Question);
    QVERIFY2(boxes.at(1).text.startsWith("Restored: the ten settings and all zone channels of "
                                         "scanner KP9990001 equal the backup old.ini"),
             qPrintable(boxes.at(1).text));

    // The scanner holds the old unit's settings and zones, under its own serial.
    const DeviceState now = rig.sim.state();
    QCOMPARE(wireSettings(now), wireSettings(oldUnit()));
    QVERIFY(toolZones(now) == toolZones(oldUnit()));
    QCOMPARE(now.serialNumber, fixedWidthText("KP9990001", 9));
    // The window shows it as it now is: the store, the editor's channel, the filter page.
    QVERIFY(rig.window->zoneStoreFile()->zones() == toolZones(oldUnit()));
    QVERIFY(!rig.window->zoneStoreFile()->hasUnsentChanges());
    const int shown = rig.window->zoneEditor()->editedChannel();
    QCOMPARE(rig.window->zoneEditor()->areaRecord(0).onDelay, quint8(shown % 40));
    QVERIFY(!rig.window->zoneEditor()->undoStack()->canUndo());
    QVERIFY(waitUntil([&]() { return rig.ui()->filterStrenthSlider->value() == 61; }));
    QCOMPARE(rig.ui()->maskMinAngleLabel->text(), QString("90.5"));
    QVERIFY(rig.ui()->averageFilterCheckBox->isChecked());
    QVERIFY(rig.restoreAction()->isEnabled());

    // The report of the restored scanner names the backup and the scanner it came from.
    rig.reportFile = rig.dir.filePath("restored.pdf");
    rig.window->findChild<QAction *>(QStringLiteral("actionExportReport"))->trigger();
    const QString summary = PdfText::text(rig.reportFile, 1, 1);
    QVERIFY2(summary.contains("Serial number KP9990001") &&
                 summary.contains("restored from backup old.ini (scanner KP2100417, taken "),
             qPrintable(summary));
    QVERIFY2(summary.contains("90.5°"), qPrintable(summary));

    // The actions go with the link.
    rig.ui()->openBtn->click();
    QVERIFY(!rig.backupAction()->isEnabled());
    QVERIFY(!rig.restoreAction()->isEnabled());
}

void TestBackupRestore::brokenBackupIsRefusedBeforeAnythingIsSent_data()
{
    // A change of the backup's text (from, to; an empty from keeps only its zones) and the
    // reason the window gives.
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a zone file") << QByteArray() << QByteArray()
                                 << "it is a zone file, not a backup: it has no [Backup]";
    QTest::newRow("a setting out of range")
        << QByteArray("maskIntensity=700") << QByteArray("maskIntensity=7000")
        << "[Filter] maskIntensity is 7000, outside 0 to 4095";
    QTest::newRow("the serial missing")
        << QByteArray("serial=KP2100417") << QByteArray("Serial=KP2100417")
        << "[Device] serial is missing";
    QTest::newRow("zones edited afterwards")
        << QByteArray("Area1\\onDelay=7\n") << QByteArray("Area1\\onDelay=8\n")
        << "the zones are not those of the backup's fingerprint";
    QTest::newRow("a broken zone")
        << QByteArray("Area0\\regionType=1") << QByteArray("Area0\\regionType=one") << "regionType";
}

void TestBackupRestore::brokenBackupIsRefusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, reason);
    BackupRig rig;
    QVERIFY(rig.startWith(oldUnit()));
    QVERIFY(rig.backUp("old.ini"));
    QByteArray text = fileContents(rig.backupFile);
    if (from.isEmpty()) {
        text = text.mid(text.indexOf("[Channel0]"));
    } else {
        QVERIFY2(text.contains(from), from.constData());
        text.replace(from, to);
    }
    QFile edited(rig.backupFile);
    QVERIFY(edited.open(QIODevice::WriteOnly) && edited.write(text) == text.size());
    edited.close();

    rig.sim.clearLog();
    rig.boxes.clear();
    rig.boxes.answerQuestion(kRestoreButton);
    rig.restoreAction()->trigger();
    QCOMPARE(rig.boxes.count(), 1);
    const QString box = rig.boxes.boxes().first().text;
    QVERIFY2(box.startsWith("Cannot restore ") && box.contains(reason) &&
                 box.endsWith("; nothing was sent to the scanner"),
             qPrintable(box));
    QTest::qWait(50);
    QCOMPARE(rig.sim.receivedFrames().size(), 0);
    QVERIFY(!rig.jobs()->isRunning());
    QCOMPARE(rig.window->modes()->mode(), WindowMode::Ready);
}

void TestBackupRestore::failuresNameWhatWasWritten_data()
{
    QTest::addColumn<SimOptions>("faults");
    QTest::addColumn<QStringList>("fragments");
    QTest::addColumn<int>("channelsStored");

    SimOptions refused = StudioRig::quick();
    refused.statusOverrides[REQUEST_SET_MASK_INTENSITY] = 4;
    QTest::newRow("a refused setting")
        << refused
        << QStringList{"The restore was not finished: the scanner refused the setting "
                       "MaskIntensity (status 4)",
                       "settings written but not saved: ShadowFilterStrenth, ShadowFilterMax, "
                       "AverageFilter",
                       "settings not written: MaskIntensity, MaskMinAngle",
                       "no zone channel written (channels 0-63 differ from the backup)"}
        << 0;
    SimOptions cable = StudioRig::quick();
    cable.unplugType = REQUEST_WRITE_AREA;
    cable.unplugAfter = 10;
    QTest::newRow("a pulled cable")
        << cable
        << QStringList{"the serial port was disconnected",
                       "settings written and saved: ShadowFilterStrenth",
                       "zone channels 0 to 9 written, 10 to 63 not written"}
        << 10;
}

void TestBackupRestore::failuresNameWhatWasWritten()
{
    QFETCH(SimOptions, faults);
    QFETCH(QStringList, fragments);
    QFETCH(int, channelsStored);

    BackupRig rig;
    QVERIFY(rig.startWith(oldUnit()));
    QVERIFY(rig.backUp("old.ini"));
    QVERIFY(rig.swapScanner(newUnit()));
    rig.sim.setOptions(faults);

    rig.boxes.clear();
    rig.boxes.answerQuestion(kRestoreButton);
    QVERIFY(rig.jobs()->restoreFrom(rig.backupFile));
    QVERIFY(rig.idle());
    QVERIFY(waitUntil([&]() {
        return !rig.boxes.textsOf(QMessageBox::Critical).filter("The restore").isEmpty();
    }));
    const QString outcome = rig.boxes.textsOf(QMessageBox::Critical).filter("The restore").first();
    for (const QString &f : fragments)
        QVERIFY2(outcome.contains(f), qPrintable(outcome));
    // The store knows which channels the scanner took, and holds its own for the rest.
    const ZoneSet &store = rig.window->zoneStoreFile()->zones();
    for (int c = 0; c < kZoneChannelCount; ++c)
        QVERIFY2((store.channel(c) == toolZones(oldUnit()).channel(c)) == (c < channelsStored),
                 qPrintable(QString("channel %1").arg(c)));
    QCOMPARE(rig.sim.state().zone(0, 0) == oldUnit().zone(0, 0), channelsStored > 0);
}

void TestBackupRestore::declinedSummarySendsNothing()
{
    BackupRig rig;
    QVERIFY(rig.startWith(oldUnit()));
    QVERIFY(rig.backUp("old.ini"));
    QVERIFY(rig.swapScanner(newUnit()));

    rig.sim.clearLog();
    rig.boxes.clear();
    rig.boxes.answerQuestion(QStringLiteral("Cancel"));
    QVERIFY(rig.jobs()->restoreFrom(rig.backupFile));
    QVERIFY(rig.idle());
    QCOMPARE(rig.boxes.count(), 1);
    // The scanner was read for the summary, and nothing was written.
    QVERIFY(rig.countOf(REQUEST_READ_AREA) >= kZoneChannelCount);
    for (const ReceivedFrame &f : rig.sim.receivedFrames())
        QVERIFY2(f.type == REQUEST_READ_AREA || f.type == REQUEST_READ_AREAS_DONE ||
                     (f.type >= REQUEST_SERIAL_NUMBER && f.type <= REQUEST_FIRMWARE_VERSION) ||
                     (f.type >= REQUEST_GET_FILTER_ENABLE && f.type <= REQUEST_SET_MASK_MAX_ANGLE &&
                      f.type % 2 == 1),
                 qPrintable(QString::number(f.type, 16)));
    QVERIFY(toolZones(rig.sim.state()) == toolZones(newUnit()));
    QVERIFY(rig.window->zoneStoreFile()->zones() == toolZones(newUnit()));
}

void TestBackupRestore::backupIsAZoneFileForTheZonePage()
{
    BackupRig rig;
    QVERIFY(rig.startWith(oldUnit()));
    QVERIFY(rig.backUp("old.ini"));
    rig.ui()->openBtn->click();

    // LoadConfig takes its zones as it takes a zone file's.
    QVERIFY(rig.window->workOffline());
    rig.window->zoneStoreFile()->setZones(ZoneSet());
    rig.zoneFile = rig.backupFile;
    QTest::mouseClick(rig.ui()->loadSettingsBtn, Qt::LeftButton);
    QVERIFY(rig.window->zoneStoreFile()->zones() == toolZones(oldUnit()));

    // So does the start without a scanner.
    StudioRig offline;
    QVERIFY(offline.openWindow());
    QString refusal;
    QVERIFY2(offline.window->workOffline(rig.backupFile, &refusal), qPrintable(refusal));
    QVERIFY(offline.window->zoneStoreFile()->zones() == toolZones(oldUnit()));
}

QTEST_MAIN(TestBackupRestore)
#include "tst_backuprestore.moc"
