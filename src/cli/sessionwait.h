#pragma once

#include "requesttype.h"

#include <QObject>
#include <QString>

#include <functional>

class QEventLoop;
class ScannerSession;

// The companion drives the session step by step: each wait runs the event loop until what
// it waits for has happened, the port failed or its time is up, so it never hangs on a
// scanner that went quiet. Anything the session or its procedures report wakes the loop
// to look again.
class SessionWait : public QObject
{
public:
    SessionWait(ScannerSession *session, int timeoutMs);

    int timeoutMs() const { return m_timeoutMs; }

    // Runs the event loop until done() holds or ms pass (ms < 0: no limit; a procedure
    // ends by its own time-outs), or, with stopOnLostPort, the port fails. Whether done()
    // holds.
    bool until(const std::function<bool()> &done, int ms, bool stopOnLostPort = true);
    // Runs the event loop for ms whatever happens (waits between retries).
    void pause(int ms);

    // A request and the result of its reply (the first of that type after sending).
    bool ask(RequestType type, const QString &value, QString *result, QString *error);
    bool ask(RequestType type, QString *result, QString *error)
    {
        return ask(type, QString(), result, error);
    }
    // The same with a wait of its own and no message: for asking again and again.
    bool askWithin(RequestType type, int ms, QString *result);

    // "no answer within 300 ms to the read of zone channel 4", or what the port said when
    // it failed while waiting.
    QString failure(const QString &what) const;

    // Text of a request for messages: "the serial number request".
    static QString requestName(RequestType type);

private:
    void wake();

    ScannerSession *m_session;
    int m_timeoutMs;
    QEventLoop *m_loop = nullptr;
};
