#include "zonefilecheck.h"

#include "pointstext.h"
#include "zonestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const QLatin1String kPoints("Points");

struct IntegerKey
{
    const char *name;
    int maximum; // the field's width in the zone block; the smallest value is 0
    bool required;
};

// In the order the store writes them. Hysteresis is the one key the start-up store does
// not write, so a file saved before any area was edited lacks it.
const IntegerKey kIntegerKeys[] = {
    {"regionType", 255, true},  {"dependScale", 65535, true}, {"detectableSize", 255, true},
    {"hysteresis", 255, false}, {"onDelay", 255, true},       {"offDelay", 255, true},
};

// A value as a message can show it: short, and without control bytes (a NUL would end
// the line on a terminal).
QString shownValue(const QString &value)
{
    const int limit = 24;
    QString out;
    for (int i = 0; i < value.size() && i < limit; ++i) {
        const ushort c = value.at(i).unicode();
        out += c < 0x20 || c == 0x7F ? QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'))
                                     : QString(value.at(i));
    }
    if (value.size() > limit)
        out += QStringLiteral("...");
    return out;
}

ZoneFileProblem problemOf(ZoneFileProblem::Kind kind)
{
    ZoneFileProblem p;
    p.kind = kind;
    return p;
}

// A number key: plain text (not a typed value the settings library would convert in its
// own way), a whole number, within its field.
ZoneFileProblem readIntegerKey(QSettings &store, int channel, int area, const IntegerKey &key,
                               int *value)
{
    const QString name = zoneKey(channel, area, QLatin1String(key.name));
    ZoneFileProblem p;
    p.channel = channel;
    p.area = area;
    p.key = QLatin1String(key.name);
    if (!store.contains(name)) {
        *value = 0;
        if (key.required)
            p.kind = ZoneFileProblem::MissingKey;
        return p;
    }
    const QVariant v = store.value(name);
    const QString text = storedPointsText(v);
    bool ok = false;
    qlonglong n = 0;
    switch (v.userType()) {
    case QMetaType::QString: // as parsed from the file
        n = text.toLongLong(&ok);
        break;
    case QMetaType::Int: // as written in this process and not read back from disk
    case QMetaType::UInt:
    case QMetaType::LongLong:
        n = v.toLongLong(&ok);
        break;
    default: // a typed value the settings library converts in its own way
        break;
    }
    if (!ok) {
        p.kind = ZoneFileProblem::NotAWholeNumber;
        p.detail = shownValue(text);
        return p;
    }
    if (n < 0 || n > key.maximum) {
        p.kind = ZoneFileProblem::OutOfRange;
        p.detail = shownValue(text);
        p.minimum = 0;
        p.maximum = key.maximum;
        return p;
    }
    *value = int(n);
    return p;
}

} // namespace

ZoneFileProblem checkStoredArea(QSettings &store, int channel, int area, ZoneAreaRecord *out)
{
    const QString pointsKey = zoneKey(channel, area, kPoints);
    ZoneFileProblem p;
    if (!store.contains(pointsKey))
        p.kind = ZoneFileProblem::MissingKey;
    else
        p = readStrictPointsText(storedPointsText(store.value(pointsKey)), &out->points);
    if (p) {
        p.channel = channel;
        p.area = area;
        p.key = kPoints;
        return p;
    }
    int values[std::size(kIntegerKeys)] = {};
    for (size_t i = 0; i < std::size(kIntegerKeys); ++i) {
        p = readIntegerKey(store, channel, area, kIntegerKeys[i], &values[i]);
        if (p)
            return p;
    }
    out->regionType = quint8(values[0]);
    out->dependScale = quint16(values[1]);
    out->detectableSize = quint8(values[2]);
    out->hysteresis = quint8(values[3]);
    out->onDelay = quint8(values[4]);
    out->offDelay = quint8(values[5]);
    return p;
}

