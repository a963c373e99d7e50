#include "cliargs.h"
#include "filtersettings.h"

#include <QtTest>

class TestCliArgs : public QObject
{
    Q_OBJECT

private slots:
    void parsesCommandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error"); // a fragment of the error, or empty
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("operands");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("json");

        const int info = int(CliCommand::Info);
        QTest::newRow("defaults") << QStringList{"--port", "/dev/ttyUSB0", "info"} << "" << info
                                  << QStringList{} << "/dev/ttyUSB0" << 921600 << 5000 << false;
        QTest::newRow("options after the command, = forms")
            << QStringList{"set",
                           "filter-strength=35",
                           "--port=/dev/pts/3",
                           "--baud=115200",
                           "--timeout",
                           "250",
                           "mask-min-angle=90.5"}
            << "" << int(CliCommand::Set)
            << QStringList{"filter-strength=35", "mask-min-angle=90.5"} << "/dev/pts/3" << 115200
            << 250 << false;
        QTest::newRow("-- lets a file start with a dash")
            << QStringList{"--demo", "--json", "read-zones", "--", "-zones.ini"} << ""
            << int(CliCommand::ReadZones) << QStringList{"-zones.ini"} << "" << 921600 << 5000
            << true;

        auto bad = [](const char *name, const QStringList &args, const char *error) {
            QTest::newRow(name) << args << error << 0 << QStringList{} << "" << 0 << 0 << false;
        };
        bad("no command", {"--demo"}, "no command");
        bad("unknown command", {"--demo", "erase"}, "unknown command 'erase'");
        bad("unknown option", {"--demo", "--fast", "info"}, "unknown option --fast");
        bad("file missing", {"--demo", "write-zones"}, "write-zones needs FILE");
        bad("two files", {"--demo", "verify", "a.ini", "b.ini"}, "verify takes one FILE");
        bad("no port", {"info"}, "--port");
        bad("port and demo", {"--demo", "--port", "/dev/x", "info"}, "cannot be used together");
        bad("zero timeout", {"--demo", "--timeout", "0", "info"}, "--timeout");
    }

    void parsesCommandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        args.prepend(QStringLiteral("areascan-cli"));
        const CliOptions options = parseCliOptions(args);
        if (!error.isEmpty()) {
            QVERIFY2(options.error.contains(error), qPrintable(options.error));
            return;
        }
        QCOMPARE(options.error, QString());
        QTEST(int(options.command), "command");
        QTEST(options.operands, "operands");
        QTEST(options.port, "port");
        QTEST(options.baud, "baud");
        QTEST(options.timeoutMs, "timeout");
        QTEST(options.json, "json");
    }

    // zone-from-scan: its scans from a recording or a scanner (one of them), the channel
    // and area it writes, and numbers within their ranges; its options belong to it alone.
    void readsZoneFromScan_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        const QStringList rec{"zone-from-scan", "--recording", "r.pcap", "--channel", "63",
                              "--area",         "2",           "out.ini"};
        QTest::newRow("from a recording, defaults") << rec << "";
        QTest::newRow("from a scanner, every option")
            << QStringList{"--port",      "/dev/ttyUSB0", "zone-from-scan",
                           "--channel=0", "--area=0",     "--scans",
                           "250",         "--margin",     "0",
                           "--tolerance", "300",          "--zones",
                           "base.ini",    "out.ini"}
            << "";
        QTest::newRow("no channel")
            << QStringList{"--demo", "zone-from-scan", "--area", "1", "o.ini"}
            << "needs --channel and --area";
        QTest::newRow("channel 64") << QStringList(rec).replaceInStrings("63", "64")
                                    << "--channel needs a channel from 0 to 63";
        QTest::newRow("area 3") << QStringList{"--demo", "zone-from-scan", "--channel",
                                               "1",      "--area",         "3",
                                               "o.ini"}
                                << "--area needs 0 (attention), 1 (warning) or 2 (alarm)";
        QTest::newRow("no scans") << rec + QStringList{"--scans", "0"}
                                  << "--scans needs a positive";
        QTest::newRow("negative margin")
            << rec + QStringList{"--margin", "-5"} << "--margin needs millimetres from 0 to 10000";
        QTest::newRow("recording and port")
            << rec + QStringList{"--port", "/dev/x"} << "reads no scanner";
        QTest::newRow("no source")
            << QStringList{"zone-from-scan", "--channel", "1", "--area", "1", "o.ini"}
            << "needs --recording FILE, or the scanner's port";
        QTest::newRow("no file") << QStringList(rec.mid(0, 7)) << "zone-from-scan needs OUT.ini";
        QTest::newRow("its options elsewhere")
            << QStringList{"--demo", "read-zones", "--margin", "50", "z.ini"}
            << "--margin belongs to zone-from-scan";
    }
    void readsZoneFromScan()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const CliOptions o = parseCliOptions(QStringList{"areascan-cli"} + args);
        if (!error.isEmpty()) {
            QVERIFY2(o.error.contains(error), qPrintable(o.error));
            return;
        }
        QCOMPARE(o.error, QString());
        QCOMPARE(int(o.command), int(CliCommand::ZoneFromScan));
        QCOMPARE(o.operands, QStringList{"out.ini"});
        if (o.recordingFile.isEmpty()) {
            QCOMPARE(o.port, QString("/dev/ttyUSB0"));
            QCOMPARE(o.channel, 0);
            QCOMPARE(o.area, 0);
            QCOMPARE(o.scans, 250);
            QCOMPARE(o.margin, 0);
            QCOMPARE(o.tolerance, 300);
            QCOMPARE(o.zonesFile, QString("base.ini"));
        } else {
            QCOMPARE(o.recordingFile, QString("r.pcap"));
            QCOMPARE(o.channel, 63);
            QCOMPARE(o.area, 2);
            QCOMPARE(o.scans, 25);
            QCOMPARE(o.margin, 100);
            QCOMPARE(o.tolerance, 20);
        }
    }

    void helpAndVersionNeedNoCommand()
    {
        QVERIFY(parseCliOptions({"areascan-cli", "-h"}).help);
        QVERIFY(parseCliOptions({"areascan-cli", "--version"}).version);
        QVERIFY(parseCliOptions({"areascan-cli", "--version"}).error.isEmpty());
    }

    void relativePortsFollowTheStartDirectory()
    {
        QCOMPARE(resolvePortPath("ttyUSB0", "/home/tech"), QString("ttyUSB0"));
        QCOMPARE(resolvePortPath("/dev/pts/4", "/home/tech"), QString("/dev/pts/4"));
        QCOMPARE(resolvePortPath("./links/scanner", "/home/tech"),
                 QString("/home/tech/links/scanner"));
        QCOMPARE(resolvePortPath("../scanner", "/home/tech"), QString("/home/scanner"));
    }

    void readsSettingAssignments_data()
    {
        QTest::addColumn<QStringList>("assignments");
        QTest::addColumn<QStringList>("expected"); // "name wire" for each, in order
        QTest::addColumn<QString>("error");

        QTest::newRow("every kind, at its edges")
            << QStringList{"filter-enable=on",       "average-filter=0",    "input-nc=TRUE",
                           "output-nc=no",           "filter-strength=100", "filter-min-range=0",
                           "filter-max-range=65535", "mask-intensity=4095", "mask-min-angle=0",
                           "mask-max-angle=269.5"}
            << QStringList{"filter-enable 1",
                           "average-filter 0",
                           "input-nc 1",
                           "output-nc 0",
                           "filter-strength 100",
                           "filter-min-range 0",
                           "filter-max-range 65535",
                           "mask-intensity 4095",
                           "mask-min-angle 0",
                           "mask-max-angle 539"}
            << "";
        QTest::newRow("angles in degrees")
            << QStringList{"mask-min-angle=90.5", "mask-max-angle=45"}
            << QStringList{"mask-min-angle 181", "mask-max-angle 90"} << "";

        auto bad = [](const char *name, const QStringList &assignments, const char *error) {
            QTest::newRow(name) << assignments << QStringList{} << error;
        };
        bad("strength above 100", {"filter-strength=101"}, "filter-strength=101 is out of range");
        bad("angle beyond 269.5", {"mask-max-angle=270"}, "out of range");
        bad("angle between steps", {"mask-min-angle=90.3"}, "steps of 0.5");
        bad("fraction for a number", {"filter-strength=3.5"}, "out of range");
        bad("not a flag", {"filter-enable=maybe"}, "on or off");
        bad("unknown name", {"filter-strength=3", "gain=4"}, "unknown setting 'gain'");
        bad("no equals sign", {"filter-strength"}, "is not NAME=VALUE");
        bad("named twice", {"filter-strength=3", "filter-strength=4"}, "more than once");
    }

    void readsSettingAssignments()
    {
        QFETCH(QStringList, assignments);
        QFETCH(QString, error);
        QVector<SettingValue> values;
        QString got;
        const bool ok = parseSettingAssignments(assignments, &values, &got);
        QCOMPARE(ok, error.isEmpty());
        if (!ok) {
            QVERIFY2(got.contains(error), qPrintable(got));
            return;
        }
        QStringList wire;
        for (const SettingValue &v : values)
            wire << QStringLiteral("%1 %2").arg(QLatin1String(v.setting->name)).arg(v.wire);
        QTEST(wire, "expected");
    }
};

QTEST_GUILESS_MAIN(TestCliArgs)
#include "tst_cliargs.moc"
