#include "cliargs.h"

#include "linkname.h"

#include <QDir>

namespace {

struct CommandName
{
    const char *name;
    CliCommand command;
    int minOperands;
    int maxOperands; // -1: no limit
    const char *operandName;
};

const CommandName kCommands[] = {
    {"info", CliCommand::Info, 0, 0, ""},
    {"read-zones", CliCommand::ReadZones, 1, 1, "FILE"},
    {"write-zones", CliCommand::WriteZones, 1, 1, "FILE"},
    {"verify", CliCommand::Verify, 1, 1, "FILE"},
    {"set", CliCommand::Set, 1, -1, "NAME=VALUE"},
    {"firmware", CliCommand::Firmware, 1, 1, "FILE"},
    {"report", CliCommand::Report, 1, 1, "OUT.pdf"},
    {"record", CliCommand::Record, 1, 1, "FILE"},
    {"diff", CliCommand::Diff, 1, 2, "FILE [FILE]"},
    {"backup", CliCommand::Backup, 1, 1, "OUT.ini"},
    {"restore", CliCommand::Restore, 1, 1, "FILE.ini"},
    {"zone-from-scan", CliCommand::ZoneFromScan, 1, 1, "OUT.ini"},
};

const CommandName *findCommand(const QString &name)
{
    for (const CommandName &c : kCommands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

// A whole positive number, nothing else around it.
bool positiveNumber(const QString &text, int *value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number <= 0 || text.trimmed() != text)
        return false;
    *value = number;
    return true;
}

// A whole number from 0 to max.
bool numberUpTo(const QString &text, int max, int *value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 0 || number > max || text.trimmed() != text)
        return false;
    *value = number;
    return true;
}

} // namespace

