#pragma once

#include "restoreplan.h"
#include "scannerbackup.h"
#include "scannerread.h"
#include "sessionfailure.h"

#include <QObject>

class QTimer;
class ScannerSession;

// How a restore ended, with what was and was not written on the way.
struct RestoreOutcome
{
    enum Result
    {
        Equal,     // written and read back: the scanner equals the backup
        Differs,   // written and read back, but remaining names what still differs
        Failed,    // stopped at failedStage for failure
        Cancelled, // stopped before anything was sent
    };
    enum Stage
    {
        ReadingScanner,
        WritingSettings,
        SavingSettings,
        WritingZones,
        ReadingBack,
    };
    Result result = Cancelled;
    Stage failedStage = ReadingScanner;
    SessionFailure failure;
    // WritingSettings: the setting that was refused or did not take (an index into
    // filterSettings()) and, when it did not take, the value the scanner kept.
    int failedSetting = -1;
    int keptValue = -1;
    // The settings the scanner took, in the order they were sent; whether they were saved.
    QVector<int> settingsWritten;
    bool settingsSaved = false;
    // The zone write: whether it started, and how many channels (from 0) it stored.
    bool zonesStarted = false;
    int zonesStored = 0;
    // Equal and Differs: the scanner as read back, and what still differs from the backup.
    ScannerBackup readBack;
    RestorePlan remaining;
};

// A restore of a backup onto the scanner behind a session: the scanner is read first and
// the plan of what changes handed out (planReady) before anything is sent; proceed() then
// writes the settings that differ (each read back before the next goes), saves them, writes
// all 64 zone channels when any differs, and reads everything back. The restore counts as
// done only when every setting and the zone fingerprint read back equal the backup.
//
// A step that fails stops the restore at once: nothing further is sent, and the outcome
// says what the scanner took before.
class ScannerRestore : public QObject
{
    Q_OBJECT

public:
    explicit ScannerRestore(ScannerSession *session, QObject *parent = nullptr);

    // How long each question and setting waits for its answer; the zone transfers keep the
    // session's own time-outs.
    void setTimeout(int ms);
    bool isRunning() const { return m_running; }

    // Reads the scanner; planReady() or finished() (a failed read) follows. False, with
    // nothing sent, without a link or while a restore or a zone transfer runs.
    bool start(const ScannerBackup &backup);
    const ScannerBackup &backup() const { return m_backup; }
    const ScannerBackup &scannerBefore() const { return m_before; }
    const RestorePlan &plan() const { return m_plan; }

    // After planReady: write, or leave the scanner as it is (finished() with Cancelled).
    void proceed();
    void cancel();
    // Gives a running restore up (the link is being closed); finished() follows.
    void stop(SessionFailure::Kind why);

    const RestoreOutcome &outcome() const { return m_outcome; }

signals:
    // done of total within the stage: steps of a read, settings (and the save), channels.
    void progress(RestoreOutcome::Stage stage, int done, int total);
    void planReady();
    void finished();

private:
    void onReadFinished();
    void onReadFailed(const SessionFailure &failure);
    void writeNextSetting();
    void onResult(RequestType type, const QString &value);
    void onSettingRefused(RequestType type, int status);
    void onTimeout();
    void writeZones();
    void readBack();
    void askFor(RequestType type, const QString &value = QString());
    void fail(const SessionFailure &failure);
    void finish(RestoreOutcome::Result result);
    void disconnectZoneWrite();

    ScannerSession *m_session;
    ScannerRead *m_read;
    QTimer *m_timer;
    int m_timeoutMs = 5000;
    bool m_running = false;
    bool m_awaitingConfirmation = false;
    RestoreOutcome::Stage m_stage = RestoreOutcome::ReadingScanner;
    ScannerBackup m_backup;
    ScannerBackup m_before;
    RestorePlan m_plan;
    RestoreOutcome m_outcome;
    // The setting being written: its place in the plan, the request whose answer is
    // awaited, and the status of a refusal that came for it.
    int m_next = 0;
    RequestType m_awaited = REQUEST_CONNECT;
    int m_refusal = 0;
    QVector<QMetaObject::Connection> m_zoneWriteConnections;
};

// The outcome in English for areascan-cli: what failed or still differs, then what was and
// was not written. Empty for Equal.
QStringList describeRestoreOutcome(const RestoreOutcome &outcome, const RestorePlan &plan,
                                   const ZoneSet &backupZones, const QString &portError);
