// The tool's own latency in the zone transfers, measured at the simulated scanner: for
// every channel, the time from the last byte of a reply leaving the scanner (when its
// pacing hands that byte to the line) to the first byte of the next request coming in.
// The scanner paces strictly: an idle line lends no credit, so a delay of the tool cannot
// hide in the head start of the next frame. Full read and full write of all 64 channels,
// through the window (connect, then the upload button) and through areascan-cli
// (read-zones, then write-zones with its read-back), for a typical zone set (20-point
// polygons) and for 540 points in every area; and the session alone with the channels kept
// in memory, which is the link's own share; with --tcp the session once more through the
// simulator's serial device server on loopback (tcp://127.0.0.1:PORT), whose figures less
// the session's over the terminal are what the network path adds. Prints figures only.
//   QT_QPA_PLATFORM=offscreen bench_latency [--points N]
//                                           [--window-only | --cli-only | --link-only]
//                                           [--cli PATH] [--gaps] [--tcp]

#include "scannersession.h"
#include "studiorig.h"
#include "zoneblock.h"
#include "zoneread.h"
#include "zonestore.h"
#include "zonewrite.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

constexpr double kWireBytesPerSecond = 92160.0; // 921600 baud, ten bits per byte
constexpr int kReadRequest = 11, kReply = 12, kBlockReply = 12 + kZoneBlockBytes;
constexpr int kBegin = 10, kBlockRequest = 10 + kZoneBlockBytes;
constexpr double kBeginPause = 0.300; // the scanner's moment after the begin request

const double kReadWire = 64.0 * (kReadRequest + kBlockReply) / kWireBytesPerSecond;
const double kWriteWire = (kBegin + kReply + 64.0 * (kBlockRequest + kReply)) / kWireBytesPerSecond;

// Every area a polygon of n vertices on a circle in front of the scanner.
ZoneAreaRecord area(int channel, int k, int n)
{
    ZoneAreaRecord a;
    a.regionType = 1;
    a.onDelay = quint8(channel % 51);
    const double radius = 1000.0 * (3 - k) + channel;
    for (int i = 0; i < n; ++i) {
        const double angle = -0.7 + 4.5 * i / std::max(1, n - 1);
        a.points.append(QPoint(int(radius * std::cos(angle)), int(radius * std::sin(angle))));
    }
    return a;
}

DeviceState scannerWith(int n)
{
    DeviceState state;
    for (int channel = 0; channel < 64; ++channel) {
        for (int k = 0; k < 3; ++k) {
            const ZoneAreaRecord a = area(channel, k, n);
            ZoneArea &z = state.zone(channel, k);
            z = ZoneArea();
            z.regionType = a.regionType;
            z.onDelay = a.onDelay;
            z.points = a.points;
        }
    }
    return state;
}

void writeZoneFile(const QString &path, int n)
{
    QSettings store(path, QSettings::IniFormat);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord record;
        for (int k = 0; k < kAreasPerChannel; ++k)
            record[k] = area(channel, k, n);
        writeStoredChannel(store, channel, record);
    }
    store.sync();
}

SimOptions strictOptions()
{
    SimOptions o;
    o.paced = true;
    o.strictPacing = true;
    return o;
}

// One transfer as the scanner saw it: the requests of one type in order (from the
// first one at or after from), and the replies of that type in the same order.
struct Exchange
{
    QVector<ReceivedFrame> requests;
    QVector<SentReply> replies;
};

Exchange exchange(const SimulatorHost &sim, quint16 type, int skipRequests, int count)
{
    Exchange e;
    int seen = 0;
    for (const ReceivedFrame &f : sim.receivedFrames()) {
        if (f.type != type || !f.checksumOk)
            continue;
        if (seen++ >= skipRequests && e.requests.size() < count)
            e.requests.append(f);
    }
    seen = 0;
    for (const SentReply &r : sim.sentReplies()) {
        if (r.type != type)
            continue;
        if (seen++ >= skipRequests && e.replies.size() < count)
            e.replies.append(r);
    }
    return e;
}

bool printGaps = false;

struct Figures
{
    double median = 0, worst = 0, total = 0;
    int gaps = 0;
    double toolMs = 0;    // all gaps together
    double scannerMs = 0; // the scanner's own lateness beyond the line times, together
};

