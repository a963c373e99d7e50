#pragma once

#include "recordingfile.h"
#include "recordingindex.h"
#include "scannerlink.h"

#include <QElapsedTimer>

class QTimer;
class RecordingDevice;

// A recording played back as if its scanner were on the line: the frames it holds come out
// of device() at their recorded pace (times the speed) for the worker to decode, and what is
// written goes nowhere (it is counted as sent, so a request simply goes unanswered). Opening
// reads and checks the file (readRecording's reasons are errorString()) and shows its first
// scan; playback then runs only when asked.
//
// Positions: the link has handed out the recording's frames up to position() - 1. Stepping
// and seeking move by whole scans (see RecordingIndex): the frames of the scan to show are
// handed out again after restarted(), so that a step back shows the scan before, and the
// worker's count of six frames a scan stays in step.
class RecordingLink : public ScannerLink
{
    Q_OBJECT

public:
    static constexpr double kMinSpeed = 0.25;
    static constexpr double kMaxSpeed = 8.0;

    explicit RecordingLink(const QString &path, QObject *parent = nullptr);
    ~RecordingLink() override;

    Kind kind() const override { return Kind::Recording; }
    QString name() const override { return m_path; }
    Opening open() override;
    void close() override;
    bool isOpen() const override;
    QIODevice *device() const override;
    QString errorString() const override { return m_error; }
    qint64 clockUs() const override;

    const RecordingFile &file() const { return m_file; }
    const RecordingIndex &index() const { return m_index; }
    // Bytes written to the recording, which sends nothing anywhere.
    qint64 bytesSwallowed() const;

    int position() const { return m_position; }
    // The time of the last frame handed out, after the first frame of the recording.
    qint64 positionUs() const;
    // The scan last shown whole; -1 before the first.
    int currentScan() const;
    bool isPlaying() const { return m_playing; }
    bool atEnd() const { return m_position >= m_file.frameCount(); }
    double speed() const { return m_speed; }
    // Whether the recorded replies are handed out with the scans (by default they are). The
    // window plays scans only: a recorded acknowledgement must not act as if it were new.
    void setRepliesHandedOut(bool on) { m_replies = on; }

public slots:
    void play();
    void pause();
    // Clamped to kMinSpeed..kMaxSpeed.
    void setSpeed(double speed);
    // One scan forward (delta 1) or back (-1), or more; playback pauses.
    void stepScans(int delta);
    // Shows the last scan that ended at or before timeUs (after the first frame).
    void seek(qint64 timeUs);
    // Shows the scan that frame belongs to (a mark's frame: the scan in which it changed).
    void seekToFrame(int frame);

signals:
    void positionChanged();
    void playingChanged(bool playing);
    void speedChanged(double speed);

private:
    void showScan(int scan);
    void handOut(int first, int last);
    void tick();
    void scheduleTick();
    qint64 playbackNowUs() const;

    QString m_path;
    QString m_error;
    RecordingFile m_file;
    RecordingIndex m_index;
    RecordingDevice *m_device;
    QTimer *m_timer;
    QElapsedTimer m_clock; // runs while playing, from m_anchorUs on
    qint64 m_anchorUs = 0;
    int m_position = 0;
    double m_speed = 1.0;
    bool m_playing = false;
    bool m_open = false;
    bool m_replies = true;
};
