#pragma once

#include "restoreplan.h"
#include "scannerbackup.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMainWindow;
class QProgressBar;
class ScannerRead;
class ScannerRestore;
class ScannerSession;
class ZoneEditor;
class ZoneStoreFile;
struct SessionFailure;
struct ZoneFileProblem;
struct ZoneReportData;

namespace Ui {
class MainWindow;
}

// The window's backup and restore of the whole scanner (File, Back up scanner… and Restore
// to scanner…): the file chosen, the scanner read or restored through the shared jobs of
// the backup library, a summary of what a restore changes before anything is sent, a
// progress bar in the status bar, and a box with the outcome. While one runs the zone
// transfers are its own: the window leaves their progress and ends to it.
//
// After a restore the store, the editor and the filter page show the scanner as it was read
// back (the filter page through the read answers it hears), and the editor's history is
// cleared as after a read.
class BackupRestore : public QObject
{
    Q_OBJECT

public:
    // What the window lends: its editor's channel saved into the store and whether the
    // store then holds zones the scanner never got, the views redrawn after the store took
    // the scanner's zones, and its words for a zone file's problem.
    struct Hooks
    {
        std::function<bool()> unsentZones;
        std::function<void()> zonesTaken;
        std::function<QString(const ZoneFileProblem &)> zoneProblemText;
    };

    BackupRestore(QMainWindow *window, Ui::MainWindow *form, ScannerSession *session,
                  ZoneStoreFile *store, ZoneEditor *editor, Hooks hooks);
    ~BackupRestore() override;

    QAction *backupAction() const { return m_backupAction; }
    QAction *restoreAction() const { return m_restoreAction; }
    // Replaces the dialogs that ask for the backup's file name (save: the backup's target).
    void setFileProvider(std::function<QString(bool save)> provider)
    {
        m_fileProvider = std::move(provider);
    }

    // A backup or a restore runs (the summary open included).
    bool isRunning() const;
    // The link is being closed by the window: what runs ends with its box.
    void stop();

    // The two actions' work on a file already named. False when nothing was started.
    bool backUpTo(const QString &path);
    bool restoreFrom(const QString &path);

    // The report of a scanner restored from a backup (data filled from what the window
    // shows), as long as it holds what the restore left (the same link, the backup's
    // settings and zones): the backup's file, serial and date name where the zones came
    // from, and its model and manufacturer stand where the window knows none.
    void describeRestoredScanner(ZoneReportData *data) const;

    // Whether the actions can be used now: a scanner's zones are read and nothing else runs.
    void updateActions();

private:
    void onBackupAction();
    void onRestoreAction();
    void onBackupRead();
    void onBackupFailed(const SessionFailure &failure);
    void onPlanReady();
    void onRestoreFinished();
    void takeScannerZones();
    void begin(const QString &format, int total);
    void end();
    QString planText(const RestorePlan &plan) const;
    QString outcomeText() const;
    QString failureText(const SessionFailure &failure) const;
    QString problemText(const BackupProblem &problem) const;
    QString settingCaption(int setting) const;
    QString settingValue(int setting, int wire) const;
    QString settingList(const QVector<int> &settings) const;

    QMainWindow *m_window;
    Ui::MainWindow *m_form;
    ScannerSession *m_session;
    ZoneStoreFile *m_store;
    ZoneEditor *m_editor;
    Hooks m_hooks;
    QAction *m_backupAction;
    QAction *m_restoreAction;
    QProgressBar *m_progress;
    ScannerRead *m_read;
    ScannerRestore *m_restore;
    std::function<QString(bool)> m_fileProvider;
    QString m_backupPath;  // the backup being written
    QString m_restorePath; // the backup being restored
    // What the last restore left, for the report.
    struct Restored
    {
        int connection = -1;
        QString file;
        ScannerBackup backup;
    };
    std::unique_ptr<Restored> m_restored;
};
