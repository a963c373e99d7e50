#include "sessionwait.h"

#include "firmwareupdate.h"
#include "scannersession.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QTimer>

SessionWait::SessionWait(ScannerSession *session, int timeoutMs)
    : m_session(session), m_timeoutMs(timeoutMs)
{
    const auto wakeUp = [this]() { wake(); };
    connect(session, &ScannerSession::sendMainRequestResult, this, wakeUp);
    connect(session, &ScannerSession::probeAnswered, this, wakeUp);
    connect(session, &ScannerSession::probeUnanswered, this, wakeUp);
    connect(session, &ScannerSession::portLost, this, wakeUp);
    connect(session->zoneRead(), &ZoneRead::progress, this, wakeUp);
    connect(session->zoneRead(), &ZoneRead::finished, this, wakeUp);
    connect(session->zoneRead(), &ZoneRead::failed, this, wakeUp);
    connect(session->zoneWrite(), &ZoneWrite::progress, this, wakeUp);
    connect(session->zoneWrite(), &ZoneWrite::finished, this, wakeUp);
    connect(session->zoneWrite(), &ZoneWrite::failed, this, wakeUp);
    connect(session->firmware(), &FirmwareUpdate::chunkAcknowledged, this, wakeUp);
    connect(session->firmware(), &FirmwareUpdate::finished, this, wakeUp);
    connect(session->firmware(), &FirmwareUpdate::failed, this, wakeUp);
}

bool SessionWait::until(const std::function<bool()> &done, int ms, bool stopOnLostPort)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && !(stopOnLostPort && m_session->isLost())) {
        const qint64 left = ms < 0 ? 3600 * 1000 : ms - clock.elapsed();
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

void SessionWait::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void SessionWait::wake()
{
    if (m_loop)
        m_loop->quit();
}

bool SessionWait::askWithin(RequestType type, int ms, QString *result)
{
    bool answered = false;
    const QMetaObject::Connection c =
        connect(m_session, &ScannerSession::sendMainRequestResult, this,
                [&](RequestType replyType, const QString &text) {
                    if (replyType == type && !answered) {
                        answered = true;
                        *result = text;
                    }
                });
    m_session->send(type);
    until([&]() { return answered; }, ms);
    disconnect(c);
    return answered;
}

bool SessionWait::ask(RequestType type, const QString &value, QString *result, QString *error)
{
    bool answered = false;
    const QMetaObject::Connection c =
        connect(m_session, &ScannerSession::sendMainRequestResult, this,
                [&](RequestType replyType, const QString &text) {
                    if (replyType == type && !answered) {
                        answered = true;
                        *result = text;
                    }
                });
    m_session->send(type, value);
    until([&]() { return answered; }, m_timeoutMs);
    disconnect(c);
    if (!answered)
        *error = m_session->isLost()
                     ? failure(QStringLiteral("the answer to %1").arg(requestName(type)))
                     : failure(requestName(type));
    return answered;
}

QString SessionWait::failure(const QString &what) const
{
    if (m_session->isLost())
        return QStringLiteral("the port failed (%1) while waiting for %2")
            .arg(m_session->portError(), what);
    return QStringLiteral("no answer within %1 ms to %2").arg(m_timeoutMs).arg(what);
}

QString SessionWait::requestName(RequestType type)
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
