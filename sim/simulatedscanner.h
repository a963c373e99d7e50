#pragma once

#include "devicestate.h"
#include "simoptions.h"
#include "simscene.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QRandomGenerator>
#include <QVector>

#include <functional>

class QSocketNotifier;
class QTimer;
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
    void handleRequest(const simframes::Request &r);
    bool answer(const simframes::Request &r, bool refuse, quint16 &status, QByteArray &payload);
    void sendScanFrame(double now, const SimOptions &o);
    void queueFrame(QByteArray frame, bool spoil, const SimOptions &o);
    void flushOutput(bool tick);
    bool readerIsBehind() const;
    // Restart and bootloader behaviour.
    void holdReply(QByteArray frame, int requestBytes, bool spoil);
    void releaseHeldReplies();
    void finishRestart();
    void hangUp();
    void dropRestartTimers();
    bool outputDrained() const;

    mutable QMutex m_mutex; // guards everything from here to m_out
    SimOptions m_options;
    DeviceState m_state;
    QVector<ReceivedFrame> m_log;
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
    QElapsedTimer m_clock;
    QRandomGenerator m_rng;
    SimScene m_scene;
    QByteArray m_in;
    double m_lastRx = 0;     // seconds on m_clock
    double m_lastTick = 0;   // seconds on m_clock
    double m_wireBudget = 0; // bytes the paced wire may still carry now
    double m_scansDue = 0;   // scan frames owed to the stream
    int m_sectorIndex = 0;   // 0..5 within the current scan
    double m_deafUntil = -1; // restarting until then
    int m_modeAfterRestart = 0;
    struct HeldReply
    {
        double due; // seconds on m_clock
        QByteArray frame;
        bool spoil;
    };
    QVector<HeldReply> m_held;
    double m_rxWireFree = 0; // when the incoming wire is free again, seconds on m_clock
    QTimer *m_holdTimer = nullptr;
    QTimer *m_replugTimer = nullptr;
    bool m_hangUpPending = false;
};
