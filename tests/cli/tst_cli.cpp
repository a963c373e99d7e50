// areascan-cli run as a process against the simulated scanner in this process, for what
// it reads and writes of the scanner's zones and settings; every test works in a temporary
// directory of its own.
#include "clitest.h"
#include "zonefingerprint.h"
#include "zoneset.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <sys/stat.h>

using namespace clitest;

class TestCli : public QObject, public CliFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void infoReportsTheScanner();
    void zonesRoundTripThroughTheScanner();
    void refusedBlockNamesItsChannel();
    void debugLinesOnlyWhenAskedFor();
    void unusableInputSendsNothing_data();
    void unusableInputSendsNothing();
    void zoneFilesAreTakenOnlyAsTheyStand_data();
    void zoneFilesAreTakenOnlyAsTheyStand();
    void rangeLimitsKeepTheirOrder_data();
    void rangeLimitsKeepTheirOrder();
    void deviceFailuresEndWithStatusOne_data();
    void deviceFailuresEndWithStatusOne();
    void setSavesAndReadsBack();
};

void TestCli::infoReportsTheScanner()
{
    QVERIFY(writeBytes(m_dir->filePath("settings.ini"),
                       "[ProductInformation]\ndeviceModel=KP-21D\nmanufacturer=Veltrona\n"));
    // A store of the user's that happens to lie here is none of the tool's business.
    QVERIFY(writeBytes(m_dir->filePath("config.ini"), "mine"));
    m_sim->updateState([](DeviceState &s) {
        s.filterStrength = 42;
        s.maskMinAngle = 181;
        s.inputNormallyClosed = true;
        s.currentArea[0] = 3;
        s.currentArea[1] = 12;
    });
    QVERIFY(startSim());

    const CliResult json = cli({"--json", "info"});
    QCOMPARE(json.code, 0);
    QCOMPARE(json.err, QString());
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(json.out));
    QCOMPARE(o.value("model").toString(), QString("KP-21D"));
    QCOMPARE(o.value("serial").toString(), QString("KP2100417"));
    QCOMPARE(o.value("filter-strength").toInt(), 42);
    QCOMPARE(o.value("mask-min-angle").toDouble(), 90.5);
    QCOMPARE(o.value("input-nc").toBool(), true);
    QCOMPARE(o.value("current-channel").toInt(), 12);
    // The zones as the tool read them, all 64 channels, before it printed anything.
    QCOMPARE(o.value("fingerprint").toString(),
             QString::fromLatin1(zoneSetFingerprint(toolZones(m_sim->state()))));
    QCOMPARE(o.size(), 20);

    const CliResult text = cli({"info"});
    QCOMPARE(text.code, 0);
    const QStringList lines = text.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 20);
    QVERIFY(lines.contains("mask-min-angle    90.5"));
    QVERIFY(lines.contains("model             KP-21D"));

    QCOMPARE(fileBytes(m_dir->filePath("config.ini")), QByteArray("mine"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
             (QStringList{"config.ini", "settings.ini"}));
}

