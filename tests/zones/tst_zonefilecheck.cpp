// The strict reading of zone files from outside, on bytes and on paths.
#include "pointstext.h"
#include "testsupport.h"
#include "zoneblock.h"
#include "zonefilecheck.h"
#include "zonestore.h"

#include <QFile>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

using Edit = std::function<void(QSettings &)>;
using ByteEdit = std::function<QByteArray(const QByteArray &)>;

// Every area different, within its fields; channel 9's alarm area holds 540 vertices.
ZoneAreaRecord sampleArea(int channel, int area)
{
    ZoneAreaRecord a;
    a.regionType = quint8((channel + area) % 4);
    a.onDelay = quint8((channel + area) % 51);
    a.offDelay = quint8(channel % 51);
    a.hysteresis = quint8(area * 40);
    a.detectableSize = quint8(area % 11);
    a.dependScale = quint16(channel * 1000 + area);
    const int n = channel == 9 && area == 2 ? kMaxZonePoints : (channel + area) % 5;
    for (int i = 0; i < n; ++i)
        a.points.append(QPoint(-32768 + i * 120 + channel, 32767 - i * 7 - area));
    return a;
}

QVector<ZoneChannelRecord> sampleChannels()
{
    QVector<ZoneChannelRecord> channels(kZoneChannelCount);
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        for (int k = 0; k < kAreasPerChannel; ++k)
            channels[channel][k] = sampleArea(channel, k);
    return channels;
}

