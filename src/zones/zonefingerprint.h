#pragma once

#include <QByteArray>

class ZoneSet;

// The fingerprint of a zone set: the MD5 of its 64 zone blocks, channel 0 first, exactly as
// REQUEST_WRITE_AREA sends them, as 32 lower-case hex digits. Two sets that give the
// scanner the same bytes have the same fingerprint, so a printed report can be matched to a
// scanner read later. A set that findUnsendable refuses is fingerprinted as the blocks would
// cut and wrap it; callers check it first.
QByteArray zoneSetFingerprint(const ZoneSet &zones);
