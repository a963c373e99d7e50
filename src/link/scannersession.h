#pragma once

#include "requesttype.h"
#include "sessionfailure.h"
#include "zoneblock.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QVector>

#include <functional>

class FirmwareUpdate;
class LinkProcedure;
class QTimer;
class ScannerLink;
class WorkerThread;
class ZoneRead;
class ZoneWrite;

// The link to one scanner and its owner: the link (a serial port, a TCP connection to a
// serial device server, or a recording played back; see ScannerLink), the worker that speaks
// the protocol over it, and the procedures that take several requests
// (the read-out after connecting, the full zone read, the full zone write, the firmware
// update), each a state machine with its own timers in a class of its own. The window and
// the command-line tool both drive it; it knows no widgets and holds no zones.
//
// Everything runs on the thread that owns the session, driven by its event loop: no call
// blocks, and outcomes that are found inside a reply (a refusal) are reported once the
// receive handler has returned, so that a receiver may open a modal box.
//
// The session is the only part of the link that knows which kind of link it has and that
// a worker decodes its frames; probe, time-outs and the lost port work alike for every kind
// (a refused or closed connection is a lost port). The procedures see it through the sendFor
// functions below and the LinkProcedure calls it makes on them: every decoded or damaged reply of a
// transfer is offered to them, and one they do not take is dropped.
class ScannerSession : public QObject
{
    Q_OBJECT

public:
    explicit ScannerSession(QObject *parent = nullptr);
    ~ScannerSession() override;

    // The link of the last open; null before the first. It stays when closed, until an
    // open under another name replaces it.
    ScannerLink *link() const { return m_link; }
    // Why the last open failed, or why the link was lost.
    QString errorString() const;
    // The worker of the current connection; null before the probe was answered and after
    // a close.
    WorkerThread *worker() const { return m_worker; }
    bool isOpen() const;
    bool isProbing() const { return m_probing; }
    // The port failed since it was last opened (and was closed for it).
    bool isLost() const { return m_lost; }
    QString portError() const { return m_portError; }
    // Counts opens and closes: a step started for one connection can tell whether that
    // connection is still the current one.
    int connection() const { return m_connection; }

    // How long the probe waits for any answer.
    void setProbeTimeout(int ms) { m_probeTimeoutMs = ms; }
    int probeTimeout() const { return m_probeTimeoutMs; }

    // Opens the link named portName: "tcp://HOST:PORT" connects to a serial device server,
    // any other name is a serial port opened read-write at baud (both directions). Writes
    // the connection probe once the link carries bytes; false when the link cannot be opened
    // (errorString() says why). The answer is awaited without blocking: probeAnswered() (the
    // worker then runs, a new one only if none is left) or probeUnanswered() (the link stays
    // open, no worker is made); a connection that is refused or not made is a lost port.
    bool open(const QString &portName, int baud);
    // The same with a link made by the caller (a recording), which the session takes over.
    bool openLink(ScannerLink *link);
    // Closes the port, then releases the worker once control is back in the event loop
    // (it may be on the call stack); running procedures fail with Closed.
    void close();
    // Closes the port only; the worker and its state stay for when it opens again (the
    // scanner restarts after a vendor-data save).
    void hangUp();
    // Closes the port if open and opens it again, under the given name and speed or those
    // of the last open; the worker stays.
    bool reopen(const QString &portName, int baud);
    bool reopen();

    // A request through the worker; dropped when there is none or the port is closed.
    void send(RequestType type, const QString &value = QString());

    // The procedures' way to the scanner. Each returns the number of the request it sent;
    // from->requestLeft(number) follows from the event loop once the request's last byte
    // has left the port (at once when there was nothing to send: the step then runs into
    // its time-out). The request goes out at once, not when the event loop next runs.
    int sendFor(LinkProcedure *from, RequestType type, const QString &value = QString());
    int sendZoneReadFor(LinkProcedure *from, int channel);
    int sendZoneBlockFor(LinkProcedure *from, int channel, const QByteArray &block);
    int sendFirmwareChunkFor(LinkProcedure *from, int index);
    // The image whose chunks sendFirmwareChunkFor sends and whose digest the verification
    // request carries; false without a link or for an empty image.
    bool loadFirmwareImage(const QByteArray &image);
    // The chunks are done or given up: the image goes, the digest stays.
    void releaseFirmwareImage();
    // A worker runs and the port is open.
    bool hasLink() const;
    // One zone channel read on its own (the download button, the read after a full read).
    void readChannel(int channel);