void TestCli::zonesRoundTripThroughTheScanner()
{
    QVERIFY(writeBytes(m_dir->filePath("config.ini"), "mine"));
    writeZoneFile(m_dir->filePath("zones.ini"), sampleArea);
    QVERIFY(startSim());

    const CliResult written = cli({"write-zones", "zones.ini"});
    QCOMPARE(written.code, 0);
    // Not a terminal: nothing but errors, and there were none.
    QCOMPARE(written.err, QString());
    QCOMPARE(written.out, QString());
    const DeviceState state = m_sim->state();
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        for (int k = 0; k < kAreasPerChannel; ++k)
            QVERIFY2(state.zone(channel, k) == simArea(sampleArea(channel, k)),
                     qPrintable(QStringLiteral("channel %1 area %2").arg(channel).arg(k)));
    }
    // Written, then read back in full: 64 blocks each way.
    QCOMPARE(frameTypes(*m_sim).count(REQUEST_WRITE_AREA), 64);
    QCOMPARE(frameTypes(*m_sim).count(REQUEST_READ_AREA), 64);

    const CliResult read = cli({"read-zones", "back.ini"});
    QCOMPARE(read.code, 0);
    QCOMPARE(read.err, QString());
    QSettings sent(m_dir->filePath("zones.ini"), QSettings::IniFormat);
    QSettings back(m_dir->filePath("back.ini"), QSettings::IniFormat);
    static const char *const keys[] = {"regionType", "dependScale", "detectableSize",
                                       "hysteresis", "onDelay",     "offDelay"};
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        for (int k = 0; k < kAreasPerChannel; ++k) {
            const QString points = zoneKey(channel, k, QLatin1String("Points"));
            QCOMPARE(storedPointsText(back.value(points)), storedPointsText(sent.value(points)));
            for (const char *key : keys) {
                const QString name = zoneKey(channel, k, QLatin1String(key));
                QCOMPARE(back.value(name).toInt(), sent.value(name).toInt());
            }
        }
    }

    ZoneSet sentSet;
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        for (int k = 0; k < kAreasPerChannel; ++k)
            sentSet.setArea(channel, k, sampleArea(channel, k));
    const QString sentPrint = QString::fromLatin1(zoneSetFingerprint(sentSet));
    const CliResult same = cli({"verify", "zones.ini"});
    QCOMPARE(same.code, 0);
    QCOMPARE(same.out,
             QStringLiteral("fingerprint       %1\nfile-fingerprint  %1\n").arg(sentPrint));
    m_sim->updateState([](DeviceState &s) {
        s.zone(9, 1).onDelay = 50;
        s.zone(41, 2).points.append(QPoint(1, 1));
    });
    const CliResult verified = cli({"--json", "verify", "zones.ini"});
    QCOMPARE(verified.code, 1);
    QVERIFY2(verified.err.contains("channels 9, 41 on the scanner differ from zones.ini"),
             qPrintable(verified.err));
    const QJsonObject prints = QJsonDocument::fromJson(verified.out.toUtf8()).object();
    QCOMPARE(prints.value("file-fingerprint").toString(), sentPrint);
    QCOMPARE(prints.value("fingerprint").toString(),
             QString::fromLatin1(zoneSetFingerprint(toolZones(m_sim->state()))));
    QVERIFY(prints.value("fingerprint").toString() != sentPrint);

    QCOMPARE(fileBytes(m_dir->filePath("config.ini")), QByteArray("mine"));
}

void TestCli::refusedBlockNamesItsChannel()
{
    writeZoneFile(m_dir->filePath("zones.ini"), sampleArea);
    QVERIFY(startSim());
    // The scanner takes channels 0 to 4 and refuses everything from channel 5 on.
    SimulatorHost *sim = m_sim.get();
    connect(
        sim->scanner(), &SimulatedScanner::frameReceived, sim->scanner(),
        [sim](quint16 type, const QByteArray &payload) {
            if (type == REQUEST_WRITE_AREA && !payload.isEmpty() && payload.at(0) == 4)
                sim->updateOptions(
                    [](SimOptions &o) { o.statusOverrides[REQUEST_WRITE_AREA] = 1; });
        },
        Qt::DirectConnection);

    const CliResult r = cli({"write-zones", "zones.ini"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("the scanner refused zone channel 5 (status 1)"), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    // Refused at once, without a read-back of a write that failed.
    QCOMPARE(frameTypes(*m_sim).count(REQUEST_WRITE_AREA), 6);
    QCOMPARE(frameTypes(*m_sim).count(REQUEST_READ_AREA), 0);
}

void TestCli::debugLinesOnlyWhenAskedFor()
{
    // Quiet by default (zonesRoundTripThroughTheScanner); the link's lines are there for
    // the asking, on standard error, each named by its category.
    writeZoneFile(m_dir->filePath("zones.ini"), sampleArea);
    QVERIFY(startSim());
    qputenv("QT_LOGGING_RULES", "areascan.*.debug=true");
    const CliResult r = cli({"write-zones", "zones.ini"});
    qunsetenv("QT_LOGGING_RULES");
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString());
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.filter(QRegularExpression("^areascan-cli: areascan.link: on write \\d+ 6518 "))
                 .size(),
             kZoneChannelCount);
    QVERIFY2(lines.contains("areascan-cli: areascan.zones: full zone write finished"),
             qPrintable(r.err));
}

