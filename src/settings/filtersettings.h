#pragma once

#include "requesttype.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The ten settings of the filter group, shared by the window's filter page and the
// command-line tool: the requests that read and set each, its name for a script, its key
// in the factory file, and its range. Values travel as the window sends them: flags as 0
// or 1, numbers in decimal, the two mask angles in half degrees (the user writes degrees,
// in steps of 0.5).
struct FilterSetting
{
    enum Kind
    {
        Flag,
        Number,
        HalfDegrees,
    };
    // How the window keeps the value Cancel restores: flags as 0 or 1, the shadow filter's
    // three numbers as the text the scanner or the factory file gave (an empty one restores
    // as 0), the mask values as unsigned 16-bit numbers.
    enum Kept
    {
        KeptAsFlag,
        KeptAsText,
        KeptAs16Bits,
    };
    const char *name;
    RequestType set;
    RequestType get;
    Kind kind;
    int maximum;            // largest wire value; the smallest is 0
    const char *factoryKey; // in factorySettings.ini
    Kept kept;
};

const QVector<FilterSetting> &filterSettings();
const FilterSetting *findFilterSetting(const QString &name);
// The setting a set or read request belongs to; null for any other request.
const FilterSetting *filterSettingOf(RequestType request);

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

// How a wire value is shown: "on"/"off", the number, or degrees with one decimal (the
// window's value labels show the same texts).
QString settingText(const FilterSetting &setting, int wire);
QJsonValue settingJson(const FilterSetting &setting, int wire);
// The unit settingText is in: "mm" for the shadow filter's range limits, "°" for the mask
// angles, empty for the flags and the numbers that have none (strength, intensity).
QString settingUnit(const FilterSetting &setting);

// What a set request carries for a control's value: a check box state other than 0 is 1.
QString settingRequestText(const FilterSetting &setting, int value);

// The committed value the window keeps for Cancel, as a text (see FilterSetting::Kept):
// from a read reply, from the factory file's value, or from a control's wire value.
QString committedFromReply(const FilterSetting &setting, const QString &reply);
QString committedFromFactory(const FilterSetting &setting, const QVariant &value);
QString committedFromWire(const FilterSetting &setting, int wire);
// The wire value a committed text puts the control back to.
int committedWire(const FilterSetting &setting, const QString &committed);
