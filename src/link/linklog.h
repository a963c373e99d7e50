#pragma once

#include <QLoggingCategory>

// The link's diagnostics. Debug lines are off unless QT_LOGGING_RULES turns them on
// (e.g. "areascan.*.debug=true"); warnings always show.
Q_DECLARE_LOGGING_CATEGORY(lcLink)     // areascan.link: the port, the worker, the session
Q_DECLARE_LOGGING_CATEGORY(lcZones)    // areascan.zones: the zone read and write
Q_DECLARE_LOGGING_CATEGORY(lcFirmware) // areascan.firmware: the firmware update
