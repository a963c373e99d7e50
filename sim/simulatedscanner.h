#pragma once

#include "devicestate.h"
#include "simoptions.h"
#include "simscene.h"
#include "zonehit.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QRandomGenerator>
#include <QVector>

#include <functional>

class QSocketNotifier;
class QTimer;
class SimWakeup;
namespace simframes {
struct Request;
}

// A laser area scanner on the far end of a pseudo-terminal. The tool opens
// devicePath() as a serial port; the scanner answers its requests from a DeviceState,
// carries out its settings, and streams scan frames of a synthetic room on its own.
//
// The object works in the thread it lives in: start() creates its socket notifier and
// timer there, so it must run in that thread (SimulatorHost arranges this). The
// accessors marked thread-safe may be called from any thread at any time.
class SimulatedScanner : public QObject
{
    Q_OBJECT
public:
    explicit SimulatedScanner(const SimOptions &options = SimOptions(), QObject *parent = nullptr);
    ~SimulatedScanner() override;

    // Creates the pseudo-terminal (and the link of options().linkPath). May be called
    // from any thread before start(); start() does it itself otherwise.
    bool openDevice(QString *error = nullptr);
    // Path of the terminal the tool opens; empty while unplugged. Thread-safe.
    QString devicePath() const;

    // Thread-safe.
    SimOptions options() const;
    void setOptions(const SimOptions &options);
    void updateOptions(const std::function<void(SimOptions &)> &change);
    DeviceState state() const;
    void setState(const DeviceState &state);
    void updateState(const std::function<void(DeviceState &)> &change);
    QVector<ReceivedFrame> receivedFrames() const;
    // Every reply sent since start (or clearLog), oldest first, with its times.
    QVector<SentReply> sentReplies() const;
    void clearLog();
    qint64 rawBytesReceived() const;
    qint64 scanFramesSent() const;
    // Queues bytes for the wire exactly as given, between whole frames.
    void injectBytes(const QByteArray &bytes);

public slots:
    void start();
    void stop();
    // Closes the scanner's end of the terminal, as if the cable were pulled: the tool's
    // port sees an error and the device path disappears.
    void unplug();
    // A new terminal after unplug(); the link, if any, is pointed at it.
    bool replug(QString *error = nullptr);

signals:
    // Every request frame with a good checksum, in the order received.
    void frameReceived(quint16 type, QByteArray payload);

private:
    void closeDevice();
    void arm();
    void onReadable();
    void onTick();
    void takeRequests();
    void handleRequest(const simframes::Request &r, qint64 firstByteNs);
    bool takeLineFault(SimOptions::LineFault::Kind kind, quint16 type);
    qint64 arrivalOf(qint64 offset);
    bool answer(const simframes::Request &r, bool refuse, quint16 &status, QByteArray &payload);
    void sendScanFrame(double now, const SimOptions &o);
    // The scan stream of a recording (simreplay.cpp).
    void replayScans(double dt, const SimOptions &o);
    // Queues a frame for the wire; a reply (type given) is logged with its times.
    void queueFrame(QByteArray frame, bool spoil, const SimOptions &o, int replyType = -1,
                    quint16 status = 0);
    void lineBecomesBusy(double now, const SimOptions &o);
    void flushOutput(bool tick);
    void scheduleFrameEnd(const SimOptions &o);
    void noteWritten(qint64 bytes, double now);
    void accrueReceiveCredit(double now);
    void takeArrivedBytes();
    bool readerIsBehind() const;
    // Restart and bootloader behaviour.
    void finishRestart();
    void hangUp();
    void dropRestartTimers();
    bool outputDrained() const;
    // The cable fault of the options.
    void pullCable();
    // Late answers (simdelay.cpp): the delay of the options for a request being answered,
    // and the queue of answers that wait for their time. holdAnswer is false when the
    // answer may leave at once.
    int takeAnswerDelay(quint16 type);
    bool holdAnswer(const QByteArray &frame, bool spoil, quint16 type, quint16 status, int delayMs);
    void releaseHeldAnswers();
    void scheduleHeldAnswers();
    void dropHeldAnswers();
    int unreadBytes() const;

