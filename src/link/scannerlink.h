#pragma once

#include "linkname.h"

#include <QObject>
#include <QString>

#include <chrono>

class QIODevice;

// Where the scanner's frames come from and the requests go: a serial port, a TCP
// connection to a serial device server, or a recording played back. The session owns one
// and treats every kind alike: it writes the probe once the link carries bytes, hands the
// device to the worker, times its requests from bytesWritten and takes failed() as the
// lost port.
class ScannerLink : public QObject
{
    Q_OBJECT

public:
    enum class Kind
    {
        SerialPort,
        Tcp,
        Recording,
    };
    enum class Opening
    {
        Failed,     // errorString() says why
        Open,       // carries bytes now
        Connecting, // connected() or failed() follows from the event loop
    };

    using QObject::QObject;

    virtual Kind kind() const = 0;
    // The name it was opened under: a port name, "tcp://HOST:PORT", a file.
    virtual QString name() const = 0;
    virtual Opening open() = 0;
    virtual void close() = 0;
    // Open or connecting.
    virtual bool isOpen() const = 0;
    // What the worker reads from and writes to; the same object for the link's lifetime.
    virtual QIODevice *device() const = 0;
    // Bytes written that the link has not handed on yet.
    virtual qint64 bytesToWrite() const;
    // Hands what is written on now rather than when the event loop next gets round to it.
    virtual void flush() {}
    virtual QString errorString() const;
    // The wall-clock time of what is read now, in microseconds since 1970: now for a live
    // link, the recorded arrival of the last frame handed out for a recording.
    virtual qint64 clockUs() const;

signals:
    // A link that was Connecting carries bytes now.
    void connected();
    // The link broke (a device unplugged, a connection refused or closed); it may say so
    // more than once.
    void failed(const QString &reason);
    // Bytes written have been handed on, as QIODevice::bytesWritten counts them.
    void bytesWritten(qint64 bytes);
    // What the device delivers next does not follow on from what it delivered before (a
    // recording was wound on or back): whoever cuts frames out of it starts afresh.
    void restarted();
};

// Wall-clock time in microseconds since 1970.
inline qint64 wallClockUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}
