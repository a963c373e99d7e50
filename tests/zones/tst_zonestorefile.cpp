#include "lockedpath.h"
#include "pointstext.h"
#include "testsupport.h"
#include "zonefilecheck.h"
#include "zonestorefile.h"
#include "zonestoretext.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

namespace {
using Keys = ZoneStoreFile::ChannelKeys;

QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

ZoneAreaRecord randomArea(QRandomGenerator &random)
{
    ZoneAreaRecord a;
    a.regionType = quint8(random.bounded(256));
    a.dependScale = quint16(random.bounded(65536));
    a.onDelay = quint8(random.bounded(256));
    a.offDelay = quint8(random.bounded(51));
    a.hysteresis = quint8(random.bounded(101));
    a.detectableSize = quint8(random.bounded(11));
    const int count = random.bounded(4) == 0 ? 0 : random.bounded(1, 30);
    for (int i = 0; i < count; ++i)
        a.points.append(QPoint(random.bounded(-32768, 32768), random.bounded(-32768, 32768)));
    return a;
}

// What the store received before it was kept in memory: a settings object of its own for
// every change, the keys of each saved area written through it, then a sync.
void writeAsTheLibrary(const QString &name, int channel, const ZoneChannelRecord &areas,
                       const Keys &keys)
{
    QSettings store(name, QSettings::IniFormat);
    for (int k = 0; k < kAreasPerChannel; ++k) {
        if (keys[size_t(k)] == ZoneStoreFile::AllKeys)
            writeStoredArea(store, channel, k, areas[size_t(k)]);
        else if (keys[size_t(k)] == ZoneStoreFile::NumberKeys)
            writeStoredParameters(store, channel, k, areas[size_t(k)]);
    }
}

Keys randomKeys(QRandomGenerator &random)
{
    Keys keys;
    for (auto &k : keys)
        k = ZoneStoreFile::AreaKeys(random.bounded(3));
    return keys;
}

// The same random changes through the text in memory and through the settings library:
// after every one the text must be the library's file, byte for byte.
void compareChanges(ZoneStoreText &text, const QString &reference, quint32 seed, int changes)
{
    QRandomGenerator random(seed);
    for (int i = 0; i < changes; ++i) {
        const int channel = random.bounded(kZoneChannelCount);
        ZoneChannelRecord areas;
        for (auto &a : areas)
            a = randomArea(random);
        const Keys keys = randomKeys(random);
        writeAsTheLibrary(reference, channel, areas, keys);
        for (int k = 0; k < kAreasPerChannel; ++k) {
            if (keys[size_t(k)] == ZoneStoreFile::AllKeys)
                text.setArea(channel, k, areas[size_t(k)]);
            else if (keys[size_t(k)] == ZoneStoreFile::NumberKeys)
                text.setParameters(channel, k, areas[size_t(k)]);
        }
        QVERIFY2(text.text() == fileBytes(reference),
                 qPrintable(QStringLiteral("change %1 (channel %2)").arg(i).arg(channel)));
    }
}

// An earlier run's store: a hysteresis key the reset keeps, a section the tool does not
// write and a channel beyond 63.
const QByteArray kEarlierStore = "[Channel9]\nArea2\\hysteresis=33\nArea2\\Points=\"1,2,\"\n\n"
                                 "[Channel64]\nArea0\\regionType=2\n\n"
                                 "[Notes]\na.b-c_d=x\n";
} // namespace

