#pragma once

#include "requesttype.h"
#include "zoneblock.h"

#include <QByteArray>
#include <QString>
#include <QThread>
#include <QVector>

class QIODevice;

// The device link. The object and the port keep the GUI thread's affinity: run() only
// connects readyRead and returns, so parsing, slots and emissions all happen on the
// GUI thread and every window-worker connection is a direct call. The port is whatever
// device the session's link reads and writes: a serial port, a TCP socket, a recording.
class WorkerThread : public QThread
{
    Q_OBJECT

public:
    explicit WorkerThread(QIODevice *port);
    ~WorkerThread() override;

    // Test and diagnostics view of the link state.
    int pendingBytes() const { return receiveBuffer.size(); }
    int pendingScanFrames() const { return scanFrameCount; }
    QString currentSaveTarget() const { return saveTarget; }
    int nextZoneWriteChannel() const { return zoneWriteChannel; }
    int firmwareChunkIndex() const { return chunkIndex; }
    // Bytes the frame search skipped (noise, the rest of a damaged reply), and scan headers
    // of an impossible length, since the worker was made.
    qint64 skippedBytes() const { return skipped; }
    qint64 badScanHeaders() const { return badScanHeaderCount; }

    // What comes next does not follow on from what came before (a recording was wound on
    // or back): the bytes of a frame not yet whole and the scan batch being collected are
    // dropped, so that the next scan starts a batch of its own.
    void restartReceive();

    // The worker runs no transfer: whoever does (the session's procedures) tells it what
    // to send and decides, from the replies the worker reports, what comes next. The
    // counters below are set by those calls, never by a reply.

    // Sends the zone block of a channel (the block its owner encoded; the link holds no
    // zones) and keeps it as the block onWriteAreaData sends.
    void writeZoneBlock(int channel, const QByteArray &block);

    // The image of the next firmware transfer: its chunk counts and its digest, which the
    // verification request carries. False (and nothing kept) for an empty image.
    bool setFirmwareImage(const QByteArray &image);
    // Sends chunk index of the image.
    void writeFirmwareChunk(int index);
    // The chunks are done or given up: the image goes, its digest stays for the check.
    void releaseFirmwareImage();

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
    // The answer to a zone write's begin request or block, or to a firmware chunk: its
    // status word (0 taken, else refused). It carries no index; which step it answers is
    // for whoever runs the transfer to decide.
    void sendAcknowledgement(RequestType type, int status);
    // A block was acknowledged with status 0: the channel last given to writeZoneBlock.
    void sendWriteCurArea(int index);
    // A chunk was acknowledged with status 0: the index last given to writeFirmwareChunk.
    void writeFirmwareDataProgress(int index, int total);
    // A reply frame arrived whose checksum failed; it was dropped. type is what its header
    // claims; which request it answered, if any, no one can tell.
    void sendReplyDamaged(RequestType type);
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
    void storeZoneBlock(const char *block, int size);
    void reportAcknowledgement(RequestType type, int status);

    int fullChunkCount = 0;
    int chunkIndex = 0;
    int lastChunkSize = 0;
    QByteArray firmwareImage;
    QByteArray firmwareDigest;
    bool lastChunkSent = false;
    QIODevice *port = nullptr;
    int scanFrameCount = 0;
    qint64 skipped = 0;
    qint64 badScanHeaderCount = 0;
    int receiveGeneration = 0;
    QByteArray receiveBuffer;
    QByteArray scanHeader;
    QByteArray replyHeader;
    QVector<ushort> ranges;
    QVector<ushort> intensities;
    QVector<float> angles;
    QString saveTarget;
    int zoneWriteChannel = 0;
    // The block of zoneWriteChannel, as its owner encoded it.
    QByteArray zoneWriteBlock;
};
