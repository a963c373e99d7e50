#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

// A serial device server in raw TCP mode in front of the simulated scanner: it listens on
// the loopback address only, opens the scanner's terminal for the one client it serves at a
// time and carries the bytes both ways as they are. A second client is turned away while
// one is served, and so is any client while the scanner is unplugged. When the scanner's
// line goes (unplugged, restarting with a hang-up) the client's connection is closed once
// what was read from the line has gone out, as a device server drops its client when its
// serial side fails.
//
// Works in the thread it lives in (SimulatorHost gives it one of its own, so that the
// scanner's work never delays the bytes it carries).
class SimTcpBridge : public QObject
{
    Q_OBJECT

public:
    // devicePath names the scanner's terminal now (empty while unplugged); called from the
    // bridge's thread, so it must be thread-safe.
    explicit SimTcpBridge(std::function<QString()> devicePath, QObject *parent = nullptr);
    ~SimTcpBridge() override;

    // Listens on 127.0.0.1:port (0 picks a free port); the port listened on, or 0 with the
    // reason in *error.
    quint16 listen(quint16 port, QString *error);
    void stop();

private:
    void onNewConnection();
    void onClientData();
    void onLineReadable();
    void writeToLine();
    void dropClient();
    void closeLine();

    std::function<QString()> m_devicePath;
    QTcpServer *m_server = nullptr;
    QTcpSocket *m_client = nullptr;
    int m_line = -1;
    QSocketNotifier *m_lineRead = nullptr;
    QSocketNotifier *m_lineWrite = nullptr;
    QByteArray m_toLine; // from the client, not yet taken by the terminal
};
