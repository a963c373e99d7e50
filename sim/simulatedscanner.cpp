#include "simulatedscanner.h"

#include "framecodec.h"
#include "requesttype.h"
#include "simbootloader.h"
#include "simframes.h"
#include "simwakeup.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>
#include <QtMath>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kTickMs = 2;
// Scan frames wait while this much is queued or unread, as a real scanner's UART
// would simply fall behind; a reply is never held back.
constexpr int kMaxQueued = 2 * 1024;
constexpr int kMaxUnread = 2 * 1024;
// A request whose rest does not come within this time is given up.
constexpr double kRequestGapSeconds = 0.1;
// How long the scan stream stays held after a zone request: the answer (71 ms for a
// block) and the tool's next request fit well inside it.
constexpr double kZoneQuietSeconds = 0.15;
constexpr double kHandOverSeconds = 0.05;

bool setRawMode(int fd)
{
    termios t;
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetispeed(&t, B921600);
    cfsetospeed(&t, B921600);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

QString errnoText(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

// What a bootloader understands; everything else goes unanswered while it runs.
bool bootloaderAnswers(quint16 type)
{
    return type == REQUEST_CONNECT || type == REQUEST_DEVICE_MODE || type == REQUEST_RESTART ||
           simbootloader::isFirmwareRequest(type);
}

} // namespace

SimulatedScanner::SimulatedScanner(const SimOptions &options, QObject *parent)
    : QObject(parent), m_options(options)
{
}

SimulatedScanner::~SimulatedScanner()
{
    // The notifier and timer belong to the simulator's thread and are gone after stop();
    // only the descriptors may remain if the scanner never ran.
    if (!m_notifier)
        closeDevice();
}

bool SimulatedScanner::openDevice(QString *error)
{
    if (m_master >= 0)
        return true;
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        closeDevice();
        return false;
    };
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return fail(errnoText("openpty"));
    }
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (!setRawMode(m_slave) || !setRawMode(m_master))
        return fail(errnoText("raw mode"));
    if (fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0)
        return fail(errnoText("non-blocking mode"));
    char name[256];
    if (ttyname_r(m_slave, name, sizeof name) != 0)
        return fail(errnoText("ttyname"));
    const QString path = QString::fromLocal8Bit(name);

    const QString link = options().linkPath;
    if (!link.isEmpty()) {
        const QByteArray linkName = QFile::encodeName(link);
        struct stat st;
        if (lstat(linkName.constData(), &st) == 0) {
            // A link left by an earlier run that did not stop cleanly is replaced; any
            // other file is not ours to remove.
            if (!S_ISLNK(st.st_mode))
                return fail(QStringLiteral("%1 exists and is not a symbolic link").arg(link));
            unlink(linkName.constData());
        }
        if (symlink(name, linkName.constData()) != 0)
            return fail(errnoText("symlink"));
    }
    QMutexLocker lock(&m_mutex);
    m_path = path;
    m_linkedPath = link;
    return true;
}

void SimulatedScanner::closeDevice()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    QMutexLocker lock(&m_mutex);
    if (!m_linkedPath.isEmpty())
        unlink(QFile::encodeName(m_linkedPath).constData());
    m_linkedPath.clear();
    m_path.clear();
    m_out.clear();
    m_frameEnds.clear();
    m_txWritten = m_txQueued;
}

QString SimulatedScanner::devicePath() const
{
    QMutexLocker lock(&m_mutex);
    return m_path;
}

SimOptions SimulatedScanner::options() const
{
    QMutexLocker lock(&m_mutex);
    return m_options;
}

void SimulatedScanner::setOptions(const SimOptions &options)
{
    QMutexLocker lock(&m_mutex);
    m_options = options;
}

void SimulatedScanner::updateOptions(const std::function<void(SimOptions &)> &change)
{
    QMutexLocker lock(&m_mutex);
    change(m_options);
}

DeviceState SimulatedScanner::state() const
{
    QMutexLocker lock(&m_mutex);
    return m_state;
}

void SimulatedScanner::setState(const DeviceState &state)
{
    QMutexLocker lock(&m_mutex);
    m_state = state;
}

void SimulatedScanner::updateState(const std::function<void(DeviceState &)> &change)
{
    QMutexLocker lock(&m_mutex);
    change(m_state);
}