ZoneFileProblem readStrictPointsText(const QString &text, QVector<QPoint> *points)
{
    points->clear();
    if (text.isEmpty())
        return {};
    const QVector<QStringView> parts = commaParts(text);
    // Every pair ends in a comma, so the last part is empty and the others pair up; any
    // other text would lose its last number on the way to the scanner.
    if (!parts.last().isEmpty() || (parts.size() - 1) % 2 != 0) {
        ZoneFileProblem p = problemOf(ZoneFileProblem::PointsNotPairs);
        p.detail = shownValue(text);
        return p;
    }
    const int count = int(parts.size() - 1) / 2;
    if (count > kMaxZonePoints) {
        ZoneFileProblem p = problemOf(ZoneFileProblem::TooManyPoints);
        p.number = count;
        return p;
    }
    points->reserve(count);
    int coordinates[2] = {};
    for (int i = 0; i < 2 * count; ++i) {
        const QStringView part = parts.at(i);
        bool ok = false;
        const double value = part.toDouble(&ok);
        // The store's own reading takes any number and cuts it; here only a whole
        // millimetre passes, so that what is sent is what the file says.
        if (!ok || !std::isfinite(value) || std::trunc(value) != value) {
            ZoneFileProblem p = problemOf(ZoneFileProblem::NotAWholeNumber);
            p.detail = shownValue(part.toString());
            points->clear();
            return p;
        }
        if (value < -32768.0 || value > 32767.0) {
            ZoneFileProblem p = problemOf(ZoneFileProblem::OutOfRange);
            p.detail = shownValue(part.toString());
            p.minimum = -32768;
            p.maximum = 32767;
            points->clear();
            return p;
        }
        coordinates[i % 2] = int(value);
        if (i % 2 == 1)
            points->append(QPoint(coordinates[0], coordinates[1]));
    }
    return {};
}

ZoneFileProblem checkZoneStore(QSettings &store, QVector<ZoneChannelRecord> *channels)
{
    channels->clear();
    if (store.status() == QSettings::FormatError)
        return problemOf(ZoneFileProblem::NotIni);
    if (store.status() == QSettings::AccessError) {
        ZoneFileProblem p = problemOf(ZoneFileProblem::Unreadable);
        p.detail = QStringLiteral("access denied");
        return p;
    }
    const QStringList groups = store.childGroups();
    static const QRegularExpression channelGroup(QStringLiteral("^Channel\\d+$"));
    if (std::none_of(groups.begin(), groups.end(),
                     [](const QString &g) { return channelGroup.match(g).hasMatch(); }))
        return problemOf(ZoneFileProblem::NoChannels);

    QVector<ZoneChannelRecord> read(kZoneChannelCount);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        // A file cut short would otherwise clear every channel it lost on the scanner.
        if (!groups.contains(QStringLiteral("Channel%1").arg(channel))) {
            ZoneFileProblem p = problemOf(ZoneFileProblem::MissingChannel);
            p.channel = channel;
            return p;
        }
        ZoneFileProblem p = checkStoredChannel(store, channel, &read[channel]);
        if (p)
            return p;
    }
    *channels = read;
    return {};
}

ZoneFileProblem checkStoredChannel(QSettings &store, int channel, ZoneChannelRecord *areas)
{
    ZoneChannelRecord read;
    for (int area = 0; area < kAreasPerChannel; ++area) {
        ZoneFileProblem p = checkStoredArea(store, channel, area, &read[area]);
        if (p)
            return p;
    }
    *areas = read;
    return {};
}

ZoneFile checkZoneFileBytes(const QByteArray &bytes)
{
    ZoneFile file;
    file.read = true;
    file.bytes = bytes;
    // Parsed by the settings library itself, from a copy of its own: the same reading the
    // zone store gets, of exactly these bytes.
    QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("areascan-zones-XXXXXX.ini")));
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
        file.problem = problemOf(ZoneFileProblem::Unreadable);
        file.problem.detail =
            QStringLiteral("cannot make a temporary copy: %1").arg(copy.errorString());
        return file;
    }
    copy.close();
    QSettings store(copy.fileName(), QSettings::IniFormat);
    file.problem = checkZoneStore(store, &file.channels);
    return file;
}

