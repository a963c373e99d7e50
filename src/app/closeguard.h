#pragma once

#include <QObject>
#include <QString>

class QMainWindow;
class QStatusBar;
class StatusPanel;
class ZoneEditor;
class ZoneFiles;
class ZoneStoreFile;

namespace Ui {
class MainWindow;
}

// The user's zones at the two ends of a run. Closing the window while the store (or the
// editor) holds zones the scanner has not received asks whether to save them to a zone
// file first, close without them, or stay. A run that ended without that question (a
// crash, a kill, a power cut) left a mark beside the store: the next start keeps the
// store in a zone file before it resets it, and says so in the status bar. And when
// another program changed the store behind the window, the status bar says that its
// change was taken (and where the zones it replaced were kept).
class CloseGuard : public QObject
{
    Q_OBJECT

public:
    // Before the start-up reset of the store.
    static void keepLastRun(const ZoneStoreFile *store, QStatusBar *statusBar);

    CloseGuard(Ui::MainWindow *form, QMainWindow *window, ZoneStoreFile *store, ZoneEditor *editor,
               ZoneFiles *files, StatusPanel *status, QObject *parent = nullptr);

    // The window is about to close: true when it may.
    bool mayClose();

private:
    void commitOpenCell();
    void onStoreChangedOnDisk(int changedAreas, const QString &keptCopy, const QString &error);

    Ui::MainWindow *form;
    QMainWindow *window;
    ZoneStoreFile *store;
    ZoneEditor *editor;
    ZoneFiles *files;
    StatusPanel *status;
};
