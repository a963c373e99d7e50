// record: every frame the scanner sends, for a number of seconds, into a pcap file.
#include "clirun.h"
#include "commands.h"
#include "framerecorder.h"
#include "scannersession.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

int runRecord(CliRun &run)
{
    const QString shownName = run.options().operands.value(0);
    const QString path = run.userPath(shownName);
    // Made first, so that an unwritable target stops the run before anything is sent.
    if (QFileInfo(path).isDir())
        return run.usageError(QStringLiteral("cannot write %1: it is a directory").arg(shownName));
    FrameRecorder recorder;
    QString error;
    if (!recorder.start(path, &error))
        return run.usageError(QStringLiteral("cannot write %1: %2").arg(shownName, error));
    if (!run.connect()) {
        recorder.stop();
        QFile::remove(path); // a file of no frames would only mislead
        return ExitDeviceFailure;
    }

    ScannerSession &session = run.session();
    QObject::connect(&session, &ScannerSession::frameReceived, &recorder, &FrameRecorder::addFrame);
    QString writeError;
    QEventLoop loop;
    QObject::connect(&recorder, &FrameRecorder::failed, &loop, [&](const QString &e) {
        writeError = e;
        loop.quit();
    });
    QObject::connect(&session, &ScannerSession::portLost, &loop, &QEventLoop::quit);
    const int seconds = run.options().seconds;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, &loop, [&]() {
        run.progress().show("recording: second", int(recorder.elapsedMs() / 1000), seconds);
    });
    progress.start(1000);
    loop.exec();
    progress.stop();
    recorder.stop();
    run.progress().finish();

    const QString summary =
        QStringLiteral("%1 frames (%2 scan frames, %3 replies) in %4 s into %5, %6 bytes")
            .arg(recorder.frameCount())
            .arg(recorder.scanFrameCount())
            .arg(recorder.frameCount() - recorder.scanFrameCount())
            .arg(recorder.elapsedMs() / 1000.0, 0, 'f', 1)
            .arg(shownName)
            .arg(recorder.fileSize());
    if (!writeError.isEmpty())
        return run.usageError(QStringLiteral("cannot write %1: %2; the recording stopped: %3")
                                  .arg(shownName, writeError, summary));
    if (session.isLost())
        return run.deviceFailure(
            QStringLiteral("the port failed (%1); recorded %2").arg(session.portError(), summary));
    printOut(QStringLiteral("recorded %1\n").arg(summary));
    return ExitSuccess;
}