    mutable QMutex m_mutex; // guards everything from here to m_out
    SimOptions m_options;
    DeviceState m_state;
    QVector<ReceivedFrame> m_log;
    QVector<SentReply> m_replies;
    // Ends of the frames still (partly) queued, as offsets in the bytes ever queued, and
    // the reply each belongs to (an index into m_replies, -1 for none).
    struct FrameEnd
    {
        qint64 end;
        int reply;
    };
    QVector<FrameEnd> m_frameEnds;
    qint64 m_txQueued = 0;  // bytes ever put into m_out
    qint64 m_txWritten = 0; // of them, bytes handed to the terminal
    qint64 m_rawBytes = 0;
    qint64 m_scanFrames = 0;
    QString m_path;
    QString m_linkedPath;
    QByteArray m_out;

    // Used only in the simulator's thread.
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_tick = nullptr;
    QTimer *m_rxTimer = nullptr; // the rest of a request has come down the line
    // The same two waits with sub-millisecond resolution, for strict pacing.
    SimWakeup *m_rxWakeup = nullptr;
    SimWakeup *m_txWakeup = nullptr;
    // When the bytes read from the terminal came in: offsets in the bytes read since the
    // terminal was plugged in, and the offset of m_in's first byte.
    struct Arrival
    {
        qint64 offset;
        qint64 ns;
    };
    QVector<Arrival> m_arrivals;
    qint64 m_rawRead = 0;
    qint64 m_inOffset = 0;
    QElapsedTimer m_clock;
    QRandomGenerator m_rng;
    SimScene m_scene;
    QByteArray m_wireIn;     // read from the terminal, still on its way down a paced line
    QByteArray m_in;         // arrived, not yet a whole request
    double m_lastRx = 0;     // seconds on m_clock
    double m_lastTick = 0;   // seconds on m_clock
    double m_wireBudget = 0; // bytes the paced wire may still carry now
    double m_txLast = 0;     // seconds on m_clock when m_wireBudget was last topped up
    double m_rxBudget = 0;   // the same for the line towards the scanner
    double m_rxLast = 0;
    double m_scansDue = 0;     // scan frames owed to the stream
    int m_sectorIndex = 0;     // 0..5 within the current scan
    qint64 m_scanNumber = 0;   // synthetic scans begun since start
    qint64 m_streamFrames = 0; // scan frames sent since start, for damageScanEvery
    bool spoilScanFrame(const SimOptions &o);
    // Replay: the next frame of the recording, the replay's own clock (seconds; it runs
    // only while the stream does) and where on it the current lap began.
    int m_replayIndex = 0;
    double m_replayClock = 0;
    double m_replayLap = 0;
    // The active channel's zones as last built, and which of them each sector's points
    // entered (output bits), so the outputs follow the whole scan.
    ZoneArea m_watchedAreas[kZoneAreas];
    ZoneShape m_watchedShapes[kZoneAreas];
    quint8 m_sectorHits[6] = {};
    double m_deafUntil = -1;     // restarting until then
    double m_zoneBusyUntil = -1; // serving the zone memory until then
    int m_modeAfterRestart = 0;
    QTimer *m_replugTimer = nullptr;
    bool m_hangUpPending = false;
    // The cable fault has fired: nothing more is heard, and the line drops once the tool
    // has read what was sent (or after a second at the latest).
    bool m_unplugPending = false;
    double m_unplugDeadline = 0;
    double m_lastWriteAt = 0; // seconds on m_clock of the last bytes handed to the terminal
    QTimer *m_cableTimer = nullptr;
    // Answers that leave late, in the order they are due (seconds on m_clock).
    struct HeldAnswer
    {
        QByteArray frame;
        bool spoil;
        quint16 type;
        quint16 status;
        double due;
    };
    QVector<HeldAnswer> m_heldAnswers;
    QTimer *m_heldTimer = nullptr;
};
