#pragma once

#include "requesttype.h"
#include "zoneblock.h"

#include <QByteArray>
#include <QString>
#include <QThread>
#include <QVector>

class QSerialPort;

// The device link. The object and the port keep the GUI thread's affinity: run() only
// connects readyRead and returns, so parsing, slots and emissions all happen on the
// GUI thread and every window-worker connection is a direct call.
class WorkerThread : public QThread
{
    Q_OBJECT

public:
    explicit WorkerThread(QSerialPort *port);
    ~WorkerThread() override;

    // Test and diagnostics view of the link state.
    int pendingBytes() const { return receiveBuffer.size(); }
    int pendingScanFrames() const { return scanFrameCount; }
    QString currentSaveTarget() const { return saveTarget; }
    int nextZoneWriteChannel() const { return zoneWriteChannel; }
    bool isWritingZones() const { return zoneWriteRunning; }

    // Gives up a full zone write that the scanner stopped answering: the next write starts
    // at channel 0 again, and acknowledgements that still arrive for the abandoned one are
    // ignored rather than taken as the start of another.
    void abortZoneWrite();

    // The 64 blocks the next full zone write sends, channel by channel, encoded once by
    // whoever owns the zones; the link itself holds no zones.
    void setZoneWriteBlocks(const QVector<QByteArray> &blocks) { zoneWriteBlocks = blocks; }
    // Sends the block of a channel (again, after a lost or damaged acknowledgement). The
    // worker sends nothing on its own: whoever runs the write decides what goes next.
    void writeZoneBlock(int channel);

    // The image of the next firmware transfer, from chunk 0; false (and nothing loaded)
    // for an empty one, which no bootloader can be given.
    bool setFirmwareImage(const QByteArray &image);
    // Sends the chunk the transfer is at: the next one after an acknowledgement, the same
    // one again otherwise.
    void sendFirmwareChunk();
    // Drops a firmware transfer: acknowledgements that still come belong to none.
    void stopFirmwareTransfer();
    bool isSendingFirmware() const { return firmwareSending; }

signals:
    void sendState(uchar erro, uchar output, uchar input);
    void sendMainRequestResult(RequestType type, QString result);
    void sendApdRequestTypeResult(RequestType type, QString result);
    void sendViewRequestTypeResult(RequestType type, QString result);
    void sendSettingsRequestTypeResult(RequestType type, QString result);
    void sendPointVec(QVector<float> angleVec, QVector<ushort> rangeVec,
                      QVector<ushort> intensityVec);
    // A zone block arrived: its channel as the scanner sent it, then the notification.
    void sendZoneChannel(int channel, const ZoneChannelRecord &areas);
    void sendReadCurArea(int index);
    // The scanner let a full zone write begin (the begin request's status was 0).
    void sendZoneWriteBegun();
    // A block was acknowledged; the next block is not sent by the worker.
    void sendWriteCurArea(int index);
    // A chunk was acknowledged; the next chunk is not sent by the worker.
    void writeFirmwareDataProgress(int index, int total);
    // A reply frame arrived whose checksum failed; it was dropped. type is what its header
    // claims, which a transfer waiting for that answer may take as a reason to ask again.
    void sendReplyDamaged(RequestType type);
    // A running zone write (its begin request or a block) or firmware transfer was answered
    // with a non-zero status. The transfer stops there, as it always has; this only lets a
    // caller say so at once instead of waiting for an acknowledgement that never comes.
    void sendTransferRefused(RequestType type, int status);
    // A request whose reply carries no result (a setting) was answered with a non-zero
    // status: the scanner refused it and kept the value it had.
    void sendSettingRefused(RequestType type, int status);
    // Every whole frame the scanner sent, as it was cut from the stream and before it is
    // decoded: scan frames and replies, damaged ones too. arrivalUs is the wall-clock time
    // in microseconds since 1970 when its last bytes were read from the port. Nothing is
    // copied or timed while nobody listens: the scan stream passes here 150 times a second.
    void frameReceived(const QByteArray &frame, qint64 arrivalUs);

public slots:
    void onRequestType(RequestType type, QString value);
    void onReadArea(int index);
    void onWriteAreaData();
    void onFirmwareWriteData(QString fileName);
    void run() override;
    void readData();

private:
    void parseReplyFrame(const char *frame, int length);
    void parseScanFrame(const char *frame, int length);
    void writeFrame(quint16 type, const QByteArray &payload);

    // Reply hooks of the zone and firmware transfers; each runs only for a reply whose
    // checksum holds (and, for the acknowledgements, whose status word is 0).
    void storeZoneBlock(const char *block, int size);
    void startZoneWrite();
    void zoneBlockAcknowledged();
    void firmwareChunkAcknowledged();
    void flush();

    int fullChunkCount = 0;
    int chunkIndex = 0;
    int lastChunkSize = 0;
    QByteArray firmwareImage;
    QByteArray firmwareDigest;
    bool lastChunkSent = false;
    // Chunks are out and acknowledgements are expected; a stray acknowledgement while
    // idle must not look like a finished transfer.
    bool firmwareSending = false;
    QSerialPort *port = nullptr;
    int scanFrameCount = 0;
    QByteArray receiveBuffer;
    QByteArray scanHeader;
    QByteArray replyHeader;
    QVector<ushort> ranges;
    QVector<ushort> intensities;
    QVector<float> angles;
    QString saveTarget;
    int zoneWriteChannel = 0;
    QVector<QByteArray> zoneWriteBlocks;
    // Set from the begin request until channel 63 is acknowledged or the write is given
    // up; acknowledgements outside it belong to no write.
    bool zoneWriteRunning = false;
};
