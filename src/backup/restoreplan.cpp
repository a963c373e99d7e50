#include "restoreplan.h"

#include "filtersettings.h"

#include <algorithm>

RestorePlan planRestore(const ScannerBackup &backup, const ScannerBackup &scanner)
{
    RestorePlan plan;
    plan.backupSerial = backup.identity.serial;
    plan.scannerSerial = scanner.identity.serial;
    plan.backupFirmware = backup.identity.firmware;
    plan.scannerFirmware = scanner.identity.firmware;

    const QVector<FilterSetting> &table = filterSettings();
    int minIndex = -1;
    int maxIndex = -1;
    for (int i = 0; i < table.size(); ++i) {
        if (table.at(i).set == REQUEST_SET_FILTER_MIN_RANGE)
            minIndex = i;
        else if (table.at(i).set == REQUEST_SET_FILTER_MAX_RANGE)
            maxIndex = i;
        const int to = backup.settings.value(i);
        const int from = scanner.settings.value(i);
        if (to != from)
            plan.settings.append({i, from, to});
    }
    // The table sends the minimum before the maximum; a minimum that would pass the
    // scanner's present maximum waits for the new maximum instead.
    const auto at = [&plan](int index) {
        return std::find_if(plan.settings.begin(), plan.settings.end(),
                            [index](const SettingChange &c) { return c.setting == index; });
    };
    const auto newMin = at(minIndex);
    const auto newMax = at(maxIndex);
    if (newMin != plan.settings.end() && newMax != plan.settings.end() &&
        newMin->to > scanner.settings.value(maxIndex))
        std::rotate(newMin, newMax, newMax + 1);

    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        if (backup.zones.channel(channel) != scanner.zones.channel(channel))
            plan.channels.append(channel);
    }
    return plan;
}

QString channelRanges(const QVector<int> &channels)
{
    QStringList parts;
    for (int i = 0; i < channels.size();) {
        int j = i;
        while (j + 1 < channels.size() && channels.at(j + 1) == channels.at(j) + 1)
            ++j;
        parts << (j == i ? QString::number(channels.at(i))
                         : QStringLiteral("%1-%2").arg(channels.at(i)).arg(channels.at(j)));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QString settingNames(const QVector<int> &settings)
{
    QStringList names;
    for (int i : settings)
        names << QLatin1String(filterSettings().at(i).name);
    return names.join(QStringLiteral(", "));
}

QStringList describeRestorePlan(const RestorePlan &plan)
{
    QStringList lines;
    const auto shownSerial = [](const QString &serial) {
        return serial.isEmpty() ? QStringLiteral("(none)") : serial;
    };
    if (plan.backupSerial == plan.scannerSerial)
        lines << QStringLiteral("serial: %1, the scanner the backup was made of")
                     .arg(shownSerial(plan.scannerSerial));
    else
        lines << QStringLiteral("serial: %1 in the backup, %2 on this scanner")
                     .arg(shownSerial(plan.backupSerial), shownSerial(plan.scannerSerial));
    const QVector<FilterSetting> &table = filterSettings();
    for (const SettingChange &c : plan.settings) {
        const FilterSetting &s = table.at(c.setting);
        lines << QStringLiteral("%1: %2 -> %3")
                     .arg(QLatin1String(s.name), settingText(s, c.from), settingText(s, c.to));
    }
    if (!plan.channels.isEmpty())
        lines << QStringLiteral("zones: %1 %2 differ")
                     .arg(plan.channels.size() == 1 ? QStringLiteral("channel")
                                                    : QStringLiteral("channels"),
                          channelRanges(plan.channels));
    if (plan.firmwareDiffers())
        lines << QStringLiteral("firmware: %1 in the backup, %2 on this scanner (a restore does "
                                "not change it)")
                     .arg(plan.backupFirmware, plan.scannerFirmware);
    if (plan.changesNothing())
        lines << QStringLiteral("the settings and zones already equal the backup");
    return lines;
}
