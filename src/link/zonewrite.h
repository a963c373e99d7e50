#pragma once

#include "linkprocedure.h"
#include "requesttype.h"
#include "sessionfailure.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QVector>

class QTimer;
class ScannerSession;

// The full zone write: the begin request, a pause the scanner needs, then the 64 blocks
// the caller encoded, each sent when the previous one was acknowledged. A block whose
// acknowledgement is damaged or does not come within the time-out is sent again, up to
// two more times; a refusal (a non-zero status) ends the write at once.
//
// An acknowledgement carries no channel. While only the block's own request is owed an
// answer, the answer that comes is that block's. Once a block was sent again after a
// time-out, or an earlier answer is still owed, an acknowledgement may belong to another
// request: the write then reads the channel back (a zone block names its channel) and
// counts it as stored only if the scanner holds what was sent; a refusal that may be
// another's is checked the same way. The write never reports a channel, or its end, on an
// answer it cannot place.
class ZoneWrite : public QObject, public LinkProcedure
{
    Q_OBJECT

public:
    explicit ZoneWrite(ScannerSession *session);

    // How long the begin request, and each attempt of a block or of its read-back, waits
    // for its answer, from the moment the request has left the port.
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

    bool takeAcknowledgement(RequestType type, int status) override;
    bool takeZoneBlock(int channel, const ZoneChannelRecord &areas) override;
    bool takeDamaged(RequestType type) override;
    void requestLeft(int sent) override;
    void linkEnded(SessionFailure::Kind why) override;

signals:
    // Block channel is stored (the next one is already on its way).
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
        ReadingBack,
    };
    void blockAnswered(int status, int owedBefore);
    void blockDamaged(int owedBefore);
    void readBackAnswered(int channel, const ZoneChannelRecord &areas);
    void readBackAnswer();
    void stored();
    void onTimeout();
    void sendBlock();
    void readBack();
    void askReadBack();
    void fail(SessionFailure::Kind kind, RequestType step, int status, bool now);

    ScannerSession *m_session;
    QTimer *m_timer;
    QTimer *m_pause;
    int m_timeoutMs = 3000;
    int m_pauseMs = 300;
    State m_state = Idle;
    QVector<QByteArray> m_blocks;
    int m_channel = 0;
    int m_attempt = 0;     // of the block
    int m_readAttempt = 0; // of its read-back
    int m_awaited = 0;     // the number of the request whose answer the step awaits
    // The block was sent again after a time-out: its first answer may still come.
    bool m_resent = false;
    // A refusal came that may have been another request's; the read-back decides.
    int m_doubtfulRefusal = 0;
    OwedAnswers m_blockAnswers;
    OwedAnswers m_readAnswers;
    QSet<int> m_readBackChannels; // the channels whose read-back answers are owed
};
