// areascan-sim: a simulated scanner on a pseudo-terminal, for trying the tool without
// hardware. Runs until interrupted.

#include "simulatorhost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

bool parseShare(const QString &text, double *share)
{
    bool ok = false;
    *share = text.toDouble(&ok);
    return ok && *share >= 0 && *share <= 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("areascan-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AREASCAN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated laser area scanner on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Make a symbolic link to the device at <path>."),
                                  QStringLiteral("path"));
    const QCommandLineOption unpaced(QStringLiteral("unpaced"),
                                     QStringLiteral("Do not pace output at 921600 baud."));
    const QCommandLineOption strict(
        QStringLiteral("strict-pacing"),
        QStringLiteral("Pace without credit for an idle line; every frame ends on its line time."));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Answer nothing and stream no scans."));
    const QCommandLineOption corrupt(
        QStringLiteral("corrupt-share"),
        QStringLiteral("Spoil the checksum of this share (0..1) of frames."), QStringLiteral("x"));
    const QCommandLineOption garbage(
        QStringLiteral("garbage-share"),
        QStringLiteral("Put noise before this share (0..1) of frames."), QStringLiteral("x"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Write in small pieces of random size."));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed for noise and faults (default: random)."),
                                  QStringLiteral("n"));
    const QCommandLineOption refuse(
        QStringLiteral("refuse"),
        QStringLiteral("Answer requests of TYPE with STATUS and carry nothing out; repeatable."),
        QStringLiteral("TYPE=STATUS"));
    const QCommandLineOption drop(
        QStringLiteral("drop"),
        QStringLiteral("Carry out requests of TYPE but never answer; repeatable."),
        QStringLiteral("TYPE"));
    const QCommandLineOption unplug(
        QStringLiteral("unplug-after"),
        QStringLiteral("Pull the cable after the N-th request of TYPE, once its answer is out, "
                       "and plug a new terminal in MS later (with --link, under that name)."),
        QStringLiteral("TYPE:N[:MS]"));
    const QCommandLineOption lineFault(
        QStringLiteral("line-fault"),
        QStringLiteral("Once, for the N-th request of TYPE: damage-request (it arrives damaged), "
                       "lose-answer or damage-answer; repeatable."),
        QStringLiteral("KIND:TYPE:N"));
    const QCommandLineOption delay(
        QStringLiteral("delay-answer"),
        QStringLiteral("Once, answer the N-th request of TYPE MS milliseconds late; answers "
                       "due meanwhile wait behind it; repeatable."),
        QStringLiteral("TYPE:N:MS"));
    const QCommandLineOption refuseBlock(
        QStringLiteral("refuse-zone-block"),
        QStringLiteral("Refuse every zone block for CHANNEL (status 1, not stored)."),
        QStringLiteral("CHANNEL"));
    const QCommandLineOption dropBlock(
        QStringLiteral("drop-zone-block"),
        QStringLiteral("Drop every zone block for CHANNEL: neither stored nor answered."),
        QStringLiteral("CHANNEL"));
    const QCommandLineOption refuseChunk(
        QStringLiteral("refuse-firmware-chunk"),
        QStringLiteral("Refuse firmware chunk N (from 0 after each begin; status 1, not kept)."),
        QStringLiteral("N"));
    const QCommandLineOption dropChunk(
        QStringLiteral("drop-firmware-chunk"),
        QStringLiteral("Keep firmware chunk N (from 0 after each begin), then hang: it and "
                       "every chunk after it go unanswered until the next begin."),
        QStringLiteral("N"));
    const QCommandLineOption replay(
        QStringLiteral("replay"),
        QStringLiteral("Stream the scans of a recording (a pcap file the tool recorded) at their "
                       "recorded pace instead of the simulated room."),
        QStringLiteral("file"));
    const QCommandLineOption serial(
        QStringLiteral("serial"),
        QStringLiteral("Answer with this serial number (at most 9 bytes) instead of the "
                       "default, as a replacement unit would."),
        QStringLiteral("SN"));
    const QCommandLineOption loop(QStringLiteral("loop"),
                                  QStringLiteral("With --replay, start the recording over after "
                                                 "its last scan."));
    const QCommandLineOption damageEvery(
        QStringLiteral("damage-scan-every"),
        QStringLiteral("Send every N-th scan frame with a bad checksum."), QStringLiteral("N"));
    const QCommandLineOption errorBytes(
        QStringLiteral("error-bytes"),
        QStringLiteral("The scan frames' error byte takes these values in turn, each for SCANS "
                       "scans (default 25, one second), e.g. 0,3,0,0x81@10."),
        QStringLiteral("V,V,...[@SCANS]"));
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Also serve the scanner as a serial device server in raw TCP mode on "
                       "127.0.0.1:PORT (loopback only; 0 picks a free port), for tcp://."),
        QStringLiteral("PORT"));
    parser.addOptions({link,  unpaced,     strict,     silent,      corrupt,   garbage,
                       split, seed,        refuse,     drop,        unplug,    lineFault,
                       delay, refuseBlock, dropBlock,  refuseChunk, dropChunk, replay,
                       loop,  damageEvery, errorBytes, tcp});
    parser.addOption(serial);
    parser.process(app);

    SimOptions options;
    options.linkPath = parser.value(link);
    options.paced = !parser.isSet(unpaced);
    options.strictPacing = parser.isSet(strict);
    options.silent = parser.isSet(silent);
    options.splitWrites = parser.isSet(split);
    if (parser.isSet(corrupt) && !parseShare(parser.value(corrupt), &options.corruptShare)) {
        std::fprintf(stderr, "areascan-sim: --corrupt-share needs a number from 0 to 1\n");
        return 2;
    }
    if (parser.isSet(garbage) && !parseShare(parser.value(garbage), &options.garbageShare)) {
        std::fprintf(stderr, "areascan-sim: --garbage-share needs a number from 0 to 1\n");
        return 2;
    }
    // Request types in decimal or 0x hex, as the tool's log and the protocol tables give them.
    QString error;
    const auto fault = [&](const QCommandLineOption &option, auto add) {
        for (const QString &text : parser.values(option)) {
            if (!add(options, text, &error)) {
                std::fprintf(stderr, "areascan-sim: --%s: %s\n", qPrintable(option.names().first()),
                             qPrintable(error));
                return false;
            }
        }
        return true;
    };
    const auto index = [&](const QCommandLineOption &option, auto set, int &value) {
        return fault(option, [&](SimOptions &, const QString &text, QString *why) {
            return set(value, text, why);
        });
    };
    if (!fault(refuse, addRefusalOption) || !fault(drop, addDropOption) ||
        !fault(unplug, setUnplugOption) || !fault(lineFault, addLineFaultOption) ||
        !fault(delay, addAnswerDelayOption) ||
        !index(refuseBlock, setZoneBlockOption, options.refuseZoneBlock) ||
        !index(dropBlock, setZoneBlockOption, options.dropZoneBlock) ||
        !index(refuseChunk, setFirmwareChunkOption, options.refuseFirmwareChunk) ||
        !index(dropChunk, setFirmwareChunkOption, options.dropFirmwareChunk))
        return 2;
    if (!fault(errorBytes, setErrorBytesOption))
        return 2;
    if (parser.isSet(damageEvery)) {
        bool ok = false;
        options.damageScanEvery = parser.value(damageEvery).toInt(&ok);
        if (!ok || options.damageScanEvery < 1) {
            std::fprintf(stderr, "areascan-sim: --damage-scan-every needs a whole number from 1\n");
            return 2;
        }
    }
    quint16 tcpPort = 0;
    if (parser.isSet(tcp)) {
        bool ok = false;
        const uint port = parser.value(tcp).toUInt(&ok);
        if (!ok || port > 65535) {
            std::fprintf(stderr, "areascan-sim: --tcp needs a port from 0 to 65535\n");
            return 2;
        }
        tcpPort = quint16(port);
    }
    if (parser.isSet(loop) && !parser.isSet(replay)) {
        std::fprintf(stderr, "areascan-sim: --loop needs --replay FILE\n");
        return 2;
    }
    if (parser.isSet(replay)) {
        const QString file = parser.value(replay);
        if (!loadSimRecording(file, &options.replay, &error)) {
            std::fprintf(stderr, "areascan-sim: %s: cannot be replayed: %s\n", qPrintable(file),
                         qPrintable(error));
            return 2;
        }
        options.replayLoop = parser.isSet(loop);
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        options.seed = parser.value(seed).toUInt(&ok);
        if (!ok) {
            std::fprintf(stderr, "areascan-sim: --seed needs a non-negative integer\n");
            return 2;
        }
    }

    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        std::perror("areascan-sim: socketpair");
        return 1;
    }
    QSocketNotifier stopNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    SimulatorHost host;
    if (parser.isSet(serial)) {
        DeviceState state;
        if (!setSerialNumber(state, parser.value(serial), &error)) {
            std::fprintf(stderr, "areascan-sim: --serial: %s\n", qPrintable(error));
            return 2;
        }
        host.setState(state);
    }
    if (!host.start(options, &error)) {
        std::fprintf(stderr, "areascan-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("areascan-sim: scanner on %s\n", qPrintable(host.devicePath()));
    if (parser.isSet(tcp)) {
        if (!host.listenTcp(tcpPort, &error)) {
            std::fprintf(stderr, "areascan-sim: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("areascan-sim: device server on %s\n", qPrintable(host.tcpName()));
    }
    if (!options.linkPath.isEmpty())
        std::printf("areascan-sim: linked as %s\n", qPrintable(options.linkPath));
    if (options.replay.scanCount() > 0)
        std::printf("areascan-sim: replaying %d scan frames over %.1f s%s\n",
                    options.replay.scanCount(), options.replay.timesUs.constLast() / 1e6,
                    options.replayLoop ? ", in a loop" : "");
    std::fflush(stdout);

    const int rc = app.exec();
    host.stop();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return rc;
}
