#pragma once

#include "devicestate.h"
#include "simoptions.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

class QThread;
class SimTcpBridge;
class SimulatedScanner;

// Runs a simulated scanner in a thread of its own, so that a caller that blocks its
// own thread (the tool waits for the answer to its connection probe) still gets
// answered. Every member may be called from the thread that created the host.
//
//     SimulatorHost sim;
//     if (!sim.start(options, &error)) ...
//     port.setPortName(sim.devicePath());
class SimulatorHost
{
public:
    SimulatorHost();
    ~SimulatorHost(); // stops
    SimulatorHost(const SimulatorHost &) = delete;
    SimulatorHost &operator=(const SimulatorHost &) = delete;

    // Creates the pseudo-terminal (devicePath() is valid on return) and starts the
    // simulator's thread. False with a reason in *error if the terminal cannot be made.
    bool start(const SimOptions &options = SimOptions(), QString *error = nullptr);
    // Stops the scanner, closes its terminal, removes the link and joins the thread.
    void stop();
    bool isRunning() const;

    // The terminal to open as a serial port; empty when stopped or unplugged.
    QString devicePath() const;

    // A serial device server in front of the scanner (see SimTcpBridge), on 127.0.0.1:port
    // (0 picks a free port), in a thread of its own; the port it listens on, or 0 with a
    // reason in *error. It stops with the scanner.
    quint16 listenTcp(quint16 port = 0, QString *error = nullptr);
    // "tcp://127.0.0.1:PORT" while listening, else empty.
    QString tcpName() const;

    // Run-time options; also valid before start() (start() then replaces them).
    SimOptions options() const;
    void setOptions(const SimOptions &options);
    void updateOptions(const std::function<void(SimOptions &)> &change);
    void setSilent(bool silent);
    void setScanStream(bool on);

    // What the scanner remembers; set it before start() for a particular device.
    DeviceState state() const;
    void setState(const DeviceState &state);
    void updateState(const std::function<void(DeviceState &)> &change);

    // Every request frame received since start (or clearLog), oldest first.
    QVector<ReceivedFrame> receivedFrames() const;
    // Every reply sent since start (or clearLog), oldest first, timed on the same clock.
    QVector<SentReply> sentReplies() const;
    void clearLog();
    qint64 rawBytesReceived() const;

    // Puts bytes on the wire as they are, between two frames.
    void injectBytes(const QByteArray &bytes);
    // Pulls the cable: the tool's port gets an error and the device path goes away.
    void unplug();
    // Plugs a new terminal in after unplug(); devicePath() (and the link) name it.
    bool replug(QString *error = nullptr);

    // For connecting to its signals (frameReceived); the object lives in the
    // simulator's thread while it runs.
    SimulatedScanner *scanner() const { return m_scanner; }

private:
    void stopTcp();

    QThread *m_thread = nullptr;
    SimulatedScanner *m_scanner = nullptr;
    QThread *m_tcpThread = nullptr;
    SimTcpBridge *m_bridge = nullptr;
    quint16 m_tcpPort = 0;
};
