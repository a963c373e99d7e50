#include "scannerbackup.h"

#include "filtersettings.h"
#include "zonediff.h"
#include "zonefingerprint.h"
#include "zonestoretext.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryFile>

namespace {

const QLatin1String kBackupSection("Backup");
const QLatin1String kDeviceSection("Device");
const QLatin1String kFilterSection("Filter");

struct IdentityKey
{
    const char *name;
    QString DeviceIdentity::*field;
};

const IdentityKey kIdentityKeys[] = {
    {"model", &DeviceIdentity::model},       {"manufacturer", &DeviceIdentity::manufacturer},
    {"lot", &DeviceIdentity::lot},           {"serial", &DeviceIdentity::serial},
    {"firmware", &DeviceIdentity::firmware},
};

// The key of a setting within the [Filter] section: the factory file's key without it.
QString filterKey(const FilterSetting &s)
{
    return QString::fromLatin1(s.factoryKey).section(QLatin1Char('/'), 1);
}

QString dateText(const QDateTime &when)
{
    // With the offset, so that the moment reads the same on a PC in another time zone.
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate);
}

// A value as a message can show it: short, and without control bytes.
QString shown(const QString &value)
{
    QString out;
    for (const QChar c : value.left(24))
        out += c.unicode() < 0x20 || c.unicode() == 0x7F
                   ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                   : QString(c);
    return value.size() > 24 ? out + QStringLiteral("...") : out;
}

BackupProblem problemAt(BackupProblem::Kind kind, const QString &section, const QString &key,
                        const QString &detail = QString())
{
    BackupProblem p;
    p.kind = kind;
    p.section = section;
    p.key = key;
    p.detail = shown(detail);
    return p;
}

// A text key as the settings library parsed it from the file: present and a plain text
// (an unquoted comma makes a list of it, an @-form another type).
BackupProblem readText(QSettings &store, const QString &section, const QString &key, QString *out)
{
    const QString name = section + QLatin1Char('/') + key;
    if (!store.contains(name))
        return problemAt(BackupProblem::MissingKey, section, key);
    const QVariant value = store.value(name);
    if (value.userType() != QMetaType::QString)
        return problemAt(BackupProblem::NotAText, section, key);
    *out = value.toString();
    return {};
}

BackupProblem readSetting(QSettings &store, const FilterSetting &s, int *wire)
{
    QString text;
    if (BackupProblem p = readText(store, kFilterSection, filterKey(s), &text))
        return p;
    // Digits only: a sign, a blank, a fraction or "true" would be read some way or other
    // and restored as something the backup never held.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return problemAt(BackupProblem::NotAWholeNumber, kFilterSection, filterKey(s), text);
    const int value = text.toInt();
    if (value > s.maximum) {
        BackupProblem p = problemAt(BackupProblem::OutOfRange, kFilterSection, filterKey(s), text);
        p.maximum = s.maximum;
        return p;
    }
    *wire = value;
    return {};
}

// The three sections beside the zones, in the order a reader would look for them.
BackupProblem readDeviceSections(QSettings &store, ScannerBackup *backup, QByteArray *fingerprint)
{
    const QStringList groups = store.childGroups();
    if (!groups.contains(kBackupSection) && !groups.contains(kDeviceSection) &&
        !groups.contains(kFilterSection))
        return problemAt(BackupProblem::NotABackup, QString(), QString());

    QString format;
    if (BackupProblem p = readText(store, kBackupSection, QStringLiteral("format"), &format))
        return p;
    if (format != QString::number(kBackupFormat))
        return problemAt(BackupProblem::NewerFormat, kBackupSection, QStringLiteral("format"),
                         format);
    QString created;
    if (BackupProblem p = readText(store, kBackupSection, QStringLiteral("created"), &created))
        return p;
    backup->createdAt = QDateTime::fromString(created, Qt::ISODate);
    if (!backup->createdAt.isValid())
        return problemAt(BackupProblem::BadDate, kBackupSection, QStringLiteral("created"),
                         created);
    QString print;
    if (BackupProblem p = readText(store, kBackupSection, QStringLiteral("fingerprint"), &print))
        return p;
    static const QRegularExpression md5(QStringLiteral("^[0-9a-f]{32}$"));
    if (!md5.match(print).hasMatch())
        return problemAt(BackupProblem::BadFingerprint, kBackupSection,
                         QStringLiteral("fingerprint"), print);
    *fingerprint = print.toLatin1();

    for (const IdentityKey &k : kIdentityKeys) {
        if (BackupProblem p = readText(store, kDeviceSection, QLatin1String(k.name),
                                       &(backup->identity.*k.field)))
            return p;
    }
    backup->settings.clear();
    for (const FilterSetting &s : filterSettings()) {
        int wire = 0;
        if (BackupProblem p = readSetting(store, s, &wire))
            return p;
        backup->settings.append(wire);
    }
    return {};
}

} // namespace

