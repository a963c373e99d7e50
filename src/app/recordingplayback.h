#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class PlaybackTimeline;
class QAction;
class QComboBox;
class QLabel;
class QMainWindow;
class QToolBar;
class QToolButton;
class RecordingLink;
class ScannerSession;
class WindowModes;

namespace Ui {
class MainWindow;
}

// A recording played in the window instead of a scanner (File, Open recording, or
// --play FILE): the session is given a RecordingLink, so the status page and the zone page
// show the recorded scans as they would a live scanner's, while the window is in its
// playback mode and sends nothing. The playback bar plays and pauses, steps one scan
// forward and back, sets the speed, seeks on the timeline and goes from mark to mark.
class RecordingPlayback : public QObject
{
    Q_OBJECT

public:
    RecordingPlayback(Ui::MainWindow *form, QMainWindow *window, ScannerSession *session,
                      WindowModes *modes, QObject *parent = nullptr);
    ~RecordingPlayback() override;

    // Where the file name comes from: an open dialog unless replaced (empty: cancelled).
    void setFileProvider(std::function<QString()> provider) { fileProvider = std::move(provider); }

    // Asks for a recording and opens it.
    void openChosen();
    // Opens the recording at path in place of any link; false, with a box unless
    // *refusal is given (the reason goes there then), for a file playback refuses.
    bool open(const QString &path, QString *refusal = nullptr);
    // Closes the recording; the window goes back to what it was before.
    void close();

    // The recording that plays; null when none is open.
    RecordingLink *link() const;
    PlaybackTimeline *timeline() const { return track; }
    QToolBar *bar() const { return playbar; }

    // The speeds the bar offers, slowest first.
    static const QVector<double> &speeds();
    // A position as the bar shows it: minutes, seconds and milliseconds.
    static QString timeText(qint64 us);

public slots:
    void playOrPause();
    void stepForward();
    void stepBack();
    void nextMark();
    void previousMark();

signals:
    void opened();
    void closed();
    // The recording was wound on or back, or played on.
    void positionChanged();

private:
    void buildBar();
    void showPosition();
    void showPlaying(bool playing);
    void goToMark(int mark);

    Ui::MainWindow *form;
    QMainWindow *window;
    ScannerSession *session;
    WindowModes *modes;
    QPointer<RecordingLink> recording;
    QAction *openAction = nullptr;
    QAction *closeAction = nullptr;
    QToolBar *playbar = nullptr;
    QToolButton *playButton = nullptr;
    QComboBox *speedBox = nullptr;
    PlaybackTimeline *track = nullptr;
    QLabel *timeLabel = nullptr;
    QLabel *nameLabel = nullptr;
    std::function<QString()> fileProvider;
};
