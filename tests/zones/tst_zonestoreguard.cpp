// What the zone store does so that nothing a user made is lost: it takes a change made
// behind it before it writes, keeps the unsent zones that change replaced, and marks while
// it holds unsent zones (what the next start does with the mark, tst_closing runs).
#include "pointstext.h"
#include "testsupport.h"
#include "unsentmarker.h"
#include "zonefilecheck.h"
#include "zonestorefile.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ZoneAreaRecord triangle(int size)
{
    ZoneAreaRecord a;
    a.regionType = 1;
    a.points = {QPoint(size, size), QPoint(0, 2 * size), QPoint(-size, size)};
    return a;
}

QString storedPoints(int channel, int area)
{
    return QSettings(zoneStoreFileName(), QSettings::IniFormat)
        .value(zoneKey(channel, area, QLatin1String("Points")))
        .toString();
}

QStringList copies()
{
    return QDir().entryList({QStringLiteral("unsent-zones-*.ini")}, QDir::Files);
}

enum Outside
{
    OtherChannelBySettings, // another program through the settings library
    SameChannelOtherArea,   // another area of the channel this write changes
    UnsentAreaReplaced,     // an area only this run held
    ResetBySecondWindow,    // a second window started in the same folder
    Deleted,                // the file removed
    TouchedOnly,            // its permissions changed, its bytes not
};

} // namespace

Q_DECLARE_METATYPE(Outside)

