#pragma once

#include "eventwait.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Moves the process into a fresh temporary directory for the lifetime of the object,
// so each test sees its own settings.ini / config.ini and leaves nothing behind.
class TempWorkingDir
{
public:
    TempWorkingDir() : m_previous(QDir::currentPath())
    {
        QVERIFY2(m_dir.isValid(), "cannot create a temporary directory");
        QDir::setCurrent(m_dir.path());
    }
    ~TempWorkingDir() { QDir::setCurrent(m_previous); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

// A file's bytes; empty when it cannot be read.
inline QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