void TestCli::unusableInputSendsNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");

    QTest::newRow("541 points")
        << QStringList{"write-zones", "zones.ini"}
        << "zones.ini: channel 17, alarm area has 541 points; the scanner holds at most 540";
    QTest::newRow("coordinate beyond 16 bits") << QStringList{"verify", "far.ini"}
                                               << "far.ini: channel 0, attention area has a "
                                                  "coordinate outside -32768 to 32767 mm";
    QTest::newRow("no such file") << QStringList{"write-zones", "missing.ini"}
                                  << "cannot read missing.ini";
    QTest::newRow("not INI") << QStringList{"write-zones", "broken.ini"}
                             << "broken.ini is not a zone file: it cannot be read as INI";
    QTest::newRow("no channels") << QStringList{"write-zones", "other.ini"}
                                 << "other.ini is not a zone file: it holds no zone channels";
    QTest::newRow("setting out of range")
        << QStringList{"set", "mask-min-angle=90", "filter-strength=101"}
        << "filter-strength=101 is out of range: filter-strength takes a whole number from 0 to "
           "100; nothing was sent";
    QTest::newRow("empty firmware") << QStringList{"firmware", "empty.bin"} << "empty.bin is empty";
    QTest::newRow("output into a directory")
        << QStringList{"read-zones", "sub"} << "cannot write sub";
    QTest::newRow("report into a directory")
        << QStringList{"report", "sub"} << "cannot write sub: it is a folder";
    QTest::newRow("report into a missing folder")
        << QStringList{"report", "missing/out.pdf"} << "cannot write missing/out.pdf";
    QTest::newRow("report of an unusable zone file")
        << QStringList{"report", "--zones", "far.ini", "out.pdf"}
        << "far.ini: channel 0, attention area has a coordinate outside -32768 to 32767 mm in "
           "Points (40000); no report was written";
    QTest::newRow("report of a zone file and a scanner")
        << QStringList{"report", "--zones", "zones.ini", "--port", "tty", "out.pdf"}
        << "report --zones reads no scanner";
    QTest::newRow("zone file for another command")
        << QStringList{"--zones", "zones.ini", "verify", "zones.ini"}
        << "--zones belongs to report";
    QTest::newRow("report without a file") << QStringList{"report"} << "report needs OUT.pdf";
}

void TestCli::unusableInputSendsNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    writeZoneFile(m_dir->filePath("zones.ini"), [](int channel, int area) {
        ZoneAreaRecord a = sampleArea(channel, area);
        if (channel == 17 && area == 2)
            a.points.append(QPoint(0, 0));
        return a;
    });
    writeZoneFile(m_dir->filePath("far.ini"), sampleArea);
    {
        QSettings far(m_dir->filePath("far.ini"), QSettings::IniFormat);
        far.setValue("Channel0/Area0/Points", "100,40000,");
    }
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    QVERIFY(writeBytes(m_dir->filePath("broken.ini"), "[Channel0\nArea0\\Points=1,2,\n"));
    QVERIFY(writeBytes(m_dir->filePath("other.ini"), "[General]\nvolume=3\n"));
    QVERIFY(writeBytes(m_dir->filePath("empty.bin"), ""));
    QVERIFY(startSim());
    m_sim->clearLog();

    const CliResult r = cli(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith("areascan-cli: ") && r.err.contains(message), qPrintable(r.err));
    // Not even the connection probe went out.
    QCOMPARE(m_sim->receivedFrames().size(), 0);
    QVERIFY(!QFile::exists(m_dir->filePath("config.ini")));
    QVERIFY(!QFile::exists(m_dir->filePath("out.pdf")));
}

