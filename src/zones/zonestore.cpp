#include "zonestore.h"

#include "pointstext.h"

#include <QSettings>
#include <QStringList>

namespace {
const QLatin1String kPoints("Points");
const QLatin1String kRegionType("regionType");
const QLatin1String kDependScale("dependScale");
const QLatin1String kDetectableSize("detectableSize");
const QLatin1String kHysteresis("hysteresis");
const QLatin1String kOnDelay("onDelay");
const QLatin1String kOffDelay("offDelay");
} // namespace

QString zoneKey(int channel, int area, QLatin1String name)
{
    return QStringLiteral("Channel%1/Area%2/%3").arg(channel).arg(area).arg(name);
}

QString storedPointsText(const QVariant &value)
{
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void resetZoneStore(QSettings &store)
{
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        for (int area = 0; area < kAreasPerChannel; ++area) {
            store.setValue(zoneKey(channel, area, kPoints), QString());
            store.setValue(zoneKey(channel, area, kRegionType), 1);
            store.setValue(zoneKey(channel, area, kDependScale), 0);
            store.setValue(zoneKey(channel, area, kOnDelay), 0);
            store.setValue(zoneKey(channel, area, kOffDelay), 0);
            store.setValue(zoneKey(channel, area, kDetectableSize), 0);
        }
    }
}

ZoneAreaRecord readStoredParameters(QSettings &store, int channel, int area)
{
    auto number = [&](QLatin1String name) {
        return store.value(zoneKey(channel, area, name)).toInt();
    };
    ZoneAreaRecord a;
    a.regionType = quint8(number(kRegionType));
    a.dependScale = quint16(number(kDependScale));
    a.onDelay = quint8(number(kOnDelay));
    a.offDelay = quint8(number(kOffDelay));
    a.hysteresis = quint8(number(kHysteresis));
    a.detectableSize = quint8(number(kDetectableSize));
    return a;
}

QVector<QPointF> readStoredPoints(QSettings &store, int channel, int area)
{
    return parsePointsText(storedPointsText(store.value(zoneKey(channel, area, kPoints))));
}

ZoneChannelRecord readStoredChannel(QSettings &store, int channel)
{
    ZoneChannelRecord areas;
    for (int k = 0; k < kAreasPerChannel; ++k) {
        areas[k] = readStoredParameters(store, channel, k);
        areas[k].points = wirePoints(readStoredPoints(store, channel, k));
    }
    return areas;
}

void writeStoredChannel(QSettings &store, int channel, const ZoneChannelRecord &areas)
{
    for (int k = 0; k < kAreasPerChannel; ++k)
        writeStoredArea(store, channel, k, areas[k]);
}

void writeStoredArea(QSettings &store, int channel, int area, const ZoneAreaRecord &record)
{
    store.setValue(zoneKey(channel, area, kPoints), pointsText(record.points));
    writeStoredParameters(store, channel, area, record);
}

void writeStoredParameters(QSettings &store, int channel, int area, const ZoneAreaRecord &record)
{
    store.setValue(zoneKey(channel, area, kRegionType), int(record.regionType));
    store.setValue(zoneKey(channel, area, kDependScale), int(record.dependScale));
    store.setValue(zoneKey(channel, area, kDetectableSize), int(record.detectableSize));
    store.setValue(zoneKey(channel, area, kOnDelay), int(record.onDelay));
    store.setValue(zoneKey(channel, area, kOffDelay), int(record.offDelay));
    store.setValue(zoneKey(channel, area, kHysteresis), int(record.hysteresis));
}

UnsendableArea findUnsendableArea(QSettings &store)
{
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        for (int k = 0; k < kAreasPerChannel; ++k) {
            const QVector<QPointF> points = readStoredPoints(store, channel, k);
            UnsendableArea found;
            found.channel = channel;
            found.area = k;
            found.pointCount = points.size();
            if (points.size() > kMaxZonePoints) {
                found.reason = UnsendableArea::TooManyPoints;
                return found;
            }
            for (const QPointF &p : points) {
                if (!fitsWire(p.x()) || !fitsWire(p.y())) {
                    found.reason = UnsendableArea::CoordinateTooLarge;
                    return found;
                }
            }
        }
    }
    return {};
}
