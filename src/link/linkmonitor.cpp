#include "linkmonitor.h"

#include "scannerlink.h"

LinkMonitor::LinkMonitor(ScannerSession *session, QObject *parent)
    : QObject(parent), m_session(session)
{
    connect(session, &ScannerSession::frameReceived, this, &LinkMonitor::onFrame);
    connect(session, &ScannerSession::probeAnswered, this, &LinkMonitor::clear);
    clear();
}

void LinkMonitor::clear()
{
    m_diagnostics.clear();
    m_baseline = m_session->receiveCounts();
    m_startUs = wallClockUs();
}

void LinkMonitor::onFrame(const QByteArray &frame, qint64 arrivalUs)
{
    const int before = m_diagnostics.changes().size();
    m_diagnostics.addFrame(frame.constData(), frame.size(), arrivalUs);
    if (m_diagnostics.changes().size() != before)
        emit changesAdded();
}

DiagnosticsFigures LinkMonitor::figures() const
{
    DiagnosticsFigures f = m_diagnostics.figures(wallClockUs());
    const ScannerSession::ReceiveCounts now = m_session->receiveCounts();
    f.strayBytes += now.skippedBytes - m_baseline.skippedBytes;
    f.damagedFrames += now.badScanHeaders - m_baseline.badScanHeaders;
    return f;
}