namespace {

// The sample zone file with one key of one area set to value.
MakeFiles sampleWith(int channel, int area, const char *key, const QVariant &value)
{
    return [=](const QString &dir) {
        writeZoneFile(dir + "/zones.ini", sampleArea);
        QSettings file(dir + "/zones.ini", QSettings::IniFormat);
        if (value.isValid())
            file.setValue(zoneKey(channel, area, QLatin1String(key)), value);
        else
            file.remove(zoneKey(channel, area, QLatin1String(key)));
    };
}

} // namespace

// Every value is checked against its field before the first byte goes out: a value the
// block would wrap or make up, a points text it would shorten, or a file that is not a
// whole zone set is refused with its place named, rather than sent and then "verified"
// against its own wrapped encoding.
void TestCli::zoneFilesAreTakenOnlyAsTheyStand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("file");
    QTest::addColumn<MakeFiles>("make");
    QTest::addColumn<QString>("message");
    const QString write = "write-zones";
    QTest::newRow("regionType 300")
        << write << "zones.ini" << sampleWith(3, 1, "regionType", 300)
        << "zones.ini: channel 3, warning area: regionType 300 is outside 0 to 255";
    QTest::newRow("regionType -1, verified")
        << "verify"
        << "zones.ini" << sampleWith(3, 1, "regionType", -1)
        << "zones.ini: channel 3, warning area: regionType -1 is outside 0 to 255";
    QTest::newRow("dependScale 70000")
        << "verify"
        << "zones.ini" << sampleWith(63, 2, "dependScale", 70000)
        << "channel 63, alarm area: dependScale 70000 is outside 0 to 65535";
    QTest::newRow("NUL in a point list")
        << write << "zones.ini" << sampleWith(5, 0, "Points", QString::fromLatin1("1,\0", 3) + "2,")
        << "channel 5, attention area: Points holds '\\x002', not a whole number";
    QTest::newRow("no final comma")
        << write << "zones.ini" << sampleWith(6, 1, "Points", "100,200,300,400")
        << "channel 6, warning area: Points '100,200,300,400' is not a list of x,y pairs";
    QTest::newRow("cut in half") << write << "half.ini" << MakeFiles([](const QString &dir) {
        writeZoneFile(dir + "/zones.ini", sampleArea);
        const QByteArray whole = fileBytes(dir + "/zones.ini");
        writeBytes(dir + "/half.ini", whole.left(whole.size() / 2));
    }) << "half.ini is not a whole zone file: channel 4 is missing";
    // Refused before a byte is read: no read of gigabytes, no wait for a writer.
    QTest::newRow("/dev/zero") << write << "/dev/zero" << MakeFiles([](const QString &) {})
                               << "/dev/zero: it is not a regular file";
    QTest::newRow("a FIFO") << write << "fifo.ini" << MakeFiles([](const QString &dir) {
        QCOMPARE(::mkfifo(qPrintable(dir + "/fifo.ini"), 0600), 0);
    }) << "fifo.ini: it is not a regular file";
    QTest::newRow("50 MB")
        << "verify"
        << "big.ini" << MakeFiles([](const QString &dir) {
               writeZoneFile(dir + "/big.ini", sampleArea);
               QFile big(dir + "/big.ini");
               QVERIFY(big.resize(50 * 1024 * 1024));
           })
        << "big.ini is not a zone file: 52428800 bytes, more than the 4194304 any zone file takes";
}

