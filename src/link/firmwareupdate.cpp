#include "firmwareupdate.h"

#include "firmwaretransfer.h"
#include "scannersession.h"
#include "workerthread.h"

#include <QDebug>
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

void FirmwareUpdate::attach(WorkerThread *worker)
{
    connect(worker, &WorkerThread::writeFirmwareDataProgress, this,
            &FirmwareUpdate::onChunkAcknowledged);
    connect(worker, &WorkerThread::sendTransferRefused, this, &FirmwareUpdate::onRefused);
    connect(worker, &WorkerThread::sendReplyDamaged, this, &FirmwareUpdate::onDamaged);
}

bool FirmwareUpdate::ownsThePort() const
{
    return m_step == AwaitingBootloader && m_reconnect->isActive();
}

bool FirmwareUpdate::start(const QByteArray &image)
{
    if (m_step != Idle || image.isEmpty() || !m_session->worker() || !m_session->isOpen())
        return false;
    m_image = image;
    m_chunks = firmwareChunkCount(image.size());
    m_chunk = 0;
    m_session->send(REQUEST_DEVICE_MODE);
    await(AskingMode, m_stepMs);
    return true;
}

void FirmwareUpdate::await(Step step, int ms)
{
    m_step = step;
    m_timer->start(ms);
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

void FirmwareUpdate::takeResult(RequestType type, const QString &value)
{
    // An answer that comes after its step was given up, or out of turn, must not carry an
    // update on: a late device-mode answer of the application would otherwise send an idle
    // scanner into its bootloader.
    if (m_step == Idle || type != awaitedRequest() || m_step == SendingChunks)
        return;
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
        m_session->send(REQUEST_FIRMWARE_VERIFY);
        await(Verifying, m_stepMs);
        break;
    case Verifying:
        if (number != 1) {
            fail(SessionFailure::Rejected, number, false);
            break;
        }
        emit reached(ImageVerified);
        if (m_step != Verifying)
            break;
        m_session->send(REQUEST_FIRMWARE_COMMIT);
        await(Committing, m_flashMs);
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
}

void FirmwareUpdate::deviceMode(int mode)
{
    if (mode != 0) {
        m_reconnect->stop();
        m_deadline->stop();
        emit reached(InBootloader);
        if (m_step != AskingMode && m_step != AwaitingBootloader)
            return;
        m_session->send(REQUEST_FIRMWARE_BEGIN);
        await(Beginning, m_flashMs);
        emit reached(ErasingFlash);
        return;
    }
    if (m_step == AwaitingBootloader && !m_enterAgain)
        return; // still restarting; the loop asks again
    m_session->send(REQUEST_ENTER_BOOTLOADER);
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
    m_session->send(REQUEST_DEVICE_MODE);
}

void FirmwareUpdate::beginAnswered(int status)
{
    // A bootloader that refused to start has erased nothing and takes no image.
    if (status != 0) {
        fail(SessionFailure::Refused, status, false);
        return;
    }
    emit reached(TransferStarted);
    WorkerThread *worker = m_session->worker();
    if (m_step != Beginning || !worker)
        return;
    worker->setFirmwareImage(m_image);
    m_step = SendingChunks;
    m_chunk = 0;
    m_attempt = 0;
    sendChunk();
}

void FirmwareUpdate::sendChunk()
{
    ++m_attempt;
    m_session->worker()->sendFirmwareChunk();
    m_timer->start(m_stepMs);
}

void FirmwareUpdate::onChunkAcknowledged(int index, int total)
{
    if (m_step != SendingChunks || index != m_chunk)
        return;
    m_timer->stop();
    if (index < total) {
        ++m_chunk;
        m_attempt = 0;
        sendChunk();
    } else {
        m_session->send(REQUEST_FIRMWARE_END);
        await(Ending, m_stepMs);
    }
    emit chunkAcknowledged(index, total);
}

void FirmwareUpdate::onRefused(RequestType type, int status)
{
    if (m_step == SendingChunks && type == REQUEST_FIRMWARE_DATA)
        fail(SessionFailure::Refused, status, false);
}

void FirmwareUpdate::onDamaged(RequestType type)
{
    if (m_step != SendingChunks || type != REQUEST_FIRMWARE_DATA)
        return;
    m_timer->stop();
    if (m_attempt < kStepAttempts)
        sendChunk();
    else
        fail(SessionFailure::NoAnswer, 0, false);
}

void FirmwareUpdate::onTimeout()
{
    if (m_step == SendingChunks && m_attempt < kStepAttempts)
        sendChunk();
    else if (m_step != Idle && m_step != AwaitingBootloader)
        fail(SessionFailure::NoAnswer, 0, true);
}

void FirmwareUpdate::finish()
{
    m_session->send(REQUEST_RESTART);
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
    // Acknowledgements that still come late cannot carry the abandoned transfer on.
    if (WorkerThread *worker = m_session->worker())
        worker->stopFirmwareTransfer();
    if (now)
        emit failed(failure);
    else
        m_session->later([this, failure]() { emit failed(failure); });
}
