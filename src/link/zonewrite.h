#pragma once

#include "requesttype.h"
#include "sessionfailure.h"

#include <QByteArray>
#include <QObject>
#include <QVector>

class QTimer;
class ScannerSession;
class WorkerThread;

// The full zone write: the begin request, a pause the scanner needs, then the 64 blocks
// the caller encoded, each sent when the previous one was acknowledged. A block whose
// acknowledgement is damaged or does not come within the time-out is sent again, up to
// two more times; a refusal (a non-zero status) ends the write at once.
class ZoneWrite : public QObject
{
    Q_OBJECT

public:
    explicit ZoneWrite(ScannerSession *session);

    // How long the begin request, and each attempt of a block, waits for its answer.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    // The scanner's moment between the begin acknowledgement and the first block.
    void setBeginPause(int ms) { m_pauseMs = ms; }
    bool isRunning() const { return m_state != Idle; }
    // The channel whose block is sent or awaited (0 before the first).
    int channel() const { return m_channel; }

    // False, sending nothing, when a write runs, there is no link, or blocks does not hold
    // one block per channel.
    bool start(const QVector<QByteArray> &blocks);
    void stop(SessionFailure::Kind why);

    void attach(WorkerThread *worker);

signals:
    // Block channel was acknowledged (the next one is already on its way).
    void progress(int channel);
    void finished();
    void failed(const SessionFailure &failure);

private:
    enum State
    {
        Idle,
        AwaitingBegin,
        Pausing,
        AwaitingBlock,
    };
    void onBegun();
    void onAcknowledged(int channel);
    void onRefused(RequestType type, int status);
    void onDamaged(RequestType type);
    void onTimeout();
    void sendBlock();
    void fail(SessionFailure::Kind kind, RequestType step, int status, bool now);

    ScannerSession *m_session;
    QTimer *m_timer;
    QTimer *m_pause;
    int m_timeoutMs = 3000;
    int m_pauseMs = 300;
    State m_state = Idle;
    int m_channel = 0;
    int m_attempt = 0;
};
