#include "devicestate.h"

#include <QtEndian>

#include <algorithm>

namespace {

ZoneArea shapedArea(quint8 regionType, const QVector<QPoint> &points, quint8 onDelay,
                    quint8 offDelay)
{
    ZoneArea a;
    a.onDelay = onDelay;
    a.offDelay = offDelay;
    a.hysteresis = 1;
    a.detectableSize = 2;
    a.regionType = regionType;
    a.points = points;
    return a;
}

// Three nested zones in front of the scanner, so a fresh device has something to show:
// alarm out to 1 m, warning to 2 m, attention to 3 m.
void fillExampleChannel(DeviceState &s, int channel)
{
    s.zone(channel, 0) =
        shapedArea(1, {{-2000, 0}, {-2000, 3000}, {2000, 3000}, {2000, 0}, {0, -300}}, 0, 2);
    s.zone(channel, 1) = shapedArea(1, {{-1500, 0}, {-1500, 2000}, {1500, 2000}, {1500, 0}}, 0, 1);
    s.zone(channel, 2) = shapedArea(1, {{-1000, 0}, {-1000, 1000}, {1000, 1000}, {1000, 0}}, 0, 0);
}

// The same idea drawn as sectors between 30 and 150 degrees (an arc keeps its two end
// vertices) and as rectangles in front of the scanner (a rectangle keeps its four corners,
// the corner nearest the scanner on the left first).
void fillArcChannel(DeviceState &s, int channel)
{
    const int radii[3] = {4000, 2500, 1200};
    for (int k = 0; k < 3; ++k) {
        const int x = int(radii[k] * 0.8660254);
        const int y = radii[k] / 2;
        s.zone(channel, k) = shapedArea(2, {{x, y}, {-x, y}}, quint8(k), 1);
    }
}

void fillRectangleChannel(DeviceState &s, int channel)
{
    const int halfWidth[3] = {2500, 1800, 1000};
    const int depth[3] = {4000, 2600, 1400};
    for (int k = 0; k < 3; ++k) {
        const int w = halfWidth[k], d = depth[k];
        s.zone(channel, k) =
            shapedArea(3, {{-w, 300}, {-w, d}, {w, d}, {w, 300}}, 1, quint8(2 - k));
    }
}

qint16 clamp16(int v)
{
    return qint16(std::clamp(v, -32768, 32767));
}

} // namespace

bool ZoneArea::operator==(const ZoneArea &o) const
{
    return onDelay == o.onDelay && offDelay == o.offDelay && hysteresis == o.hysteresis &&
           detectableSize == o.detectableSize && regionType == o.regionType &&
           dependScale == o.dependScale && points == o.points;
}

QByteArray fixedWidthText(const QByteArray &text, int width)
{
    QByteArray out = text.left(width);
    out.append(QByteArray(width - out.size(), '\0'));
    return out;
}

bool setSerialNumber(DeviceState &state, const QString &serial, QString *error)
{
    const QByteArray bytes = serial.toUtf8();
    QString why;
    if (bytes.isEmpty())
        why = QStringLiteral("a serial number cannot be empty");
    else if (bytes.size() > 9)
        why = QStringLiteral("'%1' is %2 bytes long; the scanner holds at most 9")
                  .arg(serial)
                  .arg(bytes.size());
    else if (bytes.contains('\0'))
        why = QStringLiteral("a serial number cannot hold a NUL byte");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    state.serialNumber = fixedWidthText(bytes, 9);
    return true;
}

DeviceState::DeviceState()
    : ident(fixedWidthText("AS270", 5)), serialNumber(fixedWidthText("KP2100417", 9)),
      lotNumber(fixedWidthText("L24A0815", 9)), firmwareVersion(fixedWidthText("V2.3.1", 6)),
      npnPnp(fixedWidthText("NPN", 3)), zones(kZoneChannels * kZoneAreas)
{
    fillExampleChannel(*this, 0);
    fillArcChannel(*this, 1);
    fillRectangleChannel(*this, 2);
    fillExampleChannel(*this, currentArea[1]);
}

QByteArray DeviceState::zoneBlock(int channel) const
{
    if (channel < 0 || channel >= kZoneChannels)
        return {};
    QByteArray block(kZoneBlockSize, '\0');
    uchar *b = reinterpret_cast<uchar *>(block.data());
    b[0] = uchar(channel);
    for (int k = 0; k < kZoneAreas; ++k) {
        const ZoneArea &a = zone(channel, k);
        uchar *p = b + 1 + k * kZoneAreaBlockSize;
        p[0] = a.onDelay;
        p[1] = a.offDelay;
        p[2] = a.hysteresis;
        p[3] = a.detectableSize;
        p[4] = a.regionType;
        qToLittleEndian<quint16>(a.dependScale, p + 5);
        const int n = std::min<int>(a.points.size(), kZoneMaxPoints);
        qToLittleEndian<quint16>(quint16(n), p + 7);
        for (int i = 0; i < n; ++i) {
            qToLittleEndian<qint16>(clamp16(a.points[i].x()), p + 9 + 2 * i);
            qToLittleEndian<qint16>(clamp16(a.points[i].y()), p + 9 + 2 * kZoneMaxPoints + 2 * i);
        }
    }
    return block;
}

bool DeviceState::storeZoneBlock(const QByteArray &block)
{
    if (block.size() != kZoneBlockSize)
        return false;
    const uchar *b = reinterpret_cast<const uchar *>(block.constData());
    const int channel = b[0];
    if (channel >= kZoneChannels)
        return false;
    for (int k = 0; k < kZoneAreas; ++k) {
        const uchar *p = b + 1 + k * kZoneAreaBlockSize;
        ZoneArea a;
        a.onDelay = p[0];
        a.offDelay = p[1];
        a.hysteresis = p[2];
        a.detectableSize = p[3];
        a.regionType = p[4];
        a.dependScale = qFromLittleEndian<quint16>(p + 5);
        const int n = std::min<int>(qFromLittleEndian<quint16>(p + 7), kZoneMaxPoints);
        a.points.reserve(n);
        for (int i = 0; i < n; ++i)
            a.points.append(QPoint(qFromLittleEndian<qint16>(p + 9 + 2 * i),
                                   qFromLittleEndian<qint16>(p + 9 + 2 * kZoneMaxPoints + 2 * i)));
        zone(channel, k) = a;
    }
    return true;
}