QByteArray backupFileText(const ScannerBackup &backup)
{
    // The three sections are written by the settings library itself, so that every text
    // (a model name in any script, a serial with a comma) is escaped as it reads it back.
    QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("areascan-backup-XXXXXX.ini")));
    QByteArray head;
    if (copy.open()) {
        copy.close();
        {
            QSettings store(copy.fileName(), QSettings::IniFormat);
            store.setValue(QStringLiteral("Backup/format"), QString::number(kBackupFormat));
            store.setValue(QStringLiteral("Backup/created"), dateText(backup.createdAt));
            store.setValue(QStringLiteral("Backup/fingerprint"),
                           QString::fromLatin1(zoneSetFingerprint(backup.zones)));
            for (const IdentityKey &k : kIdentityKeys)
                store.setValue(QStringLiteral("Device/") + QLatin1String(k.name),
                               backup.identity.*k.field);
            const QVector<FilterSetting> &table = filterSettings();
            for (int i = 0; i < table.size(); ++i)
                store.setValue(QLatin1String(table.at(i).factoryKey),
                               QString::number(backup.settings.value(i)));
            store.sync();
        }
        QFile written(copy.fileName());
        if (written.open(QIODevice::ReadOnly))
            head = written.readAll();
    }
    if (head.isEmpty())
        return QByteArray();
    return head + '\n' + zoneFileText(backup.zones);
}

BackupFile checkBackupBytes(const QByteArray &bytes)
{
    BackupFile file;
    const ZoneFile zones = checkZoneFileBytes(bytes);
    // A file that is not INI at all, or cannot be copied to be parsed, has nothing to say.
    if (zones.problem.kind == ZoneFileProblem::NotIni ||
        zones.problem.kind == ZoneFileProblem::Unreadable) {
        file.problem.kind = BackupProblem::File;
        file.problem.zones = zones.problem;
        return file;
    }
    QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("areascan-backup-XXXXXX.ini")));
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
        file.problem.kind = BackupProblem::File;
        file.problem.zones.kind = ZoneFileProblem::Unreadable;
        file.problem.zones.detail =
            QStringLiteral("cannot make a temporary copy: %1").arg(copy.errorString());
        return file;
    }
    copy.close();
    QSettings store(copy.fileName(), QSettings::IniFormat);
    QByteArray fingerprint;
    file.problem = readDeviceSections(store, &file.backup, &fingerprint);
    if (file.problem)
        return file;
    if (!zones.ok()) {
        file.problem.kind = BackupProblem::File;
        file.problem.zones = zones.problem;
        return file;
    }
    file.backup.zones = zoneSetOf(zones.channels);
    if (zoneSetFingerprint(file.backup.zones) != fingerprint) {
        file.problem = problemAt(BackupProblem::WrongFingerprint, kBackupSection,
                                 QStringLiteral("fingerprint"), QString::fromLatin1(fingerprint));
        return file;
    }
    return file;
}

BackupFile readBackupFile(const QString &path)
{
    // The file-level checks (a regular file, not too large, readable) are the zone file's.
    const ZoneFile zones = readZoneFile(path);
    if (!zones.read || zones.problem.kind == ZoneFileProblem::TooLarge) {
        BackupFile file;
        file.problem.kind = BackupProblem::File;
        file.problem.zones = zones.problem;
        return file;
    }
    return checkBackupBytes(zones.bytes);
}

QString describeBackupProblem(const BackupProblem &p, const QString &fileName)
{
    const QString where = QStringLiteral("%1: [%2] %3").arg(fileName, p.section, p.key);
    switch (p.kind) {
    case BackupProblem::None:
        return QString();
    case BackupProblem::File:
        return describeZoneFileProblem(p.zones, fileName);
    case BackupProblem::NotABackup:
        return QStringLiteral("%1 is a zone file, not a backup: it has no [Backup], [Device] "
                              "or [Filter] section (write-zones sends the zones of a zone file)")
            .arg(fileName);
    case BackupProblem::NewerFormat:
        return QStringLiteral("%1: backup format '%2' is not known to this version, which "
                              "reads format %3")
            .arg(fileName, p.detail)
            .arg(kBackupFormat);
    case BackupProblem::MissingKey:
        return QStringLiteral("%1 is missing").arg(where);
    case BackupProblem::NotAText:
        return QStringLiteral("%1 is not a plain text (quote a value with a comma)").arg(where);
    case BackupProblem::NotAWholeNumber:
        return QStringLiteral("%1 holds '%2', not a whole number").arg(where, p.detail);
    case BackupProblem::OutOfRange:
        return QStringLiteral("%1 %2 is outside 0 to %3").arg(where, p.detail).arg(p.maximum);
    case BackupProblem::BadDate:
        return QStringLiteral("%1 holds '%2', not a date and time").arg(where, p.detail);
    case BackupProblem::BadFingerprint:
        return QStringLiteral("%1 holds '%2', not 32 hexadecimal digits").arg(where, p.detail);
    case BackupProblem::WrongFingerprint:
        return QStringLiteral("%1: the zones are not those of the fingerprint %2 (they were "
                              "changed after the backup was made)")
            .arg(fileName, p.detail);
    }
    return QString();
}
