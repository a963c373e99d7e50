// The behaviour an installed tool relies on: the version of every program, the studio's own
// working folder when the desktop menu starts it, and the factory file an installation
// ships. The programs run as processes, as a menu or a shell starts them.
#include "appfolders.h"
#include "datadirs.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The environment a desktop session or a shell hands a program, with the data directories
// given and without a display unless one is asked for.
QProcessEnvironment environment(const QString &dataHome, bool offscreen)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (offscreen)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    return env;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// Ends a studio that is still running.
void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void everyProgramAnswersItsVersion_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("studio") << AREASCAN_STUDIO << "areascan-studio";
        QTest::newRow("cli") << AREASCAN_CLI << "areascan-cli";
        QTest::newRow("sim") << AREASCAN_SIM << "areascan-sim";
    }
    // The version is the project's, and asking for it needs no display and no scanner.
    void everyProgramAnswersItsVersion()
    {
        QFETCH(QString, program);
        QFETCH(QString, name);
        QTemporaryDir dir;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setProcessEnvironment(environment(dir.filePath("data"), false));
        process.start(program, {QStringLiteral("--version")});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                 name + QLatin1Char(' ') + QStringLiteral(AREASCAN_VERSION) + QLatin1Char('\n'));
        QVERIFY(entries(dir.path()).isEmpty());
    }

    void studioWorksInItsOwnFolderOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("ownFolder");
        QTest::newRow("from the desktop menu") << true;
        QTest::newRow("from a terminal") << false;
    }
    void studioWorksInItsOwnFolderOnlyWhenAsked()
    {
        QFETCH(bool, ownFolder);
        QTemporaryDir root;
        const QString current = root.filePath("current");
        QVERIFY(QDir().mkpath(current));
        // Neither the data directory nor the folder in it exists yet.
        const QString dataHome = root.filePath("data/home");
        const QString own = dataHome + QStringLiteral("/areascan-studio");
        const QString working = ownFolder ? own : current;

        QProcess studio;
        studio.setWorkingDirectory(current);
        studio.setProcessEnvironment(environment(dataHome, true));
        studio.start(QStringLiteral(AREASCAN_STUDIO),
                     ownFolder ? QStringList{QStringLiteral("--own-folder")} : QStringList{});
        // The window resets the zone store once it has handled settings.ini.
        const bool started = waitUntil(
            [&]() {
                return QFileInfo::exists(working + QStringLiteral("/config.ini")) ||
                       studio.state() == QProcess::NotRunning;
            },
            30000);
        const bool running = studio.state() == QProcess::Running;
        stop(studio);
        QVERIFY2(started && running, studio.readAllStandardError().constData());

        QVERIFY(QFileInfo::exists(working + QStringLiteral("/settings.ini")));
        if (ownFolder)
            QCOMPARE(entries(current), QStringList());
        else
            QVERIFY(!QFileInfo::exists(dataHome));
    }

    // A folder that cannot be made stops the start with a reason; the tool does not fall
    // back to whatever directory the menu started it in.
    void studioRefusesAnOwnFolderItCannotMake()
    {
        QTemporaryDir root;
        const QString current = root.filePath("current");
        QVERIFY(QDir().mkpath(current));
        const QString plainFile = root.filePath("data");
        QFile file(plainFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QProcess studio;
        studio.setWorkingDirectory(current);
        studio.setProcessEnvironment(environment(plainFile + QStringLiteral("/home"), true));
        studio.start(QStringLiteral(AREASCAN_STUDIO), {QStringLiteral("--own-folder")});
        if (!studio.waitForFinished(20000)) {
            stop(studio);
            QFAIL("the studio started without its folder");
        }
        QCOMPARE(studio.exitCode(), 1);
        const QString error = QString::fromUtf8(studio.readAllStandardError());
        QVERIFY2(
            error.contains(QStringLiteral("areascan-studio: cannot create the working folder ") +
                           plainFile),
            qPrintable(error));
        QCOMPARE(entries(current), QStringList());
    }

    // The working folder's file wins; without one, the user's data directory comes before
    // the system's, where the package installs it; with none at all there is none.
    void factoryFileFromTheWorkingFolderThenTheInstallation()
    {
        TempWorkingDir dir;
        FakeDataDirs data;
        const QString shipped = QStringLiteral(FACTORY_FILE);
        const QString name = QStringLiteral("factorySettings.ini");
        QCOMPARE(factorySettingsPath(), QString());

        const QString installed = FakeDataDirs::install(data.system(), shipped, name);
        QVERIFY(!installed.isEmpty());
        QCOMPARE(factorySettingsPath(), installed);

        const QString users = FakeDataDirs::install(data.home(), shipped, name);
        QVERIFY(!users.isEmpty());
        QCOMPARE(factorySettingsPath(), users);

        QVERIFY(QFile::copy(shipped, dir.filePath(name)));
        QCOMPARE(QFileInfo(factorySettingsPath()).absoluteFilePath(), dir.filePath(name));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