void TestCli::zoneFilesAreTakenOnlyAsTheyStand()
{
    QFETCH(QString, command);
    QFETCH(QString, file);
    QFETCH(MakeFiles, make);
    QFETCH(QString, message);
    make(m_dir->path());
    // The scanner holds what a wrapped write would have left, so a comparison with the
    // wrapped encoding would pass.
    m_sim->updateState([](DeviceState &s) {
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            for (int k = 0; k < kAreasPerChannel; ++k)
                s.zone(channel, k) = simArea(sampleArea(channel, k));
        s.zone(3, 1).regionType = 44;
    });
    QVERIFY(startSim());

    const CliResult r = cli({command, file});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith("areascan-cli: ") && r.err.contains(message) &&
                 r.err.endsWith("; nothing was sent\n"),
             qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    QCOMPARE(m_sim->receivedFrames().size(), 0);
    QVERIFY(!QFile::exists(m_dir->filePath("config.ini")));
}

// The shadow filter's minimum range may not end above its maximum: checked on the values
// given, and on the scanner's value of the one not given, before any setting is sent.
void TestCli::rangeLimitsKeepTheirOrder_data()
{
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QVector<quint16>>("sent");
    QTest::newRow("both given") << QStringList{"filter-min-range=30000", "filter-max-range=100"}
                                << 2
                                << "filter-min-range=30000 is above filter-max-range=100: the "
                                   "minimum range must not exceed the maximum; nothing was sent"
                                << QVector<quint16>{};
    QTest::newRow("minimum above the scanner's maximum")
        << QStringList{"filter-min-range=30000"} << 2
        << "filter-min-range=30000 is above the scanner's filter-max-range 20000: the minimum "
           "range must not exceed the maximum; no setting was sent"
        << QVector<quint16>{REQUEST_CONNECT, REQUEST_GET_FILTER_MAX_RANGE};
    QTest::newRow("maximum below the scanner's minimum")
        << QStringList{"filter-strength=80", "filter-max-range=99"} << 2
        << "filter-max-range=99 is below the scanner's filter-min-range 100"
        << QVector<quint16>{REQUEST_CONNECT, REQUEST_GET_FILTER_MIN_RANGE};
    QTest::newRow("minimum up to the scanner's maximum")
        << QStringList{"filter-min-range=20000"} << 0 << QString()
        << QVector<quint16>{REQUEST_CONNECT,
                            REQUEST_GET_FILTER_MAX_RANGE,
                            REQUEST_SET_FILTER_MIN_RANGE,
                            REQUEST_GET_FILTER_MIN_RANGE,
                            REQUEST_SAVE_PARAMETERS,
                            REQUEST_GET_FILTER_MIN_RANGE};
}

void TestCli::rangeLimitsKeepTheirOrder()
{
    QFETCH(QStringList, assignments);
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(QVector<quint16>, sent);
    QVERIFY(startSim());
    const CliResult r = cli(QStringList{"set"} + assignments);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(frameTypes(*m_sim), sent);
    if (code != 0) {
        QCOMPARE(int(m_sim->state().filterMinRange), 100);
        QCOMPARE(int(m_sim->state().filterMaxRange), 20000);
    }
}

