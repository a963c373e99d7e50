#include "datadirs.h"
#include "lockedpath.h"
#include "pointstext.h"
#include "studiorig.h"
#include "zoneeditor.h"

#include <QLoggingCategory>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The window on its zone page, without a scanner.
struct Editor : StudioRig
{
    Editor() { QVERIFY(showOffline()); }
    void drawTriangle(int channel)
    {
        ui()->channels->setCurrentIndex(channel);
        QTest::mouseClick(ui()->polygonBtn, Qt::LeftButton);
        typeVertex(-1000, 2000);
        typeVertex(1000, 2000);
        typeVertex(0, 500);
    }
    void save(const QString &name)
    {
        zoneFile = name;
        QTest::mouseClick(ui()->saveSettingsBtn, Qt::LeftButton);
    }
    void load(const QString &name)
    {
        zoneFile = name;
        QTest::mouseClick(ui()->loadSettingsBtn, Qt::LeftButton);
    }
};

const char kTriangle[] = "1000,2000,0,500,-1000,2000,";
const QString kResetQuestion = QStringLiteral("Are you sure you want to restore factory Settings?");

// Where the rig puts the shipped factory file: beside the tool, only where an installation
// keeps it, or nowhere.
enum class FactoryFile
{
    InWorkingFolder,
    Installed,
    None
};

// A connected scanner whose zones were read, with the shipped factory file where asked.
// The data directories are empty folders of the test's own, so an installed package's
// factory file never stands in.
struct ResetRig : StudioRig
{
    FakeDataDirs data;
    QString factoryPath; // the factory file the reset should read

    bool start(const DeviceState &state, FactoryFile where = FactoryFile::InWorkingFolder)
    {
        const QString shipped = QStringLiteral(FACTORY_FILE);
        if (where == FactoryFile::InWorkingFolder) {
            factoryPath = dir.filePath(QStringLiteral("factorySettings.ini"));
            if (!QFile::copy(shipped, factoryPath))
                return false;
        } else if (where == FactoryFile::Installed) {
            factoryPath = FakeDataDirs::install(data.system(), shipped,
                                                QStringLiteral("factorySettings.ini"));
            if (factoryPath.isEmpty())
                return false;
        }
        return StudioRig::start(state) && connectAndRead() && ui()->factorySettingsBtn->isEnabled();
    }
};

// The scanner as the shipped factory file leaves it, but with other zones.
DeviceState atFactoryFilterValues()
{
    DeviceState s;
    s.filterEnabled = true;
    s.averageFilter = false;
    s.filterStrength = 35;
    s.filterMinRange = 100;
    s.filterMaxRange = 20000;
    s.inputNormallyClosed = false;
    s.outputNormallyClosed = false;
    s.maskIntensity = 0;
    s.maskMinAngle = 0;
    s.maskMaxAngle = 539;
    return s;
}

} // namespace

Q_DECLARE_METATYPE(FactoryFile)