// The sample as the store writes it, changed by edit, as bytes.
QByteArray sampleFile(const Edit &edit = nullptr)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("zones.ini");
    {
        QSettings store(path, QSettings::IniFormat);
        const QVector<ZoneChannelRecord> channels = sampleChannels();
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            writeStoredChannel(store, channel, channels.at(channel));
        if (edit)
            edit(store);
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Edit setKey(int channel, int area, const char *key, const QVariant &value)
{
    return [=](QSettings &s) { s.setValue(zoneKey(channel, area, QLatin1String(key)), value); };
}

Edit removeKey(int channel, int area, const char *key)
{
    return [=](QSettings &s) { s.remove(zoneKey(channel, area, QLatin1String(key))); };
}

QByteArray noise(int size)
{
    QByteArray bytes(size, '\0');
    quint32 x = 12345;
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(ZoneFileProblem::Kind)
Q_DECLARE_METATYPE(QVector<ZoneChannelRecord>)

class TestZoneFileCheck : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhatTheScannerWouldNotGetAsWritten_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ZoneFileProblem::Kind>("kind");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("area");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("detail");
        using P = ZoneFileProblem;
        const QByteArray whole = sampleFile();

        // Not a zone set at all.
        QTest::newRow("empty") << QByteArray() << P::NoChannels << -1 << -1 << ""
                               << "";
        QTest::newRow("settings.ini")
            << QByteArray("[ProductInformation]\nwindowTitle=RZ-KTM\ndeviceModel=KP-21D\n")
            << P::NoChannels << -1 << -1 << ""
            << "";
        QTest::newRow("20 KB of binary") << noise(20000) << P::NoChannels << -1 << -1 << ""
                                         << "";
        QTest::newRow("broken section")
            << QByteArray("[Channel0\nArea0\\Points=1,2,\n") << P::NotIni << -1 << -1 << ""
            << "";
        // Cut short: the channels it lost would be cleared on the scanner.
        QTest::newRow("cut in half")
            << whole.left(whole.size() / 2) << P::MissingChannel << 5 << -1 << ""
            << "";
        QTest::newRow("channel 63 missing")
            << sampleFile([](QSettings &s) { s.remove("Channel63"); }) << P::MissingChannel << 63
            << -1 << ""
            << "";
        QTest::newRow("one channel")
            << QByteArray("[Channel5]\nArea0\\regionType=1\n") << P::MissingChannel << 0 << -1 << ""
            << "";
        QTest::newRow("no Points key")
            << sampleFile(removeKey(12, 1, "Points")) << P::MissingKey << 12 << 1 << "Points"
            << "";
        QTest::newRow("no offDelay key")
            << sampleFile(removeKey(40, 2, "offDelay")) << P::MissingKey << 40 << 2 << "offDelay"
            << "";
        // Numbers the block would wrap.
        QTest::newRow("regionType 300") << sampleFile(setKey(3, 0, "regionType", 300))
                                        << P::OutOfRange << 3 << 0 << "regionType"
                                        << "300";
        QTest::newRow("onDelay -5")
            << sampleFile(setKey(7, 2, "onDelay", -5)) << P::OutOfRange << 7 << 2 << "onDelay"
            << "-5";
        QTest::newRow("offDelay 1000")
            << sampleFile(setKey(8, 0, "offDelay", 1000)) << P::OutOfRange << 8 << 0 << "offDelay"
            << "1000";
        QTest::newRow("dependScale 70000") << sampleFile(setKey(63, 2, "dependScale", 70000))
                                           << P::OutOfRange << 63 << 2 << "dependScale"
                                           << "70000";
        QTest::newRow("hysteresis 256, where the key may be missing")
            << sampleFile(setKey(0, 0, "hysteresis", 256)) << P::OutOfRange << 0 << 0
            << "hysteresis"
            << "256";
        QTest::newRow("40 m") << sampleFile(setKey(20, 1, "Points", "100,40000,")) << P::OutOfRange
                              << 20 << 1 << "Points"
                              << "40000";
        // Values the block would make up.
        QTest::newRow("hysteresis 1.5") << sampleFile(setKey(5, 2, "hysteresis", "1.5"))
                                        << P::NotAWholeNumber << 5 << 2 << "hysteresis"
                                        << "1.5";
        QTest::newRow("typed value") << sampleFile(setKey(6, 0, "regionType", QPoint(1, 2)))
                                     << P::NotAWholeNumber << 6 << 0 << "regionType"
                                     << "";
        QTest::newRow("abc in a point list") << sampleFile(setKey(2, 0, "Points", "100,200,abc,5,"))
                                             << P::NotAWholeNumber << 2 << 0 << "Points"
                                             << "abc";
        QTest::newRow("NUL in a point list")
            << sampleFile(setKey(2, 1, "Points", QString::fromLatin1("100,\0", 5) + "200,"))
            << P::NotAWholeNumber << 2 << 1 << "Points"
            << "\\x00200";
        QTest::newRow("fraction") << sampleFile(setKey(4, 0, "Points", "1.9,-2,"))
                                  << P::NotAWholeNumber << 4 << 0 << "Points"
                                  << "1.9";
        // Lists the block would shorten.
        QTest::newRow("no final comma") << sampleFile(setKey(11, 0, "Points", "100,200,300,400"))
                                        << P::PointsNotPairs << 11 << 0 << "Points"
                                        << "100,200,300,400";
        QTest::newRow("semicolons") << sampleFile(setKey(11, 2, "Points", "100;200;300;400;"))
                                    << P::PointsNotPairs << 11 << 2 << "Points"
                                    << "100;200;300;400;";
        QTest::newRow("541 points")
            << sampleFile(setKey(9, 2, "Points",
                                 pointsText(sampleArea(9, 2).points + QVector<QPoint>{{0, 0}})))
            << P::TooManyPoints << 9 << 2 << "Points"
            << "";
    }
    void refusesWhatTheScannerWouldNotGetAsWritten()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ZoneFileProblem::Kind, kind);
        QFETCH(int, channel);
        QFETCH(int, area);
        QFETCH(QString, key);
        QFETCH(QString, detail);
        const ZoneFile file = checkZoneFileBytes(bytes);
        QCOMPARE(file.problem.kind, kind);
        QCOMPARE(file.problem.channel, channel);
        if (area >= 0)
            QCOMPARE(file.problem.area, area);
        QCOMPARE(file.problem.key, key);
        QCOMPARE(file.problem.detail, detail);
        QVERIFY(file.channels.isEmpty());
        // The line the command-line tool prints names the file and the place.
        const QString line = describeZoneFileProblem(file.problem, "zones.ini");
        QVERIFY2(line.startsWith("zones.ini"), qPrintable(line));
        if (channel >= 0)
            QVERIFY2(line.contains(QStringLiteral("channel %1").arg(channel)), qPrintable(line));
        QVERIFY2(line.contains(key), qPrintable(line));
    }

    void takesEveryValueTheBlockCarries_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVector<ZoneChannelRecord>>("channels");
        const QVector<ZoneChannelRecord> sample = sampleChannels();
        QTest::newRow("as the store writes it") << sampleFile() << sample;

        QVector<ZoneChannelRecord> edges = sample;
        edges[30][1].regionType = 255;
        edges[30][1].dependScale = 65535;
        edges[30][1].onDelay = 255;
        edges[30][1].offDelay = 0;
        edges[30][1].points = {{-32768, 32767}, {32767, -32768}};
        QTest::newRow("field edges")
            << sampleFile([&](QSettings &s) { writeStoredChannel(s, 30, edges[30]); }) << edges;

        // Saved before any area was edited: the start-up store has no hysteresis keys.
        QVector<ZoneChannelRecord> noHysteresis = sample;
        for (ZoneChannelRecord &c : noHysteresis)
            for (ZoneAreaRecord &a : c)
                a.hysteresis = 0;
        QTest::newRow("no hysteresis keys") << sampleFile([](QSettings &s) {
            for (int channel = 0; channel < kZoneChannelCount; ++channel)
                for (int k = 0; k < kAreasPerChannel; ++k)
                    s.remove(zoneKey(channel, k, QLatin1String("hysteresis")));
        }) << noHysteresis;

        // The start-up store; a hysteresis key left from before stays.
        QVector<ZoneChannelRecord> startUp(kZoneChannelCount);
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            for (int k = 0; k < kAreasPerChannel; ++k) {
                startUp[channel][k].regionType = 1;
                startUp[channel][k].hysteresis = sample[channel][k].hysteresis;
            }
        QTest::newRow("start-up store") << sampleFile(resetZoneStore) << startUp;

        // Written by hand: points without quotes, whole numbers in other spellings, keys and
        // sections that do not belong to the store.
        QVector<ZoneChannelRecord> byHand = sample;
        byHand[1][0].points = {{10, 20}, {1000, -5}};
        QTest::newRow("by hand") << sampleFile([](QSettings &s) {
            s.setValue("Channel1/Area0/Points", QStringList{"10", " 20", "1e3", "-5.0", ""});
            s.setValue("Channel1/Area0/comment", "left door");
            s.setValue("Channel64/Area0/regionType", 900);
            s.setValue("General/volume", 3);
        }) << byHand;
    }
    void takesEveryValueTheBlockCarries()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QVector<ZoneChannelRecord>, channels);
        const ZoneFile file = checkZoneFileBytes(bytes);
        QVERIFY2(file.ok(), qPrintable(describeZoneFileProblem(file.problem, "zones.ini")));
        QCOMPARE(file.bytes, bytes);
        QCOMPARE(file.channels.size(), kZoneChannelCount);
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            QVERIFY2(file.channels.at(channel) == channels.at(channel),
                     qPrintable(QStringLiteral("channel %1").arg(channel)));

        // What the store's own reading would send from these bytes is what was checked.
        TempWorkingDir dir;
        QFile copy(zoneStoreFileName());
        QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size());
        copy.close();
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            QVERIFY(readStoredChannel(store, channel) == channels.at(channel));
    }

    void refusesPathsThatAreNoFileBeforeReadingThem_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<ZoneFileProblem::Kind>("kind");
        QTest::newRow("a folder") << "." << ZoneFileProblem::NotARegularFile;
        QTest::newRow("/dev/zero") << "/dev/zero" << ZoneFileProblem::NotARegularFile;
        QTest::newRow("a FIFO") << "fifo.ini" << ZoneFileProblem::NotARegularFile;
        QTest::newRow("50 MB") << "big.ini" << ZoneFileProblem::TooLarge;
        QTest::newRow("missing") << "missing.ini" << ZoneFileProblem::Unreadable;
        QTest::newRow("a zone file") << "zones.ini" << ZoneFileProblem::None;
    }
    void refusesPathsThatAreNoFileBeforeReadingThem()
    {
        QFETCH(QString, path);
        QFETCH(ZoneFileProblem::Kind, kind);
        TempWorkingDir dir;
        QCOMPARE(::mkfifo("fifo.ini", 0600), 0);
        {
            // Sparse, and a valid start: only its size gives it away.
            QFile big("big.ini");
            QVERIFY(big.open(QIODevice::WriteOnly));
            big.write(sampleFile());
            QVERIFY(big.resize(50 * 1024 * 1024));
        }
        QFile good("zones.ini");
        QVERIFY(good.open(QIODevice::WriteOnly) && good.write(sampleFile()) > 0);
        good.close();
        const ZoneFile file = readZoneFile(path);
        QCOMPARE(file.problem.kind, kind);
        QCOMPARE(file.read, kind == ZoneFileProblem::None);
        QCOMPARE(file.bytes, kind == ZoneFileProblem::None ? sampleFile() : QByteArray());
        QCOMPARE(file.channels.size(), kind == ZoneFileProblem::None ? kZoneChannelCount : 0);
        if (kind == ZoneFileProblem::TooLarge)
            QCOMPARE(file.problem.number, qint64(50 * 1024 * 1024));
    }
};

QTEST_GUILESS_MAIN(TestZoneFileCheck)
#include "tst_zonefilecheck.moc"
