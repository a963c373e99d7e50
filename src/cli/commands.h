#pragma once

#include <QJsonValue>
#include <QString>
#include <QVector>

#include <memory>

class CliRun;
class QCoreApplication;
class ZoneSet;

// The commands; each returns the exit status.
int runInfo(CliRun &run);
int runSet(CliRun &run);
int runReadZones(CliRun &run);
int runWriteZones(CliRun &run);
int runVerify(CliRun &run);
int runFirmware(CliRun &run);
int runReport(CliRun &run);
int runRecord(CliRun &run);
int runZoneFromScan(CliRun &run);

// The application object for the command on the command line: report paints its pages with
// fonts, which need a QGuiApplication (on the offscreen platform: nothing is shown).
std::unique_ptr<QCoreApplication> makeCliApplication(int &argc, char **argv);

// Shared by the commands: all 64 zone channels read from the scanner into *zones (false,
// with the reason in *error), and the product information of settings.ini in the start
// directory (null texts for what it does not hold).
bool readAllChannels(CliRun &run, ZoneSet *zones, QString *error);
void readProductInformation(const CliRun &run, QString *model, QString *manufacturer);
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
