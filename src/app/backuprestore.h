#pragma once

#include "restoreplan.h"
#include "scannerbackup.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QMainWindow;
class QProgressBar;
class ScannerRead;
class ScannerRestore;
class ScannerSession;
class WindowModes;
class ZoneEditor;
class ZoneStoreFile;
class ZoneTransfer;
struct SessionFailure;
struct ZoneReportData;

namespace Ui {
class MainWindow;
}

// The window's backup and restore of the whole scanner (File, Back up scanner… and Restore
// to scanner…): the file chosen, the scanner read or restored through the shared jobs of
// the backup library, a summary of what a restore changes before anything is sent, a
// progress bar in the status bar, and a box with the outcome. While one runs the window is
// in the backing-up or restoring mode, and the zone transfers are its own.
//
// After a restore the store, the editor and the filter page show the scanner as it was read
// back (the filter page through the read answers it hears), and the editor's history is
// cleared as after a read.
class BackupRestore : public QObject
{
    Q_OBJECT

public:
    BackupRestore(Ui::MainWindow *form, QMainWindow *window, ScannerSession *session,
                  WindowModes *modes, ZoneStoreFile *store, ZoneEditor *editor,
                  ZoneTransfer *transfer, QObject *parent = nullptr);
    ~BackupRestore() override;

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

signals:
    // The store took the zones the scanner holds after a restore.
    void zonesUpdated();

private:
    void onBackupAction();
    void onRestoreAction();
    void onBackupRead();
    void onBackupFailed(const SessionFailure &failure);
    void onPlanReady();
    void onRestoreFinished();
    void takeScannerZones();
    void begin(bool restore, const QString &format, int total);
    void end();
    QString planText(const RestorePlan &plan) const;
    QString outcomeText() const;
    QString failureText(const SessionFailure &failure) const;
    QString problemText(const BackupProblem &problem) const;
    QString settingCaption(int setting) const;
    QString settingValue(int setting, int wire) const;
    QString settingList(const QVector<int> &settings) const;

    Ui::MainWindow *m_form;
    QMainWindow *m_window;
    ScannerSession *m_session;
    WindowModes *m_modes;
    ZoneStoreFile *m_store;
    ZoneEditor *m_editor;
    ZoneTransfer *m_transfer;
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
