#pragma once

#include "scannerlink.h"

#include <QSerialPort>

// The scanner on a serial port: 8 data bits, no parity, one stop bit, no flow control, the
// speed given at each open. A port that reports a resource, read or write error while open
// has failed: a vanished device shows up as the first, but a closed pseudo-terminal and
// some USB adapters report one of the others, which Qt may repeat in a busy loop.
class SerialLink : public ScannerLink
{
    Q_OBJECT

public:
    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    // Sets the name and speed the next open uses.
    void configure(const QString &portName, int baud);

    Kind kind() const override { return Kind::SerialPort; }
    QString name() const override { return m_name; }
    Opening open() override;
    void close() override;
    bool isOpen() const override { return m_port->isOpen(); }
    QIODevice *device() const override { return m_port; }
    void flush() override;

    QSerialPort *port() const { return m_port; }

signals:
    // Every error the port reports, as it reports it.
    void errorOccurred(QSerialPort::SerialPortError error);

private:
    QSerialPort *m_port;
    QString m_name;
};
