#pragma once

#include "devicestate.h"
#include "simoptions.h"

#include <QByteArray>

// The scanner's bootloader: it takes a firmware image chunk by chunk, checks it against
// the MD5 digest the PC sends, and keeps it only after a matching check and a commit.
// Chunks carry no index, so the bootloader appends every chunk it receives intact: a
// chunk sent again after a lost acknowledgement lands twice, and the digest check fails.
// Plain functions over DeviceState; the simulated scanner calls them under its lock.
namespace simbootloader {

// Requests only the bootloader understands; the application ignores them.
bool isFirmwareRequest(quint16 type);

// Carries out one firmware request on s and fills in the reply. A refused request (a
// status override) is answered with that status and changes nothing. Returns false
// when the request must go unanswered (the chunk the options say is never acknowledged).
bool answer(DeviceState &s, const SimOptions &o, quint16 type, const QByteArray &payload,
            bool refuse, quint16 &status, QByteArray &reply);

// The version text an image reports once it runs: what follows "VERSION=" in the image
// (at most 6 bytes, up to a NUL, blank or line end), or, for an image without one, the
// first six hex digits of its MD5 digest in upper case.
QByteArray versionOf(const QByteArray &image);

} // namespace simbootloader
