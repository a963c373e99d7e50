// areascan-cli write-zones (the write of all 64 channels and their read-back) against the
// simulated scanner paced at the 921600-baud wire rate, compared with the time one write
// plus one read of 64 blocks need on the wire. Also read-zones and verify alone. The tool
// runs as a process, so its start-up and the probe are in the figures. Prints only.
//   bench_cli [--points N] [--runs N] [--cli PATH]

#include "simulatorhost.h"
#include "zoneblock.h"
#include "zonestore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kWireBytesPerSecond = 92160.0; // 921600 baud, ten bits per byte
// Per channel: the block request and its acknowledgement, the read request and its
// block reply.
constexpr int kWriteBytes = 10 + kZoneBlockBytes + 12;
constexpr int kReadBytes = 11 + 12 + kZoneBlockBytes;

void writeZoneFile(const QString &path, int points)
{
    QSettings store(path, QSettings::IniFormat);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord record;
        for (int k = 0; k < kAreasPerChannel; ++k) {
            ZoneAreaRecord &a = record[k];
            a.regionType = 1;
            a.onDelay = quint8(channel % 51);
            const double radius = 1000.0 * (3 - k) + channel;
            for (int i = 0; i < points; ++i) {
                const double angle = -0.7 + 4.5 * i / std::max(1, points - 1);
                a.points.append(
                    QPoint(int(radius * std::cos(angle)), int(radius * std::sin(angle))));
            }
        }
        writeStoredChannel(store, channel, record);
    }
    store.sync();
}

// Seconds the command took, or a negative number when it failed.
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
    int points = 540;
    int runs = 3;
    QString cli = QStringLiteral(AREASCAN_CLI);
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == "--points")
            points = args.at(i + 1).toInt();
        else if (args.at(i) == "--runs")
            runs = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == "--cli")
            cli = args.at(i + 1);
    }

    QTemporaryDir dir;
    writeZoneFile(dir.filePath("zones.ini"), points);
    SimulatorHost sim;
    QString error;
    if (!sim.start(SimOptions(), &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    const QStringList port{"--port", sim.devicePath()};

    const double writeWire = kZoneChannelCount * kWriteBytes / kWireBytesPerSecond;
    const double readWire = kZoneChannelCount * kReadBytes / kWireBytesPerSecond;
    std::printf("paced simulated scanner, %d points per area, zone file %lld bytes\n", points,
                QFileInfo(dir.filePath("zones.ini")).size());
    std::printf("wire time: write %.3f s + read %.3f s = %.3f s\n", writeWire, readWire,
                writeWire + readWire);

    QVector<double> write, read, verify;
    for (int run = 0; run < runs; ++run) {
        const double w =
            timeCommand(cli, dir.path(), port + QStringList{"write-zones", "zones.ini"});
        const double r = timeCommand(cli, dir.path(), port + QStringList{"read-zones", "back.ini"});
        const double v = timeCommand(cli, dir.path(), port + QStringList{"verify", "zones.ini"});
        if (w < 0 || r < 0 || v < 0)
            return 1;
        write.append(w);
        read.append(r);
        verify.append(v);
        std::printf("run %d: write-zones %.3f s (%.3fx), read-zones %.3f s (%.3fx), verify "
                    "%.3f s (%.3fx)\n",
                    run + 1, w, w / (writeWire + readWire), r, r / readWire, v, v / readWire);
    }
    const double w = median(write);
    std::printf("median write-zones with verification: %.3f s = %.3fx the wire time (goal <= "
                "1.1x)\n",
                w, w / (writeWire + readWire));
    return 0;
}
