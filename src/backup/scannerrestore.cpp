#include "scannerrestore.h"

#include "filtersettings.h"
#include "scannersession.h"
#include "zonefingerprint.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QTimer>

ScannerRestore::ScannerRestore(ScannerSession *session, QObject *parent)
    : QObject(parent), m_session(session), m_read(new ScannerRead(session, this))
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ScannerRestore::onTimeout);
    connect(m_read, &ScannerRead::progress, this,
            [this](int done, int total) { emit progress(m_stage, done, total); });
    connect(m_read, &ScannerRead::finished, this, &ScannerRestore::onReadFinished);
    connect(m_read, &ScannerRead::failed, this, &ScannerRestore::onReadFailed);
    connect(session, &ScannerSession::sendMainRequestResult, this, &ScannerRestore::onResult);
    connect(session, &ScannerSession::sendSettingRefused, this, &ScannerRestore::onSettingRefused);
    connect(session, &ScannerSession::portLost, this, [this]() {
        if (m_running && m_timer->isActive()) {
            SessionFailure failure;
            failure.kind = SessionFailure::PortLost;
            failure.step = m_awaited;
            fail(failure);
        }
    });
}

void ScannerRestore::setTimeout(int ms)
{
    m_timeoutMs = ms;
    m_read->setTimeout(ms);
}

bool ScannerRestore::start(const ScannerBackup &backup)
{
    if (m_running || !m_session->hasLink() || m_session->zoneRead()->isRunning() ||
        m_session->zoneWrite()->isRunning())
        return false;
    m_backup = backup;
    m_before = ScannerBackup();
    m_plan = RestorePlan();
    m_outcome = RestoreOutcome();
    m_stage = RestoreOutcome::ReadingScanner;
    m_awaitingConfirmation = false;
    m_running = true;
    if (!m_read->start()) {
        m_running = false;
        return false;
    }
    return true;
}

void ScannerRestore::onReadFinished()
{
    if (!m_running)
        return;
    if (m_stage == RestoreOutcome::ReadingScanner) {
        m_before = m_read->result();
        m_plan = planRestore(m_backup, m_before);
        m_awaitingConfirmation = true;
        emit planReady();
        return;
    }
    m_outcome.readBack = m_read->result();
    m_outcome.remaining = planRestore(m_backup, m_outcome.readBack);
    // Equal means every setting and the zones as the scanner carries them.
    const bool equal =
        m_outcome.remaining.settings.isEmpty() &&
        zoneSetFingerprint(m_outcome.readBack.zones) == zoneSetFingerprint(m_backup.zones);
    finish(equal ? RestoreOutcome::Equal : RestoreOutcome::Differs);
}

void ScannerRestore::onReadFailed(const SessionFailure &failure)
{
    if (m_running)
        fail(failure);
}

void ScannerRestore::proceed()
{
    if (!m_running || !m_awaitingConfirmation)
        return;
    m_awaitingConfirmation = false;
    m_stage = RestoreOutcome::WritingSettings;
    if (!m_session->hasLink()) {
        SessionFailure failure;
        failure.kind = m_session->isLost() ? SessionFailure::PortLost : SessionFailure::Closed;
        failure.step = REQUEST_CONNECT;
        fail(failure);
        return;
    }
    m_next = 0;
    writeNextSetting();
}

void ScannerRestore::cancel()
{
    if (m_running && m_awaitingConfirmation)
        finish(RestoreOutcome::Cancelled);
}

void ScannerRestore::stop(SessionFailure::Kind why)
{
    if (!m_running)
        return;
    if (m_read->isRunning()) {
        m_read->stop(why);
        return;
    }
    if (m_stage == RestoreOutcome::WritingZones && m_session->zoneWrite()->isRunning()) {
        m_session->zoneWrite()->stop(why);
        return;
    }
    SessionFailure failure;
    failure.kind = why;
    failure.step = m_awaited;
    fail(failure);
}

void ScannerRestore::askFor(RequestType type, const QString &value)
{
    m_awaited = type;
    m_timer->start(m_timeoutMs);
    m_session->send(type, value);
}