void TestCli::deviceFailuresEndWithStatusOne_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<SimOptions>("options");
    QTest::addColumn<QString>("message");

    SimOptions silent;
    silent.silent = true;
    QTest::newRow("silent scanner")
        << QStringList{"info"} << silent << "no answer within 300 ms to the connection probe";
    SimOptions noBlocks;
    noBlocks.dropTypes.insert(REQUEST_READ_AREA);
    QTest::newRow("zone read unanswered")
        << QStringList{"read-zones", "out.ini"} << noBlocks
        << "no answer within 300 ms to the read of zone channel 0";
    SimOptions noBegin;
    noBegin.statusOverrides.insert(REQUEST_BEGIN_AREA_WRITE, 2);
    QTest::newRow("zone write refused at the start")
        << QStringList{"write-zones", "zones.ini"} << noBegin
        << "the scanner refused to start the zone write (status 2)";
    // Block 5's acknowledgement comes after the block went again; block 63 is refused or
    // never answered. Taken a step late, the write would have ended on block 62's answer.
    SimOptions lateThenRefused;
    lateThenRefused.answerDelays = {{REQUEST_WRITE_AREA, 6, 450}};
    lateThenRefused.refuseZoneBlock = 63;
    QTest::newRow("zone block refused after a late acknowledgement")
        << QStringList{"write-zones", "zones.ini"} << lateThenRefused
        << "the scanner refused zone channel 63 (status 1)";
    SimOptions lateThenDropped = lateThenRefused;
    lateThenDropped.refuseZoneBlock = -1;
    lateThenDropped.dropZoneBlock = 63;
    QTest::newRow("zone block unanswered after a late acknowledgement")
        << QStringList{"write-zones", "zones.ini"} << lateThenDropped
        << "no answer within 300 ms to zone channel 63";
    SimOptions noSave;
    noSave.statusOverrides.insert(REQUEST_SAVE_PARAMETERS, 4);
    QTest::newRow("save refused") << QStringList{"set", "filter-strength=80"} << noSave
                                  << "the scanner refused to save the parameters (status 4)";
    SimOptions unchanged;
    unchanged.statusOverrides.insert(REQUEST_SET_FILTER_STRENGTH, 1);
    QTest::newRow("setting not taken")
        << QStringList{"set", "filter-enable=off", "filter-strength=80"} << unchanged
        << "after saving, filter-strength reads 35, not 80";
    QTest::newRow("report, zone read unanswered")
        << QStringList{"report", "out.pdf"} << noBlocks
        << "no answer within 300 ms to the read of zone channel 0";
    SimOptions noFirmware;
    noFirmware.dropTypes.insert(REQUEST_FIRMWARE_VERSION);
    QTest::newRow("report, firmware version unanswered")
        << QStringList{"report", "out.pdf"} << noFirmware << "no answer within 300 ms";
    QTest::newRow("record from a silent scanner")
        << QStringList{"record", "out.ini"} << silent
        << "no answer within 300 ms to the connection probe";
    QTest::newRow("no such port") << QStringList{"--port", "/nonexistent/tty", "info"}
                                  << SimOptions() << "/nonexistent/tty: cannot open the port";
}

void TestCli::deviceFailuresEndWithStatusOne()
{
    QFETCH(QStringList, args);
    QFETCH(SimOptions, options);
    QFETCH(QString, message);
    writeZoneFile(m_dir->filePath("zones.ini"), sampleArea);
    QVERIFY(startSim(options));

    const CliResult r = cli(QStringList{"--timeout", "300"} + args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    QCOMPARE(r.out, QString());
    // A read that failed leaves no half-written file behind.
    QVERIFY(!QFile::exists(m_dir->filePath("out.ini")));
    QVERIFY(!QFile::exists(m_dir->filePath("out.pdf")));
}

void TestCli::setSavesAndReadsBack()
{
    QVERIFY(startSim());
    const CliResult r =
        cli({"set", "filter-strength=80", "mask-min-angle=90.5", "filter-enable=off"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    const DeviceState state = m_sim->state();
    QCOMPARE(int(state.filterStrength), 80);
    QCOMPARE(int(state.maskMinAngle), 181);
    QCOMPARE(state.filterEnabled, false);

    // Each setting goes out and is taken before the next; the save follows them, and the
    // values are read again after it.
    const QVector<quint16> types = frameTypes(*m_sim);
    const int save = types.indexOf(REQUEST_SAVE_PARAMETERS);
    QVERIFY(save > 0);
    QCOMPARE(types.mid(1, save - 1),
             (QVector<quint16>{REQUEST_SET_FILTER_STRENGTH, REQUEST_GET_FILTER_STRENGTH,
                               REQUEST_SET_MASK_MIN_ANGLE, REQUEST_GET_MASK_MIN_ANGLE,
                               REQUEST_SET_FILTER_ENABLE, REQUEST_GET_FILTER_ENABLE}));
    QCOMPARE(types.mid(save + 1),
             (QVector<quint16>{REQUEST_GET_FILTER_STRENGTH, REQUEST_GET_MASK_MIN_ANGLE,
                               REQUEST_GET_FILTER_ENABLE}));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