QVector<ReceivedFrame> SimulatedScanner::receivedFrames() const
{
    QMutexLocker lock(&m_mutex);
    return m_log;
}

QVector<SentReply> SimulatedScanner::sentReplies() const
{
    QMutexLocker lock(&m_mutex);
    return m_replies;
}

void SimulatedScanner::clearLog()
{
    QMutexLocker lock(&m_mutex);
    m_log.clear();
    m_replies.clear();
    for (FrameEnd &f : m_frameEnds)
        f.reply = -1;
    m_rawBytes = 0;
}

qint64 SimulatedScanner::rawBytesReceived() const
{
    QMutexLocker lock(&m_mutex);
    return m_rawBytes;
}

qint64 SimulatedScanner::scanFramesSent() const
{
    QMutexLocker lock(&m_mutex);
    return m_scanFrames;
}

void SimulatedScanner::injectBytes(const QByteArray &bytes)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_out.isEmpty())
            lineBecomesBusy(m_clock.nsecsElapsed() / 1e9, m_options);
        m_out.append(bytes);
        m_txQueued += bytes.size();
        m_frameEnds.append({m_txQueued, -1});
    }
    // The tick sends it; paced or not, it goes out within a few milliseconds.
}

void SimulatedScanner::start()
{
    if (m_tick)
        return;
    const SimOptions o = options();
    m_rng.seed(o.seed ? o.seed : QRandomGenerator::global()->generate());
    m_clock.start();
    if (!openDevice())
        return;
    m_tick = new QTimer(this);
    m_tick->setTimerType(Qt::PreciseTimer);
    connect(m_tick, &QTimer::timeout, this, &SimulatedScanner::onTick);
    m_rxTimer = new QTimer(this);
    m_rxTimer->setTimerType(Qt::PreciseTimer);
    m_rxTimer->setSingleShot(true);
    connect(m_rxTimer, &QTimer::timeout, this, &SimulatedScanner::takeArrivedBytes);
    m_rxWakeup = new SimWakeup([this]() { takeArrivedBytes(); }, this);
    m_txWakeup = new SimWakeup([this]() { flushOutput(false); }, this);
    arm();
}

void SimulatedScanner::arm()
{
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimulatedScanner::onReadable);
    m_in.clear();
    m_wireIn.clear();
    m_arrivals.clear();
    m_rawRead = 0;
    m_inOffset = 0;
    m_lastTick = m_clock.nsecsElapsed() / 1e9;
    m_txLast = m_rxLast = m_lastTick;
    m_wireBudget = 0;
    m_rxBudget = 0;
    m_scansDue = 0;
    m_sectorIndex = 0;
    m_replayIndex = 0;
    m_replayClock = 0;
    m_replayLap = 0;
    std::fill(std::begin(m_sectorHits), std::end(m_sectorHits), quint8(0));
    m_deafUntil = -1;
    m_tick->start(kTickMs);
}

void SimulatedScanner::stop()
{
    dropRestartTimers();
    dropHeldAnswers();
    delete m_notifier;
    m_notifier = nullptr;
    delete m_tick;
    m_tick = nullptr;
    delete m_rxTimer;
    m_rxTimer = nullptr;
    delete m_rxWakeup;
    m_rxWakeup = nullptr;
    delete m_txWakeup;
    m_txWakeup = nullptr;
    closeDevice();
}

void SimulatedScanner::unplug()
{
    if (m_replugTimer)
        m_replugTimer->stop();
    if (m_cableTimer)
        m_cableTimer->stop();
    m_unplugPending = false;
    dropHeldAnswers();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_tick)
        m_tick->stop();
    if (m_rxTimer)
        m_rxTimer->stop();
    if (m_rxWakeup)
        m_rxWakeup->stop();
    if (m_txWakeup)
        m_txWakeup->stop();
    closeDevice();
}

bool SimulatedScanner::replug(QString *error)
{
    if (!m_tick || m_master >= 0)
        return m_master >= 0;
    if (!openDevice(error))
        return false;
    arm();
    return true;
}

bool SimulatedScanner::takeLineFault(SimOptions::LineFault::Kind kind, quint16 type)
{
    QMutexLocker lock(&m_mutex);
    bool fires = false;
    for (SimOptions::LineFault &f : m_options.lineFaults) {
        if (f.kind == kind && f.type == type && f.after > 0)
            fires = --f.after == 0 || fires;
    }
    return fires;
}

