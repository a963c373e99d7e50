#pragma once

#include "scannerbackup.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What a restore changes on a scanner, worked out before anything is sent: the settings
// that differ (in the order they are to be sent), the zone channels that differ, and the
// identity the restore cannot change but names (the serials, a firmware version).
struct SettingChange
{
    int setting = 0; // index into filterSettings()
    int from = 0;    // the scanner's wire value
    int to = 0;      // the backup's
};

struct RestorePlan
{
    QString backupSerial;
    QString scannerSerial;
    QString backupFirmware;
    QString scannerFirmware;
    QVector<SettingChange> settings;
    QVector<int> channels;

    bool firmwareDiffers() const { return backupFirmware != scannerFirmware; }
    bool changesNothing() const { return settings.isEmpty() && channels.isEmpty(); }
};

// backup: what the scanner is to hold; scanner: what it holds now. The shadow filter's
// maximum range goes first when the new minimum lies above the scanner's maximum, so the
// scanner never holds a minimum above its maximum on the way.
RestorePlan planRestore(const ScannerBackup &backup, const ScannerBackup &scanner);

// "3", "0-5, 9, 12-13": channel numbers as a short list.
QString channelRanges(const QVector<int> &channels);

// The plan in English, one line each: the serials, each setting with both values, the
// channels, a firmware version that differs. Ends with a line saying nothing changes when
// that is so.
QStringList describeRestorePlan(const RestorePlan &plan);

// The names of settings for messages ("filter-strength, mask-min-angle").
QString settingNames(const QVector<int> &settings);