void ScannerRestore::writeNextSetting()
{
    const int total = m_plan.settings.size() + 1; // and the save
    emit progress(m_stage, m_next, total);
    if (m_next >= m_plan.settings.size()) {
        m_stage = RestoreOutcome::SavingSettings;
        askFor(REQUEST_SAVE_PARAMETERS);
        return;
    }
    const SettingChange &change = m_plan.settings.at(m_next);
    const FilterSetting &s = filterSettings().at(change.setting);
    m_refusal = 0;
    m_session->send(s.set, settingRequestText(s, change.to));
    // A setting is not acknowledged; its read shows whether the scanner took it, and its
    // answer comes only after the setting's own (a refusal) has.
    askFor(s.get);
}

void ScannerRestore::onSettingRefused(RequestType type, int status)
{
    if (!m_running || m_stage != RestoreOutcome::WritingSettings || !m_timer->isActive())
        return;
    const FilterSetting *s = filterSettingOf(m_awaited);
    if (s && s->set == type)
        m_refusal = status;
}

void ScannerRestore::onResult(RequestType type, const QString &value)
{
    if (!m_running || type != m_awaited || !m_timer->isActive() ||
        (m_stage != RestoreOutcome::WritingSettings && m_stage != RestoreOutcome::SavingSettings))
        return;
    m_timer->stop();
    if (m_stage == RestoreOutcome::SavingSettings) {
        if (value.toInt() != 0) {
            SessionFailure failure;
            failure.kind = SessionFailure::Refused;
            failure.step = REQUEST_SAVE_PARAMETERS;
            failure.status = value.toInt();
            fail(failure);
            return;
        }
        m_outcome.settingsSaved = true;
        emit progress(RestoreOutcome::WritingSettings, m_plan.settings.size() + 1,
                      m_plan.settings.size() + 1);
        writeZones();
        return;
    }
    const SettingChange &change = m_plan.settings.at(m_next);
    const FilterSetting &s = filterSettings().at(change.setting);
    const int kept = settingFromReply(s, value);
    if (m_refusal != 0 || kept != change.to) {
        m_outcome.failedSetting = change.setting;
        m_outcome.keptValue = kept;
        SessionFailure failure;
        failure.kind = m_refusal != 0 ? SessionFailure::Refused : SessionFailure::Rejected;
        failure.step = s.set;
        failure.status = m_refusal;
        fail(failure);
        return;
    }
    m_outcome.settingsWritten.append(change.setting);
    ++m_next;
    writeNextSetting();
}

void ScannerRestore::onTimeout()
{
    if (!m_running)
        return;
    SessionFailure failure;
    failure.kind = SessionFailure::NoAnswer;
    failure.step = m_awaited;
    failure.waitedMs = m_timeoutMs;
    fail(failure);
}

void ScannerRestore::writeZones()
{
    m_stage = RestoreOutcome::WritingZones;
    if (m_plan.channels.isEmpty()) {
        readBack();
        return;
    }
    ZoneWrite *write = m_session->zoneWrite();
    m_zoneWriteConnections = {
        connect(write, &ZoneWrite::progress, this,
                [this](int channel) {
                    m_outcome.zonesStored = channel + 1;
                    emit progress(RestoreOutcome::WritingZones, channel + 1, kZoneChannelCount);
                }),
        connect(write, &ZoneWrite::finished, this,
                [this]() {
                    disconnectZoneWrite();
                    m_outcome.zonesStored = kZoneChannelCount;
                    readBack();
                }),
        connect(write, &ZoneWrite::failed, this,
                [this](const SessionFailure &failure) {
                    disconnectZoneWrite();
                    fail(failure);
                }),
    };
    m_outcome.zonesStarted = true;
    if (!write->start(m_backup.zones.blocks())) {
        disconnectZoneWrite();
        SessionFailure failure;
        failure.kind = m_session->isLost() ? SessionFailure::PortLost : SessionFailure::Closed;
        failure.step = REQUEST_BEGIN_AREA_WRITE;
        failure.index = 0;
        fail(failure);
    }
}

void ScannerRestore::readBack()
{
    m_stage = RestoreOutcome::ReadingBack;
    if (!m_read->start()) {
        SessionFailure failure;
        failure.kind = m_session->isLost() ? SessionFailure::PortLost : SessionFailure::Closed;
        failure.step = REQUEST_LOT_NUMBER;
        fail(failure);
    }
}

void ScannerRestore::fail(const SessionFailure &failure)
{
    m_outcome.failedStage = m_stage;
    m_outcome.failure = failure;
    finish(RestoreOutcome::Failed);
}

void ScannerRestore::finish(RestoreOutcome::Result result)
{
    m_timer->stop();
    disconnectZoneWrite();
    m_running = false;
    m_awaitingConfirmation = false;
    m_outcome.result = result;
    emit finished();
}