class TestZoneFiles : public QObject
{
    Q_OBJECT

private slots:
    // The zone file's debug line is looked at: the window's debug category is on here.
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("areascan.app.debug=true"));
    }
    void savingCopiesTheStoreWithTheLatestEdits()
    {
        Editor e;
        e.drawTriangle(5);
        e.save("zones.ini");
        QSettings saved("zones.ini", QSettings::IniFormat);
        QCOMPARE(saved.value("Channel5/Area0/Points").toString(), QString(kTriangle));
        QCOMPARE(fileContents("zones.ini"), fileContents(zoneStoreFileName()));

        // Over an existing file: replaced as a whole.
        writeFile("old.ini", "[Channel0]\nArea0\\Points=\"1,2,\"\nextra=1\n");
        e.save("old.ini");
        QCOMPARE(fileContents("old.ini"), fileContents(zoneStoreFileName()));
        QVERIFY(e.boxes.boxes().isEmpty());
    }

    void aSaveThatCannotBeWrittenKeepsTheOldFile()
    {
        Editor e;
        QVERIFY(QDir().mkdir("locked"));
        writeFile("locked/zones.ini", "the user's old zones");
        LockedPath folder(e.dir.filePath("locked"));
        if (!folder.locked())
            QSKIP("no way to make a folder unwritable here");
        e.drawTriangle(2);
        e.save("locked/zones.ini");
        QCOMPARE(fileContents("locked/zones.ini"), QByteArray("the user's old zones"));
        QCOMPARE(e.boxes.count(), 1);
        QVERIFY(e.boxes.boxes().first().text.startsWith("Cannot save the zone file"));
    }

    void loadingReplacesTheStoreAndShowsChannelZero()
    {
        Editor e;
        e.drawTriangle(0);
        e.save("set.ini");
        e.drawTriangle(7); // channel 0 is saved on the way; these edits are never saved
        QCOMPARE(e.window->zoneEditor()->editedChannel(), 7);
        {
            QSettings set("set.ini", QSettings::IniFormat);
            set.setValue("Channel7/Area1/regionType", 3);
        }
        const QByteArray file = fileContents("set.ini");
        const QString line =
            QStringLiteral("true ;wrtie: true ;size: %1 ;write size: %1").arg(file.size());
        QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
        e.load("set.ini");
        QCOMPARE(fileContents(zoneStoreFileName()), file);
        QCOMPARE(e.window->zoneEditor()->editedChannel(), 0);
        QCOMPARE(e.ui()->channels->currentIndex(), 0);
        QCOMPARE(e.window->zoneEditor()->areaRecord(0).points.size(), 3);
        // Channel 7 holds what the file says, not the edits made before the load.
        e.ui()->channels->setCurrentIndex(7);
        QVERIFY(e.window->zoneEditor()->areaRecord(0).points.isEmpty());
        QCOMPARE(int(e.window->zoneEditor()->areaRecord(1).regionType), 3);
        QVERIFY(e.boxes.boxes().isEmpty());
    }

    // Only a file the command-line tool would send is loaded: anything else would reach the
    // scanner with the next upload and clear or wrap its zones.
    void aFileTheScannerCouldNotTakeChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString notLoaded = "The zone file %1 was not loaded: %2";
        QTest::newRow("empty") << "empty.ini"
                               << notLoaded.arg("empty.ini", "it holds no zone channels");
        QTest::newRow("the product file")
            << "settings.ini" << notLoaded.arg("settings.ini", "it holds no zone channels");
        QTest::newRow("20 KB of binary")
            << "binary.ini" << notLoaded.arg("binary.ini", "it holds no zone channels");
        QTest::newRow("cut in half")
            << "half.ini" << notLoaded.arg("half.ini", "channel 4 is missing");
        QTest::newRow("regionType 300")
            << "type.ini"
            << notLoaded.arg("type.ini",
                             "channel 3, WarningArea, key regionType: 300 is outside 0 to 255");
        QTest::newRow("no final comma")
            << "comma.ini"
            << notLoaded.arg("comma.ini", "channel 6, AlarmArea, key Points is not a list of "
                                          "x,y pairs each followed by a comma");
        QTest::newRow("50 MB") << "big.ini"
                               << "Cannot read the zone file big.ini: it has 52428800 bytes, "
                                  "more than the 4194304 a zone file may have";
        QTest::newRow("a FIFO") << "fifo.ini"
                                << "Cannot read the zone file fifo.ini: it is not a regular file";
    }
    void aFileTheScannerCouldNotTakeChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        Editor e;
        e.drawTriangle(3);
        e.save("good.ini");
        const QByteArray good = fileContents("good.ini");
        auto edited = [](const QString &file, const char *key, const QVariant &value) {
            QVERIFY(QFile::copy("good.ini", file));
            QSettings(file, QSettings::IniFormat).setValue(key, value);
        };
        writeFile("empty.ini", QByteArray());
        QByteArray noise(20000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919) >> 3);
        writeFile("binary.ini", noise);
        writeFile("half.ini", good.left(good.size() / 2));
        edited("type.ini", "Channel3/Area1/regionType", 300);
        edited("comma.ini", "Channel6/Area2/Points", "100,200,300,400");
        edited("big.ini", "Channel0/Area0/regionType", 1);
        QVERIFY(QFile("big.ini").resize(50 * 1024 * 1024));
        QCOMPARE(::mkfifo("fifo.ini", 0600), 0);

        // The editor holds an edit the store has not seen yet; both must stay.
        e.ui()->channels->setCurrentIndex(4);
        e.drawTriangle(4);
        const QByteArray store = fileContents(zoneStoreFileName());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(";wrtie: false ;size: \\d+ ;write "
                                                            "size: 0"));
        e.load(name);
        QCOMPARE(e.boxes.count(), 1);
        QCOMPARE(e.boxes.boxes().first().text, message);
        QCOMPARE(fileContents(zoneStoreFileName()), store);
        QCOMPARE(e.window->zoneEditor()->editedChannel(), 4);
        QCOMPARE(e.window->zoneEditor()->areaRecord(0).points.size(), 3);
        QCOMPARE(e.ui()->channels->currentIndex(), 4);
    }

    // The tool's own files in the working folder are never overwritten by a zone file.
    void savingOverTheToolsOwnFilesIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("settings.ini") << "settings.ini"
                                      << "settings.ini";
        QTest::newRow("config.ini") << "config.ini"
                                    << "config.ini";
        QTest::newRow("factorySettings.ini") << "factorySettings.ini"
                                             << "factorySettings.ini";
        QTest::newRow("by a longer path") << "sub/../factorySettings.ini"
                                          << "factorySettings.ini";
        QTest::newRow("by a link") << "link.ini"
                                   << "settings.ini";
        QTest::newRow("by its full path") << "FULL/settings.ini"
                                          << "settings.ini";
    }
    void savingOverTheToolsOwnFilesIsRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        Editor e;
        name.replace("FULL", e.dir.path());
        writeFile("factorySettings.ini", "[Filter]\nfilterStrenth=35\n");
        QVERIFY(QDir().mkdir("sub"));
        QVERIFY(QFile::link("settings.ini", "link.ini"));
        QVERIFY(QFile::exists("settings.ini"));
        e.drawTriangle(2);
        const QByteArray before = fileContents(file);
        e.save(name);
        QCOMPARE(fileContents(file), before);
        QCOMPARE(e.boxes.count(), 1);
        QCOMPARE(e.boxes.boxes().first().text,
                 QStringLiteral("%1 is one of the tool's own files; a zone file cannot be saved "
                                "over it")
                     .arg(name));
        // Another name in the same folder is saved as before.
        e.save("zones.ini");
        QCOMPARE(e.boxes.count(), 1);
        QVERIFY(QFile::exists("zones.ini"));
    }

    void anUnreadableFileChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "nowhere/zones.ini";
        QTest::newRow("a folder") << ".";
    }
    void anUnreadableFileChangesNothing()
    {
        QFETCH(QString, name);
        Editor e;
        e.drawTriangle(4);
        e.ui()->channels->setCurrentIndex(3);
        e.ui()->channels->setCurrentIndex(4);
        const QByteArray store = fileContents(zoneStoreFileName());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(";wrtie: false"));
        e.load(name);
        QCOMPARE(fileContents(zoneStoreFileName()), store);
        QCOMPARE(e.window->zoneEditor()->editedChannel(), 4);
        QCOMPARE(e.window->zoneEditor()->areaRecord(0).points.size(), 3);
        QCOMPARE(e.boxes.count(), 1);
        QVERIFY(e.boxes.boxes().first().text.startsWith("Cannot read the zone file"));
    }

    void factoryResetRestoresFiltersAndZones_data()
    {
        QTest::addColumn<FactoryFile>("where");
        QTest::newRow("file in the working folder") << FactoryFile::InWorkingFolder;
        // A working folder without one, as an installed tool started anywhere has.
        QTest::newRow("only the installed file") << FactoryFile::Installed;
    }
    void factoryResetRestoresFiltersAndZones()
    {
        QFETCH(FactoryFile, where);
        ResetRig rig;
        DeviceState scanner = atFactoryFilterValues();
        scanner.filterStrength = 20;
        QVERIFY(rig.start(scanner, where));
        rig.sim.clearLog();
        QSettings factory(rig.factoryPath, QSettings::IniFormat);
        factory.setValue("Channel9/Area1/hysteresis", 40); // never copied
        factory.sync();

        rig.boxes.answer(kResetQuestion, QMessageBox::Yes);
        QTest::mouseClick(rig.ui()->factorySettingsBtn, Qt::LeftButton);
        QVERIFY(rig.boxes.sawText(kResetQuestion));
        rig.boxes.clear();

        // The store holds the six zone keys of every area and nothing else.
        {
            QSettings store(zoneStoreFileName(), QSettings::IniFormat);
            QCOMPARE(store.allKeys().size(), 64 * 3 * 6);
            QVERIFY(!store.contains("Channel9/Area1/hysteresis"));
        }
        QVERIFY(waitUntil([&]() { return rig.ui()->filterStrenthSlider->value() == 35; }, 1000));
        QVERIFY(waitUntil([&]() { return !rig.ui()->resetFactoryProgressBar->isHidden(); }, 3000));
        QVERIFY(rig.ui()->progressBar->isHidden());
        QVERIFY(waitUntil(
            [&]() {
                return rig.window->isEnabled() && rig.ui()->resetFactoryProgressBar->isHidden();
            },
            10000));

        // Only the value that differed was sent, then the save and the zones.
        QStringList sent;
        for (const ReceivedFrame &frame : rig.sim.receivedFrames())
            if (frame.type != REQUEST_WRITE_AREA && frame.type != REQUEST_READ_AREA)
                sent << QString::number(frame.type, 16);
        QCOMPARE(sent, QStringList({"16", "55", "3355"}));
        QCOMPARE(rig.framesOf(REQUEST_SET_FILTER_STRENGTH).first().payload, QByteArray("\x23"));
        QCOMPARE(rig.framesOf(REQUEST_WRITE_AREA).size(), 64);
        const DeviceState after = rig.sim.state();
        for (int channel = 0; channel < 64; ++channel)
            for (int k = 0; k < 3; ++k)
                QCOMPARE(pointsText(after.zone(channel, k).points),
                         factory.value(zoneKey(channel, k, QLatin1String("Points"))).toString());
        QCOMPARE(after.filterStrength, quint8(35));
        // The edited channel is read back from the scanner; no box for the saved parameters.
        QVERIFY(waitUntil([&]() { return rig.framesOf(REQUEST_READ_AREA).size() == 1; }));
        QVERIFY(rig.boxes.boxes().isEmpty());
    }

    void factoryResetNeedsYesAndItsFile_data()
    {
        QTest::addColumn<FactoryFile>("where");
        QTest::addColumn<QString>("message");
        QTest::newRow("answered No") << FactoryFile::InWorkingFolder << QString();
        QTest::newRow("no factory file anywhere")
            << FactoryFile::None
            << "The factory settings file factorySettings.ini is missing or unreadable; nothing "
               "was restored";
    }
    void factoryResetNeedsYesAndItsFile()
    {
        QFETCH(FactoryFile, where);
        QFETCH(QString, message);
        ResetRig rig;
        QVERIFY(rig.start(DeviceState(), where));
        rig.sim.clearLog();
        const QByteArray store = fileContents(zoneStoreFileName());
        rig.boxes.answer(kResetQuestion, QMessageBox::No);
        QTest::mouseClick(rig.ui()->factorySettingsBtn, Qt::LeftButton);
        QTest::qWait(1300);
        QVERIFY(rig.sim.receivedFrames().isEmpty());
        QCOMPARE(fileContents(zoneStoreFileName()), store);
        QCOMPARE(rig.boxes.sawText(message), !message.isEmpty());
        QVERIFY(rig.window->isEnabled());
    }
};

QTEST_MAIN(TestZoneFiles)
#include "tst_zonefiles.moc"
