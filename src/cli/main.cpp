#include "cliargs.h"
#include "clirun.h"
#include "commands.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Everything on standard error, prefixed so that a script's log tells it from the one line
// of the command's own. Debug lines come only where QT_LOGGING_RULES turns them on (e.g.
// "areascan.*.debug=true"); the link's categories are quiet otherwise.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray text = message.toUtf8();
    if (type == QtDebugMsg || type == QtInfoMsg)
        std::fprintf(stderr, "areascan-cli: %s: %s\n", context.category ? context.category : "",
                     text.constData());
    else
        std::fprintf(stderr, "areascan-cli: warning: %s\n", text.constData());
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(messageHandler);
    const std::unique_ptr<QCoreApplication> app = makeCliApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("areascan-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AREASCAN_VERSION));

    const CliOptions options = parseCliOptions(QCoreApplication::arguments());
    if (options.help) {
        std::fputs(cliHelpText().toUtf8().constData(), stdout);
        return ExitSuccess;
    }
    if (options.version) {
        std::printf("areascan-cli %s\n", AREASCAN_VERSION);
        return ExitSuccess;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "areascan-cli: %s\nTry 'areascan-cli --help'.\n",
                     options.error.toUtf8().constData());
        return ExitUsage;
    }

    CliRun run(options);
    switch (options.command) {
    case CliCommand::Info:
        return runInfo(run);
    case CliCommand::ReadZones:
        return runReadZones(run);
    case CliCommand::WriteZones:
        return runWriteZones(run);
    case CliCommand::Verify:
        return runVerify(run);
    case CliCommand::Set:
        return runSet(run);
    case CliCommand::Firmware:
        return runFirmware(run);
    case CliCommand::Report:
        return runReport(run);
    case CliCommand::ZoneFromScan:
        return runZoneFromScan(run);
    case CliCommand::Record:
        return runRecord(run);
    case CliCommand::Diff:
        return runDiff(run);
    case CliCommand::None:
        break;
    }
    return ExitUsage;
}
