#include "commandline.h"

#include <QFile>
#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parsesOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<bool>("connect");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<bool>("help");
        QTest::addColumn<bool>("error");

        const QString exe = QStringLiteral("areascan-studio");
        QTest::newRow("none") << QStringList{exe} << QStringList{} << false << false << false
                              << false;
        QTest::newRow("two ports and connect")
            << QStringList{exe, "--port", "/dev/pts/7", "--port=/tmp/scanner", "--connect"}
            << QStringList{"/dev/pts/7", "/tmp/scanner"} << true << false << false << false;
        QTest::newRow("demo") << QStringList{exe, "--demo"} << QStringList{} << false << true
                              << false << false;
        QTest::newRow("help") << QStringList{exe, "-h"} << QStringList{} << false << false << true
                              << false;
        QTest::newRow("port without path")
            << QStringList{exe, "--port"} << QStringList{} << false << false << false << true;
        QTest::newRow("empty port=")
            << QStringList{exe, "--port="} << QStringList{} << false << false << false << true;
        QTest::newRow("unknown") << QStringList{exe, "--bogus"} << QStringList{} << false << false
                                 << false << true;
        QTest::newRow("qt platform option passes")
            << QStringList{exe, "-platform", "offscreen", "--demo"} << QStringList{} << false
            << true << false << false;
        // Qt's own options, with their values in either form, never swallow the tool's.
        QTest::newRow("qt options")
            << QStringList{exe,          "-style",  "fusion", "-stylesheet=my.qss", "-reverse",
                           "--geometry", "800x600", "--demo", "-platform=offscreen"}
            << QStringList{} << false << true << false << false;
        QTest::newRow("qt option missing its value")
            << QStringList{exe, "--demo", "-style"} << QStringList{} << false << false << false
            << true;
        QTest::newRow("unknown single dash")
            << QStringList{exe, "-styles"} << QStringList{} << false << false << false << true;
    }

    void parsesOptions()
    {
        QFETCH(QStringList, args);
        const StudioOptions options = parseStudioOptions(args);
        QFETCH(bool, error);
        QCOMPARE(!options.error.isEmpty(), error);
        if (error)
            return;
        QTEST(options.ports, "ports");
        QTEST(options.connect, "connect");
        QTEST(options.demo, "demo");
        QTEST(options.help, "help");
    }

    void offlineTakesAnOptionalFile_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("demo");
        const QString exe = QStringLiteral("areascan-studio");
        QTest::newRow("alone") << QStringList{exe, "--offline"} << QString() << -1 << false;
        QTest::newRow("with a file")
            << QStringList{exe, "--offline", "desk.ini", "--demo"} << "desk.ini" << -1 << true;
        // The next option is no file name.
        QTest::newRow("before an option")
            << QStringList{exe, "--offline", "--tab", "zones"} << QString() << 1 << false;
        QTest::newRow("joined") << QStringList{exe, "--offline=desk.ini"} << "desk.ini" << -1
                                << false;
    }

    void offlineTakesAnOptionalFile()
    {
        QFETCH(QStringList, args);
        const StudioOptions options = parseStudioOptions(args);
        QVERIFY2(options.error.isEmpty(), qPrintable(options.error));
        QVERIFY(options.offline);
        QTEST(options.offlineFile, "file");
        QTEST(options.tab, "tab");
        QTEST(options.demo, "demo");
        QVERIFY(!parseStudioOptions({args.first(), "--offline="}).error.isEmpty());
        QVERIFY(!parseStudioOptions({args.first(), "--demo"}).offline);
    }

    void choosesTheStartPage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("error");
        const QString exe = QStringLiteral("areascan-studio");
        QTest::newRow("none chosen") << QStringList{exe, "--demo"} << -1 << false;
        QTest::newRow("device") << QStringList{exe, "--tab", "device"} << 0 << false;
        QTest::newRow("zones, inline") << QStringList{exe, "--tab=zones"} << 1 << false;
        QTest::newRow("status among others")
            << QStringList{exe, "--demo", "--tab", "status", "--connect"} << 2 << false;
        QTest::newRow("missing page") << QStringList{exe, "--tab"} << -1 << true;
        QTest::newRow("unknown page") << QStringList{exe, "--tab=filter"} << -1 << true;
        QTest::newRow("option taken for a page")
            << QStringList{exe, "--tab", "--demo"} << -1 << true;
    }
    void choosesTheStartPage()
    {
        QFETCH(QStringList, args);
        const StudioOptions options = parseStudioOptions(args);
        QTEST(!options.error.isEmpty(), "error");
        QTEST(options.tab, "tab");
    }

    void takesARecordingToReplay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<QString>("error");
        const QString exe = QStringLiteral("areascan-studio");
        QTest::newRow("replay") << QStringList{exe, "--demo", "--replay", "a.pcap"} << "a.pcap"
                                << false << "";
        QTest::newRow("inline, looped") << QStringList{exe, "--loop", "--replay=b c.pcap", "--demo"}
                                        << "b c.pcap" << true << "";
        QTest::newRow("without the simulator")
            << QStringList{exe, "--replay", "a.pcap"} << "a.pcap" << false << "needs --demo";
        QTest::newRow("loop alone")
            << QStringList{exe, "--demo", "--loop"} << "" << true << "--loop needs --replay";
        QTest::newRow("no file") << QStringList{exe, "--demo", "--replay"} << "" << false
                                 << "--replay needs a recording";
        QTest::newRow("option taken for a file")
            << QStringList{exe, "--replay", "--demo"} << "--demo" << false
            << "--replay needs a recording";
    }
    void takesARecordingToReplay()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const StudioOptions options = parseStudioOptions(args);
        QVERIFY2(error.isEmpty() ? options.error.isEmpty() : options.error.contains(error),
                 qPrintable(options.error));
        if (error.isEmpty()) {
            QTEST(options.replayFile, "file");
            QTEST(options.replayLoop, "loop");
        }
    }

    void takesARecordingToPlay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        const QString exe = QStringLiteral("areascan-studio");
        QTest::newRow("play") << QStringList{exe, "--play", "trip.pcap"} << "trip.pcap"
                              << "";
        QTest::newRow("inline, on a page")
            << QStringList{exe, "--play=a b.pcap", "--tab", "zones"} << "a b.pcap"
            << "";
        QTest::newRow("no file") << QStringList{exe, "--play"} << ""
                                 << "--play needs a recording";
        QTest::newRow("option taken for a file") << QStringList{exe, "--play", "--tab"} << ""
                                                 << "--play needs a recording";
        // A recording instead of a scanner: nothing that brings one.
        for (const char *other : {"--demo", "--connect", "--offline"})
            QTest::newRow(other) << QStringList{exe, "--play", "t.pcap", other} << ""
                                 << "not with --demo, --connect or --offline";
    }
    void takesARecordingToPlay()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const StudioOptions options = parseStudioOptions(args);
        QVERIFY2(error.isEmpty() ? options.error.isEmpty() : options.error.contains(error),
                 qPrintable(options.error));
        if (error.isEmpty())
            QTEST(options.playFile, "file");
    }

    void helpListsEveryOption()
    {
        const QString help = studioHelpText();
        for (const char *option : {"--port", "--connect", "--demo", "--replay", "--loop", "--tab",
                                   "--play", "tcp://", "--own-folder", "--help", "--version"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
    }

    void ownFolderAndVersionAreAskedFor()
    {
        const QString exe = QStringLiteral("areascan-studio");
        const StudioOptions terminal = parseStudioOptions({exe, "--demo", "--connect"});
        QVERIFY(!terminal.ownFolder);
        QVERIFY(!terminal.version);
        const StudioOptions menu = parseStudioOptions({exe, "--own-folder", "--demo"});
        QVERIFY(menu.error.isEmpty());
        QVERIFY(menu.ownFolder);
        QVERIFY(menu.demo);
        QVERIFY(!menu.version);
        const StudioOptions version = parseStudioOptions({exe, "--version"});
        QVERIFY(version.error.isEmpty());
        QVERIFY(version.version);
        // The folder is the tool's own; it takes no path.
        QVERIFY(!parseStudioOptions({exe, "--own-folder=/tmp"}).error.isEmpty());
    }

    // Every command of the desktop entry is one the tool accepts, and each keeps the tool
    // out of the directory the menu happens to start it in.
    void desktopEntryCommandsParse()
    {
        QFile entry(QStringLiteral(DESKTOP_FILE));
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        int commands = 0;
        while (!entry.atEnd()) {
            const QString line = QString::fromUtf8(entry.readLine()).trimmed();
            if (!line.startsWith(QLatin1String("Exec=")))
                continue;
            ++commands;
            const QStringList args = line.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QCOMPARE(args.first(), QStringLiteral("areascan-studio"));
            const StudioOptions options = parseStudioOptions(args);
            QVERIFY2(options.error.isEmpty(),
                     qPrintable(line + QLatin1String(": ") + options.error));
            QVERIFY2(options.ownFolder, qPrintable(line));
        }
        QVERIFY(commands >= 1);
    }

    void detectsDisplay()
    {
        const QStringList exe{QStringLiteral("areascan-studio")};
        QVERIFY(!displayAvailable(exe, {"HOME=/root", "PATH=/usr/bin"}));
        QVERIFY(!displayAvailable(exe, {"DISPLAY="}));
        QVERIFY(displayAvailable(exe, {"DISPLAY=:99"}));
        QVERIFY(displayAvailable(exe, {"WAYLAND_DISPLAY=wayland-0"}));
        QVERIFY(displayAvailable(exe, {"QT_QPA_PLATFORM=offscreen"}));
        QVERIFY(displayAvailable(exe + QStringList{"-platform", "offscreen"}, {}));
        QVERIFY(displayAvailable(exe + QStringList{"--platform=offscreen"}, {}));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
