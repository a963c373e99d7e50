#include "simtcpbridge.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

SimTcpBridge::SimTcpBridge(std::function<QString()> devicePath, QObject *parent)
    : QObject(parent), m_devicePath(std::move(devicePath))
{
}

SimTcpBridge::~SimTcpBridge()
{
    stop();
}

quint16 SimTcpBridge::listen(quint16 port, QString *error)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &SimTcpBridge::onNewConnection);
    }
    // Loopback only: the simulated scanner is for this machine's tests and demos.
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        if (error)
            *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                         .arg(port)
                         .arg(m_server->errorString());
        return 0;
    }
    return m_server->serverPort();
}

void SimTcpBridge::stop()
{
    if (m_server)
        m_server->close();
    if (m_client)
        m_client->abort();
    dropClient();
}

void SimTcpBridge::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        // A client that has just gone may not have been noticed yet (a tool that closes and
        // connects again at once): look at its socket before turning the new one away.
        if (m_client)
            m_client->waitForReadyRead(0);
        const QString path = m_devicePath();
        int line = -1;
        if (!m_client && !path.isEmpty())
            line = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (line < 0) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_client = socket;
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_line = line;
        m_lineRead = new QSocketNotifier(m_line, QSocketNotifier::Read, this);
        connect(m_lineRead, &QSocketNotifier::activated, this, &SimTcpBridge::onLineReadable);
        m_lineWrite = new QSocketNotifier(m_line, QSocketNotifier::Write, this);
        m_lineWrite->setEnabled(false);
        connect(m_lineWrite, &QSocketNotifier::activated, this, &SimTcpBridge::writeToLine);
        connect(m_client, &QTcpSocket::readyRead, this, &SimTcpBridge::onClientData);
        connect(m_client, &QTcpSocket::disconnected, this, &SimTcpBridge::dropClient);
    }
}

void SimTcpBridge::onClientData()
{
    if (!m_client)
        return;
    m_toLine.append(m_client->readAll());
    writeToLine();
}

void SimTcpBridge::writeToLine()
{
    while (m_line >= 0 && !m_toLine.isEmpty()) {
        const ssize_t n = ::write(m_line, m_toLine.constData(), size_t(m_toLine.size()));
        if (n > 0) {
            m_toLine.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // full for now, or gone (the read side notices)
    }
    if (m_lineWrite)
        m_lineWrite->setEnabled(!m_toLine.isEmpty());
}

void SimTcpBridge::onLineReadable()
{
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(m_line, buf, sizeof buf);
        if (n > 0) {
            if (m_client)
                m_client->write(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // The scanner's end of the terminal is gone: what was read goes out, then the
        // connection closes in order.
        closeLine();
        if (m_client)
            m_client->disconnectFromHost();
        return;
    }
    if (m_client)
        m_client->flush();
}

void SimTcpBridge::closeLine()
{
    delete m_lineRead;
    m_lineRead = nullptr;
    delete m_lineWrite;
    m_lineWrite = nullptr;
    if (m_line >= 0)
        ::close(m_line);
    m_line = -1;
    m_toLine.clear();
}

void SimTcpBridge::dropClient()
{
    closeLine();
    if (!m_client)
        return;
    m_client->disconnect(this);
    m_client->deleteLater();
    m_client = nullptr;
}
