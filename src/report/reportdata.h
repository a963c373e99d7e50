#pragma once

#include "zoneset.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

// What a commissioning report records. The window fills it from what it shows and holds,
// the command-line tool from the scanner or from a zone file; an empty text, or a setting
// without a value, prints as not known.
struct ZoneReportData
{
    QString model;
    QString manufacturer;
    QString serialNumber;
    QString lot;
    QString firmwareVersion;
    // The ten filter and output settings in the order of the shared filter table, as the
    // values that travel on the wire; missing entries are not known.
    QVector<std::optional<int>> settings;
    QDateTime createdAt;
    // Where the zones came from ("the scanner", "zone file zones.ini"); no line if empty.
    QString zoneSource;
    ZoneSet zones;
};
