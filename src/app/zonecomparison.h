#pragma once

#include <QObject>
#include <QString>

class QWidget;
class WindowModes;
class ZoneCompareDialog;
class ZoneEditor;
class ZoneFiles;
class ZoneSet;
class ZoneStoreFile;
class ZoneTransfer;
struct SessionFailure;

namespace Ui {
class MainWindow;
}

// Comparing the zone store with a zone file or with the scanner's zones: the dialog that
// lists the differences (and follows the store while it is open), the chosen difference
// shown in the editor with the other outlines dashed over the store's, and the scanner's
// zones read afresh without touching the store.
class ZoneComparison : public QObject
{
    Q_OBJECT

public:
    ZoneComparison(Ui::MainWindow *form, QWidget *window, WindowModes *modes, ZoneStoreFile *store,
                   ZoneEditor *editor, ZoneFiles *files, ZoneTransfer *transfer,
                   QObject *parent = nullptr);

    // File, Compare with file: the file the user names.
    void compareWithChosenFile();
    bool compareWithZoneFile(const QString &path);
    // The scanner's zones read afresh; the dialog shows them once read.
    bool compareWithScanner();
    // Null until the first comparison.
    ZoneCompareDialog *dialog() const { return compareDialog; }

signals:
    // The editor shows a difference: the zone page must be in front.
    void zonePageWanted();

private:
    void show(const ZoneSet &other, const QString &name, bool scanner);
    void refresh();
    void refreshLater();
    void onScannerUnread(const SessionFailure &failure);
    void showDifferenceInEditor(int channel, int area);

    Ui::MainWindow *form;
    QWidget *window;
    WindowModes *modes;
    ZoneStoreFile *store;
    ZoneEditor *editor;
    ZoneFiles *files;
    ZoneTransfer *transfer;
    ZoneCompareDialog *compareDialog = nullptr;
    bool refreshPending = false;
};
