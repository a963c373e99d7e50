#pragma once

#include "requesttype.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>
#include <memory>

class WorkerThread;

// The scanner's port and the worker that speaks to it, driven step by step: every wait
// runs the event loop until the awaited answer, a port failure or the step's time-out,
// so the companion never hangs on a scanner that went quiet.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    explicit DeviceLink(int timeoutMs);
    ~DeviceLink() override;

    // Opens the port at the given speed (8N1, no flow control), sends the connection
    // probe and waits for any answer, then starts the worker. False with a reason.
    bool open(const QString &portName, int baud, QString *error);

    WorkerThread *worker() const { return m_worker.get(); }
    int timeoutMs() const { return m_timeoutMs; }

    // A request through the worker; no answer is awaited.
    void send(RequestType type, const QString &value = QString());
    // A request and the result of its reply (the first of that type after sending).
    bool ask(RequestType type, const QString &value, QString *result, QString *error);
    bool ask(RequestType type, QString *result, QString *error)
    {
        return ask(type, QString(), result, error);
    }
    // The same with a wait of its own and no message: for asking again and again.
    bool askWithin(RequestType type, int ms, QString *result);

    // Runs the event loop until done() holds, the port fails or ms pass; whether done()
    // holds. Anything the worker reports wakes it to look again.
    bool waitFor(const std::function<bool()> &done, int ms);
    // Runs the event loop for ms whatever happens (waits between retries).
    void pause(int ms);

    // The port failed while open (the device went away, or restarts and hangs up); it is
    // closed by then. reopen() tries to open it again under the same name.
    bool portLost() const { return m_portLost; }
    QString portError() const { return m_portError; }
    bool isOpen() const;
    bool reopen();

    // Text of a request for messages: "the serial number request".
    static QString requestName(RequestType type);

private:
    void wake();
    void onPortError(QSerialPort::SerialPortError error);

    int m_timeoutMs;
    int m_baud = 0;
    std::unique_ptr<QSerialPort> m_port;
    std::unique_ptr<WorkerThread> m_worker;
    class QEventLoop *m_loop = nullptr;
    bool m_portLost = false;
    QString m_portError;
};