void ScannerRestore::disconnectZoneWrite()
{
    for (const QMetaObject::Connection &c : qAsConst(m_zoneWriteConnections))
        disconnect(c);
    m_zoneWriteConnections.clear();
}

namespace {

QString settingValue(int index, int wire)
{
    const FilterSetting &s = filterSettings().at(index);
    return QStringLiteral("%1=%2").arg(QLatin1String(s.name), settingText(s, wire));
}

// The settings of the plan from place first on, by name.
QVector<int> plannedFrom(const RestorePlan &plan, int first)
{
    QVector<int> settings;
    for (int i = first; i < plan.settings.size(); ++i)
        settings.append(plan.settings.at(i).setting);
    return settings;
}

} // namespace

QStringList describeRestoreOutcome(const RestoreOutcome &o, const RestorePlan &plan,
                                   const ZoneSet &backupZones, const QString &portError)
{
    QStringList lines;
    const QVector<FilterSetting> &table = filterSettings();
    switch (o.result) {
    case RestoreOutcome::Equal:
        return lines;
    case RestoreOutcome::Cancelled:
        return {QStringLiteral("the restore was cancelled; nothing was written")};
    case RestoreOutcome::Differs:
        lines << QStringLiteral("after the restore the scanner differs from the backup:");
        for (const SettingChange &c : o.remaining.settings)
            lines << QStringLiteral("%1 reads %2, the backup holds %3")
                         .arg(QLatin1String(table.at(c.setting).name),
                              settingText(table.at(c.setting), c.from),
                              settingText(table.at(c.setting), c.to));
        if (!o.remaining.channels.isEmpty())
            lines << QStringLiteral("zone %1 %2 differ: fingerprint %3, the backup's %4")
                         .arg(o.remaining.channels.size() == 1 ? QStringLiteral("channel")
                                                               : QStringLiteral("channels"),
                              channelRanges(o.remaining.channels),
                              QString::fromLatin1(zoneSetFingerprint(o.readBack.zones)),
                              QString::fromLatin1(zoneSetFingerprint(backupZones)));
        return lines;
    case RestoreOutcome::Failed:
        break;
    }

    // What failed, in the words of the step.
    if (o.failedStage == RestoreOutcome::WritingSettings && o.failedSetting >= 0) {
        const SettingChange *change = nullptr;
        for (const SettingChange &c : plan.settings)
            if (c.setting == o.failedSetting)
                change = &c;
        const int wanted = change ? change->to : 0;
        if (o.failure.kind == SessionFailure::Refused)
            lines << QStringLiteral("the scanner refused %1 (status %2)")
                         .arg(settingValue(o.failedSetting, wanted))
                         .arg(o.failure.status);
        else
            lines << QStringLiteral("the scanner did not take %1: it reads %2")
                         .arg(settingValue(o.failedSetting, wanted),
                              settingText(table.at(o.failedSetting), o.keptValue));
    } else if (o.failedStage == RestoreOutcome::ReadingScanner) {
        return {QStringLiteral("cannot read the scanner: %1; nothing was written")
                    .arg(describeScannerFailure(o.failure, portError))};
    } else if (o.failedStage == RestoreOutcome::ReadingBack) {
        return {QStringLiteral("everything was written, but reading it back failed: %1")
                    .arg(describeScannerFailure(o.failure, portError))};
    } else {
        lines << describeScannerFailure(o.failure, portError);
    }

    // What the scanner took, and what it did not.
    const QVector<int> unwritten = plannedFrom(plan, o.settingsWritten.size());
    if (!o.settingsWritten.isEmpty())
        lines << QStringLiteral("settings written%1: %2")
                     .arg(o.settingsSaved ? QStringLiteral(" and saved")
                                          : QStringLiteral(", not saved"),
                          settingNames(o.settingsWritten));
    if (!unwritten.isEmpty())
        lines << QStringLiteral("settings not written: %1").arg(settingNames(unwritten));
    if (plan.channels.isEmpty())
        return lines;
    if (!o.zonesStarted || o.zonesStored == 0)
        lines << QStringLiteral("no zone channel was written (channels %1 differ from the backup)")
                     .arg(channelRanges(plan.channels));
    else
        lines << QStringLiteral("zone channels 0-%1 written, %2-63 not written")
                     .arg(o.zonesStored - 1)
                     .arg(o.zonesStored);
    return lines;
}
