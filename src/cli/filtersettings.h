#pragma once

#include "requesttype.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

// The ten settings of the window's filter group under names a script can use. Values
// travel as the window sends them: flags as 0 or 1, numbers in decimal, the two mask
// angles in half degrees (the user writes degrees).
struct FilterSetting
{
    enum Kind
    {
        Flag,
        Number,
        HalfDegrees,
    };
    const char *name;
    RequestType set;
    RequestType get;
    Kind kind;
    int maximum; // largest wire value; the smallest is 0
};

const QVector<FilterSetting> &filterSettings();
const FilterSetting *findFilterSetting(const QString &name);

struct SettingValue
{
    const FilterSetting *setting = nullptr;
    int wire = 0; // what goes into the set request, and what the read-back must give
};

// Reads "name=value" assignments; every one is checked before anything is sent. Flags
// take on/off, 1/0, true/false or yes/no; angles take degrees in steps of 0.5. A setting
// named twice is refused rather than guessed at. False with the reason in *error.
bool parseSettingAssignments(const QStringList &assignments, QVector<SettingValue> *values,
                             QString *error);

// The shadow filter works between its minimum and maximum range, so a minimum above the
// maximum is refused. When the assignments set only one of the two, the other stays as
// the scanner holds it: this names the setting whose value must be read first (null when
// they set neither or both).
const FilterSetting *rangeLimitLeftToScanner(const QVector<SettingValue> &values);

// False with the reason in *error when the minimum range would end above the maximum;
// held is the scanner's value of the limit the assignments leave alone (unused when they
// set both or neither).
bool checkRangeOrder(const QVector<SettingValue> &values, int held, QString *error);

// The wire value of a setting as the scanner reports it in its read reply.
int settingFromReply(const FilterSetting &setting, const QString &reply);

// How a wire value is shown: "on"/"off", the number, or degrees with one decimal.
QString settingText(const FilterSetting &setting, int wire);
QJsonValue settingJson(const FilterSetting &setting, int wire);
