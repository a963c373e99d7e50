#pragma once

#include <QObject>
#include <QString>

#include <functional>

class FrameRecorder;
class QAction;
class QLabel;
class QMainWindow;
class QTimer;
class ScannerSession;
class WindowModes;

namespace Ui {
class MainWindow;
}

// Recording the scanner's frames into a pcap file (File, Record scans): the recorder is
// fed from the session while the action is checked, the status bar shows the time and
// size, and stopping, closing the port or losing it closes the file.
class ScanRecording : public QObject
{
    Q_OBJECT

public:
    ScanRecording(Ui::MainWindow *form, QMainWindow *window, ScannerSession *session,
                  WindowModes *modes, QObject *parent = nullptr);

    // Where the file name comes from: a save dialog unless replaced (empty: cancelled).
    void setFileProvider(std::function<QString()> provider) { fileProvider = std::move(provider); }
    FrameRecorder *recorder() const { return frames; }

    // The action checked (a file is asked for, then recording starts) or unchecked.
    void record(bool checked);
    // The file is closed and what it holds said in the status bar.
    void stop();

private:
    void onFailed(const QString &error);
    void showStatus();

    QMainWindow *window;
    ScannerSession *session;
    FrameRecorder *frames = nullptr;
    QAction *action = nullptr;
    QLabel *label = nullptr;
    QTimer *timer = nullptr;
    QMetaObject::Connection tap;
    std::function<QString()> fileProvider;
};
