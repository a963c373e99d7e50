#pragma once

#include "linkprocedure.h"
#include "sessionfailure.h"
#include "zoneblock.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

class QTimer;
class ScannerSession;

// Zone reads: the full read of all 64 channels, one at a time, each asked for when the
// previous one has arrived, and single reads of one channel. A channel whose answer is
// damaged or does not come within the time-out is asked for again, up to two more times,
// before the read fails. The next request goes out before a received channel is handed
// on, so whatever its owner does with it never holds up the wire.
//
// Only a block that a read awaits is handed on: the full read's current channel, or the
// channel of a single read within its time-out. A block that comes after its read ended,
// failed or moved on (the late answer to a request asked again) is dropped, so that it
// can overwrite nothing the owner has since changed.
class ZoneRead : public QObject, public LinkProcedure
{
    Q_OBJECT

public:
    explicit ZoneRead(ScannerSession *session);

    // How long one attempt waits for its channel, from the moment its request has left
    // the port.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    bool isRunning() const { return m_running; }
    // The channel the full read waits for.
    int channel() const { return m_channel; }

    // Starts the full read at channel 0 (nothing when one runs or there is no link); when
    // the 64th channel has arrived it sends the request that closes a full read.
    void start();
    // Reads one channel on its own; its block is handed on if it comes within the
    // time-out. It is not asked for again.
    void readChannel(int channel);
    // Gives a running full read up; it reports failed(why).
    void stop(SessionFailure::Kind why);

    bool takeZoneBlock(int channel, const ZoneChannelRecord &areas) override;
    bool takeDamaged(RequestType type) override;
    void requestLeft(int sent) override;
    void linkEnded(SessionFailure::Kind why) override;

signals:
    void started();
    // A block a read awaited: the channel as the scanner sent it, then its number.
    void channelReceived(int channel, const ZoneChannelRecord &areas);
    void progress(int channel);
    void finished();
    void failed(const SessionFailure &failure);

private:
    void askAgain();
    void ask();
    bool takeSingle(int channel);
    void fail(SessionFailure::Kind kind, bool now);

    ScannerSession *m_session;
    QTimer *m_timer;
    int m_timeoutMs = 3000;
    bool m_running = false;
    int m_channel = 0;
    int m_attempt = 0;
    int m_asked = 0; // the number of the full read's latest request
    OwedAnswers m_owed;
    // Single reads: the channels awaited and until when (ms on m_clock; -1 while the
    // request has not left the port yet), and the requests not yet out.
    QHash<int, qint64> m_singles;
    QHash<int, int> m_singleRequests; // request number -> channel
    QElapsedTimer m_clock;
};