CliOptions parseCliOptions(const QStringList &arguments)
{
    CliOptions options;
    QStringList positional;
    QStringList scanOptions; // the options of zone-from-scan that were given
    bool portGiven = false;
    auto fail = [&](const QString &error) {
        options.error = error;
        return options;
    };

    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--")) {
            positional += arguments.mid(i + 1);
            break;
        }
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            positional.append(arg);
            continue;
        }
        // --name=value or --name value for the options that take one.
        const int eq = arg.indexOf(QLatin1Char('='));
        const QString name = eq > 0 ? arg.left(eq) : arg;
        static const QStringList withValue{
            QStringLiteral("--port"),      QStringLiteral("--baud"),
            QStringLiteral("--timeout"),   QStringLiteral("--zones"),
            QStringLiteral("--seconds"),   QStringLiteral("--recording"),
            QStringLiteral("--channel"),   QStringLiteral("--area"),
            QStringLiteral("--scans"),     QStringLiteral("--margin"),
            QStringLiteral("--tolerance"), QStringLiteral("--backup")};
        const bool takesValue = withValue.contains(name);
        QString value;
        if (takesValue) {
            if (eq > 0)
                value = arg.mid(eq + 1);
            else if (i + 1 < arguments.size())
                value = arguments.at(++i);
            if (value.isEmpty())
                return fail(QStringLiteral("%1 needs a value").arg(name));
        } else if (eq > 0) {
            return fail(QStringLiteral("%1 takes no value").arg(name));
        }

        if (name == QLatin1String("--port")) {
            if (portGiven)
                return fail(QStringLiteral("--port may be given only once"));
            portGiven = true;
            options.port = value;
            QString why;
            QString host;
            quint16 port = 0;
            if (isTcpLinkName(value) && !parseTcpLinkName(value, &host, &port, &why))
                return fail(why);
        } else if (name == QLatin1String("--baud")) {
            if (!positiveNumber(value, &options.baud))
                return fail(
                    QStringLiteral("--baud needs a positive whole number, not '%1'").arg(value));
        } else if (name == QLatin1String("--timeout")) {
            if (!positiveNumber(value, &options.timeoutMs))
                return fail(
                    QStringLiteral("--timeout needs a positive number of milliseconds, not '%1'")
                        .arg(value));
        } else if (name == QLatin1String("--zones")) {
            options.zonesFile = value;
        } else if (name == QLatin1String("--backup")) {
            options.backupFile = value;
        } else if (name == QLatin1String("--seconds")) {
            if (!positiveNumber(value, &options.seconds))
                return fail(
                    QStringLiteral("--seconds needs a positive whole number, not '%1'").arg(value));
        } else if (name == QLatin1String("--recording")) {
            options.recordingFile = value;
            scanOptions << name;
        } else if (name == QLatin1String("--channel")) {
            if (!numberUpTo(value, 63, &options.channel))
                return fail(
                    QStringLiteral("--channel needs a channel from 0 to 63, not '%1'").arg(value));
            scanOptions << name;
        } else if (name == QLatin1String("--area")) {
            if (!numberUpTo(value, 2, &options.area))
                return fail(QStringLiteral("--area needs 0 (attention), 1 (warning) or 2 "
                                           "(alarm), not '%1'")
                                .arg(value));
            scanOptions << name;
        } else if (name == QLatin1String("--scans")) {
            if (!positiveNumber(value, &options.scans))
                return fail(
                    QStringLiteral("--scans needs a positive whole number, not '%1'").arg(value));
            scanOptions << name;
        } else if (name == QLatin1String("--margin") || name == QLatin1String("--tolerance")) {
            int *target = name == QLatin1String("--margin") ? &options.margin : &options.tolerance;
            if (!numberUpTo(value, 10000, target))
                return fail(QStringLiteral("%1 needs millimetres from 0 to 10000, not '%2'")
                                .arg(name, value));
            scanOptions << name;
        } else if (name == QLatin1String("--demo")) {
            options.demo = true;
        } else if (name == QLatin1String("--json")) {
            options.json = true;
        } else if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            options.version = true;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(name));
        }
    }
    if (options.help || options.version)
        return options;

    if (positional.isEmpty())
        return fail(QStringLiteral("no command given"));
    const CommandName *command = findCommand(positional.first());
    if (!command)
        return fail(QStringLiteral("unknown command '%1'").arg(positional.first()));
    options.command = command->command;
    options.operands = positional.mid(1);
    const int count = options.operands.size();
    if (count < command->minOperands)
        return fail(QStringLiteral("%1 needs %2")
                        .arg(QLatin1String(command->name), QLatin1String(command->operandName)));
    if (command->maxOperands >= 0 && count > command->maxOperands)
        return fail(
            command->maxOperands == 0
                ? QStringLiteral("%1 takes no arguments").arg(QLatin1String(command->name))
                : QStringLiteral("%1 takes one %2")
                      .arg(QLatin1String(command->name), QLatin1String(command->operandName)));
    for (const QString &operand : qAsConst(options.operands)) {
        if (operand.isEmpty())
            return fail(
                QStringLiteral("%1 was given an empty argument").arg(QLatin1String(command->name)));
    }

    if (options.command != CliCommand::Report && !options.backupFile.isEmpty())
        return fail(QStringLiteral("--backup belongs to report"));
    if (options.command == CliCommand::ZoneFromScan) {
        if (options.channel < 0 || options.area < 0)
            return fail(QStringLiteral("zone-from-scan needs --channel and --area"));
        if (!options.recordingFile.isEmpty()) {
            if (options.demo || portGiven)
                return fail(QStringLiteral("zone-from-scan --recording reads no scanner: leave "
                                           "out --port and --demo"));
            return options;
        }
        if (!options.demo && !portGiven)
            return fail(QStringLiteral("zone-from-scan needs --recording FILE, or the scanner's "
                                       "port with --port PATH (or --demo)"));
        if (options.demo && portGiven)
            return fail(QStringLiteral("--demo and --port cannot be used together"));
        return options;
    }
    if (!scanOptions.isEmpty())
        return fail(QStringLiteral("%1 belongs to zone-from-scan").arg(scanOptions.first()));

    // A report of a zone file or of a backup needs no scanner, and asks none.
    if (!options.zonesFile.isEmpty() && !options.backupFile.isEmpty())
        return fail(QStringLiteral("report takes --zones or --backup, not both"));
    if (!options.zonesFile.isEmpty() || !options.backupFile.isEmpty()) {
        const QString option =
            options.zonesFile.isEmpty() ? QStringLiteral("--backup") : QStringLiteral("--zones");
        if (options.command != CliCommand::Report)
            return fail(QStringLiteral("--zones belongs to report and zone-from-scan"));
        if (options.demo || portGiven)
            return fail(QStringLiteral("report %1 reads no scanner: leave out --port and --demo")
                            .arg(option));
        return options;
    }
    if (options.demo && portGiven)
        return fail(QStringLiteral("--demo and --port cannot be used together"));
    // Two zone files are compared without a scanner.
    if (options.command == CliCommand::Diff && count == 2) {
        if (options.demo || portGiven)
            return fail(QStringLiteral("diff of two files uses no scanner: drop --port or --demo"));
        return options;
    }
    if (!options.demo && !portGiven)
        return fail(QStringLiteral("name the scanner's port with --port PATH (or use --demo)"));
    return options;
}

