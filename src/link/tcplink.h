#pragma once

#include "scannerlink.h"

#include <QAbstractSocket>

class QTcpSocket;
class QTimer;

// The scanner behind a serial device server in raw TCP mode ("tcp://HOST:PORT"): the
// server carries the serial line's bytes over one TCP connection as they are. Opening only
// starts the connection; connected() follows, or failed() when it is refused, cannot be
// made within the connect time or is closed later, which the session takes as the lost
// port. Small requests go out at once (no Nagle delay): each one holds up a transfer until
// it is answered.
class TcpLink : public ScannerLink
{
    Q_OBJECT

public:
    explicit TcpLink(const QString &name, QObject *parent = nullptr);
    ~TcpLink() override;

    Kind kind() const override { return Kind::Tcp; }
    QString name() const override { return m_name; }
    Opening open() override;
    void close() override;
    bool isOpen() const override;
    QIODevice *device() const override;
    void flush() override;
    QString errorString() const override;

    // How long a connection may take to be made.
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }
    bool isConnected() const;

private:
    void onError(QAbstractSocket::SocketError error);
    void fail(const QString &reason);

    QString m_name;
    QTcpSocket *m_socket;
    QTimer *m_connectTimer;
    QString m_error;
    int m_connectTimeoutMs = 5000;
    bool m_open = false;
};
