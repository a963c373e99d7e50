#include "tcplink.h"

#include "linklog.h"

#include <QTcpSocket>
#include <QTimer>

TcpLink::TcpLink(const QString &name, QObject *parent)
    : ScannerLink(parent), m_name(name), m_socket(new QTcpSocket(this)),
      m_connectTimer(new QTimer(this))
{
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, [this]() {
        fail(
            QStringLiteral("no connection to %1 within %2 ms").arg(m_name).arg(m_connectTimeoutMs));
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ScannerLink::bytesWritten);
    connect(m_socket, &QTcpSocket::connected, this, [this]() {
        m_connectTimer->stop();
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        qCDebug(lcLink) << "connected to" << m_name;
        emit connected();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TcpLink::onError);
    // A server that closes the connection in order reports no error on some systems.
    connect(m_socket, &QTcpSocket::disconnected, this, [this]() {
        if (m_open)
            fail(QStringLiteral("the device server closed the connection"));
    });
}

TcpLink::~TcpLink()
{
    m_open = false;
    m_socket->abort();
}

ScannerLink::Opening TcpLink::open()
{
    close();
    QString host;
    quint16 port = 0;
    if (!parseTcpLinkName(m_name, &host, &port, &m_error))
        return Opening::Failed;
    m_error.clear();
    m_open = true;
    m_socket->connectToHost(host, port, QIODevice::ReadWrite);
    m_connectTimer->start(m_connectTimeoutMs);
    return Opening::Connecting;
}

void TcpLink::close()
{
    m_open = false;
    m_connectTimer->stop();
    // Abort: what is still queued for the server goes nowhere now, as with a closed port.
    m_socket->abort();
}

bool TcpLink::isOpen() const
{
    return m_open && m_socket->state() != QAbstractSocket::UnconnectedState;
}

bool TcpLink::isConnected() const
{
    return m_open && m_socket->state() == QAbstractSocket::ConnectedState;
}

QIODevice *TcpLink::device() const
{
    return m_socket;
}

void TcpLink::flush()
{
    if (isConnected())
        m_socket->flush();
}

QString TcpLink::errorString() const
{
    return m_error.isEmpty() ? m_socket->errorString() : m_error;
}

void TcpLink::onError(QAbstractSocket::SocketError error)
{
    qCDebug(lcLink) << m_name << "socket error" << error << m_socket->errorString();
    if (m_open)
        fail(m_socket->errorString());
}

void TcpLink::fail(const QString &reason)
{
    m_error = reason;
    m_connectTimer->stop();
    emit failed(reason);
}
