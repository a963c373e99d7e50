#include "scannerread.h"

#include "filtersettings.h"
#include "scannersession.h"
#include "zoneread.h"

#include <QHash>
#include <QTimer>

namespace {

const RequestType kIdentityRequests[ScannerRead::kQuestions] = {
    REQUEST_LOT_NUMBER,
    REQUEST_SERIAL_NUMBER,
    REQUEST_FIRMWARE_VERSION,
};

} // namespace

int ScannerRead::stepCount()
{
    return kQuestions + filterSettings().size() + kZoneChannelCount;
}

ScannerRead::ScannerRead(ScannerSession *session, QObject *parent)
    : QObject(parent), m_session(session)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ScannerRead::onTimeout);
    connect(session, &ScannerSession::sendMainRequestResult, this, &ScannerRead::onResult);
    connect(session, &ScannerSession::portLost, this, [this]() {
        if (m_step == Asking || m_step == AwaitingReadEnd)
            fail(SessionFailure::PortLost, m_awaited, -1);
    });
}

bool ScannerRead::start()
{
    if (m_step != Idle || !m_session->hasLink() || m_session->zoneRead()->isRunning())
        return false;
    m_result = ScannerBackup();
    m_question = 0;
    m_step = Asking;
    askNext();
    return true;
}

void ScannerRead::askNext()
{
    const QVector<FilterSetting> &table = filterSettings();
    if (m_question < kQuestions) {
        m_awaited = kIdentityRequests[m_question];
    } else if (m_question < kQuestions + table.size()) {
        m_awaited = table.at(m_question - kQuestions).get;
    } else {
        // The channels come through the session's zone read; the request that closes a
        // full read is its last, and its answer ends this read.
        m_step = ReadingZones;
        m_readEnded = false;
        ZoneRead *read = m_session->zoneRead();
        m_zoneReadConnections = {
            connect(read, &ZoneRead::channelReceived, this,
                    [this](int channel, const ZoneChannelRecord &areas) {
                        if (m_step != ReadingZones)
                            return;
                        m_result.zones.setChannel(channel, areas);
                        emit progress(kQuestions + filterSettings().size() + channel + 1,
                                      stepCount());
                    }),
            connect(read, &ZoneRead::finished, this,
                    [this]() {
                        if (m_step != ReadingZones)
                            return;
                        disconnectZoneRead();
                        m_step = AwaitingReadEnd;
                        m_awaited = REQUEST_READ_AREAS_DONE;
                        if (m_readEnded)
                            end();
                        else
                            m_timer->start(m_timeoutMs);
                    }),
            connect(read, &ZoneRead::failed, this,
                    [this](const SessionFailure &failure) {
                        if (m_step != ReadingZones)
                            return;
                        disconnectZoneRead();
                        m_step = Idle;
                        emit failed(failure);
                    }),
        };
        read->start();
        if (!read->isRunning() && m_step == ReadingZones)
            fail(SessionFailure::Closed, REQUEST_READ_AREA, 0);
        return;
    }
    m_timer->start(m_timeoutMs);
    m_session->send(m_awaited);
}

void ScannerRead::end()
{
    m_timer->stop();
    m_step = Idle;
    m_result.createdAt = QDateTime::currentDateTime();
    emit finished();
}

void ScannerRead::onResult(RequestType type, const QString &value)
{
    // The answer that closes the full read may come before the read reports its end.
    if (type == REQUEST_READ_AREAS_DONE && m_step == ReadingZones) {
        m_readEnded = true;
        return;
    }
    if (type != m_awaited)
        return;
    if (m_step == AwaitingReadEnd) {
        end();
        return;
    }
    if (m_step != Asking)
        return;
    m_timer->stop();
    const QVector<FilterSetting> &table = filterSettings();
    switch (type) {
    case REQUEST_LOT_NUMBER:
        m_result.identity.lot = value;
        break;
    case REQUEST_SERIAL_NUMBER:
        m_result.identity.serial = value;
        break;
    case REQUEST_FIRMWARE_VERSION:
        m_result.identity.firmware = value;
        break;
    default:
        m_result.settings.append(settingFromReply(table.at(m_question - kQuestions), value));
        break;
    }
    ++m_question;
    emit progress(m_question, stepCount());
    if (m_step == Asking)
        askNext();
}

void ScannerRead::onTimeout()
{
    if (m_step == Asking || m_step == AwaitingReadEnd)
        fail(SessionFailure::NoAnswer, m_awaited, -1);
}

void ScannerRead::stop(SessionFailure::Kind why)
{
    if (m_step == ReadingZones) {
        disconnectZoneRead();
        m_session->zoneRead()->stop(why);
        fail(why, REQUEST_READ_AREA, m_session->zoneRead()->channel());
    } else if (m_step != Idle) {
        fail(why, m_awaited, -1);
    }
}

void ScannerRead::fail(SessionFailure::Kind kind, RequestType step, int index)
{
    m_timer->stop();
    disconnectZoneRead();
    m_step = Idle;
    SessionFailure failure;
    failure.kind = kind;
    failure.step = step;
    failure.index = index;
    failure.waitedMs = m_timeoutMs;
    emit failed(failure);
}

void ScannerRead::disconnectZoneRead()
{
    for (const QMetaObject::Connection &c : qAsConst(m_zoneReadConnections))
        disconnect(c);
    m_zoneReadConnections.clear();
}

QString describeScannerFailure(const SessionFailure &failure, const QString &portError)
{
    static const QHash<int, const char *> names = {
        {REQUEST_LOT_NUMBER, "the lot number request"},
        {REQUEST_SERIAL_NUMBER, "the serial number request"},
        {REQUEST_FIRMWARE_VERSION, "the firmware version request"},
        {REQUEST_READ_AREAS_DONE, "the end of the zone read"},
        {REQUEST_SAVE_PARAMETERS, "the request to save the settings"},
        {REQUEST_BEGIN_AREA_WRITE, "the start of the zone write"},
    };
    QString what;
    if (failure.step == REQUEST_READ_AREA)
        what = QStringLiteral("the read of zone channel %1").arg(failure.index);
    else if (failure.step == REQUEST_WRITE_AREA)
        what = QStringLiteral("zone channel %1").arg(failure.index);
    else if (const FilterSetting *s = filterSettingOf(failure.step))
        what = QStringLiteral("the %1 of %2")
                   .arg(failure.step == s->get ? QStringLiteral("read") : QStringLiteral("setting"),
                        QLatin1String(s->name));
    else if (const char *name = names.value(failure.step, nullptr))
        what = QLatin1String(name);
    else
        what = QStringLiteral("request 0x%1").arg(int(failure.step), 4, 16, QLatin1Char('0'));

    switch (failure.kind) {
    case SessionFailure::PortLost:
        return QStringLiteral("the port failed (%1) while waiting for %2").arg(portError, what);
    case SessionFailure::Closed:
        return QStringLiteral("the link was closed while waiting for %1").arg(what);
    case SessionFailure::Refused:
        return QStringLiteral("the scanner refused %1 (status %2)").arg(what).arg(failure.status);
    case SessionFailure::Unconfirmed:
        return QStringLiteral("%1 did not read back as it was sent, %2 times")
            .arg(what)
            .arg(kStepAttempts);
    case SessionFailure::NoAnswer:
    case SessionFailure::Rejected:
    case SessionFailure::NoBootloader:
        break;
    }
    return QStringLiteral("no answer within %1 ms to %2").arg(failure.waitedMs).arg(what);
}
