#include "lockedpath.h"
#include "testsupport.h"
#include "zoneset.h"
#include "zonestorefile.h"

#include <QFile>
#include <QSettings>
#include <QtTest>

namespace {
QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A store as the scanner's replies leave it: every key of every area, channels in order.
void writeVariedStore(const QString &name)
{
    QSettings store(name, QSettings::IniFormat);
    for (int c = 0; c < kZoneChannelCount; ++c) {
        ZoneChannelRecord areas;
        for (int k = 0; k < kAreasPerChannel; ++k) {
            ZoneAreaRecord &a = areas[size_t(k)];
            a.regionType = quint8((c + k) % 4);
            a.onDelay = quint8(c % 51);
            a.offDelay = quint8((50 - c) % 51);
            a.hysteresis = quint8(k * 50);
            a.detectableSize = quint8(c % 11);
            a.dependScale = quint16(c * 1000 + k);
            for (int i = 0; i < (c * 7 + k) % 12; ++i)
                a.points.append(QPoint(i * 100 - c * 13, 32767 - i * 3000 - k));
        }
        writeStoredChannel(store, c, areas);
    }
    store.sync();
}
} // namespace

class TestZoneSet : public QObject
{
    Q_OBJECT

private slots:
    void startsAsTheStartUpStore()
    {
        TempWorkingDir dir;
        {
            QSettings store(QStringLiteral("config.ini"), QSettings::IniFormat);
            resetZoneStore(store);
        }
        QSettings store(QStringLiteral("config.ini"), QSettings::IniFormat);
        ZoneSet loaded;
        loaded.setArea(3, 1, ZoneAreaRecord()); // something to overwrite
        loaded.load(store);
        QVERIFY(loaded == ZoneSet());
        QCOMPARE(int(loaded.area(63, 2).regionType), 1);
        QVERIFY(loaded.area(0, 0).points.isEmpty());
    }

    void roundTripIsByteIdentical()
    {
        TempWorkingDir dir;
        writeVariedStore(QStringLiteral("a.ini"));
        ZoneSet set;
        {
            QSettings store(QStringLiteral("a.ini"), QSettings::IniFormat);
            set.load(store);
        }
        QCOMPARE(set.area(5, 2).dependScale, quint16(5002));
        QCOMPARE(set.area(5, 0).points.size(), 11);
        QCOMPARE(set.area(5, 0).points.value(1), QPoint(100 - 65, 32767 - 3000));
        {
            QSettings store(QStringLiteral("b.ini"), QSettings::IniFormat);
            set.save(store);
        }
        QCOMPARE(fileBytes(QStringLiteral("b.ini")), fileBytes(QStringLiteral("a.ini")));

        // Saving one channel over a store touches that channel's keys only.
        ZoneSet changed = set;
        ZoneAreaRecord alarm = changed.area(9, 2);
        alarm.points = {QPoint(-1500, 2300), QPoint(0, 0)};
        changed.setArea(9, 2, alarm);
        QVERIFY(changed != set);
        {
            QSettings store(QStringLiteral("b.ini"), QSettings::IniFormat);
            changed.saveChannel(store, 9);
        }
        QSettings reread(QStringLiteral("b.ini"), QSettings::IniFormat);
        ZoneSet back;
        back.load(reread);
        QVERIFY(back == changed);
        QCOMPARE(reread.value(QStringLiteral("Channel9/Area2/Points")).toString(),
                 QStringLiteral("-1500,2300,0,0,"));
    }

    // What the block cannot carry stays visible after loading instead of being wrapped.
    void findsWhatTheBlockCannotCarry()
    {
        TempWorkingDir dir;
        QString many;
        for (int i = 0; i < kMaxZonePoints + 1; ++i)
            many += QStringLiteral("%1,1000,").arg(i);
        {
            QSettings store(QStringLiteral("config.ini"), QSettings::IniFormat);
            resetZoneStore(store);
            store.setValue(QStringLiteral("Channel7/Area1/Points"), many);
            store.setValue(QStringLiteral("Channel9/Area0/Points"), QStringLiteral("1.9,-2.9,"));
        }
        QSettings store(QStringLiteral("config.ini"), QSettings::IniFormat);
        ZoneSet set;
        set.load(store);
        UnsendableArea problem = set.findUnsendable();
        QCOMPARE(int(problem.reason), int(UnsendableArea::TooManyPoints));
        QCOMPARE(problem.channel, 7);
        QCOMPARE(problem.area, 1);
        QCOMPARE(problem.pointCount, kMaxZonePoints + 1);
        QCOMPARE(set.area(9, 0).points, QVector<QPoint>{QPoint(1, -2)});

        store.setValue(QStringLiteral("Channel7/Area1/Points"), QStringLiteral("0,0,70000,5,"));
        store.setValue(QStringLiteral("Channel2/Area2/Points"),
                       QStringLiteral("0,-32768,5,32767,"));
        set.load(store);
        problem = set.findUnsendable();
        QCOMPARE(int(problem.reason), int(UnsendableArea::CoordinateTooLarge));
        QCOMPARE(problem.channel, 7);
        QCOMPARE(set.area(7, 1).points.value(1), QPoint(70000, 5));

        store.setValue(QStringLiteral("Channel7/Area1/Points"), QStringLiteral("1e300,5,"));
        set.load(store);
        QCOMPARE(set.findUnsendable().channel, 7);
        store.setValue(QStringLiteral("Channel7/Area1/Points"), QString());
        set.load(store);
        QVERIFY(!set.findUnsendable());
    }

