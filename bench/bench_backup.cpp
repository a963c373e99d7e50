// areascan-cli backup and restore against simulated scanners paced at the 921600-baud wire
// rate, compared with the wire time of the frames each exchanged: every request and every
// reply, counted from the simulators' own logs, at ten bits a byte. The tool runs as a
// process, so its start-up and the connection probe are in the figures. A restore reads the
// scanner first (to name what changes), writes, and reads back; the zone write's pause
// after its begin request is the scanner's, and is shown apart. Prints only.
//   bench_backup [--runs N] [--stream] [--cli PATH]
// --stream keeps the scan stream flowing beside the settings requests, as a real scanner's
// does (it pauses for the zone blocks either way).

#include "simulatorhost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kWireBytesPerSecond = 92160.0; // 921600 baud, ten bits per byte
constexpr double kBeginPause = 0.3;             // the zone write's wait after its begin

DeviceState unit(int seed)
{
    DeviceState s;
    s.filterStrength = quint8(30 + seed);
    s.maskIntensity = quint16(100 * seed);
    s.maskMinAngle = quint16(20 + seed);
    for (int c = 0; c < kZoneChannels; ++c)
        for (int k = 0; k < kZoneAreas; ++k) {
            ZoneArea &a = s.zone(c, k);
            a = ZoneArea();
            a.regionType = 1;
            a.onDelay = quint8((c + seed) % 50);
            for (int i = 0; i < 540; ++i) {
                const double angle = -0.7 + 4.5 * i / 539;
                const double r = 1000.0 * (3 - k) + c + seed;
                a.points.append(QPoint(int(r * std::cos(angle)), int(r * std::sin(angle))));
            }
        }
    return s;
}

// The wire time of everything the scanner received and answered since its log was cleared.
double wireSeconds(const SimulatorHost &sim)
{
    qint64 bytes = 0;
    for (const ReceivedFrame &f : sim.receivedFrames())
        bytes += f.raw.size();
    for (const SentReply &r : sim.sentReplies())
        bytes += r.size;
    return bytes / kWireBytesPerSecond;
}

// The part of it spent before the first request that changes the scanner (a restore's read
// of the scanner as it was), by the simulator's clock of the requests.
double wireSecondsBeforeWriting(const SimulatorHost &sim)
{
    const QVector<ReceivedFrame> frames = sim.receivedFrames();
    qint64 firstWrite = -1;
    for (const ReceivedFrame &f : frames) {
        const bool reads = f.type == 0x000E || (f.type >= 0x0002 && f.type <= 0x0004) ||
                           (f.type >= 0x0013 && f.type <= 0x0025 && f.type % 2 == 1) ||
                           f.type == 0x3300 || f.type == 0x000D;
        if (!reads) {
            firstWrite = f.firstByteNs;
            break;
        }
    }
    qint64 bytes = 0;
    for (const ReceivedFrame &f : frames)
        if (f.firstByteNs < firstWrite)
            bytes += f.raw.size();
    for (const SentReply &r : sim.sentReplies())
        if (r.queuedNs < firstWrite)
            bytes += r.size;
    return bytes / kWireBytesPerSecond;
}

double timeCommand(const QString &cli, const QString &dir, const QStringList &args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    QElapsedTimer clock;
    clock.start();
    process.start(cli, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(args.join(' ')),
                     process.readAllStandardError().constData());
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    bool stream = false;
    QString cli = QStringLiteral(AREASCAN_CLI);
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == "--runs" && i + 1 < args.size())
            runs = std::max(1, args.at(++i).toInt());
        else if (args.at(i) == "--cli" && i + 1 < args.size())
            cli = args.at(++i);
        else if (args.at(i) == "--stream")
            stream = true;
    }

    QTemporaryDir dir;
    SimOptions options;
    options.scanStream = stream;
    SimulatorHost oldUnit;
    SimulatorHost newUnit;
    QString error;
    oldUnit.setState(unit(1));
    if (!oldUnit.start(options, &error) || !newUnit.start(options, &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("paced simulated scanners, 540 points per area, scan stream %s\n",
                stream ? "on" : "off");

    QVector<double> backupRatio, restoreRatio;
    for (int run = 0; run < runs; ++run) {
        oldUnit.clearLog();
        const double b =
            timeCommand(cli, dir.path(), {"--port", oldUnit.devicePath(), "backup", "old.ini"});
        const double bWire = wireSeconds(oldUnit);

        // The replacement holds other settings and other zones in every channel.
        newUnit.setState(unit(2));
        newUnit.clearLog();
        const double r =
            timeCommand(cli, dir.path(), {"--port", newUnit.devicePath(), "restore", "old.ini"});
        const double rWire = wireSeconds(newUnit) + kBeginPause;
        const double rBefore = wireSecondsBeforeWriting(newUnit);
        if (b < 0 || r < 0)
            return 1;
        backupRatio.append(b / bWire);
        restoreRatio.append(r / rWire);
        std::printf("run %d: backup %.3f s, wire %.3f s (%.3fx); restore %.3f s, wire %.3f s "
                    "(read before %.3f s, writes, %.1f s begin pause and read-back %.3f s) "
                    "(%.3fx)\n",
                    run + 1, b, bWire, b / bWire, r, rWire, rBefore, kBeginPause, rWire - rBefore,
                    r / rWire);
    }
    std::printf("median: backup %.3fx its wire time, restore %.3fx (goal <= 1.05x each)\n",
                median(backupRatio), median(restoreRatio));
    return 0;
}
