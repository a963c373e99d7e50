#pragma once

#include <QString>
#include <QStringList>

// What the companion was asked to do, read from its command line. Parsing is a plain
// function over the argument list so that every rule can be tested without a device.

enum class CliCommand
{
    None,
    Info,
    ReadZones,
    WriteZones,
    Verify,
    Set,
    Firmware,
    Report,
    Record,
    Diff,
    ZoneFromScan,
};

// Exit statuses a script can rely on.
enum CliExit
{
    ExitSuccess = 0,
    ExitDeviceFailure = 1, // the scanner failed, refused, stayed silent or did not verify
    ExitUsage = 2,         // bad arguments or an input file that cannot be used
};

constexpr int kDefaultBaud = 921600;
constexpr int kDefaultTimeoutMs = 5000;

struct CliOptions
{
    CliCommand command = CliCommand::None;
    QStringList operands; // the file, or the NAME=VALUE assignments of set
    QString port;
    int baud = kDefaultBaud;
    bool demo = false;
    int timeoutMs = kDefaultTimeoutMs;
    int seconds = 10; // how long record records
    bool json = false;
    QString zonesFile; // report --zones FILE: the zones from a file, no scanner; the base
                       // of zone-from-scan
    // zone-from-scan: where the scans come from (a recording instead of a scanner), the
    // channel and area the zone goes to, and how it is drawn.
    QString recordingFile;
    int channel = -1;
    int area = -1;
    int scans = 25;
    int margin = 100;
    int tolerance = 20;
    bool help = false;
    bool version = false;
    QString error; // set when the arguments cannot be used
};

// arguments[0] is the program. Options may stand before or after the command; "--" ends
// them, so a file whose name starts with '-' can still be named.
CliOptions parseCliOptions(const QStringList &arguments);

QString cliHelpText();

// A port named by a relative path ("./scanner", "links/ttyA") is made absolute against
// the directory the tool was started in, because the tool leaves that directory before it
// opens the port. Bare names ("ttyUSB0") and absolute paths stay as they are.
QString resolvePortPath(const QString &port, const QString &startDirectory);