// The gaps between the reply to request i and request i + 1, in milliseconds, and the
// span from the first request's first byte to the last reply's last byte, in seconds.
bool measure(const Exchange &e, Figures *f, const char *what)
{
    if (e.requests.size() != 64 || e.replies.size() != 64) {
        std::fprintf(stderr, "%s: %d requests and %d replies, not 64\n", what,
                     int(e.requests.size()), int(e.replies.size()));
        return false;
    }
    QVector<double> gaps;
    f->scannerMs = 0;
    for (int i = 0; i < 64; ++i) {
        // From the request's first byte in: its line time, then the reply's line time.
        const SentReply &r = e.replies[i];
        const double requestLine = e.requests[i].raw.size() / kWireBytesPerSecond * 1e3;
        const double replyLine = r.size / kWireBytesPerSecond * 1e3;
        f->scannerMs += (r.lastByteNs - e.requests[i].firstByteNs) / 1e6 - requestLine - replyLine;
    }
    for (int i = 1; i < 64; ++i) {
        if (e.replies[i - 1].lastByteNs < 0) {
            std::fprintf(stderr, "%s: reply %d never left\n", what, i - 1);
            return false;
        }
        gaps.append((e.requests[i].firstByteNs - e.replies[i - 1].lastByteNs) / 1e6);
    }
    if (printGaps) {
        std::printf("%s gaps (ms):", what);
        for (double g : gaps)
            std::printf(" %.2f", g);
        std::printf("\n");
    }
    f->toolMs = std::accumulate(gaps.begin(), gaps.end(), 0.0);
    std::sort(gaps.begin(), gaps.end());
    f->median = gaps.at(gaps.size() / 2);
    f->worst = gaps.last();
    f->gaps = gaps.size();
    f->total = (e.replies.last().lastByteNs - e.requests.first().firstByteNs) / 1e9;
    return true;
}

// A full write counts from its begin request, the pause before the first block included.
void fromBeginRequest(const SimulatorHost &sim, Figures *write)
{
    const Exchange begin = exchange(sim, REQUEST_BEGIN_AREA_WRITE, 0, 1);
    const Exchange blocks = exchange(sim, REQUEST_WRITE_AREA, 0, 1);
    if (begin.requests.size() == 1 && blocks.requests.size() == 1)
        write->total +=
            (blocks.requests.first().firstByteNs - begin.requests.first().firstByteNs) / 1e9;
}

void print(const char *path, int points, const char *transfer, const Figures &f, double wire)
{
    std::printf("%-6s %3d points  %-5s per channel: median %6.3f ms, worst %7.3f ms;  total "
                "%.3f s = %.4fx the wire time (tool %.1f ms, scanner %.1f ms)\n",
                path, points, transfer, f.median, f.worst, f.total, f.total / wire, f.toolMs,
                f.scannerMs);
}

// Connect (the full read starts 1050 ms after the open), then the upload button.
bool throughWindow(int points)
{
    StudioRig rig;
    if (!rig.start(scannerWith(points), strictOptions()) || !rig.show()) {
        std::fprintf(stderr, "the simulated scanner or the window did not start\n");
        return false;
    }
    if (!rig.connectAndRead(60000)) {
        std::fprintf(stderr, "the window's full read did not end\n");
        return false;
    }
    const int readsBefore = rig.countOf(REQUEST_READ_AREA);
    Figures read;
    if (!measure(exchange(rig.sim, REQUEST_READ_AREA, 0, 64), &read, "window read"))
        return false;

    if (!rig.upload(60000)) {
        std::fprintf(stderr, "the window's upload did not end\n");
        return false;
    }
    Figures write;
    if (!measure(exchange(rig.sim, REQUEST_WRITE_AREA, 0, 64), &write, "window write"))
        return false;
    fromBeginRequest(rig.sim, &write);
    print("window", points, "read", read, kReadWire);
    print("window", points, "write", write, kWriteWire + kBeginPause);
    if (readsBefore != 65)
        std::fprintf(stderr, "note: %d zone reads after connecting, not 64 + 1\n", readsBefore);
    return rig.sim.state().zones == scannerWith(points).zones;
}

// The session alone, as the window and the tool drive it, with the channels kept in memory:
// what the link itself adds, apart from what its owner does with each channel. Over the
// terminal, or through the device server in front of it.
bool throughSession(int points, bool tcp = false, Figures *readOut = nullptr,
                    Figures *writeOut = nullptr)
{
    SimulatorHost sim;
    sim.setState(scannerWith(points));
    QString error;
    if (!sim.start(strictOptions(), &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return false;
    }
    ScannerSession session;
    QVector<ZoneChannelRecord> zones(kZoneChannelCount);
    QObject::connect(session.zoneRead(), &ZoneRead::channelReceived,
                     [&](int channel, const ZoneChannelRecord &areas) {
                         if (channel >= 0 && channel < zones.size())
                             zones[channel] = areas;
                     });
    bool read = false, written = false;
    QObject::connect(session.zoneRead(), &ZoneRead::finished, [&]() { read = true; });
    QObject::connect(session.zoneWrite(), &ZoneWrite::finished, [&]() { written = true; });
    if (tcp && sim.listenTcp(0, &error) == 0) {
        std::fprintf(stderr, "device server: %s\n", qPrintable(error));
        return false;
    }
    if (!session.open(tcp ? sim.tcpName() : sim.devicePath(), 921600) ||
        !waitUntil([&]() { return session.worker() != nullptr; }, 5000)) {
        std::fprintf(stderr, "the session did not connect\n");
        return false;
    }
    session.zoneRead()->start();
    if (!waitUntil([&]() { return read; }, 60000)) {
        std::fprintf(stderr, "the session's full read did not end\n");
        return false;
    }
    QVector<QByteArray> blocks;
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        blocks.append(encodeZoneBlock(channel, zones.at(channel)));
    session.zoneWrite()->start(blocks);
    if (!waitUntil([&]() { return written; }, 60000)) {
        std::fprintf(stderr, "the session's full write did not end\n");
        return false;
    }
    Figures r, w;
    if (!measure(exchange(sim, REQUEST_READ_AREA, 0, 64), &r, "session read") ||
        !measure(exchange(sim, REQUEST_WRITE_AREA, 0, 64), &w, "session write"))
        return false;
    fromBeginRequest(sim, &w);
    print(tcp ? "tcp" : "link", points, "read", r, kReadWire);
    print(tcp ? "tcp" : "link", points, "write", w, kWriteWire + kBeginPause);
    if (readOut)
        *readOut = r;
    if (writeOut)
        *writeOut = w;
    return sim.state().zones == scannerWith(points).zones;
}

bool runCli(const QString &cli, const QString &dir, const QStringList &args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(cli, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(args.join(' ')),
                     process.readAllStandardError().constData());
        return false;
    }
    return true;
}