ZoneFile readZoneFile(const QString &path)
{
    ZoneFile file;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        file.problem = problemOf(ZoneFileProblem::NotARegularFile);
        file.problem.detail = info.isDir() ? QStringLiteral("it is a directory")
                                           : QStringLiteral("it is not a regular file");
        return file;
    }
    if (info.exists() && info.size() > kMaxZoneFileBytes) {
        file.problem = problemOf(ZoneFileProblem::TooLarge);
        file.problem.number = info.size();
        return file;
    }
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        file.problem = problemOf(ZoneFileProblem::Unreadable);
        file.problem.detail = source.errorString();
        return file;
    }
    // Never more than the limit and one byte, even if the file grew since it was looked at.
    const QByteArray bytes = source.read(kMaxZoneFileBytes + 1);
    if (source.error() != QFileDevice::NoError) {
        file.problem = problemOf(ZoneFileProblem::Unreadable);
        file.problem.detail = source.errorString();
        return file;
    }
    if (bytes.size() > kMaxZoneFileBytes) {
        file.read = true;
        file.problem = problemOf(ZoneFileProblem::TooLarge);
        file.problem.number = bytes.size();
        return file;
    }
    return checkZoneFileBytes(bytes);
}

QString describeZoneFileProblem(const ZoneFileProblem &p, const QString &fileName)
{
    static const char *const areaNames[] = {"attention", "warning", "alarm"};
    const QString where = QStringLiteral("%1: channel %2, %3 area")
                              .arg(fileName)
                              .arg(p.channel)
                              .arg(QLatin1String(areaNames[qBound(0, p.area, 2)]));
    switch (p.kind) {
    case ZoneFileProblem::None:
        return QString();
    case ZoneFileProblem::NotARegularFile:
        return QStringLiteral("%1: %2").arg(fileName, p.detail);
    case ZoneFileProblem::TooLarge:
        return QStringLiteral("%1 is not a zone file: %2 bytes, more than the %3 any zone file "
                              "takes")
            .arg(fileName)
            .arg(p.number)
            .arg(kMaxZoneFileBytes);
    case ZoneFileProblem::Unreadable:
        return QStringLiteral("cannot read %1: %2").arg(fileName, p.detail);
    case ZoneFileProblem::NotIni:
        return QStringLiteral("%1 is not a zone file: it cannot be read as INI").arg(fileName);
    case ZoneFileProblem::NoChannels:
        return QStringLiteral("%1 is not a zone file: it holds no zone channels").arg(fileName);
    case ZoneFileProblem::MissingChannel:
        return QStringLiteral("%1 is not a whole zone file: channel %2 is missing")
            .arg(fileName)
            .arg(p.channel);
    case ZoneFileProblem::MissingKey:
        return QStringLiteral("%1 has no %2 key").arg(where, p.key);
    case ZoneFileProblem::NotAWholeNumber:
        return QStringLiteral("%1: %2 holds '%3', not a whole number").arg(where, p.key, p.detail);
    case ZoneFileProblem::OutOfRange:
        if (p.key == kPoints)
            return QStringLiteral("%1 has a coordinate outside -32768 to 32767 mm in Points (%2)")
                .arg(where, p.detail);
        return QStringLiteral("%1: %2 %3 is outside %4 to %5")
            .arg(where, p.key, p.detail)
            .arg(p.minimum)
            .arg(p.maximum);
    case ZoneFileProblem::PointsNotPairs:
        return QStringLiteral("%1: Points '%2' is not a list of x,y pairs each followed by a "
                              "comma")
            .arg(where, p.detail);
    case ZoneFileProblem::TooManyPoints:
        return QStringLiteral("%1 has %2 points; the scanner holds at most %3 (Points)")
            .arg(where)
            .arg(p.number)
            .arg(kMaxZonePoints);
    }
    return QString();
}
