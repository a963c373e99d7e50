// areascan-cli backup and restore run as processes against two simulated scanners in this
// process: the old unit and its replacement of another serial number.
#include "filtersettings.h"
#include "pdftext.h"
#include "requesttype.h"
#include "scannerbackup.h"
#include "simulatorhost.h"
#include "simzones.h"
#include "testsupport.h"
#include "zonefingerprint.h"

#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

struct CliResult
{
    int code = -1;
    QString out;
    QString err;
};

CliResult runCli(const QString &dir, const QStringList &args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral(AREASCAN_CLI), args);
    CliResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("(still running after 60 s)");
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// The old unit: its own settings, and zones in every channel.
DeviceState oldUnit()
{
    DeviceState s;
    s.filterEnabled = false;
    s.filterStrength = 61;
    s.filterMinRange = 3000;
    s.filterMaxRange = 9000;
    s.averageFilter = true;
    s.outputNormallyClosed = true;
    s.maskIntensity = 700;
    s.maskMinAngle = 181;
    s.maskMaxAngle = 400;
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k) {
            ZoneArea &a = s.zone(c, k);
            a = ZoneArea();
            a.regionType = 1;
            a.onDelay = quint8(c % 40);
            a.dependScale = quint16(c * 100 + k);
            a.points = polygonOf(1000 * (3 - k) + c, c == 5 ? kZoneMaxPoints : 6 + k);
        }
    return s;
}

// A new unit as it comes: another serial, the simulator's default settings and zones only
// in its first channels.
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

int count(const SimulatorHost &sim, quint16 type)
{
    int n = 0;
    for (const ReceivedFrame &f : sim.receivedFrames())
        n += f.type == type;
    return n;
}

} // namespace

Q_DECLARE_METATYPE(SimOptions)

class TestCliBackup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backupOfOneScannerRestoredOntoAnother();
    void brokenBackupSendsNothing_data();
    void brokenBackupSendsNothing();
    void failuresNameWhatWasWritten_data();
    void failuresNameWhatWasWritten();

private:
    bool start(SimulatorHost &sim, const DeviceState &state, const SimOptions &options = {});
    CliResult cli(const SimulatorHost &sim, const QStringList &args);
    void makeBackup();

    std::unique_ptr<TempWorkingDir> m_dir;
    std::unique_ptr<SimulatorHost> m_old;
    std::unique_ptr<SimulatorHost> m_new;
};

void TestCliBackup::init()
{
    m_dir = std::make_unique<TempWorkingDir>();
    m_old = std::make_unique<SimulatorHost>();
    m_new = std::make_unique<SimulatorHost>();
}

void TestCliBackup::cleanup()
{
    m_old.reset();
    m_new.reset();
    m_dir.reset();
}

bool TestCliBackup::start(SimulatorHost &sim, const DeviceState &state, const SimOptions &options)
{
    SimOptions o = options;
    o.paced = false;
    sim.setState(state);
    QString error;
    const bool ok = sim.start(o, &error);
    if (!ok)
        qWarning() << error;
    return ok;
}

CliResult TestCliBackup::cli(const SimulatorHost &sim, const QStringList &args)
{
    return runCli(m_dir->path(), QStringList{"--port", sim.devicePath()} + args);
}

void TestCliBackup::makeBackup()
{
    QVERIFY(start(*m_old, oldUnit()));
    const CliResult made = cli(*m_old, {"backup", "old.ini"});
    QCOMPARE(made.code, 0);
    QCOMPARE(made.err, QString());
}

void TestCliBackup::backupOfOneScannerRestoredOntoAnother()
{
    {
        QFile product(m_dir->filePath("settings.ini"));
        QVERIFY(product.open(QIODevice::WriteOnly));
        product.write("[ProductInformation]\ndeviceModel=KP-21D\nmanufacturer=Veltrona\n");
    }
    makeBackup();
    const BackupFile file = readBackupFile(m_dir->filePath("old.ini"));
    QVERIFY2(file.ok(), qPrintable(describeBackupProblem(file.problem, "old.ini")));
    QCOMPARE(file.backup.identity.serial, QString("KP2100417"));
    QCOMPARE(file.backup.identity.model, QString("KP-21D"));
    QCOMPARE(file.backup.settings, wireSettings(oldUnit()));
    QVERIFY(file.backup.zones == toolZones(oldUnit()));

    // The backup is a zone file: the old scanner verifies against it, and diff finds it
    // equal to the scanner's zones.
    QCOMPARE(cli(*m_old, {"verify", "old.ini"}).code, 0);
    QCOMPARE(cli(*m_old, {"diff", "old.ini"}).code, 0);
    QCOMPARE(runCli(m_dir->path(), {"report", "--zones", "old.ini", "zones.pdf"}).code, 0);
    QVERIFY(PdfText::text(m_dir->filePath("zones.pdf"), 1, 1).contains("zone file old.ini"));

    QVERIFY(start(*m_new, newUnit()));
    const CliResult restored = cli(*m_new, {"restore", "old.ini"});
    QCOMPARE(restored.code, 0);
    QCOMPARE(restored.err, QString());
    const QStringList lines = restored.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QString("serial: KP2100417 in the backup, KP9990001 on this scanner"));
    QVERIFY(lines.contains("filter-strength: 35 -> 61"));
    QVERIFY(lines.contains("mask-min-angle: 5.0 -> 90.5"));
    QVERIFY(lines.contains("zones: channels 0-63 differ"));
    QCOMPARE(lines.last(), QString("restored: the scanner equals old.ini (fingerprint %1)")
                               .arg(QString::fromLatin1(zoneSetFingerprint(file.backup.zones))));

    const DeviceState now = m_new->state();
    QCOMPARE(wireSettings(now), wireSettings(oldUnit()));
    QVERIFY(toolZones(now) == toolZones(oldUnit()));
    QCOMPARE(now.serialNumber, fixedWidthText("KP9990001", 9));
    // Only the settings that differed went out (input-nc did not), then the save, one
    // full zone write, and a read before and after.
    QCOMPARE(count(*m_new, REQUEST_SET_INPUT_NONC), 0);
    QCOMPARE(count(*m_new, REQUEST_SET_FILTER_STRENGTH), 1);
    QCOMPARE(count(*m_new, REQUEST_SAVE_PARAMETERS), 1);
    QCOMPARE(count(*m_new, REQUEST_WRITE_AREA), kZoneChannelCount);
    QCOMPARE(count(*m_new, REQUEST_READ_AREA), 2 * kZoneChannelCount);

    // Once more: nothing differs, so nothing but the save goes out before the read-back.
    m_new->clearLog();
    const CliResult again = cli(*m_new, {"restore", "old.ini"});
    QCOMPARE(again.code, 0);
    QVERIFY(again.out.contains("the settings and zones already equal the backup"));
    QCOMPARE(count(*m_new, REQUEST_WRITE_AREA), 0);
    QCOMPARE(count(*m_new, REQUEST_SET_FILTER_STRENGTH), 0);

    // The report of the backup carries the old unit's identity and settings.
    QCOMPARE(runCli(m_dir->path(), {"report", "--backup", "old.ini", "old.pdf"}).code, 0);
    const QString text = PdfText::text(m_dir->filePath("old.pdf"), 1, 1);
    QVERIFY2(text.contains("Serial number KP2100417") && text.contains("Model KP-21D") &&
                 text.contains("backup file old.ini (taken "),
             qPrintable(text));
    QVERIFY2(text.contains("90.5°"), qPrintable(text));
}