class TestZoneStoreFile : public QObject
{
    Q_OBJECT

private slots:
    // The text kept in memory is the file the settings library writes, whatever the store
    // held before, for every mix of whole areas and numbers only.
    void textIsTheLibrarysFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("an earlier run's store") << kEarlierStore;
    }
    void textIsTheLibrarysFile()
    {
        QFETCH(QByteArray, before);
        TempWorkingDir dir;
        if (!before.isEmpty())
            writeFile("reference.ini", before);
        {
            QSettings store("reference.ini", QSettings::IniFormat);
            resetZoneStore(store);
        }
        ZoneStoreText text;
        QVERIFY(text.take(fileBytes("reference.ini"), ZoneStoreText::WrittenByLibrary));
        QVERIFY(text.isKnown());
        QCOMPARE(text.text(), fileBytes("reference.ini"));
        compareChanges(text, "reference.ini", 17, 150);
    }

    // A zone file from outside is taken in the forms whose rewrite is known, and the text
    // is then what the library writes once anything changes; other forms are not taken.
    void filesFromOutside_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("known");
        const QByteArray channel = "Area0\\Points=\"-1,2,\"\nArea0\\dependScale=0\n";
        QTest::newRow("as the tool writes it") << "[Channel0]\n" + channel << true;
        QTest::newRow("sections and keys out of order")
            << "[Channel7]\nArea1\\regionType=3\nArea0\\onDelay=4\n\n[Channel0]\n" + channel
            << true;
        QTest::newRow("no final line end") << QByteArray("[Channel0]\nArea0\\onDelay=1") << true;
        QTest::newRow("quotes without a comma, empty and missing values")
            << QByteArray("[Channel3]\nArea0\\onDelay=\"5\"\nArea0\\Points=\"\"\n"
                          "Area1\\Points=\nArea1\\onDelay=@Invalid()\n")
            << true;
        QTest::newRow("a section twice")
            << QByteArray("[Channel1]\nArea0\\onDelay=1\n[Channel1]\nArea1\\onDelay=2\n[Empty]\n")
            << true;
        QTest::newRow("a comment") << "; mine\n[Channel0]\n" + channel << false;
        QTest::newRow("a value list") << QByteArray("[Channel0]\nArea0\\Points=1,2,\n") << false;
        QTest::newRow("Windows line ends")
            << QByteArray("[Channel0]\r\nArea0\\onDelay=1\r\n") << false;
        QTest::newRow("spaces") << QByteArray("[Channel0]\nArea0\\onDelay = 1\n") << false;
        QTest::newRow("the general section")
            << "[General]\nversion=2\n\n[Channel0]\n" + channel << false;
        QTest::newRow("a key without a section") << "version=2\n[Channel0]\n" + channel << false;
        QTest::newRow("an escape") << QByteArray("[Channel0]\nArea0\\note=\"a\\tb\"\n") << false;
        QTest::newRow("a key twice")
            << QByteArray("[Channel0]\nArea0\\onDelay=1\nArea0\\onDelay=2\n") << false;
    }
    void filesFromOutside()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, known);
        TempWorkingDir dir;
        writeFile("reference.ini", file);
        ZoneStoreText text;
        QCOMPARE(text.take(file, ZoneStoreText::FromOutside), known);
        QCOMPARE(text.isKnown(), known);
        if (known)
            compareChanges(text, "reference.ini", 5, 20);
        else
            QVERIFY(text.text().isEmpty());
    }

    // Output of the library that this class would not write the same way is not taken.
    void libraryOutputMustComeBackUnchanged()
    {
        ZoneStoreText text;
        QVERIFY(text.take("[A]\nb=1\n\n[B]\nc=2\n", ZoneStoreText::WrittenByLibrary));
        QVERIFY(!text.take("[B]\nc=2\n\n[A]\nb=1\n", ZoneStoreText::WrittenByLibrary));
        QVERIFY(!text.take("[A]\nb=1\n[B]\nc=2\n", ZoneStoreText::WrittenByLibrary));
        QVERIFY(!text.isKnown());
        // The library's list form is kept as it stands in its own output.
        QVERIFY(text.take("[A]\nb=1, 2, \n", ZoneStoreText::WrittenByLibrary));
    }

    // The store file writes the same bytes at the same moments as a settings object per
    // change did, through the start-up reset, a zone file that the library rewrites in its
    // own layout, the factory copy and the scanner's channels.
    void storeFileWritesWhatTheLibraryWrote()
    {
        TempWorkingDir dir;
        writeFile("config.ini", kEarlierStore);
        writeFile("reference.ini", kEarlierStore);
        ZoneStoreFile store;
        QVERIFY(store.reset());
        {
            QSettings reference("reference.ini", QSettings::IniFormat);
            resetZoneStore(reference);
        }
        QCOMPARE(fileBytes("config.ini"), fileBytes("reference.ini"));
        QCOMPARE(store.bytes(), fileBytes("config.ini"));
        QCOMPARE(int(store.zones().area(9, 2).hysteresis), 33);

        QRandomGenerator random(3);
        auto changeBoth = [&](int rounds) {
            for (int i = 0; i < rounds; ++i) {
                const int channel = random.bounded(kZoneChannelCount);
                ZoneChannelRecord areas;
                for (auto &a : areas)
                    a = randomArea(random);
                const Keys keys = randomKeys(random);
                QVERIFY(store.setChannel(channel, areas, keys));
                writeAsTheLibrary("reference.ini", channel, areas, keys);
                QVERIFY2(fileBytes("config.ini") == fileBytes("reference.ini"),
                         qPrintable(QString::number(i)));
                QCOMPARE(store.bytes(), fileBytes("config.ini"));
                for (int k = 0; k < kAreasPerChannel; ++k) {
                    const ZoneAreaRecord &now = store.zones().area(channel, k);
                    if (keys[size_t(k)] != ZoneStoreFile::NoKeys)
                        QCOMPARE(now.onDelay, areas[size_t(k)].onDelay);
                    if (keys[size_t(k)] == ZoneStoreFile::AllKeys)
                        QCOMPARE(now.points, areas[size_t(k)].points);
                }
            }
        };
        changeBoth(20);

        // A zone file with a comment: copied as it is, rewritten by the library with the
        // first change and by the store's own text after that.
        const QByteArray zoneFile = "; the user's\n" + fileBytes("reference.ini");
        writeFile("zones.ini", zoneFile);
        const ZoneFile file = readZoneFile("zones.ini");
        QVERIFY(file.ok());
        const ZoneStoreFile::Copy copy = store.replace(file);
        QVERIFY(copy.stored);
        QCOMPARE(copy.written, qint64(zoneFile.size()));
        QCOMPARE(fileBytes("config.ini"), zoneFile);
        QCOMPARE(store.bytes(), zoneFile);
        writeFile("reference.ini", zoneFile);
        changeBoth(5);

        QSettings factory(QStringLiteral(FACTORY_FILE), QSettings::IniFormat);
        QVERIFY(store.takeFactoryZones(factory));
        {
            QSettings reference("reference.ini", QSettings::IniFormat);
            reference.clear();
            for (int c = 0; c < kZoneChannelCount; ++c)
                for (int k = 0; k < kAreasPerChannel; ++k)
                    for (const char *key : {"Points", "regionType", "dependScale", "detectableSize",
                                            "onDelay", "offDelay"}) {
                        const QString name = zoneKey(c, k, QLatin1String(key));
                        reference.setValue(name, factory.value(name));
                    }
        }
        QCOMPARE(fileBytes("config.ini"), fileBytes("reference.ini"));
        QCOMPARE(store.zones().area(0, 1).points.size(), 4);
        QCOMPARE(int(store.zones().area(0, 0).offDelay), 5);
        changeBoth(5);

        // The scanner's channels reach the file once the event loop is back, or with the
        // next write, or when the store goes.
        ZoneChannelRecord scanner;
        scanner[1] = randomArea(random);
        const QByteArray before = fileBytes("config.ini");
        store.setScannerChannel(40, scanner);
        QCOMPARE(store.channel(40), scanner);
        QCOMPARE(fileBytes("config.ini"), before);
        writeAsTheLibrary("reference.ini", 40, scanner, ZoneStoreFile::kWholeChannel);
        QTRY_COMPARE(fileBytes("config.ini"), fileBytes("reference.ini"));

        scanner[2] = randomArea(random);
        store.setScannerChannel(41, scanner);
        writeAsTheLibrary("reference.ini", 41, scanner, ZoneStoreFile::kWholeChannel);
        changeBoth(1);
        QCOMPARE(fileBytes("config.ini"), fileBytes("reference.ini"));

        auto later = std::make_unique<ZoneStoreFile>();
        QVERIFY(later->reset());
        scanner[0] = randomArea(random);
        later->setScannerChannel(63, scanner);
        later.reset();
        QSettings disk("config.ini", QSettings::IniFormat);
        QCOMPARE(disk.value("Channel63/Area0/Points").toString(), pointsText(scanner[0].points));
    }

    // A write that fails leaves the change in memory, and the next one that succeeds
    // brings the file up to date with both; whether the store writes its own text or has
    // the library write a file it does not know.
    void aFailedWriteIsCaughtUpWith_data()
    {
        QTest::addColumn<bool>("ownText");
        QTest::newRow("own text") << true;
        QTest::newRow("through the library") << false;
    }
    void aFailedWriteIsCaughtUpWith()
    {
        QFETCH(bool, ownText);
        TempWorkingDir dir;
        ZoneStoreFile store;
        QVERIFY(store.reset());
        if (!ownText) {
            writeFile("zones.ini", "; the user's\n" + fileBytes("config.ini"));
            QVERIFY(store.replace(readZoneFile("zones.ini")).stored);
        }
        const QByteArray before = fileBytes("config.ini");
        ZoneChannelRecord first = store.channel(2);
        first[0].points = {QPoint(100, 200)};
        {
            const LockedPath lock(store.fileName());
            if (!lock.locked())
                QSKIP("this file system cannot lock the store");
            QVERIFY(!store.setChannel(2, first));
        }
        QCOMPARE(fileBytes("config.ini"), before);
        QCOMPARE(store.zones().area(2, 0).points, first[0].points);
        ZoneChannelRecord second = store.channel(5);
        second[2].onDelay = 9;
        QVERIFY(store.setChannel(5, second));
        QSettings disk("config.ini", QSettings::IniFormat);
        QCOMPARE(disk.value("Channel2/Area0/Points").toString(), QStringLiteral("100,200,"));
        QCOMPARE(disk.value("Channel5/Area2/onDelay").toInt(), 9);
        QCOMPARE(store.bytes(), fileBytes("config.ini"));
    }

    // A start-up reset or a factory copy that could not be written leaves the earlier
    // zones on disk only until the next write, which brings the whole set there; the set
    // holds what was asked for meanwhile (an upload sends the factory zones, not the old).
    void aWholeSetThatCouldNotBeWrittenIsCaughtUpWith_data()
    {
        QTest::addColumn<bool>("factory");
        QTest::newRow("start-up reset") << false;
        QTest::newRow("factory copy") << true;
    }
    void aWholeSetThatCouldNotBeWrittenIsCaughtUpWith()
    {
        QFETCH(bool, factory);
        TempWorkingDir dir;
        writeFile("config.ini", "[Channel3]\nArea0\\Points=\"5,5,\"\n");
        ZoneStoreFile store;
        if (factory)
            QVERIFY(store.reset());
        QSettings factoryFile(QStringLiteral(FACTORY_FILE), QSettings::IniFormat);
        {
            const LockedPath lock("config.ini");
            if (!lock.locked())
                QSKIP("this file system cannot lock the store");
            QVERIFY(factory ? !store.takeFactoryZones(factoryFile) : !store.reset());
        }
        const QString expected =
            factory ? factoryFile.value("Channel3/Area0/Points").toString() : QString();
        QCOMPARE(pointsText(store.zones().area(3, 0).points), expected);
        ZoneChannelRecord areas = store.channel(1);
        areas[0].onDelay = 3;
        QVERIFY(store.setChannel(
            1, areas, {ZoneStoreFile::NumberKeys, ZoneStoreFile::NoKeys, ZoneStoreFile::NoKeys}));
        QSettings disk("config.ini", QSettings::IniFormat);
        QCOMPARE(disk.childGroups().size(), kZoneChannelCount);
        QCOMPARE(disk.value("Channel3/Area0/Points").toString(), expected);
        QCOMPARE(disk.value("Channel1/Area0/onDelay").toInt(), 3);
    }

    // What the block would wrap or make up is found in the keys as read from the file,
    // until the area is written again from the set; what the set itself cannot carry is
    // found in the set.
    void findsWhatCannotBeSent()
    {
        TempWorkingDir dir;
        writeFile("config.ini", "[Channel4]\nArea1\\hysteresis=300\n\n"
                                "[Channel6]\nArea2\\hysteresis=abc\n");
        ZoneStoreFile store;
        store.reset();
        ZoneFileProblem p = store.findProblem();
        QCOMPARE(int(p.kind), int(ZoneFileProblem::OutOfRange));
        QCOMPARE(p.channel, 4);
        QCOMPARE(p.area, 1);
        QCOMPARE(p.key, QStringLiteral("hysteresis"));
        QCOMPARE(p.detail, QStringLiteral("300"));
        QCOMPARE(int(store.zones().area(4, 1).hysteresis), 300 & 0xFF);

        // The numbers written again: the next problem shows.
        store.setChannel(4, store.channel(4),
                         {ZoneStoreFile::NoKeys, ZoneStoreFile::NumberKeys, ZoneStoreFile::NoKeys});
        p = store.findProblem();
        QCOMPARE(int(p.kind), int(ZoneFileProblem::NotAWholeNumber));
        QCOMPARE(p.channel, 6);

        // A set that holds more than a block, in an earlier channel, comes first.
        ZoneChannelRecord many = store.channel(3);
        for (int i = 0; i <= kMaxZonePoints; ++i)
            many[0].points.append(QPoint(i, 1000));
        store.setChannel(3, many);
        p = store.findProblem();
        QCOMPARE(int(p.kind), int(ZoneFileProblem::TooManyPoints));
        QCOMPARE(p.channel, 3);
        QCOMPARE(p.number, qint64(kMaxZonePoints + 1));
        many[0].points = {QPoint(0, 0), QPoint(5, -40000)};
        store.setChannel(3, many);
        p = store.findProblem();
        QCOMPARE(int(p.kind), int(ZoneFileProblem::OutOfRange));
        QCOMPARE(p.key, QStringLiteral("Points"));
        QCOMPARE(p.detail, QStringLiteral("-40000"));

        store.setChannel(3, ZoneSet().channel(3));
        store.setChannel(6, store.channel(6));
        QVERIFY(!store.findProblem());
    }

    // A set written out whole is the file a store gets that took every channel from a
    // scanner, one settings object per channel, starting from no file.
    void zoneFileOfASet()
    {
        TempWorkingDir dir;
        QRandomGenerator random(11);
        ZoneSet zones;
        for (int c = 0; c < kZoneChannelCount; ++c) {
            ZoneChannelRecord areas;
            for (auto &a : areas)
                a = randomArea(random);
            zones.setChannel(c, areas);
            QSettings store("read.ini", QSettings::IniFormat);
            writeStoredChannel(store, c, areas);
        }
        QCOMPARE(zoneFileText(zones), fileBytes("read.ini"));
        QCOMPARE(zoneFileText(ZoneSet()).count("\n["), kZoneChannelCount - 1);
    }

    // A block can name a channel up to 255: the store has none beyond 63 and keeps itself.
    void channelsBeyondTheStoreChangeNothing()
    {
        TempWorkingDir dir;
        ZoneStoreFile store;
        store.reset();
        const QByteArray before = fileBytes(store.fileName());
        ZoneChannelRecord areas;
        areas[0].points = {QPoint(1, 2)};
        store.setScannerChannel(200, areas);
        QVERIFY(!store.setChannel(64, areas));
        QVERIFY(!store.setChannel(-1, areas));
        QVERIFY(store.flush());
        QCOMPARE(fileBytes(store.fileName()), before);
        QVERIFY(store.zones() == ZoneSet());
        QVERIFY(!store.hasUnsentChanges());
    }

    void factoryZonesAreCheckedAsCopied()
    {
        TempWorkingDir dir;
        QVERIFY(QFile::copy(QStringLiteral(FACTORY_FILE), "factory.ini"));
        {
            QSettings factory("factory.ini", QSettings::IniFormat);
            factory.setValue("Channel20/Area1/regionType", 300);
            factory.remove("Channel30/Area0/onDelay");
        }
        ZoneStoreFile store;
        store.reset();
        QSettings factory("factory.ini", QSettings::IniFormat);
        QVERIFY(store.takeFactoryZones(factory));
        QVERIFY(store.hasUnsentChanges());
        ZoneFileProblem p = store.findProblem();
        QCOMPARE(int(p.kind), int(ZoneFileProblem::OutOfRange));
        QCOMPARE(p.channel, 20);
        QCOMPARE(p.key, QStringLiteral("regionType"));
        store.setChannel(20, store.channel(20));
        p = store.findProblem();
        QCOMPARE(p.channel, 30);
        QCOMPARE(p.key, QStringLiteral("onDelay"));
    }
};

QTEST_GUILESS_MAIN(TestZoneStoreFile)
#include "tst_zonestorefile.moc"
