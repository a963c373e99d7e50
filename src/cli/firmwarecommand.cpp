// firmware: the whole update the window's firmware page runs, step by step with a
// time-out on each, then the version the restarted scanner reports.
#include "clirun.h"
#include "commands.h"
#include "devicelink.h"
#include "firmwaretransfer.h"
#include "workerthread.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

// The scanner restarts (into its bootloader, or back into the application): it goes
// quiet and may drop off the line for a while. Its mode is asked for again and again,
// the port reopened whenever it was lost, until it answers from the wanted side.
bool waitForMode(CliRun &run, bool bootloader, QString *error)
{
    DeviceLink &link = run.link();
    const int deadline = 10 * link.timeoutMs();
    const int interval = qMin(link.timeoutMs(), 250);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < deadline) {
        if (link.portLost() || !link.isOpen()) {
            if (!link.reopen()) {
                link.pause(interval);
                continue;
            }
        }
        QString mode;
        if (link.askWithin(REQUEST_DEVICE_MODE, interval, &mode)) {
            if ((mode.toInt() != 0) == bootloader)
                return true;
            link.pause(interval);
        }
    }
    *error = bootloader
                 ? QStringLiteral("the scanner did not come back in its bootloader within %1 ms")
                       .arg(deadline)
                 : QStringLiteral("the scanner did not come back from its restart within %1 ms")
                       .arg(deadline);
    return false;
}

// Sends every chunk on the previous one's acknowledgement, through the worker.
bool sendImage(CliRun &run, const QString &image, qint64 size, QString *error)
{
    DeviceLink &link = run.link();
    WorkerThread *worker = link.worker();
    const int chunks = firmwareChunkCount(size);
    int acknowledged = -1;
    int refusedStatus = 0;
    QObject guard;
    QObject::connect(worker, &WorkerThread::writeFirmwareDataProgress, &guard,
                     [&](int index, int) { acknowledged = index; });
    QObject::connect(worker, &WorkerThread::sendTransferRefused, &guard,
                     [&](RequestType, int status) { refusedStatus = status; });
    worker->onFirmwareWriteData(image);
    for (int chunk = 0; chunk < chunks; ++chunk) {
        const bool done = link.waitFor(
            [&]() { return acknowledged >= chunk || refusedStatus != 0; }, link.timeoutMs());
        if (done && refusedStatus == 0) {
            run.progress().show("firmware: chunk", chunk + 1, chunks);
            continue;
        }
        // A request without a file drops the worker's transfer: nothing more goes out.
        worker->onFirmwareWriteData(QString());
        if (refusedStatus != 0)
            *error = QStringLiteral("the scanner refused firmware chunk %1/%2 (status %3)")
                         .arg(chunk + 1)
                         .arg(chunks)
                         .arg(refusedStatus);
        else if (link.portLost())
            *error = QStringLiteral("the port failed (%1) while sending firmware chunk %2/%3")
                         .arg(link.portError())
                         .arg(chunk + 1)
                         .arg(chunks);
        else
            *error = QStringLiteral("no acknowledgement within %1 ms for firmware chunk %2/%3")
                         .arg(link.timeoutMs())
                         .arg(chunk + 1)
                         .arg(chunks);
        return false;
    }
    run.progress().finish();
    return true;
}

} // namespace

int runFirmware(CliRun &run)
{
    const QString shownName = run.options().operands.value(0);
    const QString path = run.userPath(shownName);
    if (QFileInfo(path).isDir())
        return run.usageError(QStringLiteral("%1 is a directory").arg(shownName));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return run.usageError(
            QStringLiteral("cannot read %1: %2").arg(shownName, file.errorString()));
    const QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return run.usageError(
            QStringLiteral("cannot read %1: %2").arg(shownName, file.errorString()));
    if (image.isEmpty())
        return run.usageError(QStringLiteral("%1 is empty; nothing was sent").arg(shownName));

    // The worker reads the image itself; it reads the copy taken now, whatever happens to
    // the user's file meanwhile.
    QTemporaryFile staged(QDir::temp().filePath(QStringLiteral("areascan-firmware-XXXXXX.bin")));
    if (!staged.open() || staged.write(image) != image.size() || !staged.flush())
        return run.deviceFailure(QStringLiteral("cannot write the working copy of the image: %1")
                                     .arg(staged.errorString()));
    const QString copy = staged.fileName();
    if (!run.connect())
        return ExitDeviceFailure;

    DeviceLink &link = run.link();
    QString reply, error;
    if (!link.ask(REQUEST_DEVICE_MODE, &reply, &error))
        return run.deviceFailure(error);
    if (reply.toInt() == 0) {
        link.send(REQUEST_ENTER_BOOTLOADER);
        if (!waitForMode(run, true, &error))
            return run.deviceFailure(error);
    }
    // A bootloader that refused to start has erased nothing and takes no image.
    if (!link.ask(REQUEST_FIRMWARE_BEGIN, &reply, &error))
        return run.deviceFailure(error);
    if (reply.toInt() != 0)
        return run.deviceFailure(
            QStringLiteral("the scanner refused to start the update (status %1)").arg(reply));
    if (!sendImage(run, copy, image.size(), &error))
        return run.deviceFailure(error);
    if (!link.ask(REQUEST_FIRMWARE_END, &reply, &error))
        return run.deviceFailure(error);
    if (reply.toInt() != 0)
        return run.deviceFailure(
            QStringLiteral("the scanner reported an error at the end of the transfer (status %1)")
                .arg(reply));
    if (!link.ask(REQUEST_FIRMWARE_VERIFY, &reply, &error))
        return run.deviceFailure(error);
    if (reply.toInt() != 1)
        return run.deviceFailure(
            QStringLiteral("the scanner's MD5 check of the image failed (result %1)").arg(reply));
    if (!link.ask(REQUEST_FIRMWARE_COMMIT, &reply, &error))
        return run.deviceFailure(error);
    if (reply.toInt() != 0)
        return run.deviceFailure(
            QStringLiteral("the scanner refused to commit the image (status %1)").arg(reply));
    link.send(REQUEST_RESTART);
    if (!waitForMode(run, false, &error))
        return run.deviceFailure(error);
    if (!link.ask(REQUEST_FIRMWARE_VERSION, &reply, &error))
        return run.deviceFailure(error);
    printOut(formatFields({{QStringLiteral("firmware"), reply, reply}}, run.options().json));
    return ExitSuccess;
}