class TestZoneStoreGuard : public QObject
{
    Q_OBJECT

private slots:
    // A change made behind a running store is taken before the next write, which writes
    // its own area over it: nothing of either is undone silently. Unsent zones the outside
    // change replaced are kept in a zone file of their own, and the store says so.
    void anOutsideChangeIsTakenBeforeWriting_data()
    {
        QTest::addColumn<Outside>("outside");
        QTest::addColumn<bool>("throughLibrary"); // the store writes through the library
        QTest::addColumn<int>("changedAreas");
        QTest::addColumn<bool>("copyKept");
        QTest::newRow("another channel") << OtherChannelBySettings << false << 1 << false;
        QTest::newRow("another channel, the library writing")
            << OtherChannelBySettings << true << 1 << false;
        QTest::newRow("the same channel, another area")
            << SameChannelOtherArea << false << 1 << false;
        QTest::newRow("an unsent area replaced") << UnsentAreaReplaced << false << 1 << true;
        QTest::newRow("reset by a second window") << ResetBySecondWindow << false << 1 << true;
        QTest::newRow("deleted") << Deleted << false << 191 << true;
        QTest::newRow("touched only") << TouchedOnly << false << 0 << false;
    }
    void anOutsideChangeIsTakenBeforeWriting()
    {
        QFETCH(Outside, outside);
        QFETCH(bool, throughLibrary);
        QFETCH(int, changedAreas);
        QFETCH(bool, copyKept);
        TempWorkingDir dir;
        ZoneStoreFile store;
        QVERIFY(store.reset());
        if (throughLibrary) {
            // A comment the store's own text cannot keep: the library writes from now on.
            QFile file(zoneStoreFileName());
            QVERIFY(file.open(QIODevice::Append));
            file.write("; kept by hand\n");
            file.close();
            QVERIFY(store.replace(readZoneFile(zoneStoreFileName())).stored);
            store.markOnScanner();
        }
        // This run's own unsent zones: channel 9, area 0.
        ZoneChannelRecord mine = store.channel(9);
        mine[0] = triangle(1000);
        QVERIFY(store.setChannel(9, mine));
        const ZoneSet beforeOutside = store.zones();
        QSignalSpy told(&store, &ZoneStoreFile::changedOnDisk);

        switch (outside) {
        case OtherChannelBySettings: {
            QSettings other(zoneStoreFileName(), QSettings::IniFormat);
            writeStoredArea(other, 30, 1, triangle(3000));
            break;
        }
        case SameChannelOtherArea: {
            QSettings other(zoneStoreFileName(), QSettings::IniFormat);
            writeStoredArea(other, 4, 2, triangle(3000));
            break;
        }
        case UnsentAreaReplaced: {
            QSettings other(zoneStoreFileName(), QSettings::IniFormat);
            writeStoredArea(other, 9, 0, triangle(3000));
            break;
        }
        case ResetBySecondWindow: {
            ZoneStoreFile second;
            QVERIFY(second.reset());
            break;
        }
        case Deleted:
            QVERIFY(QFile::remove(zoneStoreFileName()));
            break;
        case TouchedOnly:
            QVERIFY(QFile::setPermissions(zoneStoreFileName(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
            break;
        }

        // This run changes channel 4, area 0.
        ZoneChannelRecord change = store.channel(4);
        change[0] = triangle(500);
        QVERIFY(store.setChannel(
            4, change, {ZoneStoreFile::AllKeys, ZoneStoreFile::NoKeys, ZoneStoreFile::NoKeys}));
        QTest::qWait(0);
        QCoreApplication::processEvents();

        // The file holds this write and the outside change, and memory what the file holds.
        QCOMPARE(storedPoints(4, 0), pointsText(triangle(500).points));
        QSettings disk(zoneStoreFileName(), QSettings::IniFormat);
        ZoneSet onDisk;
        onDisk.load(disk);
        QVERIFY(onDisk == store.zones());
        QCOMPARE(store.bytes(), fileBytes(zoneStoreFileName()));
        if (outside == OtherChannelBySettings)
            QCOMPARE(storedPoints(30, 1), pointsText(triangle(3000).points));
        if (outside == SameChannelOtherArea)
            QCOMPARE(storedPoints(4, 2), pointsText(triangle(3000).points));
        if (outside == UnsentAreaReplaced)
            QCOMPARE(storedPoints(9, 0), pointsText(triangle(3000).points));

        QCOMPARE(told.size(), changedAreas > 0 ? 1 : 0);
        if (changedAreas > 0) {
            QCOMPARE(told.first().at(0).toInt(), changedAreas);
            const QString copy = told.first().at(1).toString();
            QCOMPARE(!copy.isEmpty(), copyKept);
            QCOMPARE(told.first().at(2).toString(), QString());
        }
        QCOMPARE(copies().size(), copyKept ? 1 : 0);
        if (copyKept) {
            // The copy holds the set as this run had it, its own change included.
            QSettings kept(copies().first(), QSettings::IniFormat);
            ZoneSet keptSet;
            keptSet.load(kept);
            ZoneSet expected = beforeOutside;
            expected.setArea(4, 0, triangle(500));
            QVERIFY(keptSet == expected);
            // The mark is there again whatever the other store did with it.
            QVERIFY(hasUnsentMarker(zoneStoreFileName()));
        }
    }

    // The mark beside the store is there exactly while the store holds zones the scanner
    // has not received, and goes with the end of the store object (a run that closed).
    void theMarkFollowsWhatIsUnsent()
    {
        TempWorkingDir dir;
        const QString mark = unsentMarkerPath(zoneStoreFileName());
        {
            ZoneStoreFile store;
            QVERIFY(store.reset());
            QVERIFY(!QFile::exists(mark));

            ZoneChannelRecord drawn = store.channel(3);
            drawn[1] = triangle(800);
            QVERIFY(store.setChannel(3, drawn));
            QVERIFY(QFile::exists(mark));
            store.markOnScanner();
            QVERIFY(!QFile::exists(mark));

            // A channel the scanner sent is on the scanner; changing it back is not.
            drawn[1] = triangle(900);
            store.setScannerChannel(3, drawn);
            QVERIFY(!QFile::exists(mark));
            QVERIFY(store.setChannel(3, store.channel(4)));
            QVERIFY(QFile::exists(mark));
            QVERIFY(store.setChannel(3, drawn));
            QVERIFY(!QFile::exists(mark));

            // A zone file taken whole, and taken back.
            const ZoneStoreFile::Snapshot before = store.snapshot();
            ZoneSet other;
            other.setArea(60, 2, triangle(2000));
            {
                QFile out(QStringLiteral("other.ini"));
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write(zoneFileText(other));
            }
            QVERIFY(store.replace(readZoneFile(QStringLiteral("other.ini"))).stored);
            QVERIFY(QFile::exists(mark));
            QVERIFY(store.restore(before));
            QVERIFY(!QFile::exists(mark));

            QVERIFY(store.setChannel(63, drawn));
            QVERIFY(QFile::exists(mark));
        }
        QVERIFY(!QFile::exists(mark));
    }
};

QTEST_GUILESS_MAIN(TestZoneStoreGuard)
#include "tst_zonestoreguard.moc"
