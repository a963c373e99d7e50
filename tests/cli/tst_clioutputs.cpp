// The files areascan-cli writes, run as a process against the simulated scanner: the
// targets it refuses (and that nothing is sent or written then), a recording that
// replaces a file only once it is complete, and zone-from-scan from a recording and from
// a scanner.
#include "framecodec.h"
#include "lockedpath.h"
#include "scanframe.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "zonefilecheck.h"
#include "zoneset.h"
#include "zonestore.h"
#include "zonestoretext.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

template <class T> void put(QByteArray *out, T value)
{
    char b[sizeof(T)];
    qToLittleEndian<T>(value, b);
    out->append(b, int(sizeof(T)));
}

// The room the recordings show, in millimetres along a direction: a wall at 3 m, a post
// at 1.5 m over 60 to 64 degrees, nothing echoing from 150 to 170 degrees.
double roomRange(double degrees)
{
    if (degrees >= 150 && degrees <= 170)
        return 0;
    if (degrees >= 60 && degrees <= 64)
        return 1500;
    return 3000;
}

// A recording as record writes it: scans of sectors 0..5, 25 a second, of the room.
// nearEcho: one echo at that many millimetres straight ahead in the first scan.
QByteArray recording(int scans, int nearEcho = 0)
{
    QByteArray f;
    put<quint32>(&f, 0xa1b2c3d4);
    put<quint16>(&f, 2);
    put<quint16>(&f, 4);
    put<quint32>(&f, 0);
    put<quint32>(&f, 0);
    put<quint32>(&f, 65535);
    put<quint32>(&f, 147);
    for (int s = 0; s < scans; ++s) {
        for (int sector = 0; sector < 6; ++sector) {
            QVector<ushort> ranges;
            for (int i = 0; i < kPointsPerScanFrame; ++i) {
                const double a = scanAngle(sector, i);
                ranges.append(ushort(nearEcho > 0 && s == 0 && a == 90 ? nearEcho : roomRange(a)));
            }
            ScanState state;
            state.sector = uchar(sector);
            const QByteArray frame =
                buildScanFrame(state, ranges, QVector<ushort>(kPointsPerScanFrame, 900));
            const qint64 us = 1700000000000000 + qint64(s * 6 + sector) * 40000 / 6;
            put<quint32>(&f, quint32(us / 1000000));
            put<quint32>(&f, quint32(us % 1000000));
            put<quint32>(&f, quint32(frame.size()));
            put<quint32>(&f, quint32(frame.size()));
            f.append(frame);
        }
    }
    return f;
}

ZoneAreaRecord someArea(int channel, int area)
{
    ZoneAreaRecord a;
    a.regionType = 3;
    a.onDelay = quint8(channel % 51);
    a.offDelay = quint8(area * 7);
    a.points = {QPoint(-1000, 500 + channel), QPoint(1000, 500), QPoint(1000, 2000),
                QPoint(-1000, 2000)};
    return a;
}

void writeBase(const QString &path)
{
    ZoneSet set;
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            set.setArea(c, k, someArea(c, k));
    writeBytes(path, zoneFileText(set));
}

} // namespace

