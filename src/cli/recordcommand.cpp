// record: every frame the scanner sends, for a number of seconds, into a pcap file.
#include "clirun.h"
#include "commands.h"
#include "framerecorder.h"
#include "scannersession.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// The recording goes into a file of its own beside the target, which takes the target's
// place only once the recording has ended: an old file of that name stays as it was until
// then, and stays for good when the recording could not be written.
class PartFile
{
public:
    explicit PartFile(const QString &target) : m_target(target)
    {
        const QFileInfo info(target);
        QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                            QStringLiteral(".XXXXXX"));
        temp.setAutoRemove(false);
        if (temp.open())
            m_path = temp.fileName();
    }
    ~PartFile()
    {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }
    QString path() const { return m_path; }
    // Gives the part the permissions a file made in its place would have (those of the
    // file it replaces), then renames it over the target.
    bool commit(QString *error)
    {
        mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat old;
        const mode_t mode = ::stat(QFile::encodeName(m_target).constData(), &old) == 0
                                ? (old.st_mode & 07777)
                                : (0666 & ~mask);
        ::chmod(QFile::encodeName(m_path).constData(), mode);
        if (std::rename(QFile::encodeName(m_path).constData(),
                        QFile::encodeName(m_target).constData()) != 0) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_path.clear();
        return true;
    }

private:
    QString m_target;
    QString m_path;
};

} // namespace

int runRecord(CliRun &run)
{
    const QString shownName = run.options().operands.value(0);
    // Checked and made first, so that a refused or unwritable target stops the run before
    // anything is sent.
    QString path;
    if (const int status = run.outputTarget(shownName, {}, &path))
        return status;
    PartFile part(path);
    FrameRecorder recorder;
    QString error;
    if (part.path().isEmpty() || !recorder.start(part.path(), &error))
        return run.usageError(
            QStringLiteral("cannot write %1: %2")
                .arg(shownName, part.path().isEmpty()
                                    ? QStringLiteral("no file can be made beside it")
                                    : error));
    if (!run.connect()) {
        recorder.stop();
        return ExitDeviceFailure; // a file of no frames would only mislead
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
        QStringLiteral("%1 (%2, %3) in %4 s into %5, %6")
            .arg(countText(recorder.frameCount(), "frame", "frames"),
                 countText(recorder.scanFrameCount(), "scan frame", "scan frames"),
                 countText(recorder.frameCount() - recorder.scanFrameCount(), "reply", "replies"))
            .arg(recorder.elapsedMs() / 1000.0, 0, 'f', 1)
            .arg(shownName, countText(recorder.fileSize(), "byte", "bytes"));
    if (!writeError.isEmpty())
        return run.usageError(
            QStringLiteral("cannot write %1: %2; the recording stopped, nothing was kept: %3")
                .arg(shownName, writeError, summary));
    // What was recorded up to a lost port is kept as well: every packet in it is whole.
    QString renameError;
    if (!part.commit(&renameError))
        return run.usageError(QStringLiteral("cannot write %1: %2; recorded %3")
                                  .arg(shownName, renameError, summary));
    if (session.isLost())
        return run.deviceFailure(
            QStringLiteral("the port failed (%1); recorded %2").arg(session.portError(), summary));
    printOut(QStringLiteral("recorded %1\n").arg(summary));
    return ExitSuccess;
}