    void blocksCarryEachChannelInOrder()
    {
        ZoneSet set;
        ZoneAreaRecord arc;
        arc.regionType = 2;
        arc.onDelay = 4;
        arc.points = {QPoint(1000, 0), QPoint(0, -3000)};
        set.setArea(12, 1, arc);
        const QVector<QByteArray> blocks = set.blocks();
        QCOMPARE(blocks.size(), kZoneChannelCount);
        for (int c = 0; c < kZoneChannelCount; ++c) {
            QCOMPARE(blocks.at(c).size(), kZoneBlockBytes);
            QCOMPARE(int(quint8(blocks.at(c).at(0))), c);
        }
        const char *area1 = blocks.at(12).constData() + 1 + kAreaBlockBytes;
        QCOMPARE(int(area1[0]), 4);                                           // onDelay
        QCOMPARE(int(area1[4]), 2);                                           // arc
        QCOMPARE(int(quint8(area1[7])), 2);                                   // point count
        QCOMPARE(int(quint8(area1[9])), 1000 & 0xFF);                         // x of point 0
        QCOMPARE(quint8(area1[9 + 1080 + 2]), quint8(quint16(-3000) & 0xFF)); // y of point 1
        QCOMPARE(decodeZoneBlock(blocks.at(12).constData(), kZoneBlockBytes).areas[1], arc);
        QCOMPARE(blocks.at(13), ZoneSet().block(13));
    }

    // The file follows memory at every change; only a zone file replaces the set.
    void storeFileWritesThroughAndKnowsWhatIsUnsent()
    {
        TempWorkingDir dir;
        {
            // An earlier run's hysteresis survives the reset, as the store has always kept it.
            QSettings old(QStringLiteral("config.ini"), QSettings::IniFormat);
            old.setValue(QStringLiteral("Channel4/Area1/hysteresis"), 30);
            old.setValue(QStringLiteral("Channel4/Area1/Points"), QStringLiteral("5,5,"));
        }
        ZoneStoreFile store;
        QSignalSpy replaced(&store, &ZoneStoreFile::zonesReplaced);
        QSignalSpy changed(&store, &ZoneStoreFile::channelChanged);
        QVERIFY(store.reset());
        QCOMPARE(replaced.size(), 1);
        QCOMPARE(int(store.zones().area(4, 1).hysteresis), 30);
        QVERIFY(store.zones().area(4, 1).points.isEmpty());
        QVERIFY(!store.hasUnsentChanges()); // the start-up store holds nothing to lose
        ZoneChannelRecord areas = store.channel(6);
        areas[0].points = {QPoint(-300, 1200)};
        QVERIFY(store.setChannel(6, areas));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 6);
        QVERIFY(store.hasUnsentChanges());
        {
            QSettings disk(QStringLiteral("config.ini"), QSettings::IniFormat);
            QCOMPARE(disk.value(QStringLiteral("Channel6/Area0/Points")).toString(),
                     QStringLiteral("-300,1200,"));
        }
        {
            // A zone file: the file as the user wrote it, taken as a whole.
            QVERIFY(QFile::copy(QStringLiteral("config.ini"), QStringLiteral("zones.ini")));
            QSettings file(QStringLiteral("zones.ini"), QSettings::IniFormat);
            file.setValue(QStringLiteral("Channel6/Area0/Points"), QStringLiteral("7,8,"));
        }
        QCOMPARE(store.zones().area(6, 0).points.value(0), QPoint(-300, 1200));
        QVERIFY(store.replace(readZoneFile(QStringLiteral("zones.ini"))).stored);
        QCOMPARE(store.zones().area(6, 0).points.value(0), QPoint(7, 8));
        QCOMPARE(fileBytes(QStringLiteral("config.ini")), fileBytes(QStringLiteral("zones.ini")));
        QCOMPARE(replaced.size(), 2);

        QVERIFY(store.hasUnsentChanges()); // a zone file's zones are not on the scanner
        store.markOnScanner();
        QVERIFY(!store.hasUnsentChanges());
        // Put back what the scanner held before: unsent again until it is marked.
        areas[0].points = {QPoint(-300, 1200)};
        store.setChannel(6, areas);
        QVERIFY(store.hasUnsentChanges());
        areas[0].points = {QPoint(7, 8)};
        store.setChannel(6, areas);
        QVERIFY(!store.hasUnsentChanges());
    }

    void storeFileThatCannotBeWrittenSaysSo()
    {
        TempWorkingDir dir;
        ZoneStoreFile store;
        QVERIFY(store.reset());
        const LockedPath lock(store.fileName());
        if (!lock.locked())
            QSKIP("this file system cannot lock the store");
        ZoneChannelRecord areas = store.channel(2);
        areas[2].regionType = 3;
        QVERIFY(!store.setChannel(2, areas));
        QCOMPARE(int(store.zones().area(2, 2).regionType), 3); // memory keeps the change
        ZoneSet all;
        QVERIFY(!store.setZones(all));
    }
};

QTEST_GUILESS_MAIN(TestZoneSet)
#include "tst_zoneset.moc"
