#include "simwakeup.h"

#include <QSocketNotifier>

#include <cmath>
#include <sys/timerfd.h>
#include <unistd.h>

SimWakeup::SimWakeup(std::function<void()> fire, QObject *parent)
    : QObject(parent), m_fire(std::move(fire))
{
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimWakeup::onExpired);
}

SimWakeup::~SimWakeup()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void SimWakeup::startIn(double seconds)
{
    if (m_fd < 0)
        return;
    // Zero would disarm the timer: the shortest wait is one nanosecond.
    const qint64 ns = std::max<qint64>(1, qint64(std::ceil(seconds * 1e9)));
    itimerspec due = {};
    due.it_value.tv_sec = time_t(ns / 1000000000);
    due.it_value.tv_nsec = long(ns % 1000000000);
    if (::timerfd_settime(m_fd, 0, &due, nullptr) == 0)
        m_active = true;
}

void SimWakeup::stop()
{
    if (m_fd < 0)
        return;
    const itimerspec off = {};
    ::timerfd_settime(m_fd, 0, &off, nullptr);
    m_active = false;
}

void SimWakeup::onExpired()
{
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
        return;
    m_active = false;
    m_fire();
}
