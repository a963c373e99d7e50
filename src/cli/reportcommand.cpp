// report: the commissioning report as a PDF, of the scanner (identity, settings and the 64
// zone channels read from it) or of a zone file (no scanner; the identity not known).
#include "clirun.h"
#include "commands.h"
#include "filtersettings.h"
#include "reportcatalogue.h"
#include "sessionwait.h"
#include "zonefilecheck.h"
#include "zonereport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QSaveFile>

namespace {

// The report's texts are the window's, in its English catalogue.
QString windowText(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// Identity and the ten settings as the scanner answers them.
bool readScannerRecord(CliRun &run, ZoneReportData *data, QString *error)
{
    SessionWait &link = run.wait();
    QString value;
    const struct
    {
        RequestType type;
        QString *field;
    } identity[] = {
        {REQUEST_SERIAL_NUMBER, &data->serialNumber},
        {REQUEST_LOT_NUMBER, &data->lot},
        {REQUEST_FIRMWARE_VERSION, &data->firmwareVersion},
    };
    for (const auto &item : identity) {
        if (!link.ask(item.type, &value, error))
            return false;
        *item.field = value;
    }
    for (const FilterSetting &s : filterSettings()) {
        if (!link.ask(s.get, &value, error))
            return false;
        data->settings.append(settingFromReply(s, value));
    }
    return true;
}

QtMessageHandler g_handler = nullptr;

// The offscreen platform asks for a runtime folder while it starts, and says so when the
// session names none: a note for a desktop, noise in a script's log.
void quietStart(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    if (g_handler)
        g_handler(type, context, message);
}

} // namespace

std::unique_ptr<QCoreApplication> makeCliApplication(int &argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (parseCliOptions(arguments).command != CliCommand::Report)
        return std::make_unique<QCoreApplication>(argc, argv);
    // Nothing is shown, so no display is needed, whatever the session offers.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_handler = qInstallMessageHandler(quietStart);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(g_handler);
    installReportCatalogue(app.get());
    return app;
}

int runReport(CliRun &run)
{
    const CliOptions &options = run.options();
    const QString shownName = options.operands.value(0);
    ZoneReportData data;
    data.createdAt = QDateTime::currentDateTime();

    // A zone file is checked before anything is written, as the commands that send one do.
    if (!options.zonesFile.isEmpty()) {
        const ZoneFile file = readZoneFile(run.userPath(options.zonesFile));
        if (!file.ok())
            return run.usageError(describeZoneFileProblem(file.problem, options.zonesFile) +
                                  QStringLiteral("; no report was written"));
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            data.zones.setChannel(channel, file.channels.at(channel));
        // Nothing is known of the scanner the file came from: the product file here
        // describes the one this tool talks to.
        data.zoneSource = windowText("区域文件 %1").arg(options.zonesFile);
    }

    // Opened before the scanner is asked, so that an unwritable target stops the run first;
    // the report appears whole at the end or not at all.
    QString path;
    if (const int status = run.outputTarget(shownName, {options.zonesFile}, &path))
        return status;
    QSaveFile out(path);
    QString error;
    if (!openReportFile(&out, &error))
        return run.usageError(QStringLiteral("cannot write %1: %2").arg(shownName, error));

    if (options.zonesFile.isEmpty()) {
        readProductInformation(run, &data.model, &data.manufacturer);
        if (!run.connect())
            return ExitDeviceFailure;
        if (!readScannerRecord(run, &data, &error) || !readAllChannels(run, &data.zones, &error))
            return run.deviceFailure(error);
        data.zoneSource = windowText("扫描仪");
    }

    const ZoneReport report(data);
    const ReportFileResult written =
        writeReportFile(report, &out, &error, [&run](int done, int total) {
            run.progress().show("writing report: page", done, total);
            return true;
        });
    run.progress().finish();
    if (written != ReportFileResult::Written)
        return run.usageError(QStringLiteral("cannot write %1: %2").arg(shownName, error));
    return ExitSuccess;
}
