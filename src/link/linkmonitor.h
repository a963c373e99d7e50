#pragma once

#include "linkdiagnostics.h"
#include "scannersession.h"

#include <QObject>

// The live link's diagnostics: every frame the session's workers cut from the stream is
// counted as it arrives (LinkDiagnostics), together with what they skipped. Counting starts
// afresh with every connection the session makes and whenever clear() is called.
class LinkMonitor : public QObject
{
    Q_OBJECT

public:
    explicit LinkMonitor(ScannerSession *session, QObject *parent = nullptr);

    // The figures now; the scan rate is that of the last second.
    DiagnosticsFigures figures() const;
    const QVector<SignalChange> &changes() const { return m_diagnostics.changes(); }
    // When counting started, wall-clock microseconds since 1970.
    qint64 startUs() const { return m_startUs; }
    void clear();

signals:
    // The outputs or inputs changed (or were first seen).
    void changesAdded();

private:
    void onFrame(const QByteArray &frame, qint64 arrivalUs);

    ScannerSession *m_session;
    LinkDiagnostics m_diagnostics;
    ScannerSession::ReceiveCounts m_baseline;
    qint64 m_startUs = 0;
};
