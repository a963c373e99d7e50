#pragma once

#include "requesttype.h"
#include "sessionfailure.h"
#include "zoneblock.h"

#include <QElapsedTimer>
#include <QString>

// What the scanner session hands a procedure of several requests (the zone read, the zone
// write, the firmware update), and all it hands over: the replies the worker decoded, the
// damaged ones by the type their header claims, the moment a request the procedure sent
// has left the port, and the end of the link. A procedure sends through the session's
// sendFor functions and never sees the port or the worker, so the link underneath may be
// any that carries frames.
//
// Each take function returns true when the reply was the procedure's: a step of it awaited
// the reply, or the reply answers a request it sent earlier (then it is counted and changes
// nothing). A reply no procedure takes is dropped.
class LinkProcedure
{
public:
    virtual ~LinkProcedure() = default;

    // A result the worker decoded to text (status replies as their number).
    virtual bool takeResult(RequestType, const QString &) { return false; }
    // The status word that answers a zone write's begin or block, or a firmware chunk.
    virtual bool takeAcknowledgement(RequestType, int) { return false; }
    virtual bool takeZoneBlock(int, const ZoneChannelRecord &) { return false; }
    virtual bool takeDamaged(RequestType) { return false; }
    // The last byte of request number sent (as sendFor returned it) has left the port.
    virtual void requestLeft(int sent) = 0;
    // The port was closed or lost; a running procedure ends for that reason.
    virtual void linkEnded(SessionFailure::Kind why) = 0;
};

// Requests of one type that a procedure sent, and the answers (whole or damaged) still owed
// for them. Answers carry no request number: while more than one is owed, the answer that
// arrives may be the late answer to an earlier request rather than to the last one.
class OwedAnswers
{
public:
    void sent()
    {
        ++m_owed;
        m_lastSent.start();
    }
    // Counts an answer; returns how many were owed before it (0: it answers nothing sent).
    int answer()
    {
        const int before = m_owed;
        if (m_owed > 0)
            --m_owed;
        return before;
    }
    int owed() const { return m_owed; }
    // Answers still owed longer than ms after the last request are taken as lost.
    void forgetAfter(int ms)
    {
        if (m_owed > 0 && m_lastSent.isValid() && m_lastSent.hasExpired(ms))
            m_owed = 0;
    }
    void clear() { m_owed = 0; }

private:
    int m_owed = 0;
    QElapsedTimer m_lastSent;
};
