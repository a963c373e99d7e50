// A recording played in the window: opening a ten-minute recording (read, checked, indexed,
// first scan shown), seeking anywhere in it, and each scan drawn while it plays at 8×, on a
// recording of 25 scans a second whose outputs and error byte change now and then. The
// window is the real one on the rig; a scan counts as drawn once both scan displays have
// painted it. Prints figures only.
//   QT_QPA_PLATFORM=offscreen bench_playback [--minutes N] [--seconds-at-8x S]

#include "pcapbuilder.h"
#include "playbacktimeline.h"
#include "recordinglink.h"
#include "recordingplayback.h"
#include "studiorig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

using namespace pcapbuilder;

namespace {

// Scans with a person-like bump moving through them, so that every scan differs.
QByteArray recording(int minutes)
{
    const int scans = minutes * 60 * 25;
    QVector<Packet> packets;
    packets.reserve(scans * 6);
    for (int scan = 0; scan < scans; ++scan) {
        for (int sector = 0; sector < 6; ++sector) {
            ScanState state;
            state.sector = uchar(sector);
            state.output = uchar(scan / 250 % 3 == 1 ? 2 : 0);
            state.input = uchar(1 + scan / 1500 % 4);
            state.erro = uchar(scan % 997 < 3 ? 4 : 0);
            QVector<ushort> ranges(kPointsPerScanFrame);
            for (int i = 0; i < kPointsPerScanFrame; ++i) {
                const int point = sector * kPointsPerScanFrame + i;
                ranges[i] = ushort(std::abs(point - scan % 540) < 8 ? 1500 : 4000 + point);
            }
            packets.append(
                {buildScanFrame(state, ranges, QVector<ushort>(kPointsPerScanFrame, 900)),
                 kStartUs + qint64(scan * 6 + sector) * 40000 / 6});
        }
    }
    return pcapFile(packets);
}

double percentile(QVector<double> v, double p)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(std::min(int(v.size()) - 1, int(p * v.size())));
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Both scan displays painted now, as the next screen update would.
void paintViews(Ui::MainWindow *ui)
{
    ui->stateGraphicsView->viewport()->repaint();
    ui->areaMonitorGraphicsView->viewport()->repaint();
}

void quietDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(quietDebug);
    int minutes = 10;
    int seconds8x = 10;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == "--minutes")
            minutes = args.at(++i).toInt();
        else if (args.at(i) == "--seconds-at-8x")
            seconds8x = args.at(++i).toInt();
    }

    StudioRig rig;
    {
        QFile file(rig.dir.filePath("long.pcap"));
        const QByteArray bytes = recording(minutes);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        std::printf("recording: %d minutes, %d scans, %.1f MB\n", minutes, minutes * 1500,
                    bytes.size() / 1e6);
    }
    MainWindow &window = rig.windowAlone();
    window.resize(1280, 800);
    if (!rig.show(2))
        return 1;
    Ui::MainWindow *ui = window.ui();
    RecordingPlayback *playback = window.recordingPlayback();

    // Opening: the file read and checked, its index built, the first scan shown and drawn.
    QElapsedTimer clock;
    clock.start();
    QString refusal;
    if (!playback->open(rig.dir.filePath("long.pcap"), &refusal)) {
        std::fprintf(stderr, "refused: %s\n", qPrintable(refusal));
        return 1;
    }
    RecordingLink *link = playback->link();
    if (!waitUntil([&]() { return link->currentScan() == 0; }, 10000))
        return 1;
    paintViews(ui);
    const double openMs = clock.nsecsElapsed() / 1e6;
    std::printf("open: %.1f ms (%d marks)\n", openMs, int(link->index().marks().size()));

    // Seeking anywhere, the scan there shown and drawn.
    QVector<double> seeks;
    QRandomGenerator random(7);
    for (int i = 0; i < 200; ++i) {
        const qint64 to = qint64(random.bounded(double(link->file().durationUs())));
        clock.start();
        link->seek(to);
        paintViews(ui);
        seeks.append(clock.nsecsElapsed() / 1e6);
    }
    std::printf("seek anywhere (200): median %.2f ms, 90%% %.2f ms, worst %.2f ms\n",
                percentile(seeks, 0.5), percentile(seeks, 0.9), percentile(seeks, 1.0));

    // One scan after another, each drawn: what each scan costs at any speed.
    QVector<double> steps;
    link->seek(0);
    for (int i = 0; i < 500; ++i) {
        clock.start();
        link->stepScans(1);
        paintViews(ui);
        steps.append(clock.nsecsElapsed() / 1e6);
    }
    std::printf("each scan shown and drawn (500 steps): median %.2f ms, 90%% %.2f ms, worst "
                "%.2f ms\n",
                percentile(steps, 0.5), percentile(steps, 0.9), percentile(steps, 1.0));

    // Playing at 8× in the event loop: the window's thread's time over the scans shown.
    link->seek(0);
    link->setSpeed(8);
    int shown = 0;
    QObject::connect(window.scannerSession(), &ScannerSession::sendPointVec,
                     [&shown](QVector<float>, QVector<ushort>, QVector<ushort>) { ++shown; });
    const int startScan = link->currentScan();
    const double cpu0 = threadCpuMs();
    clock.start();
    link->play();
    QTest::qWait(seconds8x * 1000);
    link->pause();
    const double wallMs = clock.nsecsElapsed() / 1e6;
    const double cpuMs = threadCpuMs() - cpu0;
    const int scans = link->currentScan() - startScan;
    std::printf("8x for %.1f s: %d scans (%.1f a second, %.1f expected), %d point batches; the "
                "window's thread busy %.1f ms = %.2f ms a scan (%.0f%% of the time)\n",
                wallMs / 1e3, scans, scans / (wallMs / 1e3), 25.0 * 8, shown, cpuMs,
                scans > 0 ? cpuMs / scans : 0.0, cpuMs / wallMs * 100);
    return 0;
}
