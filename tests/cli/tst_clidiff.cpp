// areascan-cli diff run as a process: two zone files, or a zone file and the simulated
// scanner's zones.
#include "devicestate.h"
#include "requesttype.h"
#include "simulatorhost.h"
#include "simzones.h"
#include "testsupport.h"
#include "zoneblock.h"
#include "zonestore.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <functional>

namespace {

struct CliResult
{
    int code = -1;
    QString out;
    QString err;
};

CliResult runCli(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(AREASCAN_CLI), args);
    CliResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// A zone set of every kind of area, the same in every file unless a change is given.
ZoneAreaRecord baseArea(int channel, int area)
{
    ZoneAreaRecord a;
    a.regionType = quint8(1 + (channel + area) % 3);
    a.onDelay = quint8(channel % 51);
    a.offDelay = quint8(area * 5);
    a.hysteresis = quint8(channel % 101);
    a.detectableSize = quint8(area);
    const int n = a.regionType == 2 ? 2 : a.regionType == 3 ? 4 : 3 + channel % 5;
    for (int i = 0; i < n; ++i)
        a.points.append(QPoint(-3000 + i * 700 + channel, 500 + i * 200 + area));
    return a;
}

using Change = std::function<void(int channel, int area, ZoneAreaRecord *)>;

void writeZoneFile(const QString &path, const Change &change = nullptr)
{
    QSettings store(path, QSettings::IniFormat);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord record;
        for (int k = 0; k < kAreasPerChannel; ++k) {
            record[k] = baseArea(channel, k);
            if (change)
                change(channel, k, &record[k]);
        }
        writeStoredChannel(store, channel, record);
    }
    store.sync();
}

void setKey(const QString &path, const QString &key, const QString &value)
{
    QSettings store(path, QSettings::IniFormat);
    store.setValue(key, value);
}

