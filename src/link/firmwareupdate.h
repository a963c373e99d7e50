#pragma once

#include "linkprocedure.h"
#include "requesttype.h"
#include "sessionfailure.h"

#include <QByteArray>
#include <QObject>

class QTimer;
class ScannerSession;

// The firmware update: ask the device mode; if the application runs, send it into its
// bootloader and wait for the bootloader with the reconnect loop; begin (the bootloader
// erases its flash), send the image chunk by chunk, end, let the bootloader check the MD5
// digest, commit (it writes its flash) and restart. Every step waits for its answer
// against a time-out of its own, from the moment its request has left the port; only the
// answer the running step waits for moves the update on.
//
// Chunks and their acknowledgements carry no index, and the bootloader appends whatever
// chunk arrives. A chunk whose acknowledgement does not come is sent again (the chunk may
// have been lost on its way), up to two more times; but once it has gone twice, an
// acknowledgement cannot tell whether the bootloader holds it once or twice, and a damaged
// acknowledgement says the bootloader has the chunk already. Either way the image may hold
// a chunk twice and can no longer pass its check: the update ends at once (Unconfirmed)
// rather than send the rest of an image that is doomed.
class FirmwareUpdate : public QObject, public LinkProcedure
{
    Q_OBJECT

public:
    enum Step
    {
        Idle,
        AskingMode,
        AwaitingBootloader,
        Beginning,
        SendingChunks,
        Ending,
        Verifying,
        Committing,
    };
    Q_ENUM(Step)

    // What the update reports on its way, for a log.
    enum Event
    {
        EnteringBootloader, // the application was asked to restart into its bootloader
        InBootloader,       // the bootloader answered
        ErasingFlash,       // the begin request is out; it may take the flash time-out
        TransferStarted,    // the bootloader took the begin request
        TransferEnded,      // it took the end of the image
        ImageVerified,      // the digest matched
        WritingFlash,       // the commit request is out; it may take the flash time-out
    };
    Q_ENUM(Event)

    explicit FirmwareUpdate(ScannerSession *session);

    // The time-out of an ordinary step, of the steps that erase or write the flash (begin,
    // commit), and of the whole wait for the bootloader.
    void setStepTimeout(int ms) { m_stepMs = ms; }
    void setFlashTimeout(int ms) { m_flashMs = ms; }
    void setBootloaderTimeout(int ms) { m_bootloaderMs = ms; }
    int stepTimeout() const { return m_stepMs; }
    int flashTimeout() const { return m_flashMs; }
    int bootloaderTimeout() const { return m_bootloaderMs; }
    // The reconnect loop while the scanner restarts into its bootloader: every interval it
    // opens the port again (every time, or only when the port was lost or closed) and asks
    // the device mode. With askAgain, every answer that the application still runs sends
    // it into its bootloader once more.
    void setReconnectInterval(int ms);
    void setReopenEveryTick(bool every) { m_reopenEveryTick = every; }
    void setEnterAgain(bool again) { m_enterAgain = again; }
    QTimer *reconnectTimer() const { return m_reconnect; }

    bool isRunning() const { return m_step != Idle; }
    Step step() const { return m_step; }
    // While the loop waits for the bootloader, the port is its own: a line that drops is
    // opened again rather than reported as lost.
    bool ownsThePort() const;

    // False, sending nothing, for an empty image, without a link or while an update runs.
    bool start(const QByteArray &image);
    void stop(SessionFailure::Kind why);
    // One tick of the reconnect loop.
    void reconnectTick();

    // Only the awaited step takes a result or an acknowledgement.
    bool takeResult(RequestType type, const QString &value) override;
    bool takeAcknowledgement(RequestType type, int status) override;
    bool takeDamaged(RequestType type) override;
    void requestLeft(int sent) override;
    void linkEnded(SessionFailure::Kind why) override;

signals:
    void reached(FirmwareUpdate::Event event);
    // Chunk index of total (the index of the last one) was acknowledged.
    void chunkAcknowledged(int index, int total);
    // The commit was taken; the restart request is out.
    void finished();
    void failed(const SessionFailure &failure);

private:
    void request(RequestType type, Step step, int ms);
    void deviceMode(int mode);
    void beginAnswered(int status);
    void chunkAnswered(int status, int owedBefore);
    void onTimeout();
    void sendChunk();
    void finish();
    void fail(SessionFailure::Kind kind, int status, bool now);
    RequestType awaitedRequest() const;

    ScannerSession *m_session;
    QTimer *m_timer;     // the running step
    QTimer *m_deadline;  // the whole wait for the bootloader
    QTimer *m_reconnect; // the reconnect loop
    QByteArray m_image;
    Step m_step = Idle;
    int m_chunk = 0;
    int m_chunks = 0;
    int m_attempt = 0;
    // The chunk went again after a time-out: its first acknowledgement may still come.
    bool m_resent = false;
    OwedAnswers m_chunkAnswers;
    int m_awaited = 0; // the number of the request whose answer the step awaits
    int m_waitMs = 0;  // the running step's time-out
    int m_stepMs = 5000;
    int m_flashMs = 30000;
    int m_bootloaderMs = 60000;
    int m_reconnectMs = 5000;
    bool m_reopenEveryTick = true;
    bool m_enterAgain = true;
};