void TestCliBackup::brokenBackupSendsNothing_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("a zone file") << QByteArray() << QByteArray()
                                 << "old.ini is a zone file, not a backup";
    QTest::newRow("no backup section")
        << QByteArray("[Backup]") << QByteArray("[Other]") << "old.ini: [Backup] format is missing";
    QTest::newRow("a setting out of range")
        << QByteArray("filterStrenth=61") << QByteArray("filterStrenth=161")
        << "old.ini: [Filter] filterStrenth 161 is outside 0 to 100; nothing was sent";
    QTest::newRow("zones edited") << QByteArray("Area2\\dependScale=4002")
                                  << QByteArray("Area2\\dependScale=4003")
                                  << "old.ini: the zones are not those of the fingerprint";
}

void TestCliBackup::brokenBackupSendsNothing()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, message);
    makeBackup();
    QByteArray text = fileContents(m_dir->filePath("old.ini"));
    if (from.isEmpty()) {
        text = text.mid(text.indexOf("[Channel0]"));
    } else {
        QVERIFY(text.contains(from));
        text.replace(from, to);
    }
    QFile file(m_dir->filePath("old.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();

    QVERIFY(start(*m_new, newUnit()));
    const CliResult r = cli(*m_new, {"restore", "old.ini"});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    // Not even the connection probe.
    QCOMPARE(m_new->receivedFrames().size(), 0);
}

void TestCliBackup::failuresNameWhatWasWritten_data()
{
    QTest::addColumn<SimOptions>("faults");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("channelsStored");
    QTest::addColumn<bool>("saved");

    SimOptions refused;
    refused.statusOverrides[REQUEST_SET_MASK_INTENSITY] = 4;
    QTest::newRow("a refused setting")
        << refused
        << QStringList{"the scanner refused mask-intensity=700 (status 4)",
                       "settings written, not saved: filter-enable, filter-strength, "
                       "filter-min-range, filter-max-range, average-filter, output-nc",
                       "settings not written: mask-intensity, mask-min-angle, mask-max-angle",
                       "no zone channel was written (channels 0-63 differ from the backup)"}
        << 0 << false;
    SimOptions cable;
    cable.unplugType = REQUEST_WRITE_AREA;
    cable.unplugAfter = 20;
    QTest::newRow("a pulled cable")
        << cable
        << QStringList{"the port failed", "while waiting for zone channel 20",
                       "settings written and saved: filter-enable, filter-strength",
                       "zone channels 0-19 written, 20-63 not written"}
        << 20 << true;
}

void TestCliBackup::failuresNameWhatWasWritten()
{
    QFETCH(SimOptions, faults);
    QFETCH(QStringList, messages);
    QFETCH(int, channelsStored);
    QFETCH(bool, saved);
    makeBackup();
    QVERIFY(start(*m_new, newUnit(), faults));

    const CliResult r = cli(*m_new, {"--timeout", "1000", "restore", "old.ini"});
    QCOMPARE(r.code, 1);
    for (const QString &m : messages)
        QVERIFY2(r.err.contains(m), qPrintable(r.err));
    QCOMPARE(count(*m_new, REQUEST_SAVE_PARAMETERS), saved ? 1 : 0);
    const ZoneSet zones = toolZones(m_new->state());
    for (int c = 0; c < kZoneChannelCount; ++c)
        QVERIFY2((zones.channel(c) == toolZones(oldUnit()).channel(c)) == (c < channelsStored),
                 qPrintable(QString("channel %1").arg(c)));
}

QTEST_GUILESS_MAIN(TestCliBackup)
#include "tst_clibackup.moc"
