// backup and restore: a whole scanner (identity, the ten settings, all 64 zone channels)
// into one file, and that file onto another scanner with a check of everything at the end.
#include "clirun.h"
#include "commands.h"
#include "scannerbackup.h"
#include "scannerread.h"
#include "scannerrestore.h"
#include "scannersession.h"
#include "zonefingerprint.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QEventLoop>
#include <QSaveFile>

namespace {

// Runs the event loop until one of the object's signals has come.
template <typename Object, typename... Signals> void waitFor(Object *object, Signals... signalList)
{
    QEventLoop loop;
    (QObject::connect(object, signalList, &loop, &QEventLoop::quit), ...);
    loop.exec();
}

void useTimeouts(CliRun &run)
{
    const int ms = run.options().timeoutMs;
    run.session().zoneRead()->setTimeout(ms);
    run.session().zoneWrite()->setTimeout(ms);
}

const char *stageLabel(RestoreOutcome::Stage stage)
{
    switch (stage) {
    case RestoreOutcome::ReadingScanner:
        return "reading the scanner: step";
    case RestoreOutcome::WritingSettings:
    case RestoreOutcome::SavingSettings:
        return "writing settings:";
    case RestoreOutcome::WritingZones:
        return "writing zones: channel";
    case RestoreOutcome::ReadingBack:
        return "reading back: step";
    }
    return "";
}

} // namespace

int runBackup(CliRun &run)
{
    const QString shownName = run.options().operands.value(0);
    // Checked and opened first, so that a refused or unwritable target stops the run
    // before anything is sent; the file appears whole at the end or not at all.
    QString path;
    if (const int status = run.outputTarget(shownName, {}, &path))
        return status;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return run.usageError(
            QStringLiteral("cannot write %1: %2").arg(shownName, out.errorString()));
    if (!run.connect())
        return ExitDeviceFailure;
    useTimeouts(run);

    ScannerRead read(&run.session());
    read.setTimeout(run.options().timeoutMs);
    QObject::connect(&read, &ScannerRead::progress, &read, [&run](int done, int total) {
        run.progress().show("reading the scanner: step", done, total);
    });
    SessionFailure failure;
    bool failed = false;
    QObject::connect(&read, &ScannerRead::failed, &read, [&](const SessionFailure &f) {
        failure = f;
        failed = true;
    });
    if (!read.start())
        return run.deviceFailure(QStringLiteral("the scanner cannot be read now"));
    waitFor(&read, &ScannerRead::finished, &ScannerRead::failed);
    run.progress().finish();
    if (failed)
        return run.deviceFailure(describeScannerFailure(failure, run.session().portError()));

    ScannerBackup backup = read.result();
    readProductInformation(run, &backup.identity.model, &backup.identity.manufacturer);
    const QByteArray text = backupFileText(backup);
    if (text.isEmpty() || out.write(text) != text.size() || !out.commit())
        return run.usageError(QStringLiteral("cannot write %1: %2")
                                  .arg(shownName, text.isEmpty()
                                                      ? QStringLiteral("no temporary file")
                                                      : out.errorString()));
    return ExitSuccess;
}

int runRestore(CliRun &run)
{
    const QString shownName = run.options().operands.value(0);
    // Every part of the file is checked before the port is even opened.
    const BackupFile file = readBackupFile(run.userPath(shownName));
    if (!file.ok())
        return run.usageError(describeBackupProblem(file.problem, shownName) +
                              QStringLiteral("; nothing was sent"));
    if (!run.connect())
        return ExitDeviceFailure;
    useTimeouts(run);

    ScannerRestore restore(&run.session());
    restore.setTimeout(run.options().timeoutMs);
    QObject::connect(&restore, &ScannerRestore::progress, &restore,
                     [&run](RestoreOutcome::Stage stage, int done, int total) {
                         run.progress().show(stageLabel(stage), done, total);
                     });
    if (!restore.start(file.backup))
        return run.deviceFailure(QStringLiteral("the scanner cannot be read now"));
    waitFor(&restore, &ScannerRestore::planReady, &ScannerRestore::finished);
    run.progress().finish();

    // What changes, before anything is sent; a script's log keeps it.
    if (restore.isRunning()) {
        printOut(describeRestorePlan(restore.plan()).join(QLatin1Char('\n')) + QLatin1Char('\n'));
        restore.proceed();
        if (restore.isRunning())
            waitFor(&restore, &ScannerRestore::finished);
        run.progress().finish();
    }
    const RestoreOutcome &outcome = restore.outcome();
    if (outcome.result == RestoreOutcome::Equal) {
        printOut(
            QStringLiteral("restored: the scanner equals %1 (fingerprint %2)\n")
                .arg(shownName, QString::fromLatin1(zoneSetFingerprint(outcome.readBack.zones))));
        return ExitSuccess;
    }
    return run.deviceFailure(describeRestoreOutcome(outcome, restore.plan(), file.backup.zones,
                                                    run.session().portError())
                                 .join(QStringLiteral("; ")));
}
