#pragma once

#include <QEventLoop>
#include <QTimer>

#include <functional>

// Runs the event loop until done() holds or timeoutMs have passed. QTest::qWaitFor sleeps
// 10 ms between rounds of events, which turns an exchange of many frames with the
// simulator (64 zone blocks) into seconds; this loop only waits for events, so the
// simulator's thread keeps its core. Header-only: the benchmarks use it too.
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
