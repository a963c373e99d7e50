#include "devicelink.h"

#include "requesttable.h"
#include "workerthread.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QTimer>

DeviceLink::DeviceLink(int timeoutMs) : m_timeoutMs(timeoutMs) {}

DeviceLink::~DeviceLink()
{
    // As the window does: the port is closed before its worker goes.
    if (m_port)
        m_port->close();
    m_worker.reset();
    m_port.reset();
}

bool DeviceLink::open(const QString &portName, int baud, QString *error)
{
    m_baud = baud;
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(portName);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
    if (!m_port->open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot open the port: %1").arg(m_port->errorString());
        return false;
    }
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &DeviceLink::onPortError);

    // The probe answer is not parsed: any byte says a scanner is there. It stays in the
    // port and reaches the worker with the next arrival, like any late reply.
    m_port->write(requestFrame(REQUEST_CONNECT, QString()));
    if (!m_port->waitForReadyRead(m_timeoutMs)) {
        *error = QStringLiteral("no answer within %1 ms to the connection probe").arg(m_timeoutMs);
        return false;
    }

    m_worker = std::make_unique<WorkerThread>(m_port.get());
    const auto wakeUp = [this]() { wake(); };
    connect(m_worker.get(), &WorkerThread::sendMainRequestResult, this, wakeUp);
    connect(m_worker.get(), &WorkerThread::sendReadCurArea, this, wakeUp);
    connect(m_worker.get(), &WorkerThread::sendWriteCurArea, this, wakeUp);
    connect(m_worker.get(), &WorkerThread::writeFirmwareDataProgress, this, wakeUp);
    connect(m_worker.get(), &WorkerThread::sendTransferRefused, this, wakeUp);
    // run() only connects readyRead; waiting for it means no reply can slip past.
    m_worker->start();
    m_worker->wait();
    return true;
}

void DeviceLink::send(RequestType type, const QString &value)
{
    m_worker->onRequestType(type, value);
}

namespace {
bool askAndWait(DeviceLink *link, RequestType type, const QString &value, int ms, QString *result)
{
    bool answered = false;
    const QMetaObject::Connection c =
        QObject::connect(link->worker(), &WorkerThread::sendMainRequestResult, link,
                         [&](RequestType replyType, const QString &text) {
                             if (replyType == type && !answered) {
                                 answered = true;
                                 *result = text;
                             }
                         });
    link->send(type, value);
    link->waitFor([&]() { return answered; }, ms);
    QObject::disconnect(c);
    return answered;
}
} // namespace

bool DeviceLink::askWithin(RequestType type, int ms, QString *result)
{
    return askAndWait(this, type, QString(), ms, result);
}

bool DeviceLink::ask(RequestType type, const QString &value, QString *result, QString *error)
{
    if (askAndWait(this, type, value, m_timeoutMs, result))
        return true;
    *error = m_portLost ? QStringLiteral("the port failed (%1) while waiting for the answer to %2")
                              .arg(m_portError, requestName(type))
                        : QStringLiteral("no answer within %1 ms to %2")
                              .arg(m_timeoutMs)
                              .arg(requestName(type));
    return false;
}

bool DeviceLink::waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && !m_portLost) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            break;
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
        loop.exec();
        m_loop = nullptr;
    }
    return done();
}

void DeviceLink::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void DeviceLink::wake()
{
    if (m_loop)
        m_loop->quit();
}

bool DeviceLink::isOpen() const
{
    return m_port && m_port->isOpen();
}

bool DeviceLink::reopen()
{
    if (m_port->isOpen())
        m_port->close();
    m_port->setBaudRate(m_baud, QSerialPort::AllDirections);
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    m_portLost = false;
    m_portError.clear();
    return true;
}

void DeviceLink::onPortError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    if (m_portLost || !m_port->isOpen())
        return;
    // A vanished device or a hung-up terminal; some report it again and again while open,
    // so the port is closed once, from the event loop (the worker may be reading it now).
    m_portLost = true;
    m_portError = m_port->errorString();
    QTimer::singleShot(0, this, [this]() {
        if (m_portLost)
            m_port->close();
    });
    wake();
}

QString DeviceLink::requestName(RequestType type)
{
    static const QHash<int, const char *> names = {
        {REQUEST_CURRENT_AREA, "the current area request"},
        {REQUEST_SERIAL_NUMBER, "the serial number request"},
        {REQUEST_LOT_NUMBER, "the lot number request"},
        {REQUEST_FIRMWARE_VERSION, "the firmware version request"},
        {REQUEST_DEVICE_MODE, "the device mode request"},
        {REQUEST_READ_AREAS_DONE, "the end of the zone read"},
        {REQUEST_GET_FREQUENCY, "the frequency request"},
        {REQUEST_GET_FILTER_ENABLE, "the filter-enable request"},
        {REQUEST_GET_FILTER_STRENGTH, "the filter-strength request"},
        {REQUEST_GET_FILTER_MIN_RANGE, "the filter-min-range request"},
        {REQUEST_GET_FILTER_MAX_RANGE, "the filter-max-range request"},
        {REQUEST_GET_AVERAGE_FILTER, "the average-filter request"},
        {REQUEST_GET_INPUT_NONC, "the input-nc request"},
        {REQUEST_GET_OUTPUT_NONC, "the output-nc request"},
        {REQUEST_GET_MASK_INTENSITY, "the mask-intensity request"},
        {REQUEST_GET_MASK_MIN_ANGLE, "the mask-min-angle request"},
        {REQUEST_GET_MASK_MAX_ANGLE, "the mask-max-angle request"},
        {REQUEST_GET_NPN_PNP, "the NPN/PNP request"},
        {REQUEST_SAVE_PARAMETERS, "the request to save the parameters"},
        {REQUEST_FIRMWARE_BEGIN, "the start of the firmware transfer"},
        {REQUEST_FIRMWARE_END, "the end of the firmware transfer"},
        {REQUEST_FIRMWARE_VERIFY, "the MD5 check of the firmware"},
        {REQUEST_FIRMWARE_COMMIT, "the commit of the firmware"},
    };
    const char *name = names.value(type, nullptr);
    return name ? QLatin1String(name)
                : QStringLiteral("request 0x%1").arg(int(type), 4, 16, QLatin1Char('0'));
}
