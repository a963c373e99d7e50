#pragma once

#include "recordingindex.h"

#include <QVector>
#include <QWidget>

// Where a time of a recording lies on a track width pixels wide, and back; and which mark
// a click at x means: the nearest within reach pixels, or -1. Marks are in time order.
int timelineX(qint64 timeUs, qint64 durationUs, int width);
qint64 timelineTime(int x, qint64 durationUs, int width);
int markNear(const QVector<RecordingMark> &marks, int x, qint64 durationUs, int width, int reach);
// The first mark at a frame after frame, and the last one at a frame before it; -1 for none.
// Marks are in frame order.
int markAfter(const QVector<RecordingMark> &marks, int frame);
int markBefore(const QVector<RecordingMark> &marks, int frame);

// The timeline of a recording played back: the track from its first frame to its last, the
// marks where the outputs or inputs changed and where the error byte was not zero, and the
// position. A click or a drag seeks; a click on a mark goes to it.
class PlaybackTimeline : public QWidget
{
    Q_OBJECT

public:
    explicit PlaybackTimeline(QWidget *parent = nullptr);

    void setRecording(qint64 durationUs, const QVector<RecordingMark> &marks);
    void setPosition(qint64 timeUs);
    qint64 position() const { return m_positionUs; }
    qint64 duration() const { return m_durationUs; }
    const QVector<RecordingMark> &marks() const { return m_marks; }
    // The x of a time in the widget, for whoever clicks on it.
    int xOf(qint64 timeUs) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void seekRequested(qint64 timeUs);
    void markClicked(int mark);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    int trackWidth() const;
    qint64 timeAtX(int x) const;

    QVector<RecordingMark> m_marks;
    qint64 m_durationUs = 0;
    qint64 m_positionUs = 0;
};
