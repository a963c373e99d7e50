#include "unsentmarker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString unsentMarkerPath(const QString &storeFile)
{
    return storeFile + QStringLiteral(".unsent");
}

bool setUnsentMarker(const QString &storeFile, bool unsent)
{
    const QString path = unsentMarkerPath(storeFile);
    if (!unsent)
        return !QFileInfo::exists(path) || QFile::remove(path);
    QSaveFile mark(path);
    const QByteArray text = "The zone store " + QFileInfo(storeFile).fileName().toUtf8() +
                            " holds zones the scanner has not received; the next start of "
                            "areascan-studio keeps a copy of them before it resets the store.\n";
    return mark.open(QIODevice::WriteOnly) && mark.write(text) == text.size() && mark.commit();
}

bool hasUnsentMarker(const QString &storeFile)
{
    return QFileInfo::exists(unsentMarkerPath(storeFile));
}

QString writeUnsentZonesCopy(const QByteArray &bytes, const QString &folder, const QDateTime &when,
                             QString *error)
{
    const QDir dir(folder);
    const QString stamp = when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = dir.filePath(QStringLiteral("unsent-zones-%1.ini").arg(stamp));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = dir.filePath(QStringLiteral("unsent-zones-%1-%2.ini").arg(stamp).arg(n));
    QSaveFile copy(name);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.commit()) {
        *error = copy.errorString();
        return QString();
    }
    return QFileInfo(name).absoluteFilePath();
}

QString keepUnsentZonesOfLastRun(const QString &storeFile, const QDateTime &now, QString *error)
{
    if (!hasUnsentMarker(storeFile))
        return QString();
    QFile store(storeFile);
    QByteArray bytes;
    if (store.exists()) {
        if (!store.open(QIODevice::ReadOnly)) {
            *error = store.errorString();
            return QString();
        }
        bytes = store.readAll();
    }
    QString copy;
    if (!bytes.isEmpty()) {
        copy = writeUnsentZonesCopy(bytes, QFileInfo(storeFile).absolutePath(), now, error);
        if (copy.isEmpty())
            return QString();
    }
    setUnsentMarker(storeFile, false);
    return copy;
}
