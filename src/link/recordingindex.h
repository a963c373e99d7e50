#pragma once

#include "linkdiagnostics.h"
#include "recordingfile.h"

#include <QVector>

// Where something happened in a recording: the outputs or the inputs changed, or the error
// byte of the scan frames became non-zero (or changed while non-zero).
struct RecordingMark
{
    enum Kind
    {
        Outputs,
        Inputs,
        Error,
    };
    Kind kind = Outputs;
    int frame = 0;     // of the recording's frames
    qint64 timeUs = 0; // after the recording's first frame
    int from = 0;
    int to = 0;
};

// What playback needs to know of a recording without going through it again: its scans (six
// scan frames each, counted as the worker counts them, from the first frame of the lowest
// sector on), the marks of its timeline, and the diagnostics figures after any frame,
// counted once with LinkDiagnostics when the recording is opened. Every question is
// answered by a binary search or a look-up, so a seek costs the same anywhere in the file.
class RecordingIndex
{
public:
    RecordingIndex() = default;
    explicit RecordingIndex(const RecordingFile &file);

    int scanCount() const { return m_scanCount; }
    // Frames of the recording that make up scan number scan (0 to scanCount() - 1).
    int scanFirstFrame(int scan) const { return m_scanFrames.at(m_firstScanFrame + 6 * scan); }
    int scanLastFrame(int scan) const { return m_scanFrames.at(m_firstScanFrame + 6 * scan + 5); }
    qint64 scanTimeUs(int scan) const;
    // The last scan that is whole once frames 0 to frame have been handed out; -1 none.
    int scanEndingBy(int frame) const;
    // The last scan whose last frame is at or before timeUs (after the first frame); 0
    // when none is.
    int scanAt(qint64 timeUs) const;

    const QVector<RecordingMark> &marks() const { return m_marks; }

    // The figures once frames 0 to frame have been handed out (-1: none yet); the scan rate
    // is that of the second before the frame.
    DiagnosticsFigures figuresAfter(int frame) const;
    // The changes seen by then (the first state included), with wall-clock times.
    QVector<SignalChange> changesAfter(int frame) const;

private:
    QVector<qint64> m_frameTimes; // of every frame, after the first
    QVector<int> m_scanFrames;    // frame number of every scan frame, in order
    QVector<qint64> m_scanTimes;  // time of every scan frame, in the same order
    int m_firstScanFrame = 0;     // of m_scanFrames, where the first scan starts
    int m_scanCount = 0;
    // After each frame: scan frames, damaged frames, non-zero error bytes, last error byte.
    QVector<qint32> m_scanFramesAfter;
    QVector<qint32> m_damagedAfter;
    QVector<qint32> m_nonZeroAfter;
    QVector<qint16> m_errorAfter;
    QVector<SignalChange> m_changes;
    QVector<int> m_changeFrames;
    QVector<RecordingMark> m_marks;
};
