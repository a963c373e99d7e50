#include "simoptions.h"

#include <QStringList>

namespace {

bool requestType(const QString &text, quint16 *type, QString *error)
{
    bool ok = false;
    *type = text.trimmed().toUShort(&ok, 0);
    if (!ok)
        *error =
            QStringLiteral("'%1' is not a request type (decimal or 0x hex, 0 to 65535)").arg(text);
    return ok;
}

bool number(const QString &text, int lowest, int highest, const char *what, int *value,
            QString *error)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok, 0);
    if (ok && *value >= lowest && *value <= highest)
        return true;
    *error = QStringLiteral("'%1' is not a %2 from %3 to %4")
                 .arg(text, QLatin1String(what))
                 .arg(lowest)
                 .arg(highest);
    return false;
}

} // namespace

bool addRefusalOption(SimOptions &o, const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char('='));
    quint16 type = 0;
    int status = 0;
    if (parts.size() != 2) {
        *error = QStringLiteral("'%1' is not TYPE=STATUS").arg(text);
        return false;
    }
    // Status 0 would be an ordinary answer, not a refusal.
    if (!requestType(parts[0], &type, error) ||
        !number(parts[1], 1, 65535, "status", &status, error))
        return false;
    o.statusOverrides.insert(type, quint16(status));
    return true;
}

bool addDropOption(SimOptions &o, const QString &text, QString *error)
{
    quint16 type = 0;
    if (!requestType(text, &type, error))
        return false;
    o.dropTypes.insert(type);
    return true;
}

bool setUnplugOption(SimOptions &o, const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    quint16 type = 0;
    int after = 0;
    int replug = -1;
    if (parts.size() < 2 || parts.size() > 3) {
        *error = QStringLiteral("'%1' is not TYPE:N or TYPE:N:MS").arg(text);
        return false;
    }
    if (!requestType(parts[0], &type, error) ||
        !number(parts[1], 1, 1000000, "request count", &after, error) ||
        (parts.size() == 3 && !number(parts[2], 0, 3600000, "delay in ms", &replug, error)))
        return false;
    o.unplugType = type;
    o.unplugAfter = after;
    o.replugMs = replug;
    return true;
}

bool addLineFaultOption(SimOptions &o, const QString &text, QString *error)
{
    static const struct
    {
        const char *name;
        SimOptions::LineFault::Kind kind;
    } kinds[] = {
        {"damage-request", SimOptions::LineFault::DamagedRequest},
        {"lose-answer", SimOptions::LineFault::LostAnswer},
        {"damage-answer", SimOptions::LineFault::DamagedAnswer},
    };
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3) {
        *error = QStringLiteral("'%1' is not KIND:TYPE:N").arg(text);
        return false;
    }
    SimOptions::LineFault fault;
    bool known = false;
    for (const auto &k : kinds) {
        if (parts[0].trimmed() == QLatin1String(k.name)) {
            fault.kind = k.kind;
            known = true;
        }
    }
    if (!known) {
        *error = QStringLiteral("'%1' is not damage-request, lose-answer or damage-answer")
                     .arg(parts[0]);
        return false;
    }
    if (!requestType(parts[1], &fault.type, error) ||
        !number(parts[2], 1, 1000000, "request count", &fault.after, error))
        return false;
    o.lineFaults.append(fault);
    return true;
}

bool addAnswerDelayOption(SimOptions &o, const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3) {
        *error = QStringLiteral("'%1' is not TYPE:N:MS").arg(text);
        return false;
    }
    SimOptions::AnswerDelay delay;
    if (!requestType(parts[0], &delay.type, error) ||
        !number(parts[1], 1, 1000000, "request count", &delay.after, error) ||
        !number(parts[2], 1, 3600000, "delay in ms", &delay.ms, error))
        return false;
    o.answerDelays.append(delay);
    return true;
}

bool setZoneBlockOption(int &option, const QString &text, QString *error)
{
    int channel = 0;
    if (!number(text, 0, 63, "zone channel", &channel, error))
        return false;
    option = channel;
    return true;
}

bool setFirmwareChunkOption(int &option, const QString &text, QString *error)
{
    int index = 0;
    if (!number(text, 0, 1000000, "firmware chunk index", &index, error))
        return false;
    option = index;
    return true;
}

bool setErrorBytesOption(SimOptions &o, const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char('@'));
    if (parts.size() > 2 || parts[0].trimmed().isEmpty()) {
        *error = QStringLiteral("'%1' is not VALUE,VALUE,...[@SCANS]").arg(text);
        return false;
    }
    QVector<quint8> values;
    for (const QString &v : parts[0].split(QLatin1Char(','))) {
        int value = 0;
        if (!number(v, 0, 255, "error byte", &value, error))
            return false;
        values.append(quint8(value));
    }
    int scans = 25;
    if (parts.size() == 2 && !number(parts[1], 1, 1000000, "scan count", &scans, error))
        return false;
    o.errorBytes = values;
    o.errorByteScans = scans;
    return true;
}