    // The read-out after connecting: the first read request at once, the other 18 on
    // timers up to 1000 ms later, and 1050 ms after now the full zone read, if this very
    // connection is still up and the gate (when set) lets it start. The gate may ask the
    // user; it returns false when the read must not start.
    void startReadOut();
    void setZoneReadGate(std::function<bool()> gate) { m_zoneReadGate = std::move(gate); }

    ZoneRead *zoneRead() const { return m_zoneRead; }
    ZoneWrite *zoneWrite() const { return m_zoneWrite; }
    FirmwareUpdate *firmware() const { return m_firmware; }

    // Runs f once control is back in the event loop, if the session still exists then.
    void later(std::function<void()> f);

signals:
    void probeAnswered();
    void probeUnanswered();
    // The link failed while open (a device unplugged, a connection refused or closed); it
    // has been closed. Running procedures fail with PortLost right after this, unless a
    // receiver closed the session.
    void portLost(const QString &error);
    // Every error a serial port reports, as it reports it.
    void errorOccurred(QSerialPort::SerialPortError error);

    // The worker's reports, whatever worker is current.
    void sendState(uchar erro, uchar output, uchar input);
    void sendPointVec(QVector<float> angleVec, QVector<ushort> rangeVec,
                      QVector<ushort> intensityVec);
    void sendMainRequestResult(RequestType type, QString result);
    void sendSettingRefused(RequestType type, int status);
    // Every whole frame the scanner sent, as the worker cut it from the stream (see
    // WorkerThread::frameReceived). The worker is only asked for its frames while someone
    // listens here.
    void frameReceived(const QByteArray &frame, qint64 arrivalUs);

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

public:
    // What the workers of this session cut from the stream beyond whole frames, since the
    // session was made.
    struct ReceiveCounts
    {
        qint64 skippedBytes = 0;
        qint64 badScanHeaders = 0;
    };
    ReceiveCounts receiveCounts() const;

private:
    void updateFrameTap();
    ScannerLink *linkFor(const QString &portName, int baud);
    void adopt(ScannerLink *link);
    bool startLink();
    bool reopenLink(bool hadWorker);
    void writeProbe();
    void finishProbe(bool answered);
    void makeWorker();
    void releaseWorker();
    void onLinkFailed(const QString &reason);
    void handleLostPort(int connection);
    void stopProcedures(SessionFailure::Kind why);
    void onResult(RequestType type, const QString &value);
    void onZoneBlock(int channel, const ZoneChannelRecord &areas);
    void onAcknowledgement(RequestType type, int status);
    void onDamaged(RequestType type);
    int departure(LinkProcedure *from);
    void onBytesWritten(qint64 bytes);
    void deliverDepartures();
    void releaseDepartures();

    // A request a procedure sent, until its last byte has left the port: mark counts the
    // bytes the port has taken since the session was made, this request's included.
    struct Departure
    {
        qint64 mark;
        LinkProcedure *from;
        int number;
    };

    ScannerLink *m_link = nullptr;
    WorkerThread *m_worker = nullptr;
    ReceiveCounts m_releasedCounts; // of the workers released so far
    QTimer *m_probeTimer = nullptr;
    QMetaObject::Connection m_probeWatch;
    QMetaObject::Connection m_frameTap;
    ZoneRead *m_zoneRead = nullptr;
    ZoneWrite *m_zoneWrite = nullptr;
    FirmwareUpdate *m_firmware = nullptr;
    QVector<LinkProcedure *> m_procedures; // the order replies are offered in
    QVector<Departure> m_departures;
    QTimer *m_departureTimer = nullptr;
    qint64 m_bytesLeft = 0; // bytes the links reported written since the session was made
    int m_requestNumber = 0;
    std::function<bool()> m_zoneReadGate;
    QString m_portName;
    int m_baud = 0;
    int m_probeTimeoutMs = 100;
    int m_connection = 0;
    bool m_probing = false;
    bool m_linkUp = false; // opened, and neither closed nor lost since
    bool m_lost = false;
    QString m_portError;
    QString m_openError;
};