void SimulatedScanner::handleRequest(const simframes::Request &r, qint64 firstByteNs)
{
    ReceivedFrame logged;
    logged.msecs = m_clock.elapsed();
    logged.firstByteNs = firstByteNs;
    logged.type = r.type;
    logged.payload = r.payload;
    logged.raw = r.raw;
    // Damaged on its way: the scanner sees a bad checksum and ignores it.
    logged.checksumOk =
        r.checksumOk && !takeLineFault(SimOptions::LineFault::DamagedRequest, r.type);
    SimOptions o;
    quint8 mode;
    {
        QMutexLocker lock(&m_mutex);
        m_log.append(logged);
        o = m_options;
        mode = m_state.deviceMode;
    }
    if (!logged.checksumOk)
        return; // a damaged request is ignored, as the firmware does
    emit frameReceived(r.type, r.payload);
    if (m_unplugPending)
        return; // the cable is on its way out
    bool pullAfterThis = false;
    {
        QMutexLocker lock(&m_mutex);
        if (m_options.unplugAfter > 0 && m_options.unplugType == r.type)
            pullAfterThis = --m_options.unplugAfter == 0;
    }
    if (pullAfterThis) {
        m_unplugPending = true;
        m_unplugDeadline = m_clock.nsecsElapsed() / 1e9 + 1.0;
    }
    if (r.type == REQUEST_READ_AREA || r.type == REQUEST_WRITE_AREA ||
        r.type == REQUEST_BEGIN_AREA_WRITE)
        m_zoneBusyUntil = m_clock.nsecsElapsed() / 1e9 + kZoneQuietSeconds;
    if (o.silent || m_deafUntil >= 0)
        return;
    if (mode != 0 && !bootloaderAnswers(r.type))
        return;
    if (mode == 0 && simbootloader::isFirmwareRequest(r.type))
        return; // the application does not speak the bootloader's protocol

    const quint16 override = o.statusOverrides.value(r.type, 0);
    quint16 status = override;
    QByteArray payload;
    bool known;
    {
        QMutexLocker lock(&m_mutex);
        known = answer(r, override != 0, status, payload);
    }
    if (!known || o.dropTypes.contains(r.type) ||
        takeLineFault(SimOptions::LineFault::LostAnswer, r.type))
        return;
    const bool spoil = o.corruptTypes.contains(r.type) ||
                       (o.corruptShare > 0 && m_rng.generateDouble() < o.corruptShare) ||
                       takeLineFault(SimOptions::LineFault::DamagedAnswer, r.type);
    const QByteArray reply = simframes::replyFrame(r.type, status, payload);
    if (holdAnswer(reply, spoil, r.type, status, takeAnswerDelay(r.type)))
        return;
    queueFrame(reply, spoil, o, r.type, status);
    flushOutput(false);
}

int SimulatedScanner::unreadBytes() const
{
    int unread = 0;
    if (m_slave >= 0 && ioctl(m_slave, FIONREAD, &unread) != 0)
        unread = 0;
    return unread;
}

bool SimulatedScanner::readerIsBehind() const
{
    const int unread = unreadBytes();
    QMutexLocker lock(&m_mutex);
    return unread > kMaxUnread || m_out.size() > kMaxQueued;
}