// read-zones, then write-zones (the write and its read-back).
bool throughCli(const QString &cli, int points)
{
    QTemporaryDir dir;
    writeZoneFile(dir.filePath("zones.ini"), points);
    SimulatorHost sim;
    sim.setState(scannerWith(points));
    QString error;
    if (!sim.start(strictOptions(), &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return false;
    }
    const QStringList port{"--port", sim.devicePath()};
    if (!runCli(cli, dir.path(), port + QStringList{"read-zones", "back.ini"}))
        return false;
    Figures read;
    if (!measure(exchange(sim, REQUEST_READ_AREA, 0, 64), &read, "cli read"))
        return false;
    sim.clearLog();
    if (!runCli(cli, dir.path(), port + QStringList{"write-zones", "zones.ini"}))
        return false;
    Figures write, readBack;
    if (!measure(exchange(sim, REQUEST_WRITE_AREA, 0, 64), &write, "cli write") ||
        !measure(exchange(sim, REQUEST_READ_AREA, 0, 64), &readBack, "cli read-back"))
        return false;
    fromBeginRequest(sim, &write);
    print("cli", points, "read", read, kReadWire);
    print("cli", points, "write", write, kWriteWire + kBeginPause);
    print("cli", points, "back", readBack, kReadWire);
    return true;
}

// The link's debug lines (one per zone block) would bury the figures.
void quietDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qInstallMessageHandler(quietDebug);
    QVector<int> sets{20, 540};
    bool window = true, cli = true, link = true, tcp = false;
    QString cliPath = QStringLiteral(AREASCAN_CLI);
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == "--points" && i + 1 < args.size())
            sets = {args.at(++i).toInt()};
        else if (args.at(i) == "--window-only")
            cli = link = false;
        else if (args.at(i) == "--cli-only")
            window = link = false;
        else if (args.at(i) == "--link-only")
            window = cli = false;
        else if (args.at(i) == "--tcp")
            tcp = true;
        else if (args.at(i) == "--gaps")
            printGaps = true;
        else if (args.at(i) == "--cli" && i + 1 < args.size())
            cliPath = args.at(++i);
    }
    std::printf("strictly paced scanner, scan stream held during zone transfers\n");
    std::printf("wire time: read %.3f s, write %.3f s + %.3f s pause after the begin request\n",
                kReadWire, kWriteWire, kBeginPause);
    std::printf("per channel: last byte of a reply out -> first byte of the next request in "
                "(63 gaps per transfer); tool: the gaps together; scanner: its own lateness "
                "beyond the line times of requests and replies\n");
    for (int points : sets) {
        Figures serialRead, serialWrite, tcpRead, tcpWrite;
        if (link && !throughSession(points, false, &serialRead, &serialWrite))
            return 1;
        if (tcp) {
            if (!throughSession(points, true, &tcpRead, &tcpWrite))
                return 1;
            // What the device server's path adds to each channel, beyond the scanner's own
            // time over its terminal.
            std::printf("tcp    %3d points  added per channel: read %.3f ms, write %.3f ms "
                        "(totals %.3f s and %.3f s against %.3f s and %.3f s)\n",
                        points, (tcpRead.total - serialRead.total) * 1e3 / 64,
                        (tcpWrite.total - serialWrite.total) * 1e3 / 64, tcpRead.total,
                        tcpWrite.total, serialRead.total, serialWrite.total);
        }
        if (window && !throughWindow(points))
            return 1;
        if (cli && !throughCli(cliPath, points))
            return 1;
    }
    return 0;
}
