#include "filtersettings.h"

#include <QSet>

#include <cmath>

const QVector<FilterSetting> &filterSettings()
{
    // The order is the command-line tool's (info lists them so); the factory keys are
    // spelled as the factory file has them.
    static const QVector<FilterSetting> settings = {
        {"filter-enable", REQUEST_SET_FILTER_ENABLE, REQUEST_GET_FILTER_ENABLE, FilterSetting::Flag,
         1, "Filter/filterEnable", FilterSetting::KeptAsFlag},
        {"filter-strength", REQUEST_SET_FILTER_STRENGTH, REQUEST_GET_FILTER_STRENGTH,
         FilterSetting::Number, 100, "Filter/filterStrenth", FilterSetting::KeptAsText},
        {"filter-min-range", REQUEST_SET_FILTER_MIN_RANGE, REQUEST_GET_FILTER_MIN_RANGE,
         FilterSetting::Number, 65535, "Filter/filterMinRange", FilterSetting::KeptAsText},
        {"filter-max-range", REQUEST_SET_FILTER_MAX_RANGE, REQUEST_GET_FILTER_MAX_RANGE,
         FilterSetting::Number, 65535, "Filter/filterMaxRange", FilterSetting::KeptAsText},
        {"average-filter", REQUEST_SET_AVERAGE_FILTER, REQUEST_GET_AVERAGE_FILTER,
         FilterSetting::Flag, 1, "Filter/averageFilter", FilterSetting::KeptAsFlag},
        {"input-nc", REQUEST_SET_INPUT_NONC, REQUEST_GET_INPUT_NONC, FilterSetting::Flag, 1,
         "Filter/inputNonc", FilterSetting::KeptAsFlag},
        {"output-nc", REQUEST_SET_OUTPUT_NONC, REQUEST_GET_OUTPUT_NONC, FilterSetting::Flag, 1,
         "Filter/outPutNonc", FilterSetting::KeptAsFlag},
        {"mask-intensity", REQUEST_SET_MASK_INTENSITY, REQUEST_GET_MASK_INTENSITY,
         FilterSetting::Number, 4095, "Filter/maskIntensity", FilterSetting::KeptAs16Bits},
        {"mask-min-angle", REQUEST_SET_MASK_MIN_ANGLE, REQUEST_GET_MASK_MIN_ANGLE,
         FilterSetting::HalfDegrees, 539, "Filter/maskMinAngle", FilterSetting::KeptAs16Bits},
        {"mask-max-angle", REQUEST_SET_MASK_MAX_ANGLE, REQUEST_GET_MASK_MAX_ANGLE,
         FilterSetting::HalfDegrees, 539, "Filter/maskMaxAngle", FilterSetting::KeptAs16Bits},
    };
    return settings;
}

const FilterSetting *findFilterSetting(const QString &name)
{
    for (const FilterSetting &s : filterSettings()) {
        if (name == QLatin1String(s.name))
            return &s;
    }
    return nullptr;
}

const FilterSetting *filterSettingOf(RequestType request)
{
    for (const FilterSetting &s : filterSettings()) {
        if (request == s.set || request == s.get)
            return &s;
    }
    return nullptr;
}

namespace {

bool parseFlag(const QString &text, int *wire)
{
    const QString t = text.toLower();
    if (t == QLatin1String("1") || t == QLatin1String("on") || t == QLatin1String("true") ||
        t == QLatin1String("yes")) {
        *wire = 1;
        return true;
    }
    if (t == QLatin1String("0") || t == QLatin1String("off") || t == QLatin1String("false") ||
        t == QLatin1String("no")) {
        *wire = 0;
        return true;
    }
    return false;
}

QString rangeText(const FilterSetting &s)
{
    switch (s.kind) {
    case FilterSetting::Flag:
        return QStringLiteral("on or off");
    case FilterSetting::Number:
        return QStringLiteral("a whole number from 0 to %1").arg(s.maximum);
    case FilterSetting::HalfDegrees:
        return QStringLiteral("0 to %1 degrees in steps of 0.5")
            .arg(QString::number(s.maximum * 0.5, 'f', 1));
    }
    return QString();
}

bool parseValue(const FilterSetting &s, const QString &text, int *wire)
{
    if (text.trimmed() != text || text.isEmpty())
        return false;
    bool ok = false;
    switch (s.kind) {
    case FilterSetting::Flag:
        return parseFlag(text, wire);
    case FilterSetting::Number: {
        const qlonglong n = text.toLongLong(&ok);
        if (!ok || n < 0 || n > s.maximum)
            return false;
        *wire = int(n);
        return true;
    }
    case FilterSetting::HalfDegrees: {
        const double degrees = text.toDouble(&ok);
        if (!ok || !std::isfinite(degrees))
            return false;
        const double halves = degrees * 2;
        // The scanner counts half degrees: a value between two steps would be rounded
        // silently, so it is refused instead.
        if (std::fabs(halves - std::round(halves)) > 1e-9)
            return false;
        const long n = std::lround(halves);
        if (n < 0 || n > s.maximum)
            return false;
        *wire = int(n);
        return true;
    }
    }
    return false;
}

} // namespace

