#pragma once

#include "requesttype.h"

#include <QMetaType>

// A zone block or firmware chunk whose answer is damaged or does not come is sent this
// often in all before its step fails: once, and two more times.
constexpr int kStepAttempts = 3;

// Why a procedure of the scanner session stopped before its end. Each front end (the
// window, the command-line tool) turns it into its own words.
struct SessionFailure
{
    enum Kind
    {
        NoAnswer,     // the step's time-out passed, every attempt of it
        Refused,      // the scanner answered the step with a non-zero status
        Rejected,     // the scanner answered with a result that ends the procedure
        Unconfirmed,  // an answer came that cannot be told from the answer to an earlier
                      // attempt, and what the scanner holds cannot be confirmed: a firmware
                      // chunk that had to go twice, a zone block whose read-back differs
        NoBootloader, // the scanner did not come back in its bootloader in time
        PortLost,     // the port failed while the step waited
        Closed,       // the session was closed (by its owner)
    };
    Kind kind = NoAnswer;
    RequestType step = REQUEST_CONNECT; // the request whose answer was awaited
    int index = -1;                     // zone channel or firmware chunk; -1 for none
    int count = 0;                      // firmware chunks in all
    int status = 0;                     // the refusing status or the rejected result
    int waitedMs = 0;                   // the time-out of one attempt of the step
};
Q_DECLARE_METATYPE(SessionFailure)
