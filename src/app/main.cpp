#include "appfolders.h"
#include "commandline.h"
#include "mainwindow.h"
#include "recordingplayback.h"
#include "serialpanel.h"
#include "simulatorhost.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    const StudioOptions options = parseStudioOptions(arguments);
    if (options.help) {
        std::fputs(qPrintable(studioHelpText()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("areascan-studio %s\n", AREASCAN_VERSION);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "areascan-studio: %s\n%s", qPrintable(options.error),
                     qPrintable(studioHelpText()));
        return 2;
    }
    // A recording to replay is read at once (before the working folder may change), and one
    // that cannot be replayed ends the start as a bad argument would.
    SimOptions simOptions;
    if (!options.replayFile.isEmpty()) {
        QString error;
        if (!loadSimRecording(options.replayFile, &simOptions.replay, &error)) {
            std::fprintf(stderr, "areascan-studio: %s: cannot be replayed: %s\n",
                         qPrintable(options.replayFile), qPrintable(error));
            return 2;
        }
        simOptions.replayLoop = options.replayLoop;
    }
    if (!displayAvailable(arguments, QProcessEnvironment::systemEnvironment().toStringList())) {
        const QString rerun = arguments.size() > 1 ? arguments.join(QLatin1Char(' '))
                                                   : arguments.first() + QStringLiteral(" --demo");
        std::fprintf(stderr,
                     "areascan-studio: no display found (DISPLAY is not set); run it under a "
                     "virtual display instead: xvfb-run -a %s\n",
                     qPrintable(rerun));
        return 1;
    }

    // The name gives the tool's own data folder (~/.local/share/areascan-studio); the
    // desktop file name lets Wayland shells match the window to its menu entry and icon.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("areascan-studio"));
    QApplication::setApplicationVersion(QStringLiteral(AREASCAN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("areascan-studio"));

    // The window reads and writes its INI files in the working directory, so the folder is
    // entered before the window is built.
    if (options.ownFolder) {
        QString error;
        if (!enterOwnFolder(&error)) {
            std::fprintf(stderr, "areascan-studio: %s\n", qPrintable(error));
            return 1;
        }
    }

    std::unique_ptr<SimulatorHost> simulator;
    QStringList ports = options.ports;
    if (options.demo) {
        simulator = std::make_unique<SimulatorHost>();
        QString error;
        if (!simulator->start(simOptions, &error)) {
            std::fprintf(stderr, "areascan-studio: cannot start the simulated scanner: %s\n",
                         qPrintable(error));
            return 1;
        }
        ports.append(simulator->devicePath());
    }

    int code = 0;
    {
        MainWindow window;
        for (const QString &port : qAsConst(ports))
            window.serialPanel()->addExtraPort(port);
        if (options.offline) {
            QString refusal;
            if (!window.workOffline(options.offlineFile, &refusal)) {
                std::fprintf(stderr, "areascan-studio: --offline: %s\n", qPrintable(refusal));
                return 2;
            }
        }
        if (!options.playFile.isEmpty()) {
            QString refusal;
            if (!window.recordingPlayback()->open(options.playFile, &refusal)) {
                std::fprintf(stderr, "areascan-studio: %s: cannot be played: %s\n",
                             qPrintable(options.playFile), qPrintable(refusal));
                return 2;
            }
            window.openTab(2);
        }
        if (options.tab >= 0)
            window.openTab(options.tab);
        window.show();
        if (options.connect)
            window.serialPanel()->openSelectedPort();
        code = app.exec();
    }
    return code;
}
