#pragma once

#include "sessionfailure.h"
#include "zoneblock.h"

#include <QObject>

class QTimer;
class ScannerSession;
class WorkerThread;

// Zone reads: the full read of all 64 channels, one at a time, each asked for when the
// previous one has arrived, and single reads of one channel. A channel whose answer is
// damaged or does not come within the time-out is asked for again, up to two more times,
// before the read fails. The next request goes out before a received channel is handed
// on, so whatever its owner does with it never holds up the wire.
class ZoneRead : public QObject
{
    Q_OBJECT

public:
    explicit ZoneRead(ScannerSession *session);

    // How long one attempt waits for its channel.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    bool isRunning() const { return m_running; }
    // The channel the full read waits for.
    int channel() const { return m_channel; }

    // Starts the full read at channel 0 (nothing when one runs or there is no link); when
    // the 64th channel has arrived it sends the request that closes a full read.
    void start();
    void readChannel(int channel);
    // Gives a running full read up; it reports failed(why).
    void stop(SessionFailure::Kind why);

    // The session hands over each new worker.
    void attach(WorkerThread *worker);

signals:
    void started();
    // Every zone block that arrives, full read or not: the channel as the scanner sent it,
    // then its number.
    void channelReceived(int channel, const ZoneChannelRecord &areas);
    void progress(int channel);
    void finished();
    void failed(const SessionFailure &failure);

private:
    void onBlock(int channel, const ZoneChannelRecord &areas);
    void onDamaged(RequestType type);
    void askAgain();
    void ask();
    void fail(SessionFailure::Kind kind, bool now);

    ScannerSession *m_session;
    QTimer *m_timer;
    int m_timeoutMs = 3000;
    bool m_running = false;
    int m_channel = 0;
    int m_attempt = 0;
};
