// What recording adds to the live link: the session against the simulated scanner paced
// at 921600 baud and 25 scans a second, once with nobody taking its frames and once with
// the frame recorder writing them to a pcap file, each phase as long. The session's
// worker and the recorder run on the main thread (the simulator has a thread of its own),
// so the main thread's CPU time is the link's own cost; the difference between the phases
// is what recording costs, as a share of one core. The recorder alone, fed the same
// frames as fast as it takes them, gives the same figure without the noise of a shared
// machine. Prints figures only.
//   bench_recording [seconds per phase, default 20]

#include "framecodec.h"
#include "framerecorder.h"
#include "scannersession.h"
#include "simulatorhost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

double threadCpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Phase
{
    double wall = 0;
    double cpu = 0;
    qint64 frames = 0;
    double share() const { return 100.0 * cpu / wall; }
};

Phase measure(int seconds, const std::function<qint64()> &frames)
{
    const qint64 before = frames();
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = threadCpuSeconds();
    runFor(seconds * 1000);
    Phase p;
    p.cpu = threadCpuSeconds() - cpu0;
    p.wall = clock.nsecsElapsed() / 1e9;
    p.frames = frames() - before;
    return p;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
    QTemporaryDir dir;

    SimulatorHost sim;
    QString error;
    if (!sim.start(SimOptions(), &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    ScannerSession session;
    if (!session.open(sim.devicePath(), 921600)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.devicePath()));
        return 1;
    }
    QElapsedTimer wait;
    wait.start();
    while (!session.worker() && wait.elapsed() < 5000)
        runFor(50);
    if (!session.worker()) {
        std::fprintf(stderr, "the simulated scanner did not answer the probe\n");
        return 1;
    }
    qint64 scans = 0;
    QObject::connect(&session, &ScannerSession::sendPointVec, &session, [&]() { ++scans; });
    runFor(1000); // settle

    const Phase plain = measure(seconds, [&]() { return scans; });
    FrameRecorder recorder;
    if (!recorder.start(dir.filePath("bench.pcap"), &error)) {
        std::fprintf(stderr, "recorder: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&session, &ScannerSession::frameReceived, &recorder, &FrameRecorder::addFrame);
    const Phase recording = measure(seconds, [&]() { return recorder.frameCount(); });
    recorder.stop();
    session.close();
    sim.stop();

    std::printf("link without recording   %.1f s: %lld scans, main thread %.3f s CPU = %.2f %% of "
                "one core\n",
                plain.wall, static_cast<long long>(plain.frames), plain.cpu, plain.share());
    std::printf("link while recording     %.1f s: %lld frames into %lld bytes, main thread "
                "%.3f s CPU = %.2f %% of one core\n",
                recording.wall, static_cast<long long>(recording.frames),
                static_cast<long long>(recorder.fileSize()), recording.cpu, recording.share());
    std::printf("recording's extra cost   %+.2f %% of one core (difference of the two phases)\n",
                recording.share() - plain.share());

    // The recorder alone: one minute of the stream (25 scans of six frames a second),
    // through the same copy the worker makes for each frame.
    const QByteArray frame(kScanFrameSize, '\x5a');
    FrameRecorder alone;
    if (!alone.start(dir.filePath("alone.pcap"), &error)) {
        std::fprintf(stderr, "recorder: %s\n", qPrintable(error));
        return 1;
    }
    const int frames = 60 * 25 * 6;
    const double cpu0 = threadCpuSeconds();
    for (int i = 0; i < frames; ++i)
        alone.addFrame(QByteArray(frame.constData(), frame.size()), 1700000000000000 + i * 6667);
    alone.stop();
    const double cpu = threadCpuSeconds() - cpu0;
    std::printf("recorder alone           %d frames (a minute of scans) in %.4f s CPU = %.1f us "
                "a frame = %.3f %% of one core at 25 scans/s\n",
                frames, cpu, 1e6 * cpu / frames, 100.0 * cpu / 60.0);
    return 0;
}
