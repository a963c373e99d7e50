#include "recordinglink.h"

#include "linklog.h"

#include <QIODevice>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>

// The bytes a recording hands out, as a device the worker reads like a port: what is
// handed out waits here until read; what is written is taken whole and reported written
// from the event loop, as a port reports the bytes it passed on.
class RecordingDevice : public QIODevice
{
public:
    using QIODevice::QIODevice;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_pending.size() - m_read + QIODevice::bytesAvailable();
    }
    void append(const char *data, int size) { m_pending.append(data, size); }
    void drop()
    {
        m_pending.clear();
        m_read = 0;
    }
    qint64 swallowed() const { return m_swallowed; }
    void announce() { emit readyRead(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_pending.size() - m_read);
        if (n <= 0)
            return 0;
        std::copy_n(m_pending.constData() + m_read, n, data);
        m_read += int(n);
        if (m_read == m_pending.size())
            drop();
        return n;
    }
    qint64 writeData(const char *, qint64 size) override
    {
        m_swallowed += size;
        QTimer::singleShot(0, this, [this, size]() { emit bytesWritten(size); });
        return size;
    }

private:
    QByteArray m_pending;
    int m_read = 0;
    qint64 m_swallowed = 0;
};

RecordingLink::RecordingLink(const QString &path, QObject *parent)
    : ScannerLink(parent), m_path(path), m_device(new RecordingDevice(this)),
      m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &RecordingLink::tick);
    connect(m_device, &QIODevice::bytesWritten, this, &ScannerLink::bytesWritten);
}

RecordingLink::~RecordingLink() = default;

ScannerLink::Opening RecordingLink::open()
{
    close();
    // Read again at every open: the file may have been replaced since.
    RecordingFile file;
    if (!loadRecording(m_path, &file, &m_error))
        return Opening::Failed;
    m_error.clear();
    m_file = std::move(file);
    m_index = RecordingIndex(m_file);
    m_device->open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    m_open = true;
    m_position = 0;
    // The first scan shows at once, as a port's first bytes would answer the probe; it is
    // handed out from the event loop, once the session listens.
    QTimer::singleShot(0, this, [this]() {
        if (!m_open || m_position > 0)
            return;
        if (m_index.scanCount() > 0)
            showScan(0);
        else
            handOut(0, m_file.frameCount() - 1);
    });
    return Opening::Open;
}

void RecordingLink::close()
{
    pause();
    m_open = false;
    m_device->drop();
    m_device->close();
}

bool RecordingLink::isOpen() const
{
    return m_open;
}

QIODevice *RecordingLink::device() const
{
    return m_device;
}

qint64 RecordingLink::bytesSwallowed() const
{
    return m_device->swallowed();
}

qint64 RecordingLink::positionUs() const
{
    return m_position > 0 ? m_file.frames.at(m_position - 1).timeUs : 0;
}

qint64 RecordingLink::clockUs() const
{
    return m_file.startUs + positionUs();
}

int RecordingLink::currentScan() const
{
    return m_index.scanEndingBy(m_position - 1);
}

void RecordingLink::play()
{
    if (!m_open || m_playing)
        return;
    if (atEnd()) {
        // Played to the end: from the start again.
        if (m_index.scanCount() > 0)
            showScan(0);
    }
    m_playing = true;
    m_anchorUs = positionUs();
    m_clock.start();
    emit playingChanged(true);
    tick();
}

void RecordingLink::pause()
{
    m_timer->stop();
    if (!m_playing)
        return;
    m_playing = false;
    emit playingChanged(false);
}

void RecordingLink::setSpeed(double speed)
{
    speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
    if (speed == m_speed)
        return;
    // The clock goes on from where it is now at the new speed.
    if (m_playing) {
        m_anchorUs = playbackNowUs();
        m_clock.start();
    }
    m_speed = speed;
    emit speedChanged(speed);
    if (m_playing)
        scheduleTick();
}

void RecordingLink::stepScans(int delta)
{
    if (!m_open || m_index.scanCount() == 0)
        return;
    pause();
    const int current = currentScan();
    showScan(std::clamp(current + delta, 0, m_index.scanCount() - 1));
}

void RecordingLink::seek(qint64 timeUs)
{
    if (!m_open || m_index.scanCount() == 0)
        return;
    showScan(m_index.scanAt(timeUs));
}

void RecordingLink::seekToFrame(int frame)
{
    if (!m_open || m_index.scanCount() == 0)
        return;
    showScan(std::clamp(m_index.scanEndingBy(frame - 1) + 1, 0, m_index.scanCount() - 1));
}

void RecordingLink::showScan(int scan)
{
    // The worker drops what it holds of the scan it was cutting, then gets this one whole.
    m_device->drop();
    emit restarted();
    const QPointer<RecordingLink> alive(this);
    handOut(m_index.scanFirstFrame(scan), m_index.scanLastFrame(scan));
    if (!alive)
        return;
    if (m_playing) {
        m_anchorUs = positionUs();
        m_clock.start();
        scheduleTick();
    }
}

void RecordingLink::handOut(int first, int last)
{
    if (last < first)
        return;
    for (int i = first; i <= last; ++i) {
        const RecordedFrame &f = m_file.frames.at(i);
        if (!f.scan && !m_replies)
            continue;
        m_device->append(m_file.bytes.constData() + f.offset, f.length);
    }
    m_position = last + 1;
    const QPointer<RecordingLink> alive(this);
    m_device->announce();
    if (alive)
        emit positionChanged();
}

qint64 RecordingLink::playbackNowUs() const
{
    return m_anchorUs + qint64(std::llround(m_clock.nsecsElapsed() / 1000.0 * m_speed));
}

void RecordingLink::tick()
{
    if (!m_playing)
        return;
    const qint64 now = playbackNowUs();
    int last = m_position - 1;
    while (last + 1 < m_file.frameCount() && m_file.frames.at(last + 1).timeUs <= now)
        ++last;
    const QPointer<RecordingLink> alive(this);
    if (last >= m_position)
        handOut(m_position, last);
    if (!alive || !m_playing)
        return;
    if (atEnd()) {
        pause();
        return;
    }
    scheduleTick();
}

void RecordingLink::scheduleTick()
{
    if (atEnd())
        return;
    const qint64 due = m_file.frames.at(m_position).timeUs;
    const double waitMs = (due - playbackNowUs()) / 1000.0 / m_speed;
    m_timer->start(std::max(0, int(std::ceil(waitMs))));
}
