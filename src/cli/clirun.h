#pragma once

#include "cliargs.h"

#include <QString>

#include <memory>

class ScannerSession;
class SessionWait;
class SimulatorHost;

// A progress line on standard error, only when that is a terminal: a script's log gets
// nothing but the errors.
class Progress
{
public:
    Progress();
    ~Progress() { finish(); }
    void show(const char *label, int done, int total);
    // Ends the line, so that what follows starts on a fresh one.
    void finish();

private:
    bool m_enabled = false;
    bool m_shown = false;
};

// One run of the companion: its options, the directory it was started in and its session
// with the scanner, the same the window drives. The run keeps what it reads in memory and
// writes only the files the user names, so it works in the folder it was started in.
class CliRun
{
public:
    explicit CliRun(const CliOptions &options);
    ~CliRun();
    CliRun(const CliRun &) = delete;
    CliRun &operator=(const CliRun &) = delete;

    const CliOptions &options() const { return m_options; }
    // A path the user named, made absolute against the start directory.
    QString userPath(const QString &path) const;
    // The file to write for the output the user named: 0 with its path in *path, or the
    // usage status after saying why the target is refused (outputtarget.h; inputs: the
    // files the command reads, as the user named them). Checked before anything is read
    // from the scanner, so a refused target costs nothing and writes nothing.
    int outputTarget(const QString &shownName, const QStringList &inputs, QString *path);

    // Starts the simulated scanner for --demo, opens the port and waits for the probe's
    // answer. False after reporting why.
    bool connect();
    ScannerSession &session() { return *m_session; }
    SessionWait &wait() { return *m_wait; }
    Progress &progress() { return m_progress; }

    // One line on standard error; each returns the exit status to end with.
    int usageError(const QString &message);
    int deviceFailure(const QString &message); // names the port first
    // A line on standard error that changes nothing of the outcome.
    void warning(const QString &message) { report(QStringLiteral("warning: ") + message); }

private:
    void report(const QString &line);

    CliOptions m_options;
    QString m_startDir;
    QString m_portName;
    std::unique_ptr<SimulatorHost> m_simulator;
    std::unique_ptr<ScannerSession> m_session;
    std::unique_ptr<SessionWait> m_wait;
    Progress m_progress;
};

// Prints text on standard output as it is (UTF-8).
void printOut(const QString &text);
// A count with its noun in English: "1 reply", "3 replies".
QString countText(qint64 count, const char *one, const char *many);
