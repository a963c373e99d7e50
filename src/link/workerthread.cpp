#include "workerthread.h"

#include "firmwaretransfer.h"
#include "framecodec.h"
#include "framecutter.h"
#include "linklog.h"
#include "replydecoder.h"
#include "requesttable.h"
#include "scanframe.h"
#include "zoneblock.h"

#include "scannerlink.h"

#include <QFile>
#include <QIODevice>
#include <QMetaMethod>
#include <QPointer>
#include <utility>

WorkerThread::WorkerThread(QIODevice *port)
    : QThread(nullptr), port(port), scanHeader("\x5A\xFF", 2), replyHeader("\x5A\xFB", 2),
      saveTarget(QStringLiteral("0"))
{
    qRegisterMetaType<RequestType>("RequestType");
}

WorkerThread::~WorkerThread() = default;

void WorkerThread::run()
{
    connect(port, &QIODevice::readyRead, this, &WorkerThread::readData);
}

void WorkerThread::restartReceive()
{
    ++receiveGeneration;
    receiveBuffer.clear();
    scanFrameCount = 0;
    angles.clear();
    ranges.clear();
    intensities.clear();
}

void WorkerThread::readData()
{
    // The port never emits readyRead again while a slot connected to it runs, so this
    // does not re-enter. Bytes that arrive while a receiver of our signals runs a nested
    // event loop (a modal message box) wait in the port; the outer loop takes them in
    // rather than leaving them until the next arrival.
    // Such a nested loop may also see the window close the port and release this worker
    // (a cable pulled while a message box is open); from then on nothing here is touched.
    const QPointer<WorkerThread> alive(this);
    static const QMetaMethod frameSignal = QMetaMethod::fromSignal(&WorkerThread::frameReceived);
    const bool tapped = isSignalConnected(frameSignal);
    // A receiver may also wind a recording on, which empties the buffer under our feet.
    const int generation = receiveGeneration;
    const auto goOn = [&]() { return alive && generation == receiveGeneration; };
    do {
        receiveBuffer.append(port->readAll());
        const qint64 arrival = tapped ? wallClockUs() : 0;
        // Walk with an offset and compact once: removing each frame from the front of the
        // buffer would make a burst of frames quadratic.
        int offset = 0;
        for (;;) {
            const FrameStep step =
                nextFrame(receiveBuffer.constData() + offset, receiveBuffer.size() - offset, true);
            const char *frame = receiveBuffer.constData() + offset + step.start;
            offset += step.end();
            skipped += step.start;
            if (step.kind == FrameKind::NeedMore)
                break;
            if (step.kind == FrameKind::BadScan)
                ++badScanHeaderCount;
            if (tapped && step.kind != FrameKind::BadScan) {
                // A damaged reply is reported by its header alone; its whole length was
                // sound, so the bytes behind the header are all there.
                const int length =
                    step.kind == FrameKind::DamagedReply ? readLe16(frame + 2) : step.length;
                emit frameReceived(QByteArray(frame, length), arrival);
                if (!goOn())
                    return;
            }
            if (step.kind == FrameKind::Reply)
                parseReplyFrame(frame, step.length);
            else if (step.kind == FrameKind::DamagedReply)
                emit sendReplyDamaged(RequestType(readLe16(frame + 4)));
            else
                parseScanFrame(frame, step.length);
            if (!goOn())
                return;
        }
        receiveBuffer.remove(0, offset);
    } while (port->isOpen() && port->bytesAvailable() > 0);
}

void WorkerThread::onRequestType(RequestType type, QString value)
{
    if (!port || !port->isOpen())
        return;
    const RequestInfo *info = findRequest(type);
    if (!info || info->ownSlot)
        return;
    if (type == REQUEST_SAVE_VENDOR_DATA)
        saveTarget = value;
    char frame[kFrameBufferSize];
    const int length = encodeRequestFrame(frame, *info, value, firmwareDigest);
    if (length > 0)
        port->write(frame, length);
}

void WorkerThread::onReadArea(int index)
{
    const char channel = char(index & 0xFF);
    writeFrame(REQUEST_READ_AREA, QByteArray(&channel, 1));
}

void WorkerThread::writeZoneBlock(int channel, const QByteArray &block)
{
    zoneWriteChannel = channel;
    zoneWriteBlock = block;
    onWriteAreaData();
}

void WorkerThread::onWriteAreaData()
{
    // A block that is not a whole zone block is not sent rather than padded or cut.
    qint64 written = -1;
    int length = 0;
    if (zoneWriteBlock.size() == kZoneBlockBytes && port && port->isOpen()) {
        char frame[kFrameBufferSize];
        length = encodeFrame(frame, REQUEST_WRITE_AREA, zoneWriteBlock.constData(),
                             zoneWriteBlock.size());
        written = port->write(frame, length);
    }
    qCDebug(lcLink) << "on write" << zoneWriteChannel << length << kZoneBlockBytes << written;
}

void WorkerThread::onFirmwareWriteData(QString fileName)
{
    // Every request starts over at chunk 0 with the file it names now: a transfer that
    // stopped half-way is abandoned, never continued with an old image.
    releaseFirmwareImage();
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray image = file.readAll();
    file.close();
    if (setFirmwareImage(image))
        writeFirmwareChunk(0);
}

