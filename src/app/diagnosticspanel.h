#pragma once

#include "linkdiagnostics.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class LinkMonitor;
class QDockWidget;
class QLabel;
class QMainWindow;
class QTableWidget;
class QTimer;
class RecordingPlayback;
class ScannerSession;

// The diagnostics panel (View it from File, Diagnostics): the health of the link and the
// scanner, live from the session's frames or, while a recording plays, as of the position
// played to: scans per second, damaged frames, bytes outside any frame, the error byte of
// the scan frames (the last value and how many were not zero), and the changes of the
// outputs and inputs with their times, which can be saved as CSV.
class DiagnosticsPanel : public QObject
{
    Q_OBJECT

public:
    DiagnosticsPanel(QMainWindow *window, ScannerSession *session, RecordingPlayback *playback,
                     QObject *parent = nullptr);
    ~DiagnosticsPanel() override;

    QDockWidget *dock() const { return panel; }
    LinkMonitor *monitor() const { return live; }
    // Where the CSV goes: a save dialog unless replaced (empty: cancelled).
    void setFileProvider(std::function<QString()> provider) { fileProvider = std::move(provider); }

    // What the panel shows now, from the recording when one plays, else from the live link.
    DiagnosticsFigures figures() const;
    QVector<SignalChange> changes() const;
    // The time the changes' seconds count from: the recording's first frame, or when the
    // live count started.
    qint64 originUs() const;

    // Shows the figures and changes as they are now.
    void refresh();
    // Asks for a file and saves the changes there as CSV; false when nothing was written.
    bool saveChanges();
    // Starts the live count afresh.
    void clear();

private:
    void showChanges(const QVector<SignalChange> &all);

    QMainWindow *window;
    ScannerSession *session;
    RecordingPlayback *playback;
    LinkMonitor *live;
    QDockWidget *panel;
    QLabel *rate;
    QLabel *damaged;
    QLabel *stray;
    QLabel *errorByte;
    QLabel *nonZero;
    QTableWidget *table;
    QTimer *timer;
    std::function<QString()> fileProvider;
};
