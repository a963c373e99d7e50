#pragma once

#include <QString>

class CliRun;
class ZoneSet;

// All 64 channels from the scanner into *zones, one at a time, each asked for when the
// previous one has arrived; then the answer to the request that ends a full read, which
// the session sends. False with the reason in *error.
bool readAllChannels(CliRun &run, ZoneSet *zones, QString *error);
