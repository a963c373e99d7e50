#include "simulatorhost.h"

#include "simtcpbridge.h"
#include "simulatedscanner.h"

#include <QThread>

SimulatorHost::SimulatorHost() : m_scanner(new SimulatedScanner) {}

SimulatorHost::~SimulatorHost()
{
    stop();
    delete m_scanner;
}

bool SimulatorHost::start(const SimOptions &options, QString *error)
{
    if (isRunning())
        return true;
    m_scanner->setOptions(options);
    if (!m_scanner->openDevice(error))
        return false;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("areascan-sim"));
    m_scanner->moveToThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(m_scanner, &SimulatedScanner::start, Qt::BlockingQueuedConnection);
    return true;
}

void SimulatorHost::stop()
{
    stopTcp();
    if (!m_thread)
        return;
    QThread *home = QThread::currentThread();
    SimulatedScanner *scanner = m_scanner;
    // The scanner's timer and notifier must die in its own thread; then it comes home,
    // so that it can be started again or deleted here.
    QMetaObject::invokeMethod(
        m_scanner,
        [scanner, home] {
            scanner->stop();
            scanner->moveToThread(home);
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

bool SimulatorHost::isRunning() const
{
    return m_thread != nullptr;
}

QString SimulatorHost::devicePath() const
{
    return m_scanner->devicePath();
}

quint16 SimulatorHost::listenTcp(quint16 port, QString *error)
{
    if (m_bridge)
        return m_tcpPort;
    SimulatedScanner *scanner = m_scanner;
    m_bridge = new SimTcpBridge([scanner]() { return scanner->devicePath(); });
    m_tcpThread = new QThread;
    m_tcpThread->setObjectName(QStringLiteral("areascan-sim-tcp"));
    m_bridge->moveToThread(m_tcpThread);
    m_tcpThread->start();
    QString why;
    SimTcpBridge *bridge = m_bridge;
    QMetaObject::invokeMethod(
        m_bridge, [bridge, port, &why, this]() { m_tcpPort = bridge->listen(port, &why); },
        Qt::BlockingQueuedConnection);
    if (m_tcpPort == 0) {
        if (error)
            *error = why;
        stopTcp();
    }
    return m_tcpPort;
}

QString SimulatorHost::tcpName() const
{
    return m_tcpPort ? QStringLiteral("tcp://127.0.0.1:%1").arg(m_tcpPort) : QString();
}

void SimulatorHost::stopTcp()
{
    if (!m_bridge)
        return;
    SimTcpBridge *bridge = m_bridge;
    // Its sockets and notifiers die in its own thread: stopped there, then deleted there as
    // the thread finishes.
    QMetaObject::invokeMethod(
        m_bridge, [bridge]() { bridge->stop(); }, Qt::BlockingQueuedConnection);
    m_bridge->deleteLater();
    m_bridge = nullptr;
    m_tcpThread->quit();
    m_tcpThread->wait();
    delete m_tcpThread;
    m_tcpThread = nullptr;
    m_tcpPort = 0;
}

SimOptions SimulatorHost::options() const
{
    return m_scanner->options();
}

void SimulatorHost::setOptions(const SimOptions &options)
{
    m_scanner->setOptions(options);
}

void SimulatorHost::updateOptions(const std::function<void(SimOptions &)> &change)
{
    m_scanner->updateOptions(change);
}

void SimulatorHost::setSilent(bool silent)
{
    m_scanner->updateOptions([silent](SimOptions &o) { o.silent = silent; });
}

void SimulatorHost::setScanStream(bool on)
{
    m_scanner->updateOptions([on](SimOptions &o) { o.scanStream = on; });
}

DeviceState SimulatorHost::state() const
{
    return m_scanner->state();
}

void SimulatorHost::setState(const DeviceState &state)
{
    m_scanner->setState(state);
}

void SimulatorHost::updateState(const std::function<void(DeviceState &)> &change)
{
    m_scanner->updateState(change);
}

QVector<ReceivedFrame> SimulatorHost::receivedFrames() const
{
    return m_scanner->receivedFrames();
}

QVector<SentReply> SimulatorHost::sentReplies() const
{
    return m_scanner->sentReplies();
}

void SimulatorHost::clearLog()
{
    m_scanner->clearLog();
}

qint64 SimulatorHost::rawBytesReceived() const
{
    return m_scanner->rawBytesReceived();
}

void SimulatorHost::injectBytes(const QByteArray &bytes)
{
    m_scanner->injectBytes(bytes);
}

void SimulatorHost::unplug()
{
    if (m_thread)
        QMetaObject::invokeMethod(m_scanner, &SimulatedScanner::unplug,
                                  Qt::BlockingQueuedConnection);
}

bool SimulatorHost::replug(QString *error)
{
    if (!m_thread)
        return false;
    bool ok = false;
    SimulatedScanner *scanner = m_scanner;
    QMetaObject::invokeMethod(
        m_scanner, [scanner, error, &ok] { ok = scanner->replug(error); },
        Qt::BlockingQueuedConnection);
    return ok;
}
