#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Points the data directories ($XDG_DATA_HOME, the user's; $XDG_DATA_DIRS, the system's,
// /usr/share on an installed machine) at empty folders of a temporary directory for the
// object's lifetime: files of an installed package never reach a test, and a test can lay
// out a shipped folder of its own.
class FakeDataDirs
{
public:
    FakeDataDirs()
        : m_oldHome(qgetenv("XDG_DATA_HOME")), m_oldDirs(qgetenv("XDG_DATA_DIRS")),
          m_hadHome(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
          m_hadDirs(qEnvironmentVariableIsSet("XDG_DATA_DIRS"))
    {
        QVERIFY2(m_root.isValid(), "cannot create a temporary directory");
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("home")));
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("system")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(system()));
    }
    ~FakeDataDirs()
    {
        restore("XDG_DATA_HOME", m_hadHome, m_oldHome);
        restore("XDG_DATA_DIRS", m_hadDirs, m_oldDirs);
    }
    QString home() const { return m_root.filePath(QStringLiteral("home")); }
    QString system() const { return m_root.filePath(QStringLiteral("system")); }

    // Copies source to <dataDir>/areascan-studio/name, as a package installs it, and
    // returns the copy's path (empty when the copy failed).
    static QString install(const QString &dataDir, const QString &source, const QString &name)
    {
        const QString folder = dataDir + QStringLiteral("/areascan-studio");
        QString target = folder + QLatin1Char('/') + name;
        if (!QDir().mkpath(folder) || !QFile::copy(source, target))
            return QString();
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::ReadOther);
        return target;
    }

private:
    static void restore(const char *name, bool had, const QByteArray &value)
    {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    }

    QTemporaryDir m_root;
    QByteArray m_oldHome;
    QByteArray m_oldDirs;
    bool m_hadHome;
    bool m_hadDirs;
};
