#pragma once

// Recordings built byte by byte for the tests: pcap files of the scanner's frames in either
// byte order and time resolution, and scan frames whose contents tell them apart.
#include "framecodec.h"
#include "scanframe.h"

#include <QByteArray>
#include <QVector>
#include <QtEndian>

namespace pcapbuilder {

struct Packet
{
    QByteArray bytes;
    qint64 us = 0;
    int original = -1; // the length on the wire, when it differs from the bytes kept
};

template <class T> void put(QByteArray *out, T value, bool bigEndian)
{
    char b[sizeof(T)];
    if (bigEndian)
        qToBigEndian<T>(value, b);
    else
        qToLittleEndian<T>(value, b);
    out->append(b, int(sizeof(T)));
}

inline QByteArray pcapFile(const QVector<Packet> &packets, quint32 linkType = 147,
                           bool bigEndian = false, bool nanoseconds = false)
{
    QByteArray f;
    put<quint32>(&f, nanoseconds ? 0xa1b23c4d : 0xa1b2c3d4, bigEndian);
    put<quint16>(&f, 2, bigEndian);
    put<quint16>(&f, 4, bigEndian);
    put<quint32>(&f, 0, bigEndian);
    put<quint32>(&f, 0, bigEndian);
    put<quint32>(&f, 65535, bigEndian);
    put<quint32>(&f, linkType, bigEndian);
    for (const Packet &p : packets) {
        put<quint32>(&f, quint32(p.us / 1000000), bigEndian);
        const qint64 fraction = p.us % 1000000;
        put<quint32>(&f, quint32(nanoseconds ? fraction * 1000 : fraction), bigEndian);
        put<quint32>(&f, quint32(p.bytes.size()), bigEndian);
        put<quint32>(&f, quint32(p.original < 0 ? p.bytes.size() : p.original), bigEndian);
        f.append(p.bytes);
    }
    return f;
}

// A scan frame whose ranges tell its sector and scan apart.
inline QByteArray scanFrame(int sector, int scan, uchar output = 0, uchar error = 0)
{
    ScanState state;
    state.sector = uchar(sector);
    state.input = uchar(scan % 64);
    state.output = output;
    state.erro = error;
    return buildScanFrame(state,
                          QVector<ushort>(kPointsPerScanFrame, ushort(1000 + scan * 10 + sector)),
                          QVector<ushort>(kPointsPerScanFrame, 500));
}

// The range every point of a scan frame made by scanFrame carries.
inline ushort rangeOf(int sector, int scan)
{
    return ushort(1000 + scan * 10 + sector);
}

constexpr qint64 kStartUs = 1700000000000000;

// Scans of sectors 0..5 at 25 scans a second, from a given sector of the first scan on.
inline QVector<Packet> scans(int count, int firstSector = 0, qint64 startUs = kStartUs)
{
    QVector<Packet> out;
    for (int s = 0; s < count; ++s)
        for (int sector = s == 0 ? firstSector : 0; sector < 6; ++sector)
            out.append({scanFrame(sector, s), startUs + qint64(s * 6 + sector) * 40000 / 6});
    return out;
}

inline Packet reply(qint64 us = kStartUs)
{
    return {buildReplyFrame(0x0004, 0, QByteArray("1.2.3")), us};
}

} // namespace pcapbuilder
