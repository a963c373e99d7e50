#include "linkdiagnostics.h"

#include "framecodec.h"

#include <QDateTime>
#include <QTextStream>

namespace {

constexpr qint64 kSecondUs = 1000000;
constexpr int kStateOffset = 14;

} // namespace

void LinkDiagnostics::addFrame(const char *frame, int length, qint64 timeUs)
{
    if (length < 4)
        return;
    const bool scan = quint8(frame[1]) == kScanMark;
    const bool sound = frameChecksumMatches(frame, length);
    if (!sound)
        ++m_figures.damagedFrames;
    if (!scan)
        return;
    ++m_figures.scanFrames;
    // Only about a second's worth is kept: the rate never looks further back.
    int old = 0;
    while (old < m_recentScans.size() && m_recentScans.at(old) <= timeUs - kSecondUs)
        ++old;
    m_recentScans.remove(0, old);
    m_recentScans.append(timeUs);
    if (!sound || length != kScanFrameSize)
        return;
    const quint8 error = quint8(frame[kStateOffset]);
    const quint8 output = quint8(frame[kStateOffset + 1]);
    const quint8 input = quint8(frame[kStateOffset + 2]);
    m_figures.lastError = error;
    if (error != 0)
        ++m_figures.nonZeroErrors;
    if (!m_haveState || output != m_output)
        m_changes.append({timeUs, SignalChange::Outputs, m_haveState ? m_output : -1, output});
    if (!m_haveState || input != m_input)
        m_changes.append({timeUs, SignalChange::Inputs, m_haveState ? m_input : -1, input});
    m_haveState = true;
    m_output = output;
    m_input = input;
}

DiagnosticsFigures LinkDiagnostics::figures(qint64 nowUs) const
{
    DiagnosticsFigures f = m_figures;
    qint64 recent = 0;
    for (int i = m_recentScans.size() - 1; i >= 0; --i) {
        const qint64 t = m_recentScans.at(i);
        if (t <= nowUs - kSecondUs)
            break;
        if (t <= nowUs)
            ++recent;
    }
    f.scansPerSecond = scanRate(recent);
    return f;
}

void LinkDiagnostics::clear()
{
    *this = LinkDiagnostics();
}

QString signalBits(SignalChange::Signal signal, int value)
{
    if (value < 0)
        return QString();
    const int bits = signal == SignalChange::Outputs ? 4 : 6;
    return QStringLiteral("%1").arg(value & ((1 << bits) - 1), bits, 2, QLatin1Char('0'));
}

QString changesCsv(const QVector<SignalChange> &changes, qint64 originUs)
{
    QString text;
    QTextStream out(&text);
    out << "time,seconds,signal,from,to\n";
    for (const SignalChange &c : changes) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(c.timeUs / 1000);
        out << at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) << ','
            << QString::number((c.timeUs - originUs) / 1e6, 'f', 3) << ','
            << (c.signal == SignalChange::Outputs ? "outputs" : "inputs") << ','
            << signalBits(c.signal, c.from) << ',' << signalBits(c.signal, c.to) << '\n';
    }
    out.flush();
    return text;
}
