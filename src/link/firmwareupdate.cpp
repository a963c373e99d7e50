#include "firmwareupdate.h"

#include "firmwaretransfer.h"
#include "linklog.h"
#include "scannersession.h"

#include <QPointer>
#include <QTimer>

FirmwareUpdate::FirmwareUpdate(ScannerSession *session) : QObject(session), m_session(session)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &FirmwareUpdate::onTimeout);
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this]() {
        if (m_step == AwaitingBootloader)
            fail(SessionFailure::NoBootloader, 0, true);
    });
    m_reconnect = new QTimer(this);
    m_reconnect->setInterval(m_reconnectMs);
    connect(m_reconnect, &QTimer::timeout, this, &FirmwareUpdate::reconnectTick);
}

void FirmwareUpdate::setReconnectInterval(int ms)
{
    m_reconnectMs = ms;
    m_reconnect->setInterval(ms);
}

bool FirmwareUpdate::ownsThePort() const
{
    return m_step == AwaitingBootloader && m_reconnect->isActive();
}

bool FirmwareUpdate::start(const QByteArray &image)
{
    if (m_step != Idle || image.isEmpty() || !m_session->hasLink())
        return false;
    m_image = image;
    m_chunks = firmwareChunkCount(image.size());
    m_chunk = 0;
    request(REQUEST_DEVICE_MODE, AskingMode, m_stepMs);
    return true;
}

// The step's time-out runs again once the request has left the port; from now until then,
// so that a request the port never hands on cannot hold the update for ever.
void FirmwareUpdate::request(RequestType type, Step step, int ms)
{
    m_step = step;
    m_waitMs = ms;
    m_timer->start(ms);
    m_awaited = m_session->sendFor(this, type);
}

void FirmwareUpdate::requestLeft(int sent)
{
    if (sent == m_awaited && m_timer->isActive())
        m_timer->start(m_waitMs);
}

RequestType FirmwareUpdate::awaitedRequest() const
{
    switch (m_step) {
    case Idle:
    case AskingMode:
    case AwaitingBootloader:
        return REQUEST_DEVICE_MODE;
    case Beginning:
        return REQUEST_FIRMWARE_BEGIN;
    case SendingChunks:
        return REQUEST_FIRMWARE_DATA;
    case Ending:
        return REQUEST_FIRMWARE_END;
    case Verifying:
        return REQUEST_FIRMWARE_VERIFY;
    case Committing:
        return REQUEST_FIRMWARE_COMMIT;
    }
    return REQUEST_DEVICE_MODE;
}

bool FirmwareUpdate::takeResult(RequestType type, const QString &value)
{
    // An answer that comes after its step was given up, or out of turn, must not carry an
    // update on: a late device-mode answer of the application would otherwise send an idle
    // scanner into its bootloader.
    if (m_step == Idle || type != awaitedRequest() || m_step == SendingChunks)
        return false;
    const int number = value.toInt();
    switch (m_step) {
    case AskingMode:
    case AwaitingBootloader:
        deviceMode(number);
        break;
    case Beginning:
        beginAnswered(number);
        break;
    case Ending:
        if (number != 0) {
            fail(SessionFailure::Rejected, number, false);
            break;
        }
        emit reached(TransferEnded);
        if (m_step != Ending)
            break;
        request(REQUEST_FIRMWARE_VERIFY, Verifying, m_stepMs);
        break;
    case Verifying:
        if (number != 1) {
            fail(SessionFailure::Rejected, number, false);
            break;
        }
        emit reached(ImageVerified);
        if (m_step != Verifying)
            break;
        request(REQUEST_FIRMWARE_COMMIT, Committing, m_flashMs);
        emit reached(WritingFlash);
        break;
    case Committing:
        if (number != 0)
            fail(SessionFailure::Rejected, number, false);
        else
            finish();
        break;
    case Idle:
    case SendingChunks:
        break;
    }
    return true;
}

void FirmwareUpdate::deviceMode(int mode)
{
    if (mode != 0) {
        m_reconnect->stop();
        m_deadline->stop();
        emit reached(InBootloader);
        if (m_step != AskingMode && m_step != AwaitingBootloader)
            return;
        request(REQUEST_FIRMWARE_BEGIN, Beginning, m_flashMs);
        emit reached(ErasingFlash);
        return;
    }
    if (m_step == AwaitingBootloader && !m_enterAgain)
        return; // still restarting; the loop asks again
    m_session->sendFor(this, REQUEST_ENTER_BOOTLOADER);
    emit reached(EnteringBootloader);
    if (m_step == AwaitingBootloader || m_step == Idle)
        return;
    // One deadline for the whole wait, however many ticks ask in between.
    m_timer->stop();
    m_step = AwaitingBootloader;
    m_reconnect->start(m_reconnectMs);
    m_deadline->start(m_bootloaderMs);
}

void FirmwareUpdate::reconnectTick()
{
    const bool reopen = m_reopenEveryTick || !m_session->isOpen() || m_session->isLost();
    if (reopen && !m_session->reopen())
        return; // the scanner is not back on the line yet; the next tick tries again
    m_session->sendFor(this, REQUEST_DEVICE_MODE);
}

