// Firmware update of a 256 KiB image through the paced simulated scanner (921600 baud,
// the bootloader taking each chunk at the wire rate), driven through the window as a
// user would: file chosen, Update pressed, Yes answered. Prints the time until the
// commit is confirmed next to the time the request bytes need on the wire. Prints
// figures only; it never fails on speed.
//   bench_firmware [KiB]

#include "firmwaretransfer.h"
#include "studiorig.h"

#include <QApplication>
#include <QFile>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdio>

namespace {
constexpr double kWireBytesPerSecond = 92160.0; // 921600 baud, 10 bits per byte
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int kib = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 256;
    StudioRig rig;
    SimOptions options; // paced at the wire rate
    options.dropTypes = {REQUEST_READ_AREA};
    DeviceState state;
    state.deviceMode = 1; // in its bootloader already: the reconnect period is not measured
    if (!rig.startScanner(state, options)) {
        std::fprintf(stderr, "bench_firmware: the simulated scanner did not start\n");
        return 1;
    }

    QByteArray image(kib * 1024, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 31 + i / 977);
    rig.firmwareFile = rig.dir.filePath(QStringLiteral("bench.bin"));
    {
        QFile out(rig.firmwareFile);
        if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size())
            return 1;
    }
    rig.boxes.answer(QStringLiteral("Are you sure you want to update the firmware"),
                     QMessageBox::Yes);

    // Connected once the read-out after connecting is over: the zone read at its end goes
    // unanswered and gives up at once.
    if (!rig.openWindow() || !rig.show() || !rig.connectAndSettle()) {
        std::fprintf(stderr, "bench_firmware: the window did not connect\n");
        return 1;
    }
    MainWindow &window = *rig.window;
    SimulatorHost &sim = rig.sim;
    Ui::MainWindow *ui = rig.ui();
    ui->selectFirmwareBtn->click();
    sim.clearLog();

    const QString done = QStringLiteral("The update is submitted successfully");
    ui->updateFirmwareBtn->click();
    // Only the last line is looked at: reading the whole log on every turn would cost more
    // than the update itself.
    const QTextDocument *log = ui->firmwarePlainTextEdit->document();
    // The update reports its end once the reply's handler has returned: the line may come
    // a turn of the event loop after the update stopped running.
    waitUntil([&]() { return !window.scannerSession()->firmware()->isRunning(); }, 120000);
    if (!waitUntil([&]() { return log->lastBlock().text() == done; }, 1000)) {
        std::fprintf(stderr, "bench_firmware: the update did not finish:\n%s\n",
                     qPrintable(ui->firmwarePlainTextEdit->toPlainText()));
        return 1;
    }

    waitUntil(
        [&]() {
            const QVector<ReceivedFrame> frames = sim.receivedFrames();
            return !frames.isEmpty() && frames.last().type == REQUEST_RESTART;
        },
        5000);

    // Times on the scanner's clock: from the device-mode question that starts the update
    // to the restart request that follows the confirmed commit.
    qint64 requestBytes = 0;
    qint64 start = -1, end = 0, firstChunk = -1, lastChunk = 0;
    for (const ReceivedFrame &frame : sim.receivedFrames()) {
        requestBytes += frame.raw.size();
        if (frame.type == REQUEST_DEVICE_MODE && start < 0)
            start = frame.msecs;
        if (frame.type == REQUEST_RESTART)
            end = frame.msecs;
        if (frame.type == REQUEST_FIRMWARE_DATA) {
            if (firstChunk < 0)
                firstChunk = frame.msecs;
            lastChunk = frame.msecs;
        }
    }
    const double wire = requestBytes / kWireBytesPerSecond;
    const double seconds = (end - start) / 1000.0;
    const int chunks = firmwareChunkCount(image.size());
    std::printf("image                 %d KiB, %d chunks\n", kib, chunks);
    std::printf("request bytes         %lld (%.3f s on the wire at 921600 baud)\n",
                static_cast<long long>(requestBytes), wire);
    std::printf("update to commit      %.3f s  (%.2f x the wire time)\n", seconds, seconds / wire);
    std::printf("first to last chunk   %.3f s  (%.2f ms per chunk)\n",
                (lastChunk - firstChunk) / 1000.0,
                chunks > 1 ? double(lastChunk - firstChunk) / (chunks - 1) : 0.0);
    return 0;
}