bool parseSettingAssignments(const QStringList &assignments, QVector<SettingValue> *values,
                             QString *error)
{
    values->clear();
    QSet<const FilterSetting *> seen;
    for (const QString &assignment : assignments) {
        const int eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            *error = QStringLiteral("'%1' is not NAME=VALUE").arg(assignment);
            return false;
        }
        const QString name = assignment.left(eq);
        const QString text = assignment.mid(eq + 1);
        const FilterSetting *s = findFilterSetting(name);
        if (!s) {
            *error = QStringLiteral("unknown setting '%1'").arg(name);
            return false;
        }
        if (seen.contains(s)) {
            *error = QStringLiteral("%1 is given more than once").arg(name);
            return false;
        }
        seen.insert(s);
        SettingValue value;
        value.setting = s;
        if (!parseValue(*s, text, &value.wire)) {
            *error =
                QStringLiteral("%1=%2 is out of range: %1 takes %3").arg(name, text, rangeText(*s));
            return false;
        }
        values->append(value);
    }
    return true;
}

namespace {

const SettingValue *findValue(const QVector<SettingValue> &values, RequestType set)
{
    for (const SettingValue &v : values) {
        if (v.setting->set == set)
            return &v;
    }
    return nullptr;
}

} // namespace

const FilterSetting *rangeLimitLeftToScanner(const QVector<SettingValue> &values)
{
    const bool min = findValue(values, REQUEST_SET_FILTER_MIN_RANGE);
    const bool max = findValue(values, REQUEST_SET_FILTER_MAX_RANGE);
    if (min == max)
        return nullptr;
    return findFilterSetting(min ? QStringLiteral("filter-max-range")
                                 : QStringLiteral("filter-min-range"));
}

bool checkRangeOrder(const QVector<SettingValue> &values, int held, QString *error)
{
    const SettingValue *min = findValue(values, REQUEST_SET_FILTER_MIN_RANGE);
    const SettingValue *max = findValue(values, REQUEST_SET_FILTER_MAX_RANGE);
    if (!min && !max)
        return true;
    const int low = min ? min->wire : held;
    const int high = max ? max->wire : held;
    if (low <= high)
        return true;
    if (min && max)
        *error = QStringLiteral("filter-min-range=%1 is above filter-max-range=%2: the minimum "
                                "range must not exceed the maximum")
                     .arg(low)
                     .arg(high);
    else if (min)
        *error = QStringLiteral("filter-min-range=%1 is above the scanner's filter-max-range "
                                "%2: the minimum range must not exceed the maximum")
                     .arg(low)
                     .arg(high);
    else
        *error = QStringLiteral("filter-max-range=%1 is below the scanner's filter-min-range "
                                "%2: the minimum range must not exceed the maximum")
                     .arg(high)
                     .arg(low);
    return false;
}

int settingFromReply(const FilterSetting &setting, const QString &reply)
{
    const int n = reply.toInt();
    return setting.kind == FilterSetting::Flag ? (n != 0 ? 1 : 0) : n;
}

QString settingText(const FilterSetting &setting, int wire)
{
    switch (setting.kind) {
    case FilterSetting::Flag:
        return wire != 0 ? QStringLiteral("on") : QStringLiteral("off");
    case FilterSetting::Number:
        return QString::number(wire);
    case FilterSetting::HalfDegrees:
        return QString::number(wire * 0.5, 'f', 1);
    }
    return QString();
}

QJsonValue settingJson(const FilterSetting &setting, int wire)
{
    switch (setting.kind) {
    case FilterSetting::Flag:
        return wire != 0;
    case FilterSetting::Number:
        return wire;
    case FilterSetting::HalfDegrees:
        return wire * 0.5;
    }
    return QJsonValue();
}

QString settingUnit(const FilterSetting &setting)
{
    if (setting.kind == FilterSetting::HalfDegrees)
        return QStringLiteral("\u00B0");
    if (setting.set == REQUEST_SET_FILTER_MIN_RANGE || setting.set == REQUEST_SET_FILTER_MAX_RANGE)
        return QStringLiteral("mm");
    return QString();
}

QString settingRequestText(const FilterSetting &setting, int value)
{
    if (setting.kind == FilterSetting::Flag)
        value = value != 0 ? 1 : 0;
    return QString::number(value);
}

QString committedFromReply(const FilterSetting &setting, const QString &reply)
{
    if (setting.kept == FilterSetting::KeptAsText)
        return reply;
    return committedFromWire(setting, reply.toInt());
}

QString committedFromFactory(const FilterSetting &setting, const QVariant &value)
{
    // A key the file lacks reads as false, an empty text or 0.
    switch (setting.kept) {
    case FilterSetting::KeptAsFlag:
        return committedFromWire(setting, value.toBool());
    case FilterSetting::KeptAsText:
        return value.toString();
    case FilterSetting::KeptAs16Bits:
        return committedFromWire(setting, value.toInt());
    }
    return QString();
}

QString committedFromWire(const FilterSetting &setting, int wire)
{
    if (setting.kept == FilterSetting::KeptAs16Bits)
        wire = ushort(wire);
    return settingRequestText(setting, wire);
}

int committedWire(const FilterSetting &setting, const QString &committed)
{
    const int n = committed.toInt();
    return setting.kind == FilterSetting::Flag ? (n != 0 ? 1 : 0) : n;
}
