#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// A single-shot wake-up with the kernel's timer resolution rather than QTimer's whole
// milliseconds: a paced line hands the last byte of a frame over when the line has
// carried it, not up to a millisecond later. Lives in the thread that creates it.
class SimWakeup : public QObject
{
public:
    SimWakeup(std::function<void()> fire, QObject *parent);
    ~SimWakeup() override;

    // Fires once, seconds from now (at once for 0 or less); a later call moves it.
    void startIn(double seconds);
    void stop();
    bool isActive() const { return m_active; }

private:
    void onExpired();

    std::function<void()> m_fire;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    bool m_active = false;
};