class TestCliOutputs : public QObject
{
    Q_OBJECT

private slots:
    // Every command that writes refuses the tool's own files, its own input and anything
    // but a regular file, by any spelling: status 2, the reason named, nothing sent to the
    // scanner and nothing written (a device stays a device, a FIFO a FIFO).
    void refusedTargetsWriteNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        const QStringList report{"report"};
        const QStringList reportFile{"report", "--zones", "A.ini"};
        const QStringList record{"record", "--seconds", "1"};
        const QStringList read{"read-zones"};
        const QStringList scan{
            "zone-from-scan", "--recording", "rec.pcap", "--channel", "1", "--area", "0"};
        const QString own = QStringLiteral("a file the tool keeps for itself");
        QTest::newRow("report over settings.ini") << reportFile << "settings.ini" << own;
        QTest::newRow("report over its input by a link") << reportFile << "a-link.ini"
                                                         << "it is the input A.ini itself";
        // A device node of its own (a copy of /dev/null's), so that a tool that wrongly
        // renames over it replaces nothing the machine needs.
        QTest::newRow("report over a device") << reportFile << "null"
                                              << "it is a device, not a regular file";
        QTest::newRow("record over config.ini by a link") << record << "link.ini" << own;
        QTest::newRow("record into a FIFO") << record << "fifo"
                                            << "it is a FIFO";
        QTest::newRow("record into a folder") << record << "sub"
                                              << "it is a folder";
        QTest::newRow("read-zones over config.ini by a hard link") << read << "hard.ini" << own;
        QTest::newRow("read-zones into a missing folder") << read << "none/z.ini"
                                                          << "the folder FULL/none does not exist";
        QTest::newRow("read-zones into a folder that cannot be written")
            << read << "locked/z.ini"
            << "the folder FULL/locked cannot be written";
        QTest::newRow("zone-from-scan over its recording") << scan << "rec.pcap"
                                                           << "it is the input rec.pcap itself";
        QTest::newRow("zone-from-scan over its base")
            << scan + QStringList{"--zones", "A.ini"} << "./A.ini"
            << "it is the input A.ini itself";
    }
    void refusedTargetsWriteNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, target);
        QFETCH(QString, reason);
        TempWorkingDir dir;
        const QString full = QDir::current().canonicalPath();
        reason.replace("FULL", full);
        writeBytes("settings.ini", "[ProductInformation]\ndeviceModel=KP-21D\n");
        writeBytes("config.ini", "mine");
        writeBytes("factorySettings.ini", "[Filter]\nfilterStrenth=35\n");
        writeBase("A.ini");
        writeBytes("rec.pcap", recording(25));
        QVERIFY(QDir().mkdir("sub"));
        QVERIFY(QDir().mkdir("locked"));
        QVERIFY(QFile::link("config.ini", "link.ini"));
        QVERIFY(QFile::link("A.ini", "a-link.ini"));
        QVERIFY(::link("config.ini", "hard.ini") == 0);
        QVERIFY(::mkfifo("fifo", 0600) == 0);
        if (target == "null" && ::mknod("null", S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("no device node can be made here (not root)");
        const QStringList files{"settings.ini", "config.ini", "factorySettings.ini", "A.ini",
                                "rec.pcap"};
        QMap<QString, QByteArray> before;
        for (const QString &f : files)
            before[f] = fileBytes(f);
        const LockedPath locked(QStringLiteral("locked"));
        if (target.startsWith("locked") && !locked.locked())
            QSKIP("this file system cannot lock a folder");

        SimulatorHost sim;
        SimOptions options;
        options.paced = false;
        QVERIFY(sim.start(options));
        QStringList command = args + QStringList{target};
        if (!args.contains("--zones") && !args.contains("--recording"))
            command = QStringList{"--port", sim.devicePath()} + command;
        const CliResult r = runCli(command);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("areascan-cli: cannot write %1: ").arg(target)) &&
                     r.err.contains(reason) && r.err.contains("nothing was written"),
                 qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(sim.receivedFrames().isEmpty());
        for (const QString &f : files)
            QCOMPARE(fileBytes(f), before[f]);
        struct stat st;
        if (target == "null")
            QVERIFY(::lstat("null", &st) == 0 && S_ISCHR(st.st_mode));
        QVERIFY(::lstat("fifo", &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(::lstat("link.ini", &st) == 0 && S_ISLNK(st.st_mode));
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden).filter("none").size(), 0);
        QVERIFY(!QFile::exists("none"));
    }

    // A recording replaces a file only once it has ended: a scanner that cannot be reached
    // leaves the old file as it was (and nothing beside it); one that records replaces it,
    // keeping the old file's permissions.
    void recordReplacesOnlyWhenComplete()
    {
        TempWorkingDir dir;
        writeBytes("scans.pcap", "old");
        QVERIFY(QFile::setPermissions("scans.pcap",
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        SimulatorHost sim;
        SimOptions silent;
        silent.paced = false;
        silent.silent = true;
        QVERIFY(sim.start(silent));
        const CliResult none = runCli({"--port", sim.devicePath(), "--timeout", "300", "record",
                                       "--seconds", "1", "scans.pcap"});
        QCOMPARE(none.code, 1);
        QCOMPARE(fileBytes("scans.pcap"), QByteArray("old"));
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{"scans.pcap"});

        sim.updateOptions([](SimOptions &o) { o.silent = false; });
        const CliResult done =
            runCli({"--port", sim.devicePath(), "record", "--seconds", "1", "scans.pcap"});
        QCOMPARE(done.code, 0);
        QVERIFY(fileBytes("scans.pcap").startsWith(QByteArray::fromHex("d4c3b2a1")));
        QCOMPARE(QFile::permissions("scans.pcap"), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ReadGroup | QFile::ReadUser |
                                                       QFile::WriteUser);
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{"scans.pcap"});
    }

    // zone-from-scan writes the base with the one area replaced by the polygon the scans
    // leave free (whose margins the zone's own tests check), the rest as the base has it.
    void zoneFromScanOfARecording_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("base");
        QTest::newRow("defaults, no base") << QStringList{} << false;
        QTest::newRow("a base, a wide margin, few scans")
            << QStringList{"--zones", "base.ini", "--margin", "400", "--scans", "3"} << true;
    }
    void zoneFromScanOfARecording()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, base);
        TempWorkingDir dir;
        writeBytes("rec.pcap", recording(30));
        writeBase("base.ini");
        const CliResult r = runCli(QStringList{"zone-from-scan", "--recording", "rec.pcap",
                                               "--channel", "5", "--area", "2"} +
                                   options + QStringList{"out.ini"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("channel 5, alarm area: a polygon of ") &&
                     r.out.endsWith(" scans into out.ini\n"),
                 qPrintable(r.out));

        const ZoneFile out = readZoneFile("out.ini");
        QVERIFY2(out.ok(), qPrintable(describeZoneFileProblem(out.problem, "out.ini")));
        for (int c = 0; c < kZoneChannelCount; ++c) {
            for (int k = 0; k < kAreasPerChannel; ++k) {
                const ZoneAreaRecord &a = out.channels.at(c)[k];
                if (c == 5 && k == 2)
                    continue;
                QVERIFY(a == (base ? someArea(c, k) : ZoneSet().area(c, k)));
            }
        }
        const ZoneAreaRecord &zone = out.channels.at(5)[2];
        QCOMPARE(int(zone.regionType), 1);
        QCOMPARE(int(zone.onDelay), base ? 5 : 0);
        QCOMPARE(int(zone.offDelay), base ? 14 : 0);
        QVERIFY(zone.points.size() >= 3 && zone.points.size() <= 540);
        // Within the room's wall at 3 m less the margin, but where nothing echoes.
        const int margin = base ? 400 : 100;
        for (const QPoint &v : zone.points) {
            double degrees = std::atan2(v.y(), v.x()) * 180 / M_PI;
            if (degrees < -90)
                degrees += 360;
            if (degrees < 140 || degrees > 180)
                QVERIFY2(std::hypot(v.x(), v.y()) <= 3000 - margin + 1,
                         qPrintable(QString::number(degrees)));
        }
    }

    // Fewer scans than asked for, a base that is no zone file, no scan in the field of view:
    // status 2 and nothing written. An echo nearer than the margin is named, the zone still
    // written.
    void zoneFromScanRefusesAndWarns()
    {
        TempWorkingDir dir;
        writeBytes("rec.pcap", recording(10));
        writeBytes("bad.ini", "[Channel0]\nArea0\\Points=1\n");
        const QStringList zfs{
            "zone-from-scan", "--recording", "rec.pcap", "--channel", "0", "--area", "1"};
        const CliResult few = runCli(zfs + QStringList{"out.ini"});
        QCOMPARE(few.code, 2);
        QVERIFY2(few.err.contains("rec.pcap holds 10 whole scans, fewer than the 25 asked for"),
                 qPrintable(few.err));
        const CliResult bad =
            runCli(zfs + QStringList{"--scans", "5", "--zones", "bad.ini", "out.ini"});
        QCOMPARE(bad.code, 2);
        QVERIFY2(bad.err.contains("bad.ini"), qPrintable(bad.err));
        const CliResult broken = runCli(zfs + QStringList{"--recording", "bad.ini", "out.ini"});
        QCOMPARE(broken.code, 2);
        QVERIFY(!QFile::exists("out.ini"));

        writeBytes("near.pcap", recording(25, 60));
        const CliResult near = runCli({"zone-from-scan", "--recording", "near.pcap", "--channel",
                                       "0", "--area", "1", "out.ini"});
        QCOMPARE(near.code, 0);
        QVERIFY2(near.err.contains("warning: an echo at 60 mm in the direction 90.0 degrees lies "
                                   "nearer than the margin"),
                 qPrintable(near.err));
        QVERIFY(readZoneFile("out.ini").ok());
    }

    // From a scanner: its next scans, or status 1 when it sends none.
    void zoneFromScanOfAScanner()
    {
        TempWorkingDir dir;
        SimulatorHost sim;
        SimOptions options;
        options.paced = false;
        QVERIFY(sim.start(options));
        const CliResult r = runCli({"--port", sim.devicePath(), "zone-from-scan", "--channel", "7",
                                    "--area", "0", "--scans", "5", "out.ini"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        const ZoneFile out = readZoneFile("out.ini");
        QVERIFY(out.ok());
        QCOMPARE(int(out.channels.at(7)[0].regionType), 1);
        QVERIFY(out.channels.at(7)[0].points.size() >= 3);

        sim.updateOptions([](SimOptions &o) { o.scanStream = false; });
        const CliResult quiet =
            runCli({"--port", sim.devicePath(), "--timeout", "500", "zone-from-scan", "--channel",
                    "7", "--area", "0", "again.ini"});
        QCOMPARE(quiet.code, 1);
        QVERIFY2(QRegularExpression("the scanner sent [01] scans? within 500 ms of the last, not "
                                    "the 25 asked for")
                     .match(quiet.err)
                     .hasMatch(),
                 qPrintable(quiet.err));
        QVERIFY(!QFile::exists("again.ini"));
    }
};

QTEST_GUILESS_MAIN(TestCliOutputs)
#include "tst_clioutputs.moc"
