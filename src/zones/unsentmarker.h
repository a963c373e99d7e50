#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The mark beside the zone store that it holds zones the scanner has not received. The
// store is written through so that a crash loses nothing, but every start resets it; the
// mark is how the next start knows that the store it is about to reset holds a user's
// work, and keeps a copy of it first. It is a file of its own: config.ini's bytes stay
// those of the settings library.

// The mark of a store: the store's name with ".unsent" appended.
QString unsentMarkerPath(const QString &storeFile);
// Sets or clears the mark; false when the file could not be made or removed.
bool setUnsentMarker(const QString &storeFile, bool unsent);
bool hasUnsentMarker(const QString &storeFile);

// A new zone file in folder, "unsent-zones-YYYYMMDD-HHMMSS.ini" after the given moment (a
// number appended when that name is taken), holding the bytes as they are, written whole
// or not at all. Its absolute path, or an empty text with the reason in *error.
QString writeUnsentZonesCopy(const QByteArray &bytes, const QString &folder, const QDateTime &when,
                             QString *error);

// At start-up, before the store is reset: when the previous run left the mark, the
// store's bytes go to a new zone file beside it (see above) and the mark goes. The copy's
// path, or an empty text: no mark, nothing in the store to keep, or (with the reason in
// *error) the copy could not be made, in which case the mark stays for the next start.
QString keepUnsentZonesOfLastRun(const QString &storeFile, const QDateTime &now, QString *error);
