// Full zone read and full zone write of all 64 channels through the worker, a real
// QSerialPort and the simulated scanner paced at the 921600-baud wire rate, compared with
// the time the bytes need on the wire. Prints figures only.
//   QT_QPA_PLATFORM=offscreen bench_zone_transfer [--no-stream | --shared-line] [--unpaced]
// By default the scanner streams scans but holds them while it serves its zone memory;
// --shared-line keeps the scans flowing beside the blocks, --no-stream sends none.

#include "studiorig.h"
#include "workerthread.h"
#include "zoneblock.h"
#include "zoneset.h"
#include "zonestore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace {

constexpr double kWireBytesPerSecond = 92160.0; // 921600 baud, ten bits per byte
constexpr int kReadRequest = 11, kReply = 12, kBlockReply = 12 + kZoneBlockBytes;
constexpr int kBegin = 10, kBlockRequest = 10 + kZoneBlockBytes;

// Every area a polygon of n vertices on a circle in front of the scanner.
DeviceState zoneSet(int n)
{
    DeviceState state;
    for (int channel = 0; channel < 64; ++channel) {
        for (int k = 0; k < 3; ++k) {
            ZoneArea &a = state.zone(channel, k);
            a = ZoneArea();
            a.regionType = 1;
            a.onDelay = quint8(channel % 51);
            const double radius = 1000.0 * (3 - k) + channel;
            for (int i = 0; i < n; ++i) {
                const double angle = -0.7 + 4.5 * i / std::max(1, n - 1);
                a.points.append(
                    QPoint(int(radius * std::cos(angle)), int(radius * std::sin(angle))));
            }
        }
    }
    return state;
}

struct Figures
{
    double read = 0, write = 0;
    qint64 storeBytes = 0;
};

bool run(int points, const SimOptions &options, Figures *out)
{
    SimulatorHost sim;
    sim.setState(zoneSet(points));
    QString error;
    if (!sim.start(options, &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return false;
    }
    QSerialPort port(sim.devicePath());
    port.setBaudRate(921600);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.devicePath()));
        return false;
    }
    WorkerThread worker(&port);
    worker.start();
    worker.wait();

    int stored = 0, written = -1;
    ZoneSet zones;
    QObject::connect(
        &worker, &WorkerThread::sendZoneChannel,
        [&](int channel, const ZoneChannelRecord &areas) { zones.setChannel(channel, areas); });
    QObject::connect(&worker, &WorkerThread::sendReadCurArea, [&](int) { ++stored; });
    QVector<QByteArray> blocks;
    // The worker sends no block on its own: after the begin acknowledgement the scanner's
    // pause, then block 0; after each block's acknowledgement the next one.
    QObject::connect(&worker, &WorkerThread::sendAcknowledgement, [&](RequestType type, int) {
        if (type == REQUEST_BEGIN_AREA_WRITE) {
            QTimer::singleShot(300, [&]() { worker.writeZoneBlock(0, blocks.at(0)); });
        } else if (type == REQUEST_WRITE_AREA) {
            ++written;
            if (written < 63)
                worker.writeZoneBlock(written + 1, blocks.at(written + 1));
        }
    });
    // As the window does: the next channel is asked for when the previous one is stored.
    QObject::connect(&worker, &WorkerThread::sendReadCurArea, [&](int) {
        if (stored < 64)
            worker.onReadArea(stored);
    });

    QElapsedTimer clock;
    clock.start();
    worker.onReadArea(0);
    if (!waitUntil([&] { return stored == 64; }, 60000)) {
        std::fprintf(stderr, "the full read stopped at %d channels\n", stored);
        return false;
    }
    out->read = clock.nsecsElapsed() / 1e9;
    out->storeBytes = QFileInfo(zoneStoreFileName()).size();

    clock.restart();
    blocks = zones.blocks();
    worker.onRequestType(REQUEST_BEGIN_AREA_WRITE, QString());
    if (!waitUntil([&] { return written == 63; }, 60000)) {
        std::fprintf(stderr, "the full write stopped after channel %d\n", written);
        return false;
    }
    out->write = clock.nsecsElapsed() / 1e9;
    const DeviceState after = sim.state();
    const DeviceState before = zoneSet(points);
    if (after.zones != before.zones) {
        std::fprintf(stderr, "the scanner's zones differ after the write\n");
        return false;
    }
    return true;
}

// The same through the window: connect (the full read starts 1050 ms after the open),
// then a click on the upload button. The read is timed on the scanner's own clock from the
// first zone request to the request that closes the read.
bool runWindow(int points, const SimOptions &options, Figures *out)
{
    StudioRig rig;
    if (!rig.start(zoneSet(points), options) || !rig.show()) {
        std::fprintf(stderr, "the simulated scanner or the window did not start\n");
        return false;
    }
    if (!rig.connectAndRead(60000)) {
        std::fprintf(stderr, "the window's full read did not end\n");
        return false;
    }
    out->read = (rig.framesOf(REQUEST_READ_AREAS_DONE).first().msecs -
                 rig.framesOf(REQUEST_READ_AREA).first().msecs) /
                1000.0;
    out->storeBytes = QFileInfo(zoneStoreFileName()).size();

    QElapsedTimer clock;
    clock.start();
    if (!rig.upload(60000)) {
        std::fprintf(stderr, "the window's upload did not end\n");
        return false;
    }
    out->write = clock.nsecsElapsed() / 1e9;
    return rig.sim.state().zones == zoneSet(points).zones;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SimOptions options;
    options.scanStream = !app.arguments().contains(QStringLiteral("--no-stream"));
    options.pauseStreamForZones = !app.arguments().contains(QStringLiteral("--shared-line"));
    options.paced = !app.arguments().contains(QStringLiteral("--unpaced"));
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    const double readWire = 64.0 * (kReadRequest + kBlockReply) / kWireBytesPerSecond;
    const double writeWire =
        (kBegin + kReply + 64.0 * (kBlockRequest + kReply)) / kWireBytesPerSecond;
    std::printf("scan stream: %s\n", !options.scanStream ? "off"
                                     : options.pauseStreamForZones
                                         ? "25 scans/s, held during zone transfers"
                                         : "25 scans/s, sharing the line");
    std::printf("wire time: read %.3f s, write %.3f s + 0.300 s pause\n", readWire, writeWire);
    for (bool throughWindow : {false, true}) {
        for (int points : {20, 540}) {
            Figures f;
            if (!(throughWindow ? runWindow(points, options, &f) : run(points, options, &f)))
                return 1;
            std::printf("%s, %3d points per area (config.ini %lld bytes): read %.3f s (%.3fx), "
                        "write %.3f s (%.3fx)\n",
                        throughWindow ? "window" : "worker", points, qlonglong(f.storeBytes),
                        f.read, f.read / readWire, f.write, f.write / (writeWire + 0.3));
        }
    }
    return 0;
}
