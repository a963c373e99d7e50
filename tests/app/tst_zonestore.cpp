#include "lockedpath.h"
#include "mainwindow.h"
#include "modalcatcher.h"
#include "pathitem.h"
#include "pointstext.h"
#include "studiorig.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonestorefile.h"

#include <QGraphicsScene>
#include <QLoggingCategory>
#include <QSettings>
#include <QtTest>

namespace {
// Every key of one channel with its value as stored.
QMap<QString, QString> storedChannel(int channel)
{
    QSettings store(zoneStoreFileName(), QSettings::IniFormat);
    store.beginGroup(QStringLiteral("Channel%1").arg(channel));
    QMap<QString, QString> keys;
    const QStringList names = store.allKeys();
    for (const QString &key : names)
        keys.insert(key, store.value(key).toString());
    return keys;
}

QByteArray storeBytes()
{
    QFile file(zoneStoreFileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVector<PathItem *> outlinesOf(MainWindow &window)
{
    QVector<PathItem *> outlines(3);
    const QList<QGraphicsItem *> items = window.ui()->areaMonitorGraphicsView->scene()->items();
    for (QGraphicsItem *item : items)
        if (item->type() == PathItem::Type)
            outlines[static_cast<PathItem *>(item)->areaId()] = static_cast<PathItem *>(item);
    return outlines;
}
} // namespace

class TestZoneStore : public QObject
{
    Q_OBJECT

private slots:
    // The zone file's debug line is looked at: the window's debug category is on here.
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("areascan.app.debug=true"));
    }
    void startsWithAnEmptyStoreAndEditor()
    {
        TempWorkingDir dir;
        {
            QSettings earlier(zoneStoreFileName(), QSettings::IniFormat);
            earlier.setValue("Channel9/Area2/hysteresis", 33);
            earlier.setValue("Channel9/Area2/Points", "1,2,");
        }
        MainWindow window;
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.childGroups().size(), 64);
        for (int channel = 0; channel < 64; ++channel) {
            for (int k = 0; k < 3; ++k) {
                QCOMPARE(store.value(zoneKey(channel, k, QLatin1String("regionType"))).toInt(), 1);
                QCOMPARE(store.value(zoneKey(channel, k, QLatin1String("Points"))).toString(),
                         QString());
            }
        }
        QVERIFY(!store.contains("Channel0/Area0/hysteresis"));
        QCOMPARE(store.value("Channel9/Area2/hysteresis").toInt(), 33);
        QCOMPARE(window.zoneEditor()->editedChannel(), 0);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(int(window.zoneEditor()->areaRecord(k).regionType), int(PolygonRegion));
            QVERIFY(window.zoneEditor()->areaRecord(k).points.isEmpty());
            QVERIFY(outlinesOf(window)[k]->path().isEmpty());
        }
    }

    // Loading a channel rebuilds its shapes without writing anything, and leaving a channel
    // the user did not edit leaves its keys as they were, what the editor cannot draw included.
    void loadingWritesNothingAndLeavingKeepsWhatTheEditorCannotDraw()
    {
        StudioRig rig;
        ModalCatcher &boxes = rig.boxes;
        MainWindow &window = rig.offlineWindow();
        QVERIFY(QFile::copy(zoneStoreFileName(), "zones.ini"));
        {
            QSettings file("zones.ini", QSettings::IniFormat);
            // A rectangle stored by its corners, left and below the scanner.
            file.setValue("Channel3/Area0/regionType", 3);
            file.setValue("Channel3/Area0/Points", "-1000,-200,-3000,-200,-3000,1500,-1000,1500,");
            file.setValue("Channel3/Area1/regionType", 7);
            file.setValue("Channel3/Area1/dependScale", 1234);
            file.setValue("Channel3/Area1/Points", "10,20,");
            file.setValue("Channel3/Area2/regionType", 0);
            file.setValue("Channel3/Area2/onDelay", 5);
        }
        rig.zoneFile = QStringLiteral("zones.ini");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(";wrtie: true"));
        window.ui()->loadSettingsBtn->click();
        const QByteArray loaded = storeBytes();
        const QMap<QString, QString> before = storedChannel(3);
        window.ui()->channels->setCurrentIndex(3);
        QCOMPARE(storedChannel(3), before);
        QCOMPARE(int(window.zoneEditor()->areaRecord(1).regionType), 7);
        QCOMPARE(window.zoneEditor()->areaRecord(1).dependScale, quint16(1234));
        QVERIFY(outlinesOf(window)[1]->path().isEmpty());
        QVERIFY(!outlinesOf(window)[0]->path().isEmpty());

        window.ui()->channels->setCurrentIndex(4);
        QSettings store(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(store.value("Channel3/Area0/Points").toString(),
                 QStringLiteral("-1000,-200,-3000,-200,-3000,1500,-1000,1500,"));
        QCOMPARE(store.value("Channel3/Area1/regionType").toInt(), 7);
        QCOMPARE(store.value("Channel3/Area1/dependScale").toInt(), 1234);
        QCOMPARE(store.value("Channel3/Area1/Points").toString(), QStringLiteral("10,20,"));
        // An area without a zone keeps the parameters it was read with.
        QCOMPARE(store.value("Channel3/Area2/regionType").toInt(), 0);
        QCOMPARE(store.value("Channel3/Area2/onDelay").toInt(), 5);
        QCOMPARE(storedChannel(3), before);
        QCOMPARE(storeBytes(), loaded);
        QVERIFY(boxes.boxes().isEmpty());
    }

    // A store that cannot be written keeps the edits in the editor: the channel stays, the
    // user is told, and nothing reports them as saved.
    void editsStayWhenTheStoreCannotBeWritten()
    {
        StudioRig rig;
        ModalCatcher &boxes = rig.boxes;
        MainWindow &window = rig.windowAlone();
        // The zone page as after a full read; without a scanner an upload would stop at its
        // first channel.
        window.modes()->setMode(WindowMode::Ready);
        window.ui()->channels->setCurrentIndex(2);
        QTest::mouseClick(window.ui()->arcBtn, Qt::LeftButton);
        QCOMPARE(window.zoneEditor()->areaRecord(0).points.size(), 2);
        {
            LockedPath store(rig.dir.filePath(zoneStoreFileName()));
            if (!store.locked())
                QSKIP("no way to make a file unwritable here");
            window.ui()->channels->setCurrentIndex(5);
            QCOMPARE(window.zoneEditor()->editedChannel(), 2);
            QCOMPARE(window.ui()->channels->currentIndex(), 2);
            QCOMPARE(int(window.zoneEditor()->areaRecord(0).regionType), int(ArcRegion));
            QTest::mouseClick(window.ui()->uploadBtn, Qt::LeftButton);
            QCOMPARE(boxes.count(), 2);
            QCOMPARE(boxes.boxes().first().text,
                     QStringLiteral("Cannot write the zone store config.ini: the edits of "
                                    "channel 2 are only in the editor"));
            QVERIFY(window.ui()->progressBar->isHidden());
        }
        // Once the store takes writes again, the edits reach it.
        window.ui()->channels->setCurrentIndex(5);
        QSettings stored(zoneStoreFileName(), QSettings::IniFormat);
        QCOMPARE(stored.value("Channel2/Area0/regionType").toInt(), int(ArcRegion));
    }

    // The running-status view draws the channel the scanner's inputs select, from the store,
    // and reloads it only when the input byte changes; the editor is left alone.
    void statusViewFollowsTheInputByte()
    {
        TempWorkingDir dir;
        MainWindow window;
        auto send = [&](uchar input) {
            QVERIFY(QMetaObject::invokeMethod(&window, "onRecvState", Qt::DirectConnection,
                                              Q_ARG(uchar, 0), Q_ARG(uchar, 0),
                                              Q_ARG(uchar, input)));
        };
        // As a channel read from the scanner changes the store.
        auto setStored = [&](int channel, int area, int type, const QString &points) {
            ZoneChannelRecord areas = window.zoneStoreFile()->channel(channel);
            areas[size_t(area)].regionType = quint8(type);
            areas[size_t(area)].points.clear();
            for (const QPointF &p : parsePointsText(points))
                areas[size_t(area)].points.append(p.toPoint());
            window.zoneStoreFile()->setScannerChannel(channel, areas);
        };
        // Whole scene units: the clip to the field of view trims a hair off the scanner's corner.
        auto drawn = [&](int area) {
            return window.statusPanel()->zoneItem(area)->path().boundingRect().toAlignedRect();
        };
        setStored(0, 0, PolygonRegion, "-1000,1000,1000,1000,");
        setStored(0, 1, ArcRegion, "2000,0,-2000,0,");
        setStored(0, 2, RectangleRegion, "-500,300,-500,800,500,800,500,300,");
        setStored(5, 0, 6, "");
        setStored(5, 1, NoRegion, "");
        setStored(5, 2, PolygonRegion, "3000,3000,-3000,3000,");
        const AreaSettings editorBefore = window.zoneEditor()->areaRecord(0);

        // The first message always draws, whatever its input byte.
        send(0);
        QCOMPARE(drawn(0), QRect(-100, -100, 200, 100));
        QCOMPARE(drawn(1).top(), -200);
        QCOMPARE(drawn(2), QRect(-50, -80, 100, 80));

        // The same input byte again does not reload, even though the store changed.
        setStored(0, 0, PolygonRegion, "-2000,2000,2000,2000,");
        send(0);
        QCOMPARE(drawn(0), QRect(-100, -100, 200, 100));

        // Another channel: a single-value type keeps the outline it had, no zone empties it.
        send(5);
        QCOMPARE(drawn(0), QRect(-100, -100, 200, 100));
        QVERIFY(window.statusPanel()->zoneItem(1)->path().isEmpty());
        QCOMPARE(drawn(2), QRect(-300, -300, 600, 300));
        send(0);
        QCOMPARE(drawn(0), QRect(-200, -200, 400, 200));
        QCOMPARE(window.zoneEditor()->areaRecord(0).points, editorBefore.points);
        QCOMPARE(window.ui()->curAreaIndexLabel->text(), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestZoneStore)
#include "tst_zonestore.moc"