QString cliHelpText()
{
    return QStringLiteral(
        "Usage: areascan-cli (--port PATH | --demo) [options] COMMAND [ARGUMENTS]\n"
        "Read, write and verify a 2D laser area scanner's zones, settings and firmware.\n"
        "\n"
        "Commands:\n"
        "  info                  identity, settings and zone fingerprint of the scanner\n"
        "  read-zones FILE       all 64 zone channels into FILE (a zone file as the\n"
        "                        window saves it)\n"
        "  write-zones FILE      all 64 channels of FILE to the scanner, then read back and\n"
        "                        compared channel by channel\n"
        "  verify FILE           only the read-back comparison with FILE; prints the\n"
        "                        fingerprints of the scanner's zones and of FILE's\n"
        "  set NAME=VALUE ...    filter settings, saved on the scanner and read back;\n"
        "                        names: filter-enable, average-filter, input-nc,\n"
        "                        output-nc (on/off), filter-strength (0-100),\n"
        "                        filter-min-range, filter-max-range (0-65535 mm),\n"
        "                        mask-intensity (0-4095), mask-min-angle,\n"
        "                        mask-max-angle (0-269.5 degrees in steps of 0.5)\n"
        "  firmware FILE         update the firmware from FILE, then print the new version\n"
        "  report OUT.pdf        a commissioning report of the scanner's identity, settings\n"
        "                        and zones; with --zones FILE, of the zones in FILE, with\n"
        "                        --backup FILE, of the scanner a backup was made of (no\n"
        "                        scanner, no --port)\n"
        "  record FILE           every frame the scanner sends for --seconds into FILE, a\n"
        "                        pcap file (link type 147) that Wireshark and tcpdump read\n"
        "  diff FILE [FILE]      what differs between two zone files, or between FILE and\n"
        "                        the scanner's zones (no --port for two files): a line\n"
        "                        naming each side (--- FILE, +++ FILE or scanner SERIAL),\n"
        "                        then one line per difference, both values in that order;\n"
        "                        exit status 0 equal, 1 different, 2 an unusable file or a\n"
        "                        scanner that cannot be read\n"
        "  zone-from-scan OUT.ini  a zone file: the zones of --zones BASE.ini (empty\n"
        "                        channels without it) with --channel C, --area A (0\n"
        "                        attention, 1 warning, 2 alarm) replaced by the polygon\n"
        "                        the last --scans N scans leave free, a --margin from\n"
        "                        every echo; the scans come from the scanner, or from the\n"
        "                        start of --recording FILE.pcap (no --port then)\n"
        "  backup OUT.ini        the scanner's identity, its ten settings and all 64 zone\n"
        "                        channels into OUT.ini (also a zone file)\n"
        "  restore FILE.ini      a backup onto this scanner: checks the whole file, prints\n"
        "                        what changes, writes the settings that differ and the\n"
        "                        zones, then reads everything back; exit status 0 only when\n"
        "                        the scanner equals the backup\n"
        "\n"
        "Options:\n"
        "  --port PATH           the scanner's serial device (pseudo-terminals included),\n"
        "                        or tcp://HOST:PORT of a serial device server in raw TCP\n"
        "                        mode\n"
        "  --baud N              line speed (default 921600)\n"
        "  --demo                use the built-in simulated scanner instead of a port\n"
        "  --timeout MS          longest wait for each answer of the scanner (default\n"
        "                        5000); its restarts during a firmware update may take\n"
        "                        ten times as long\n"
        "  --seconds N           how long record records (default 10)\n"
        "  --zones FILE          report: the zones of FILE, no scanner; zone-from-scan:\n"
        "                        the zone file the new zone goes into\n"
        "  --recording FILE      zone-from-scan: the scans of a recording (record's pcap)\n"
        "  --channel C, --area A zone-from-scan: where the zone goes (0-63, 0-2)\n"
        "  --scans N             zone-from-scan: how many scans (default 25, one second)\n"
        "  --margin MM           zone-from-scan: distance kept from every echo (default 100)\n"
        "  --tolerance MM        zone-from-scan: how far inside its outline the simplified\n"
        "                        zone may lie (default 20)\n"
        "  --json                print info, verify's fingerprints and the firmware\n"
        "                        version as one JSON object\n"
        "  -h, --help            show this help\n"
        "  --version             show the version\n"
        "\n"
        "Files the tool writes are never its own settings.ini, config.ini or\n"
        "factorySettings.ini of the working folder, never the command's input, never\n"
        "anything but a regular file; an existing file is replaced once the new one is\n"
        "complete.\n"
        "\n"
        "Exit status: 0 success, 1 the scanner failed, refused, did not answer in time or\n"
        "did not verify, 2 bad arguments, an unusable input file (nothing was sent) or a\n"
        "refused output file (nothing was written).\n");
}

QString resolvePortPath(const QString &port, const QString &startDirectory)
{
    if (!port.contains(QLatin1Char('/')) || QDir::isAbsolutePath(port) || isTcpLinkName(port))
        return port;
    return QDir::cleanPath(QDir(startDirectory).absoluteFilePath(port));
}
