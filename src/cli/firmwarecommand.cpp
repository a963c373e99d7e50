// firmware: the session's firmware update, the one the window's firmware page runs, with
// a time-out on each step, then the version the restarted scanner reports.
#include "clirun.h"
#include "commands.h"
#include "firmwaretransfer.h"
#include "firmwareupdate.h"
#include "scannersession.h"
#include "sessionwait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// How often the scanner is asked while it restarts, and how long it may take.
int askInterval(const CliRun &run)
{
    return std::min(run.options().timeoutMs, 250);
}

int restartDeadline(const CliRun &run)
{
    return 10 * run.options().timeoutMs;
}

// The restarted scanner goes quiet and may drop off the line for a while. Its mode is
// asked for again and again, the port reopened whenever it was lost, until the
// application answers.
bool waitForApplication(CliRun &run, QString *error)
{
    ScannerSession &session = run.session();
    SessionWait &wait = run.wait();
    const int interval = askInterval(run);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < restartDeadline(run)) {
        if (session.isLost() || !session.isOpen()) {
            if (!session.reopen()) {
                wait.pause(interval);
                continue;
            }
        }
        QString mode;
        if (wait.askWithin(REQUEST_DEVICE_MODE, interval, &mode)) {
            if (mode.toInt() == 0)
                return true;
            wait.pause(interval);
        }
    }
    *error = QStringLiteral("the scanner did not come back from its restart within %1 ms")
                 .arg(restartDeadline(run));
    return false;
}

QString failureText(CliRun &run, const SessionFailure &f)
{
    const QString chunk = QStringLiteral("%1/%2").arg(f.index + 1).arg(f.count);
    switch (f.kind) {
    case SessionFailure::NoBootloader:
        return QStringLiteral("the scanner did not come back in its bootloader within %1 ms")
            .arg(f.waitedMs);
    case SessionFailure::Refused:
        if (f.step == REQUEST_FIRMWARE_DATA)
            return QStringLiteral("the scanner refused firmware chunk %1 (status %2)")
                .arg(chunk)
                .arg(f.status);
        // A bootloader that refused to start has erased nothing and takes no image.
        return QStringLiteral("the scanner refused to start the update (status %1)").arg(f.status);
    case SessionFailure::Rejected:
        if (f.step == REQUEST_FIRMWARE_END)
            return QStringLiteral(
                       "the scanner reported an error at the end of the transfer (status %1)")
                .arg(f.status);
        if (f.step == REQUEST_FIRMWARE_VERIFY)
            return QStringLiteral("the scanner's MD5 check of the image failed (result %1)")
                .arg(f.status);
        return QStringLiteral("the scanner refused to commit the image (status %1)").arg(f.status);
    case SessionFailure::Unconfirmed:
        return QStringLiteral("the acknowledgement of firmware chunk %1 came late, damaged or "
                              "not at all, and a chunk carries no index: the bootloader may "
                              "hold it twice, so the update was stopped before the image "
                              "check; nothing was committed")
            .arg(chunk);
    case SessionFailure::PortLost:
    case SessionFailure::Closed:
        if (f.step == REQUEST_FIRMWARE_DATA)
            return QStringLiteral("the port failed (%1) while sending firmware chunk %2")
                .arg(run.session().portError(), chunk);
        return QStringLiteral("the port failed (%1) while waiting for the answer to %2")
            .arg(run.session().portError(), SessionWait::requestName(f.step));
    case SessionFailure::NoAnswer:
        break;
    }
    if (f.step == REQUEST_FIRMWARE_DATA)
        return QStringLiteral("no acknowledgement within %1 ms for firmware chunk %2")
            .arg(f.waitedMs)
            .arg(chunk);
    return QStringLiteral("no answer within %1 ms to %2")
        .arg(f.waitedMs)
        .arg(SessionWait::requestName(f.step));
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
    // Read once: what goes out is this copy, whatever happens to the user's file meanwhile.
    const QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return run.usageError(
            QStringLiteral("cannot read %1: %2").arg(shownName, file.errorString()));
    if (image.isEmpty())
        return run.usageError(QStringLiteral("%1 is empty; nothing was sent").arg(shownName));
    if (!run.connect())
        return ExitDeviceFailure;

    // Each step waits as long as any answer may take; the scanner is asked again and
    // again while it restarts into its bootloader, the port reopened only when it drops.
    FirmwareUpdate *update = run.session().firmware();
    const int timeout = run.options().timeoutMs;
    update->setStepTimeout(timeout);
    update->setFlashTimeout(timeout);
    update->setBootloaderTimeout(restartDeadline(run));
    update->setReconnectInterval(askInterval(run));
    update->setReopenEveryTick(false);
    update->setEnterAgain(false);
    const int chunks = firmwareChunkCount(image.size());
    bool finished = false;
    bool failed = false;
    SessionFailure failure;
    QObject guard;
    QObject::connect(update, &FirmwareUpdate::chunkAcknowledged, &guard, [&](int index, int) {
        run.progress().show("firmware: chunk", index + 1, chunks);
    });
    QObject::connect(update, &FirmwareUpdate::finished, &guard, [&]() { finished = true; });
    QObject::connect(update, &FirmwareUpdate::failed, &guard, [&](const SessionFailure &f) {
        failure = f;
        failed = true;
    });
    if (!update->start(image))
        return run.deviceFailure(QStringLiteral("the firmware update could not start"));
    run.wait().until([&]() { return finished || failed; }, -1, false);
    run.progress().finish();
    if (!finished)
        return run.deviceFailure(failureText(run, failure));

    // The restart request is out.
    QString reply, error;
    if (!waitForApplication(run, &error))
        return run.deviceFailure(error);
    if (!run.wait().ask(REQUEST_FIRMWARE_VERSION, &reply, &error))
        return run.deviceFailure(error);
    printOut(formatFields({{QStringLiteral("firmware"), reply, reply}}, run.options().json));
    return ExitSuccess;
}
