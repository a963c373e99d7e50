#pragma once

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

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

// Runs the event loop until done() holds or timeoutMs have passed. QTest::qWaitFor sleeps
// 10 ms between rounds of events, which turns an exchange of many frames with the
// simulator (64 zone blocks) into seconds; this loop only waits for events.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&]() {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}
