#pragma once

#include "requesttype.h"
#include "scannerbackup.h"
#include "sessionfailure.h"

#include <QObject>

class QTimer;
class ScannerSession;

// Reads what a backup holds from the scanner behind a session: its lot, serial and firmware
// version, its ten filter settings, then all 64 zone channels through the session's full
// zone read. One request at a time, each sent the moment the previous answer is in, so the
// read takes the wire time of its requests and little more. Driven by the event loop; the
// window and areascan-cli both run it.
//
// The zone read is the session's own: whoever else listens to it (the window) must tell the
// channels of this read from its own.
class ScannerRead : public QObject
{
    Q_OBJECT

public:
    // Identity and settings are asked for one by one, then the channels come.
    static constexpr int kQuestions = 3; // lot, serial, firmware
    static int stepCount();              // questions, settings and channels

    explicit ScannerRead(ScannerSession *session, QObject *parent = nullptr);

    // How long each question waits for its answer (the zone read has its own time-out).
    void setTimeout(int ms) { m_timeoutMs = ms; }
    bool isRunning() const { return m_step != Idle; }

    // Starts reading; false, and nothing sent, without a link or while a read runs.
    bool start();
    // Gives a running read up; it reports failed(why).
    void stop(SessionFailure::Kind why);

    // What was read: model and manufacturer are left empty (they are the tool's product
    // information, not the scanner's); createdAt is the moment the read ended.
    const ScannerBackup &result() const { return m_result; }

signals:
    void progress(int done, int total);
    void finished();
    void failed(const SessionFailure &failure);

private:
    enum Step
    {
        Idle,
        Asking,
        ReadingZones,
        AwaitingReadEnd,
    };
    void askNext();
    void onResult(RequestType type, const QString &value);
    void end();
    void onTimeout();
    void fail(SessionFailure::Kind kind, RequestType step, int index);
    void disconnectZoneRead();

    ScannerSession *m_session;
    QTimer *m_timer;
    int m_timeoutMs = 5000;
    Step m_step = Idle;
    int m_question = 0; // within the identity questions and the settings
    RequestType m_awaited = REQUEST_CONNECT;
    bool m_readEnded = false; // the answer that closes the zone read has come
    ScannerBackup m_result;
    QVector<QMetaObject::Connection> m_zoneReadConnections;
};

// What a failure of a read or a restore says, in English, for areascan-cli: "no answer
// within 5000 ms to the read of filter-strength", "the port failed (...) while waiting
// for zone channel 12".
QString describeScannerFailure(const SessionFailure &failure, const QString &portError);
