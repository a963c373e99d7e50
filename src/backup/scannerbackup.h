#pragma once

#include "zonefilecheck.h"
#include "zoneset.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// Everything a scanner holds that a replacement must get, in one text file: who it was
// (as read when the backup was made), when, its ten filter settings and its 64 zone
// channels with their fingerprint. The file is an INI file whose zone sections are those of
// a zone file, so every reader of zone files takes a backup as one:
//
//   [Backup]   format, created (ISO 8601 with the UTC offset), fingerprint
//   [Device]   model, manufacturer, lot, serial, firmware
//   [Filter]   the ten settings under the factory file's keys, as their wire values
//              (flags 0 or 1, numbers in decimal, the mask angles in half degrees)
//   [Channel0] ... [Channel63]  exactly as a zone file holds them
//
// The settings keep the factory file's keys, so a backup also serves as factorySettings.ini.

struct DeviceIdentity
{
    QString model;        // the product information of the tool that made the backup
    QString manufacturer; // likewise
    QString lot;
    QString serial;
    QString firmware;
};

// A scanner as read: a backup in memory, and what a restore compares the scanner with.
struct ScannerBackup
{
    DeviceIdentity identity;
    QDateTime createdAt;
    // The ten settings on the wire, in the order of the shared filter table.
    QVector<int> settings;
    ZoneSet zones;
};

// The only format written so far; a file of a later one is refused rather than guessed at.
constexpr int kBackupFormat = 1;

// The file's bytes for a backup with ten settings; the fingerprint is that of its zones.
QByteArray backupFileText(const ScannerBackup &backup);

struct BackupProblem
{
    enum Kind
    {
        None,
        File,             // the file itself or its zones: see zones
        NotABackup,       // a zone file without the device sections
        NewerFormat,      // detail: the format number as written
        MissingKey,       // section, key
        NotAText,         // section, key: a value the settings library reads as a list or type
        NotAWholeNumber,  // section, key, detail
        OutOfRange,       // section, key, detail, maximum
        BadDate,          // section, key, detail
        BadFingerprint,   // detail: not 32 hexadecimal digits
        WrongFingerprint, // detail: the fingerprint written; the zones give another
    };
    Kind kind = None;
    ZoneFileProblem zones;
    QString section;
    QString key;
    QString detail;
    qint64 maximum = 0;
    explicit operator bool() const { return kind != None; }
};

struct BackupFile
{
    ScannerBackup backup; // whole only when there is no problem
    BackupProblem problem;
    bool ok() const { return !problem; }
};

// Reads and checks a backup as strictly as a zone file from outside is read: the file is a
// regular file of a zone file's size, its zones pass the strict reading, every device,
// backup and setting key is there and within its range, and the fingerprint written is the
// fingerprint of the zones (a backup whose zones were edited afterwards is refused).
BackupFile readBackupFile(const QString &path);
BackupFile checkBackupBytes(const QByteArray &bytes);

// One line in English naming the file as the user named it, the part that is broken and
// why ("old.ini: [Filter] filterStrenth 300 is outside 0 to 100").
QString describeBackupProblem(const BackupProblem &problem, const QString &fileName);
