#pragma once

#include "firmwareupdate.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;
class ScannerSession;
class WindowModes;
struct SessionFailure;

namespace Ui {
class MainWindow;
}

// The firmware group of the device page: choosing the image, starting the session's
// update, and its log. Every step of the update waits against a time-out of its own, so a
// scanner that stops answering ends the update with a log line instead of leaving it
// waiting for ever.
class FirmwarePanel : public QObject
{
    Q_OBJECT

public:
    FirmwarePanel(Ui::MainWindow *form, QWidget *window, ScannerSession *session,
                  WindowModes *modes, QObject *parent = nullptr);

    // Where the file name comes from: a file dialog unless replaced.
    void setFileProvider(std::function<QString()> provider) { fileProvider = std::move(provider); }

    // The select button: the file the update button sends.
    void chooseFile();
    // The update button: asks, takes the image and starts the update.
    void startUpdate();
    // A chunk was acknowledged.
    void logProgress(int index, int total);

signals:
    // The update failed and left the port closed: the link must not go on looking open.
    void linkGone();

private:
    void log(const QString &line);
    bool readImage(const QString &path, QByteArray *image);
    void onEvent(FirmwareUpdate::Event event);
    void onFinished();
    void onFailed(const SessionFailure &failure);

    Ui::MainWindow *form;
    QWidget *window;
    ScannerSession *session;
    WindowModes *modes;
    std::function<QString()> fileProvider;
};
