// info and set: the scanner's identity and the filter group's settings.
#include "clirun.h"
#include "commands.h"
#include "filtersettings.h"
#include "scannersession.h"
#include "sessionwait.h"
#include "zonefingerprint.h"
#include "zoneset.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <algorithm>

QString formatFields(const QVector<OutputField> &fields, bool json)
{
    if (json) {
        QJsonObject object;
        for (const OutputField &f : fields)
            object.insert(f.name, f.json);
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
               QLatin1Char('\n');
    }
    int width = 0;
    for (const OutputField &f : fields)
        width = std::max(width, int(f.name.size()));
    QString out;
    for (const OutputField &f : fields)
        out += f.name.leftJustified(width + 2) + f.text + QLatin1Char('\n');
    return out;
}

namespace {

OutputField textField(const QString &name, const QString &value)
{
    return {name, value, value};
}

OutputField numberField(const QString &name, const QString &value)
{
    return {name, value, value.toInt()};
}

} // namespace

// Product information comes from the directory the tool was started in, as the window's
// does; the file is only read, never created.
void readProductInformation(const CliRun &run, QString *model, QString *manufacturer)
{
    *model = QString();
    *manufacturer = QString();
    const QString productFile = run.userPath(QStringLiteral("settings.ini"));
    if (!QFileInfo(productFile).isFile())
        return;
    QSettings product(productFile, QSettings::IniFormat);
    const QString modelKey = QStringLiteral("ProductInformation/deviceModel");
    const QString manufacturerKey = QStringLiteral("ProductInformation/manufacturer");
    if (product.contains(modelKey))
        *model = product.value(modelKey).toString();
    if (product.contains(manufacturerKey))
        *manufacturer = product.value(manufacturerKey).toString();
}

int runInfo(CliRun &run)
{
    QVector<OutputField> fields;
    QString model, manufacturer;
    readProductInformation(run, &model, &manufacturer);
    if (!model.isNull())
        fields.append(textField(QStringLiteral("model"), model));
    if (!manufacturer.isNull())
        fields.append(textField(QStringLiteral("manufacturer"), manufacturer));
    if (!run.connect())
        return ExitDeviceFailure;

    SessionWait &link = run.wait();
    QString value, error;
    auto ask = [&](RequestType type) { return link.ask(type, &value, &error); };

    const struct
    {
        const char *name;
        RequestType type;
        bool number;
    } identity[] = {
        {"serial", REQUEST_SERIAL_NUMBER, false},
        {"lot", REQUEST_LOT_NUMBER, false},
        {"firmware", REQUEST_FIRMWARE_VERSION, false},
        {"frequency", REQUEST_GET_FREQUENCY, true},
    };
    for (const auto &item : identity) {
        if (!ask(item.type))
            return run.deviceFailure(error);
        const QString name = QLatin1String(item.name);
        fields.append(item.number ? numberField(name, value) : textField(name, value));
    }
    for (const FilterSetting &s : filterSettings()) {
        if (!ask(s.get))
            return run.deviceFailure(error);
        const int wire = settingFromReply(s, value);
        fields.append({QLatin1String(s.name), settingText(s, wire), settingJson(s, wire)});
    }
    if (!ask(REQUEST_GET_NPN_PNP))
        return run.deviceFailure(error);
    fields.append(textField(QStringLiteral("output-type"), value));
    // " 2 7 0": the input group's area, the current channel, a reserved byte.
    if (!ask(REQUEST_CURRENT_AREA))
        return run.deviceFailure(error);
    const QStringList parts = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    fields.append(numberField(QStringLiteral("current-area"), parts.value(0)));
    fields.append(numberField(QStringLiteral("current-channel"), parts.value(1)));
    // The zones the scanner holds, as the fingerprint a report prints.
    ZoneSet zones;
    if (!readAllChannels(run, &zones, &error))
        return run.deviceFailure(error);
    fields.append(
        textField(QStringLiteral("fingerprint"), QString::fromLatin1(zoneSetFingerprint(zones))));

    printOut(formatFields(fields, run.options().json));
    return ExitSuccess;
}

int runSet(CliRun &run)
{
    QVector<SettingValue> values;
    QString error;
    if (!parseSettingAssignments(run.options().operands, &values, &error))
        return run.usageError(error + QStringLiteral("; nothing was sent"));
    const FilterSetting *held = rangeLimitLeftToScanner(values);
    if (!held && !checkRangeOrder(values, 0, &error))
        return run.usageError(error + QStringLiteral("; nothing was sent"));
    if (!run.connect())
        return ExitDeviceFailure;

    SessionWait &link = run.wait();
    QString reply;
    // One range limit given: it is checked against the other as the scanner holds it,
    // before any setting goes out.
    if (held) {
        if (!link.ask(held->get, &reply, &error))
            return run.deviceFailure(error);
        if (!checkRangeOrder(values, settingFromReply(*held, reply), &error))
            return run.usageError(error + QStringLiteral("; no setting was sent"));
    }
    for (const SettingValue &v : qAsConst(values)) {
        run.session().send(v.setting->set, QString::number(v.wire));
        // The scanner does not acknowledge a setting; asking for it afterwards makes sure
        // it has taken one before the next is sent, as the window spaces them out.
        if (!link.ask(v.setting->get, &reply, &error))
            return run.deviceFailure(error);
    }
    if (!link.ask(REQUEST_SAVE_PARAMETERS, &reply, &error))
        return run.deviceFailure(error);
    if (reply.toInt() != 0)
        return run.deviceFailure(
            QStringLiteral("the scanner refused to save the parameters (status %1)").arg(reply));

    QStringList differ;
    for (const SettingValue &v : qAsConst(values)) {
        const FilterSetting &s = *v.setting;
        if (!link.ask(s.get, &reply, &error))
            return run.deviceFailure(error);
        const int got = settingFromReply(s, reply);
        if (got != v.wire)
            differ << QStringLiteral("%1 reads %2, not %3")
                          .arg(QLatin1String(s.name), settingText(s, got), settingText(s, v.wire));
    }
    if (!differ.isEmpty())
        return run.deviceFailure(QStringLiteral("after saving, ") +
                                 differ.join(QStringLiteral("; ")));
    return ExitSuccess;
}
