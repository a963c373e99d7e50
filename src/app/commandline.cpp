#include "commandline.h"

namespace {
// The options every Qt application takes; QApplication removes them from the arguments.
// Those in the first list take a value, as "-style fusion" or "-style=fusion".
const char *const kQtValueOptions[] = {"platform",      "platformpluginpath",
                                       "platformtheme", "plugin",
                                       "qmljsdebugger", "qwindowgeometry",
                                       "qwindowicon",   "qwindowtitle",
                                       "style",         "stylesheet",
                                       "session",       "geometry",
                                       "title",         "display",
                                       "name",          "visual",
                                       "font",          "fn",
                                       "background",    "bg",
                                       "foreground",    "fg",
                                       "button",        "btn",
                                       "inputstyle",    "im",
                                       "ncols",         "cmap"};
const char *const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb",
                                      "dograb",  "sync",        "testability"};

// The name of a Qt option ("-style", "--style", "-style=x"), or an empty text.
QString qtOptionName(const QString &arg)
{
    if (!arg.startsWith(QLatin1Char('-')))
        return QString();
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    name = name.left(name.indexOf(QLatin1Char('=')) < 0 ? name.size()
                                                        : name.indexOf(QLatin1Char('=')));
    for (const char *option : kQtValueOptions)
        if (name == QLatin1String(option))
            return name;
    for (const char *option : kQtFlagOptions)
        if (name == QLatin1String(option))
            return name;
    return QString();
}

bool qtOptionTakesValue(const QString &name)
{
    for (const char *option : kQtValueOptions)
        if (name == QLatin1String(option))
            return true;
    return false;
}

int tabIndex(const QString &name)
{
    const QStringList names{QStringLiteral("device"), QStringLiteral("zones"),
                            QStringLiteral("status")};
    return names.indexOf(name);
}
} // namespace

StudioOptions parseStudioOptions(const QStringList &arguments)
{
    StudioOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--own-folder")) {
            options.ownFolder = true;
        } else if (arg == QLatin1String("--connect")) {
            options.connect = true;
        } else if (arg == QLatin1String("--demo")) {
            options.demo = true;
        } else if (arg == QLatin1String("--loop")) {
            options.replayLoop = true;
        } else if (arg == QLatin1String("--replay") || arg.startsWith(QLatin1String("--replay="))) {
            const bool inlineValue = arg != QLatin1String("--replay");
            options.replayFile = inlineValue ? arg.mid(9) : arguments.value(++i);
            // "--replay --demo" names no recording: the option behind is not taken for one.
            if (options.replayFile.isEmpty() ||
                (!inlineValue && options.replayFile.startsWith(QLatin1String("--")))) {
                options.error = QStringLiteral("--replay needs a recording (a .pcap file)");
                return options;
            }
        } else if (arg == QLatin1String("--play") || arg.startsWith(QLatin1String("--play="))) {
            const bool inlineValue = arg != QLatin1String("--play");
            options.playFile = inlineValue ? arg.mid(7) : arguments.value(++i);
            if (options.playFile.isEmpty() ||
                (!inlineValue && options.playFile.startsWith(QLatin1String("--")))) {
                options.error = QStringLiteral("--play needs a recording (a .pcap file)");
                return options;
            }
        } else if (arg == QLatin1String("--offline")) {
            // The zone file is optional: the next argument is it unless it is an option.
            options.offline = true;
            if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1Char('-')) &&
                !arguments.at(i + 1).isEmpty())
                options.offlineFile = arguments.at(++i);
        } else if (arg.startsWith(QLatin1String("--offline="))) {
            options.offline = true;
            options.offlineFile = arg.mid(10);
            if (options.offlineFile.isEmpty()) {
                options.error = QStringLiteral("--offline= needs a zone file");
                return options;
            }
        } else if (arg == QLatin1String("--port")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                options.error = QStringLiteral("--port needs a device path");
                return options;
            }
            options.ports.append(arguments.at(++i));
        } else if (arg.startsWith(QLatin1String("--port="))) {
            const QString path = arg.mid(7);
            if (path.isEmpty()) {
                options.error = QStringLiteral("--port needs a device path");
                return options;
            }
            options.ports.append(path);
        } else if (arg == QLatin1String("--tab") || arg.startsWith(QLatin1String("--tab="))) {
            const bool inlineValue = arg != QLatin1String("--tab");
            if (!inlineValue && i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--tab needs device, zones or status");
                return options;
            }
            const QString name = inlineValue ? arg.mid(6) : arguments.at(++i);
            options.tab = tabIndex(name);
            if (options.tab < 0) {
                options.error =
                    QStringLiteral("--tab needs device, zones or status, not '%1'").arg(name);
                return options;
            }
        } else if (const QString qt = qtOptionName(arg); !qt.isEmpty()) {
            if (qtOptionTakesValue(qt) && !arg.contains(QLatin1Char('='))) {
                if (i + 1 >= arguments.size()) {
                    options.error = QStringLiteral("-%1 needs a value").arg(qt);
                    return options;
                }
                ++i;
            }
        } else if (arg.startsWith(QLatin1Char('-'))) {
            options.error = QStringLiteral("unknown option %1").arg(arg);
            return options;
        }
    }
    if (!options.playFile.isEmpty() && (options.demo || options.connect || options.offline))
        options.error = QStringLiteral(
            "--play plays a recording instead of a scanner: not with --demo, --connect or "
            "--offline");
    else if (!options.replayFile.isEmpty() && !options.demo)
        options.error = QStringLiteral("--replay needs --demo: the simulated scanner replays it");
    else if (options.replayLoop && options.replayFile.isEmpty())
        options.error = QStringLiteral("--loop needs --replay FILE");
    return options;
}

