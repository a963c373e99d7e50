#include "zonediff.h"

#include <algorithm>

bool ZoneDifference::operator==(const ZoneDifference &o) const
{
    return channel == o.channel && area == o.area && kind == o.kind && key == o.key &&
           vertex == o.vertex && first == o.first && second == o.second &&
           firstPoint == o.firstPoint && secondPoint == o.secondPoint;
}

void compareZoneAreas(int channel, int area, const ZoneAreaRecord &first,
                      const ZoneAreaRecord &second, QVector<ZoneDifference> *out)
{
    if (first == second)
        return;
    ZoneDifference d;
    d.channel = channel;
    d.area = area;
    auto number = [&](ZoneDifference::Kind kind, const char *key, qint64 a, qint64 b) {
        if (a == b)
            return;
        ZoneDifference n = d;
        n.kind = kind;
        n.key = QLatin1String(key);
        n.first = a;
        n.second = b;
        out->append(n);
    };
    number(ZoneDifference::Shape, "regionType", first.regionType, second.regionType);
    number(ZoneDifference::VertexCount, "Points", first.points.size(), second.points.size());
    const int common = std::min(first.points.size(), second.points.size());
    const auto firstEnd = first.points.cbegin() + common;
    const auto differs = std::mismatch(first.points.cbegin(), firstEnd, second.points.cbegin());
    if (differs.first != firstEnd) {
        ZoneDifference v = d;
        v.kind = ZoneDifference::Vertex;
        v.key = QStringLiteral("Points");
        v.vertex = int(differs.first - first.points.cbegin());
        v.firstPoint = *differs.first;
        v.secondPoint = *differs.second;
        out->append(v);
    }
    number(ZoneDifference::Parameter, "onDelay", first.onDelay, second.onDelay);
    number(ZoneDifference::Parameter, "offDelay", first.offDelay, second.offDelay);
    number(ZoneDifference::Parameter, "hysteresis", first.hysteresis, second.hysteresis);
    number(ZoneDifference::Parameter, "detectableSize", first.detectableSize,
           second.detectableSize);
    number(ZoneDifference::Parameter, "dependScale", first.dependScale, second.dependScale);
}

QVector<ZoneDifference> compareZoneSets(const ZoneSet &first, const ZoneSet &second)
{
    QVector<ZoneDifference> out;
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            compareZoneAreas(c, k, first.area(c, k), second.area(c, k), &out);
    return out;
}

namespace {
QString shapeName(qint64 type)
{
    static const char *const names[] = {"none", "polygon", "arc", "rectangle"};
    if (type >= 0 && type < 4)
        return QStringLiteral("%1 (%2)").arg(type).arg(QLatin1String(names[type]));
    return QString::number(type);
}

QString pointText(const QPoint &p)
{
    return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
}
} // namespace

QString describeZoneDifference(const ZoneDifference &d)
{
    static const char *const areaNames[] = {"attention", "warning", "alarm"};
    QString where = QStringLiteral("channel %1, %2 area: ")
                        .arg(d.channel)
                        .arg(QLatin1String(areaNames[qBound(0, d.area, 2)]));
    switch (d.kind) {
    case ZoneDifference::Shape:
        return where +
               QStringLiteral("regionType %1 vs %2").arg(shapeName(d.first), shapeName(d.second));
    case ZoneDifference::VertexCount:
        return where + QStringLiteral("%1 %2 vs %3")
                           .arg(d.first)
                           .arg(d.first == 1 ? QLatin1String("vertex") : QLatin1String("vertices"))
                           .arg(d.second);
    case ZoneDifference::Vertex:
        return where + QStringLiteral("vertex %1 at %2 vs %3")
                           .arg(d.vertex + 1)
                           .arg(pointText(d.firstPoint), pointText(d.secondPoint));
    case ZoneDifference::Parameter:
        return where + QStringLiteral("%1 %2 vs %3").arg(d.key).arg(d.first).arg(d.second);
    }
    return where;
}

ZoneSet zoneSetOf(const QVector<ZoneChannelRecord> &channels)
{
    ZoneSet set;
    for (int c = 0; c < kZoneChannelCount && c < channels.size(); ++c)
        set.setChannel(c, channels.at(c));
    return set;
}
