#include "appfolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString factorySettingsPath()
{
    QString local = QStringLiteral("factorySettings.ini");
    if (QFileInfo::exists(local))
        return local;
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("areascan-studio/") + local);
}

bool enterOwnFolder(QString *error)
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (path.isEmpty()) {
        *error = QStringLiteral("no data directory is known for this user");
        return false;
    }
    if (!QDir().mkpath(path)) {
        *error = QStringLiteral("cannot create the working folder %1").arg(path);
        return false;
    }
    if (!QDir::setCurrent(path)) {
        *error = QStringLiteral("cannot enter the working folder %1").arg(path);
        return false;
    }
    return true;
}