void SimulatedScanner::onTick()
{
    const double now = m_clock.nsecsElapsed() / 1e9;
    const double dt = now - m_lastTick;
    m_lastTick = now;

    if (m_hangUpPending && outputDrained()) {
        m_hangUpPending = false;
        hangUp();
        return;
    }
    // The terminal passes written bytes on to the reader's side a little later, so the
    // line stays up a moment after the last write before the reader can be said to have
    // everything.
    if (m_unplugPending &&
        ((outputDrained() && now - m_lastWriteAt > kHandOverSeconds && unreadBytes() == 0) ||
         now >= m_unplugDeadline)) {
        m_unplugPending = false;
        pullCable();
        return;
    }
    if (m_deafUntil >= 0 && now >= m_deafUntil && !m_hangUpPending)
        finishRestart();

    if (!m_wireIn.isEmpty())
        takeArrivedBytes();
    // A request whose rest never comes must not swallow the ones behind it.
    if (m_wireIn.isEmpty() && !m_in.isEmpty() && now - m_lastRx > kRequestGapSeconds) {
        m_in.remove(0, 1);
        ++m_inOffset;
        m_lastRx = now;
        takeRequests();
    }

    SimOptions o;
    int frequency;
    bool streaming;
    {
        QMutexLocker lock(&m_mutex);
        o = m_options;
        frequency = std::clamp<int>(m_state.frequency, 1, 100);
        streaming = o.scanStream && !o.silent && m_state.deviceMode == 0;
    }
    streaming = streaming && m_deafUntil < 0 && !m_unplugPending &&
                !(o.pauseStreamForZones && now < m_zoneBusyUntil);
    if (!streaming) {
        m_scansDue = 0;
    } else if (o.replay.scanCount() > 0) {
        replayScans(dt, o);
    } else {
        // Six frames per scan; a stalled thread catches up by at most one scan.
        m_scansDue = std::min(m_scansDue + dt * frequency * 6, 6.0);
        while (m_scansDue >= 1) {
            m_scansDue -= 1;
            if (readerIsBehind())
                continue;
            sendScanFrame(now, o);
        }
    }
    flushOutput(true);
}

bool SimulatedScanner::spoilScanFrame(const SimOptions &o)
{
    ++m_streamFrames;
    return o.corruptScanFrames ||
           (o.damageScanEvery > 0 && m_streamFrames % o.damageScanEvery == 0) ||
           (o.corruptShare > 0 && m_rng.generateDouble() < o.corruptShare);
}

void SimulatedScanner::sendScanFrame(double now, const SimOptions &o)
{
    simframes::ScanContent c;
    quint16 maskIntensity, maskMin, maskMax;
    quint8 input;
    ZoneArea watched[kZoneAreas];
    {
        QMutexLocker lock(&m_mutex);
        maskIntensity = m_state.maskIntensity;
        maskMin = m_state.maskMinAngle;
        maskMax = m_state.maskMaxAngle;
        input = m_state.activeChannel;
        if (input < kZoneChannels)
            for (int k = 0; k < kZoneAreas; ++k)
                watched[k] = m_state.zone(input, k);
    }
    for (int k = 0; k < kZoneAreas; ++k) {
        if (watched[k] != m_watchedAreas[k]) {
            m_watchedAreas[k] = watched[k];
            m_watchedShapes[k] = ZoneShape(watched[k]);
        }
    }
    const int sector = o.firstSector + m_sectorIndex;
    c.sector = quint8(sector);
    c.input = input;
    if (!o.errorBytes.isEmpty())
        c.error = o.errorBytes.at(
            int(m_scanNumber / std::max(1, o.errorByteScans) % o.errorBytes.size()));
    quint8 hits = 0;
    for (int i = 0; i < simframes::kScanPoints; ++i) {
        const int halfDegree = m_sectorIndex * simframes::kScanPoints + i;
        // The tool places point i of sector s at (s - 1) * 45 + i / 2 degrees; the room is
        // drawn in that same frame so that what the tool shows matches the scene.
        const double angle = (sector - 1) * 45.0 + i * 0.5;
        const SimScene::Echo e = m_scene.sample(angle, now, m_rng);
        if (halfDegree < maskMin || halfDegree > maskMax || e.intensity < maskIntensity)
            continue;
        c.ranges[i] = e.range;
        c.intensities[i] = e.intensity;
        if (e.range == 0)
            continue;
        const double a = qDegreesToRadians(angle);
        const QPointF at(e.range * std::cos(a), e.range * std::sin(a));
        for (int k = 0; k < kZoneAreas; ++k)
            if (m_watchedShapes[k].contains(at))
                hits |= quint8(0x02 << k);
    }
    // Outputs 1 to 3 report the attention, warning and alarm zones over the last six
    // sectors; output 4 (bit 0) is never switched.
    m_sectorHits[m_sectorIndex] = hits;
    c.output = 0;
    for (quint8 h : m_sectorHits)
        c.output |= h;
    m_sectorIndex = (m_sectorIndex + 1) % 6;
    if (m_sectorIndex == 0)
        ++m_scanNumber;
    queueFrame(simframes::scanFrame(c), spoilScanFrame(o), o);
    QMutexLocker lock(&m_mutex);
    ++m_scanFrames;
}
