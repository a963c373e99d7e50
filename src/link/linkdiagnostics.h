#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

// The health of the link and the scanner over time, counted from the frames as they were
// cut from the stream: the live link and a recording's playback count with this same
// class, so both show the same figures for the same frames.

// The outputs or the inputs of the scan frames changed.
struct SignalChange
{
    enum Signal
    {
        Outputs,
        Inputs,
    };
    qint64 timeUs = 0; // wall-clock time, microseconds since 1970
    Signal signal = Outputs;
    int from = -1; // -1: the first state seen
    int to = 0;
    bool operator==(const SignalChange &o) const
    {
        return timeUs == o.timeUs && signal == o.signal && from == o.from && to == o.to;
    }
};

struct DiagnosticsFigures
{
    // Scan frames in the second up to now, over the six frames of a scan.
    double scansPerSecond = 0;
    qint64 scanFrames = 0; // good and damaged
    // Scan and reply frames whose checksum failed, and scan headers of an impossible
    // length.
    qint64 damagedFrames = 0;
    // Bytes the frame search skipped: noise, and whatever was left of a damaged reply.
    qint64 strayBytes = 0;
    int lastError = -1;       // the error byte of the last good scan frame; -1 none yet
    qint64 nonZeroErrors = 0; // good scan frames whose error byte was not 0
};

class LinkDiagnostics
{
public:
    // One whole frame as cut from the stream (a scan frame or a reply, damaged or not)
    // whose last bytes arrived at timeUs.
    void addFrame(const char *frame, int length, qint64 timeUs);
    void addStrayBytes(qint64 count) { m_figures.strayBytes += count; }
    void addBadScanHeaders(qint64 count) { m_figures.damagedFrames += count; }

    // The figures as of nowUs (the scan rate counts the frames of the second before it).
    DiagnosticsFigures figures(qint64 nowUs) const;
    // The same without the scan rate, which needs a moment to count up to.
    const DiagnosticsFigures &counts() const { return m_figures; }
    // The first state bytes seen (from -1), then every change, oldest first.
    const QVector<SignalChange> &changes() const { return m_changes; }
    void clear();

private:
    DiagnosticsFigures m_figures;
    QVector<qint64> m_recentScans; // times of the scan frames of about the last second
    QVector<SignalChange> m_changes;
    bool m_haveState = false;
    quint8 m_output = 0;
    quint8 m_input = 0;
};

// Scans a second from the times of count scan frames in the second up to now.
inline double scanRate(qint64 framesInLastSecond)
{
    return framesInLastSecond / 6.0;
}

// The changes as CSV, one line each after a header: the time (local, to the millisecond),
// the seconds since origin, which signal, and its state before and after as bits (bit 0
// last).
QString changesCsv(const QVector<SignalChange> &changes, qint64 originUs);
// Bits of a state byte as text: 4 for the outputs, 6 for the inputs, bit 0 last.
QString signalBits(SignalChange::Signal signal, int value);
