#include "clirun.h"

#include "outputtarget.h"
#include "scannersession.h"
#include "sessionwait.h"
#include "simulatorhost.h"

#include <QDir>

#include <cstdio>
#include <unistd.h>

Progress::Progress() : m_enabled(::isatty(STDERR_FILENO) == 1) {}

void Progress::show(const char *label, int done, int total)
{
    if (!m_enabled)
        return;
    // Carriage return and erase-to-end-of-line: the line is rewritten in place.
    std::fprintf(stderr, "\r%s %d/%d\x1b[K", label, done, total);
    std::fflush(stderr);
    m_shown = true;
}

void Progress::finish()
{
    if (!m_shown)
        return;
    std::fputc('\n', stderr);
    m_shown = false;
}

CliRun::CliRun(const CliOptions &options) : m_options(options), m_startDir(QDir::currentPath()) {}

CliRun::~CliRun()
{
    m_progress.finish();
    // The port closes before the simulated scanner behind it stops.
    m_wait.reset();
    m_session.reset();
    m_simulator.reset();
}

QString CliRun::userPath(const QString &path) const
{
    return QDir::cleanPath(QDir(m_startDir).absoluteFilePath(path));
}

int CliRun::outputTarget(const QString &shownName, const QStringList &inputs, QString *path)
{
    QStringList absolute;
    for (const QString &input : inputs)
        if (!input.isEmpty())
            absolute << userPath(input);
    OutputTarget target = checkOutputTarget(shownName, m_startDir, absolute);
    if (target.refusal == OutputTarget::OwnInput)
        target.detail = inputs.value(absolute.indexOf(target.detail), target.detail);
    if (!target)
        return usageError(QStringLiteral("cannot write %1: %2; nothing was written")
                              .arg(shownName, describeOutputRefusal(target)));
    *path = target.path;
    return ExitSuccess;
}

bool CliRun::connect()
{
    m_portName = resolvePortPath(m_options.port, m_startDir);
    if (m_options.demo) {
        m_simulator = std::make_unique<SimulatorHost>();
        QString error;
        if (!m_simulator->start(SimOptions(), &error)) {
            report(QStringLiteral("cannot start the simulated scanner: %1").arg(error));
            return false;
        }
        m_portName = m_simulator->devicePath();
    }
    m_session = std::make_unique<ScannerSession>();
    m_wait = std::make_unique<SessionWait>(m_session.get(), m_options.timeoutMs);
    m_session->setProbeTimeout(m_options.timeoutMs);
    if (!m_session->open(m_portName, m_options.baud)) {
        deviceFailure(QStringLiteral("cannot open the port: %1").arg(m_session->errorString()));
        return false;
    }
    // Any byte says a scanner is there; the probe's own time-out ends the wait otherwise,
    // and a connection that cannot be made ends it as a lost port.
    m_wait->until([this]() { return !m_session->isProbing(); }, -1);
    if (m_session->isLost()) {
        // A device server that refused or dropped the connection.
        deviceFailure(QStringLiteral("the link was lost: %1").arg(m_session->portError()));
        return false;
    }
    if (!m_session->worker()) {
        deviceFailure(QStringLiteral("no answer within %1 ms to the connection probe")
                          .arg(m_options.timeoutMs));
        return false;
    }
    return true;
}

void CliRun::report(const QString &line)
{
    m_progress.finish();
    std::fprintf(stderr, "areascan-cli: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

int CliRun::usageError(const QString &message)
{
    report(message);
    return ExitUsage;
}

int CliRun::deviceFailure(const QString &message)
{
    report(m_portName.isEmpty() ? message : QStringLiteral("%1: %2").arg(m_portName, message));
    return ExitDeviceFailure;
}

void printOut(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString countText(qint64 count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}
