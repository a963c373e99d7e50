#pragma once

#include <QJsonValue>
#include <QString>
#include <QVector>

class CliRun;

// The commands; each returns the exit status.
int runInfo(CliRun &run);
int runSet(CliRun &run);
int runReadZones(CliRun &run);
int runWriteZones(CliRun &run);
int runVerify(CliRun &run);
int runFirmware(CliRun &run);
int runDiff(CliRun &run);

// One line of output: a name, its value for the text form and for the JSON form.
struct OutputField
{
    QString name;
    QString text;
    QJsonValue json;
};

// Aligned "name  value" lines, or one JSON object on one line.
QString formatFields(const QVector<OutputField> &fields, bool json);
