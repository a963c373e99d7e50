#pragma once

// The PC end of the simulated scanner for its tests: a real QSerialPort on its
// pseudo-terminal that writes request frames and cuts what comes back into frames, built
// and checked with the link's own checksum.
#include "framecodec.h"
#include "simoptions.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QVector>
#include <QtEndian>

#include <algorithm>
#include <functional>

namespace simtest {

inline QByteArray le16(quint16 v)
{
    QByteArray a(2, '\0');
    qToLittleEndian<quint16>(v, a.data());
    return a;
}

inline QByteArray requestFrame(quint16 type, const QByteArray &payload = {})
{
    QByteArray f;
    f.append(char(kHeaderLead)).append(char(kRequestMark));
    f.append(le16(quint16(kRequestOverhead + payload.size())));
    f.append(le16(type)).append(le16(0)).append(payload);
    return f.append(le16(frameChecksum(f)));
}

struct WireFrame
{
    QByteArray raw;
    bool crcOk = false;
    bool isScan() const { return uchar(raw[1]) == kScanMark; }
    quint16 at16(int i) const
    {
        return qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(raw.constData()) + i);
    }
    quint16 type() const { return at16(4); }
    quint16 status() const { return at16(6); }
    QByteArray payload() const { return raw.mid(10, raw.size() - 12); }
};

// The PC end: a serial port on the simulator's terminal that cuts the byte stream into
// reply and scan frames, strictly in order, counting any bytes between frames.
class Peer
{
public:
    bool open(const QString &path)
    {
        port.setPortName(path);
        port.setBaudRate(921600);
        return port.open(QIODevice::ReadWrite);
    }
    void send(const QByteArray &bytes)
    {
        port.write(bytes);
        port.waitForBytesWritten(100);
    }
    void request(quint16 type, const QByteArray &payload = {})
    {
        send(requestFrame(type, payload));
    }
    // Reads for ms milliseconds (or until stop returns true for a new frame).
    void pump(int ms, const std::function<bool(const WireFrame &)> &stop = {})
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (!port.waitForReadyRead(int(std::max<qint64>(1, ms - t.elapsed()))))
                continue;
            ++reads;
            buffer.append(port.readAll());
            const int before = frames.size();
            parse();
            for (int i = before; i < frames.size(); ++i)
                if (stop && stop(frames[i]))
                    return;
        }
    }
    WireFrame reply(quint16 type, int ms = 1000)
    {
        pump(ms, [type](const WireFrame &f) { return !f.isScan() && f.type() == type; });
        for (int i = frames.size() - 1; i >= 0; --i)
            if (!frames[i].isScan() && frames[i].type() == type)
                return frames.takeAt(i);
        return {};
    }
    QVector<WireFrame> scans() const
    {
        QVector<WireFrame> out;
        for (const WireFrame &f : frames)
            if (f.isScan())
                out.append(f);
        return out;
    }
    int replies() const { return frames.size() - scans().size(); }

    QSerialPort port;
    QByteArray buffer;
    QVector<WireFrame> frames;
    int strayBytes = 0;
    int reads = 0;

private:
    void parse()
    {
        while (buffer.size() >= 4) {
            const bool header = uchar(buffer[0]) == kHeaderLead &&
                                (uchar(buffer[1]) == kReplyMark || uchar(buffer[1]) == kScanMark);
            const int length = qFromLittleEndian<quint16>(buffer.constData() + 2);
            const bool sane = uchar(buffer[1]) == kScanMark
                                  ? length == kScanFrameSize
                                  : length >= kMinReplySize && length <= kFrameBufferSize;
            if (!header || !sane) {
                buffer.remove(0, 1);
                ++strayBytes;
                continue;
            }
            if (buffer.size() < length)
                return;
            WireFrame f;
            f.raw = buffer.left(length);
            buffer.remove(0, length);
            f.crcOk = frameChecksum(f.raw.constData(), length - 2) == f.at16(length - 2);
            frames.append(f);
        }
    }
};

inline SimOptions fast()
{
    SimOptions o;
    o.paced = false;
    o.seed = 7;
    o.restartMs = 100;
    return o;
}

} // namespace simtest