QString studioHelpText()
{
    return QStringLiteral(
        "Usage: areascan-studio [options]\n"
        "Configure and watch a 2D laser area scanner over a serial port.\n\n"
        "Options:\n"
        "  --port PATH   add a serial device the system list does not show (a\n"
        "                pseudo-terminal, a symbolic link) and select it; repeatable;\n"
        "                tcp://HOST:PORT reaches the scanner through a serial device\n"
        "                server in raw TCP mode\n"
        "  --connect     open the selected port at start, as the Open button does\n"
        "  --demo        start the built-in simulated scanner and select its port\n"
        "  --replay FILE with --demo: the simulated scanner streams the scans of this\n"
        "                recording (a .pcap file the tool recorded) at their pace\n"
        "  --loop        with --replay: start the recording over after its last scan\n"
        "  --play FILE   play a recording (a .pcap file the tool recorded) in the\n"
        "                window instead of a scanner: the playback bar plays, pauses,\n"
        "                steps, seeks and marks where outputs, inputs or the error byte\n"
        "                changed; a file it refuses ends the tool with exit status 2\n"
        "  --tab PAGE    open this page at start: device, zones or status\n"
        "  --offline [FILE]  work without a scanner: the zone page opens at once, its\n"
        "                zones those of the zone file FILE (checked as LoadConfig checks\n"
        "                it; a file it would refuse ends the tool with exit status 2) or\n"
        "                none; Read and Upload wait for a scanner\n"
        "  --own-folder  work in the tool's own folder under the user's data directory\n"
        "                (~/.local/share/areascan-studio, created if missing) instead of\n"
        "                the current directory; the desktop menu starts the tool so\n"
        "  -h, --help    show this help\n"
        "  --version     show the version\n"
        "Qt's own options (-style, -stylesheet, -reverse, -geometry, -platform and the\n"
        "like) are accepted as in every Qt application.\n\n"
        "The tool reads and writes settings.ini and config.ini in its working directory.\n"
        "The factory reset reads factorySettings.ini from there or, when it has none,\n"
        "from areascan-studio/ in the data directories (~/.local/share, /usr/local/share,\n"
        "/usr/share).\n");
}

bool displayAvailable(const QStringList &arguments, const QStringList &environment)
{
    for (const QString &arg : arguments)
        if (qtOptionName(arg) == QLatin1String("platform"))
            return true;
    for (const QString &entry : environment) {
        const int eq = entry.indexOf(QLatin1Char('='));
        if (eq <= 0 || eq == entry.size() - 1)
            continue;
        const QString name = entry.left(eq);
        if (name == QLatin1String("QT_QPA_PLATFORM") || name == QLatin1String("DISPLAY") ||
            name == QLatin1String("WAYLAND_DISPLAY"))
            return true;
    }
    return false;
}