void FirmwareUpdate::beginAnswered(int status)
{
    // A bootloader that refused to start has erased nothing and takes no image.
    if (status != 0) {
        fail(SessionFailure::Refused, status, false);
        return;
    }
    emit reached(TransferStarted);
    // Without a link the begin step's time-out ends the update.
    if (m_step != Beginning || !m_session->loadFirmwareImage(m_image))
        return;
    // The bootloader answers in turn: what an earlier update's chunks were owed would
    // have come before this answer. Owed still, it was lost, and must not make every
    // acknowledgement of this update look like a late one.
    m_chunkAnswers.clear();
    m_step = SendingChunks;
    m_chunk = 0;
    m_attempt = 0;
    m_resent = false;
    sendChunk();
}

void FirmwareUpdate::sendChunk()
{
    ++m_attempt;
    m_chunkAnswers.sent();
    m_waitMs = m_stepMs;
    m_timer->start(m_stepMs);
    m_awaited = m_session->sendFirmwareChunkFor(this, m_chunk);
}

bool FirmwareUpdate::takeAcknowledgement(RequestType type, int status)
{
    if (type != REQUEST_FIRMWARE_DATA)
        return false;
    const int owed = m_chunkAnswers.answer();
    if (owed == 0)
        return false;
    // An answer to a chunk of an update that has moved on or ended changes nothing.
    if (m_step == SendingChunks)
        chunkAnswered(status, owed);
    return true;
}

void FirmwareUpdate::chunkAnswered(int status, int owedBefore)
{
    m_timer->stop();
    if (owedBefore > 1 || m_resent) {
        // The chunk went twice: this may answer either copy, and the bootloader may hold
        // both. The image could not pass its check; nothing more is sent.
        qCDebug(lcFirmware) << "chunk" << m_chunk << "answered after it went twice: stopped";
        fail(status != 0 ? SessionFailure::Refused : SessionFailure::Unconfirmed, status, false);
        return;
    }
    if (status != 0) {
        fail(SessionFailure::Refused, status, false);
        return;
    }
    const int index = m_chunk;
    const int total = m_chunks - 1; // the index of the last chunk
    if (index < total) {
        ++m_chunk;
        m_attempt = 0;
        sendChunk();
    } else {
        // The chunks are done; the digest stays for the check.
        m_session->releaseFirmwareImage();
        request(REQUEST_FIRMWARE_END, Ending, m_stepMs);
    }
    emit chunkAcknowledged(index, total);
}

bool FirmwareUpdate::takeDamaged(RequestType type)
{
    if (type != REQUEST_FIRMWARE_DATA)
        return false;
    if (m_chunkAnswers.answer() == 0)
        return false;
    if (m_step != SendingChunks)
        return true;
    // The bootloader answered, so it has the chunk; what it said cannot be read. Sent
    // again, the chunk would be stored twice.
    m_timer->stop();
    fail(SessionFailure::Unconfirmed, 0, false);
    return true;
}

void FirmwareUpdate::onTimeout()
{
    if (m_step == SendingChunks && m_attempt < kStepAttempts) {
        // The chunk may have been lost on its way, or only its acknowledgement: it goes
        // again, and whatever answers it now cannot be placed.
        qCDebug(lcFirmware) << "chunk" << m_chunk << "not acknowledged within" << m_stepMs
                            << "ms: sent again";
        m_resent = true;
        sendChunk();
    } else if (m_step != Idle && m_step != AwaitingBootloader) {
        fail(SessionFailure::NoAnswer, 0, true);
    }
}

void FirmwareUpdate::finish()
{
    m_session->sendFor(this, REQUEST_RESTART);
    m_timer->stop();
    m_step = Idle;
    m_image.clear();
    m_session->later([this]() { emit finished(); });
}

void FirmwareUpdate::stop(SessionFailure::Kind why)
{
    if (m_step != Idle)
        fail(why, 0, true);
}

void FirmwareUpdate::linkEnded(SessionFailure::Kind why)
{
    // Nothing owed on the old link will come on the next.
    m_chunkAnswers.clear();
    stop(why);
}

void FirmwareUpdate::fail(SessionFailure::Kind kind, int status, bool now)
{
    SessionFailure failure;
    failure.kind = kind;
    failure.step = awaitedRequest();
    failure.index = m_step == SendingChunks ? m_chunk : -1;
    failure.count = m_chunks;
    failure.status = status;
    switch (m_step) {
    case Beginning:
    case Committing:
        failure.waitedMs = m_flashMs;
        break;
    case AwaitingBootloader:
        failure.waitedMs = m_bootloaderMs;
        break;
    default:
        failure.waitedMs = m_stepMs;
        break;
    }
    m_timer->stop();
    m_deadline->stop();
    m_reconnect->stop();
    m_step = Idle;
    m_image.clear();
    m_resent = false;
    m_session->releaseFirmwareImage();
    if (now)
        emit failed(failure);
    else
        m_session->later([this, failure]() { emit failed(failure); });
}
