#include "linklog.h"

Q_LOGGING_CATEGORY(lcLink, "areascan.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcZones, "areascan.zones", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFirmware, "areascan.firmware", QtInfoMsg)