QStringList lines(const QString &out)
{
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestCliDiff : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of difference gives its own line, naming channel, area and both values in
    // the order the files were named, after two lines that name the sides; equal files
    // print nothing and end with 0.
    void differencesBetweenTwoFiles_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("equal") << Change() << QStringList();
        QTest::newRow("shape") << Change([](int c, int k, ZoneAreaRecord *a) {
            if (c == 5 && k == 1)
                a->regionType = 0;
        }) << QStringList{"channel 5, warning area: regionType 1 (polygon) vs 0 (none)"};
        QTest::newRow("vertex count") << Change([](int c, int k, ZoneAreaRecord *a) {
            if (c == 63 && k == 2)
                a->points.append(QPoint(9, 9));
        }) << QStringList{"channel 63, alarm area: 4 vertices vs 5"};
        QTest::newRow("one vertex") << Change([](int c, int k, ZoneAreaRecord *a) {
            if (c == 0 && k == 0)
                a->points[1] = QPoint(-32768, 32767);
        }) << QStringList{"channel 0, attention area: vertex 2 at -2300,700 vs -32768,32767"};
        QTest::newRow("parameters")
            << Change([](int c, int k, ZoneAreaRecord *a) {
                   if (c == 12 && k == 0) {
                       a->onDelay = 50;
                       a->hysteresis = 0;
                       a->dependScale = 65535;
                   }
                   if (c == 40 && k == 2)
                       a->detectableSize = 10;
               })
            << QStringList{"channel 12, attention area: onDelay 12 vs 50",
                           "channel 12, attention area: hysteresis 12 vs 0",
                           "channel 12, attention area: dependScale 0 vs 65535",
                           "channel 40, alarm area: detectableSize 2 vs 10"};
        // Every area differs: one line each, in channel and area order.
        QStringList everywhere;
        const char *const names[] = {"attention", "warning", "alarm"};
        for (int c = 0; c < kZoneChannelCount; ++c)
            for (int k = 0; k < kAreasPerChannel; ++k)
                everywhere << QStringLiteral("channel %1, %2 area: offDelay %3 vs 50")
                                  .arg(c)
                                  .arg(QLatin1String(names[k]))
                                  .arg(k * 5);
        QTest::newRow("everywhere")
            << Change([](int, int, ZoneAreaRecord *a) { a->offDelay = 50; }) << everywhere;
    }
    void differencesBetweenTwoFiles()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, expected);
        TempWorkingDir dir;
        writeZoneFile("a.ini");
        writeZoneFile("b.ini", change);
        const CliResult result = runCli({"diff", "a.ini", "b.ini"});
        QCOMPARE(result.err, QString());
        if (!expected.isEmpty())
            expected = QStringList{"--- a.ini", "+++ b.ini"} + expected;
        QCOMPARE(lines(result.out), expected);
        QCOMPARE(result.code, expected.isEmpty() ? 0 : 1);
    }

    // A file that cannot be used as a zone file, on either side, or arguments that do not
    // make a comparison: status 2, one line on standard error, nothing compared.
    void unusableInputs_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing first") << QStringList{"diff", "none.ini", "b.ini"} << "none.ini";
        QTest::newRow("missing second") << QStringList{"diff", "a.ini", "none.ini"} << "none.ini";
        QTest::newRow("empty file") << QStringList{"diff", "empty.ini", "a.ini"} << "empty.ini";
        QTest::newRow("value outside its field")
            << QStringList{"diff", "a.ini", "wide.ini"} << "wide.ini: channel 7, alarm area";
        QTest::newRow("points cut")
            << QStringList{"diff", "cut.ini", "a.ini"} << "cut.ini: channel 0, attention area";
        QTest::newRow("a folder") << QStringList{"diff", "a.ini", "."} << ".";
        QTest::newRow("no file") << QStringList{"diff"} << "diff needs FILE";
        QTest::newRow("three files")
            << QStringList{"diff", "a.ini", "b.ini", "a.ini"} << "diff takes one";
        QTest::newRow("two files and a port")
            << QStringList{"--port", "/dev/null", "diff", "a.ini", "b.ini"} << "no scanner";
        QTest::newRow("one file, no scanner") << QStringList{"diff", "a.ini"} << "--port";
        QTest::newRow("scanner not there")
            << QStringList{"--port", "/nonexistent/tty", "diff", "a.ini"} << "cannot open";
    }
    void unusableInputs()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        TempWorkingDir dir;
        writeZoneFile("a.ini");
        writeZoneFile("b.ini", [](int, int, ZoneAreaRecord *a) { a->onDelay = 1; });
        writeZoneFile("wide.ini");
        setKey("wide.ini", "Channel7/Area2/regionType", "300");
        writeZoneFile("cut.ini");
        setKey("cut.ini", "Channel0/Area0/Points", "1,2,3");
        QFile empty("empty.ini");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();

        const CliResult result = runCli(args);
        QCOMPARE(result.code, 2);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.startsWith("areascan-cli: ") && result.err.contains(error),
                 qPrintable(result.err));
    }

    // The scanner's zones take the second file's place: its lines are those of the two
    // files when the scanner holds what the second one holds.
    void scannerAgainstFile()
    {
        TempWorkingDir dir;
        const Change change = [](int c, int k, ZoneAreaRecord *a) {
            if (c == 9 && k == 1) {
                a->points[0] = QPoint(1, 2);
                a->offDelay = 44;
            }
        };
        writeZoneFile("a.ini");
        writeZoneFile("b.ini", change);
        DeviceState state;
        for (int c = 0; c < kZoneChannelCount; ++c)
            for (int k = 0; k < kAreasPerChannel; ++k) {
                ZoneAreaRecord a = baseArea(c, k);
                change(c, k, &a);
                state.zone(c, k) = simArea(a);
            }
        SimulatorHost sim;
        sim.setState(state);
        SimOptions options;
        options.paced = false;
        QVERIFY(sim.start(options));

        const CliResult files = runCli({"diff", "a.ini", "b.ini"});
        const QStringList differences{"channel 9, warning area: vertex 1 at -2991,501 vs 1,2",
                                      "channel 9, warning area: offDelay 5 vs 44"};
        QCOMPARE(lines(files.out), QStringList({"--- a.ini", "+++ b.ini"}) + differences);
        const CliResult scanner = runCli({"--port", sim.devicePath(), "diff", "a.ini"});
        QCOMPARE(scanner.err, QString());
        QCOMPARE(lines(scanner.out),
                 QStringList({"--- a.ini", "+++ scanner KP2100417"}) + differences);
        QCOMPARE(scanner.code, 1);
        const CliResult same = runCli({"--port", sim.devicePath(), "diff", "b.ini"});
        QCOMPARE(same.out, QString());
        QCOMPARE(same.code, 0);

        // A scanner that stops answering zone reads cannot be compared with.
        sim.updateOptions([](SimOptions &o) { o.dropTypes = {REQUEST_READ_AREA}; });
        const CliResult silent =
            runCli({"--port", sim.devicePath(), "--timeout", "300", "diff", "b.ini"});
        QCOMPARE(silent.code, 2);
        QCOMPARE(silent.out, QString());
        QVERIFY2(silent.err.contains("zone channel 0"), qPrintable(silent.err));
    }
};

QTEST_MAIN(TestCliDiff)
#include "tst_clidiff.moc"