void WorkerThread::releaseFirmwareImage()
{
    fullChunkCount = 0;
    chunkIndex = 0;
    lastChunkSize = 0;
    lastChunkSent = false;
    firmwareImage.clear();
}

bool WorkerThread::setFirmwareImage(const QByteArray &image)
{
    releaseFirmwareImage();
    // No bootloader can be given nothing to flash: an empty image is never sent.
    if (image.isEmpty())
        return false;
    firmwareImage = image;
    fullChunkCount = firmwareFullChunkCount(firmwareImage.size());
    lastChunkSize = firmwareLastChunkSize(firmwareImage.size());
    firmwareDigest = ::firmwareDigest(firmwareImage);
    return true;
}

void WorkerThread::writeFirmwareChunk(int index)
{
    if (firmwareImage.isEmpty() || index < 0 || index > fullChunkCount)
        return;
    chunkIndex = index;
    lastChunkSent = index == fullChunkCount;
    writeFrame(REQUEST_FIRMWARE_DATA, firmwareChunk(firmwareImage, index));
}

void WorkerThread::parseReplyFrame(const char *frame, int length)
{
    DecodedReply reply;
    if (!decodeReply(frame, length, &reply)) {
        quint16 bareType = 0;
        quint16 status = 0;
        if (decodeBareReply(frame, length, &bareType, &status) && status != 0)
            emit sendSettingRefused(RequestType(bareType), status);
        return;
    }
    const RequestType type = RequestType(reply.type);
    switch (reply.route) {
    case ResultRoute::None:
        return;
    case ResultRoute::Main:
        if (type == REQUEST_FIRMWARE_VERIFY)
            firmwareDigest.clear();
        // A stored polarity is made permanent at once; the save request empties saveTarget,
        // so its own reply goes to the APD receiver, not to the window.
        if (type == REQUEST_SET_NPN_PNP && reply.status == 0)
            onRequestType(REQUEST_SAVE_VENDOR_DATA, QString());
        emit sendMainRequestResult(type, reply.text);
        return;
    case ResultRoute::Apd:
        emit sendApdRequestTypeResult(type, reply.text);
        return;
    case ResultRoute::SaveTarget:
        switch (saveTarget.toInt()) {
        case 0:
            emit sendApdRequestTypeResult(type, reply.text);
            break;
        case 1:
            emit sendMainRequestResult(type, reply.text);
            break;
        case 2:
            emit sendSettingsRequestTypeResult(type, reply.text);
            break;
        default:
            break;
        }
        return;
    case ResultRoute::ZoneRead:
        storeZoneBlock(reply.payload, reply.payloadSize);
        return;
    case ResultRoute::ZoneBegin:
    case ResultRoute::ZoneWrite:
    case ResultRoute::FirmwareChunk:
        reportAcknowledgement(type, reply.status);
        return;
    }
}

void WorkerThread::parseScanFrame(const char *frame, int length)
{
    ScanState state;
    const ScanBatchStep step =
        addToScanBatch(frame, length, &scanFrameCount, &state, &angles, &ranges, &intensities);
    if (step.good)
        emit sendState(state.erro, state.output, state.input);
    if (!step.complete)
        return;
    // Emptied before the emission, so a receiver that runs a nested event loop cannot see
    // the next frames land in the batch it was handed.
    emit sendPointVec(std::exchange(angles, {}), std::exchange(ranges, {}),
                      std::exchange(intensities, {}));
}

void WorkerThread::writeFrame(quint16 type, const QByteArray &payload)
{
    if (!port || !port->isOpen())
        return;
    char frame[kFrameBufferSize];
    const int length = encodeFrame(frame, type, payload.constData(), payload.size());
    if (length > 0)
        port->write(frame, length);
}

void WorkerThread::storeZoneBlock(const char *block, int size)
{
    const DecodedZoneBlock zone = decodeZoneBlock(block, size);
    for (int k = 0; k < kAreasPerChannel; ++k) {
        if (zone.cutPoints[k] > 0)
            qCWarning(lcZones) << "zone block of channel" << zone.channel << "area" << k << "claims"
                               << zone.areas[k].points.size() + zone.cutPoints[k]
                               << "points; kept the first" << kMaxZonePoints;
    }
    const QPointer<WorkerThread> alive(this);
    emit sendZoneChannel(zone.channel, zone.areas);
    if (alive)
        emit sendReadCurArea(zone.channel);
}

void WorkerThread::reportAcknowledgement(RequestType type, int status)
{
    // The labels are taken before the report: its receiver may send the next block or
    // chunk, which moves them on.
    const int channel = zoneWriteChannel;
    const int chunk = chunkIndex;
    const int total = fullChunkCount;
    const QPointer<WorkerThread> alive(this);
    emit sendAcknowledgement(type, status);
    if (!alive || status != 0)
        return;
    if (type == REQUEST_WRITE_AREA)
        emit sendWriteCurArea(channel);
    else if (type == REQUEST_FIRMWARE_DATA)
        emit writeFirmwareDataProgress(chunk, total);
}
