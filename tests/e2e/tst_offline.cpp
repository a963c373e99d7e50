// Working without a scanner, then connecting; and the comparison of the store with a zone
// file and with the scanner, through the window and the simulated scanner.
#include "studiorig.h"
#include "zonecomparedialog.h"
#include "zoneeditor.h"
#include "zonestorefile.h"

#include <QDir>
#include <QGraphicsPathItem>
#include <QLabel>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

namespace {

// One scanner without zones, one window that has not connected yet; zone files are
// saved as drawn.ini.
bool startRig(StudioRig &rig)
{
    DeviceState scanner;
    scanner.zones.fill(ZoneArea());
    rig.zoneFile = QStringLiteral("drawn.ini");
    return rig.start(scanner) && rig.show();
}

const QString kTriangle = QStringLiteral("2000,1000,0,3000,-2000,1000,");

// A zone file of 64 channels, a triangle in channel 7's warning area.
void writeZoneFile(const QString &path, int onDelay = 0)
{
    QSettings file(path, QSettings::IniFormat);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord record;
        if (channel == 7) {
            record[1].regionType = 1;
            record[1].onDelay = quint8(onDelay);
            record[1].points = {QPoint(2000, 1000), QPoint(0, 3000), QPoint(-2000, 1000)};
        }
        writeStoredChannel(file, channel, record);
    }
    file.sync();
}

} // namespace

class TestOffline : public QObject
{
    Q_OBJECT

private slots:
    void drawOfflineSaveThenConnect_data()
    {
        QTest::addColumn<bool>("uploadThem");
        QTest::newRow("upload them") << true;
        QTest::newRow("take the scanner's") << false;
    }

    // Zones drawn without a scanner are saved to a file and never replaced silently by
    // the scanner's: connecting asks, and a copy is kept whatever the answer.
    void drawOfflineSaveThenConnect()
    {
        QFETCH(bool, uploadThem);
        StudioRig rig;
        QVERIFY(startRig(rig));
        QVERIFY(!rig.ui()->areasMonitoningGroupBox->isEnabled());
        rig.ui()->actionWorkOffline->trigger();
        QVERIFY(rig.ui()->treeWidget->isEnabled());
        QVERIFY(rig.ui()->areasMonitoningGroupBox->isEnabled());
        QCOMPARE(rig.ui()->tabWidget->currentWidget(), rig.ui()->areaTab);
        // What needs the scanner waits for one.
        QVERIFY(!rig.ui()->downLoadBtn->isEnabled());
        QVERIFY(!rig.ui()->uploadBtn->isEnabled());
        QVERIFY(!rig.ui()->factorySettingsBtn->isEnabled());
        QVERIFY(!rig.ui()->filterGroupBox->isEnabled());

        rig.ui()->channels->setCurrentIndex(20);
        QTest::mouseClick(rig.ui()->polygonBtn, Qt::LeftButton);
        rig.typeVertex(-2000, 1000);
        rig.typeVertex(2000, 1000);
        rig.typeVertex(0, 3000);
        QVERIFY(rig.ui()->actionUndo->isEnabled());
        QTest::mouseClick(rig.ui()->saveSettingsBtn, Qt::LeftButton);
        QCOMPARE(rig.stored(20, 0, "Points", QStringLiteral("drawn.ini")), kTriangle);

        rig.boxes.answerQuestion(uploadThem ? "Upload the changes" : "Read the scanner's zones");
        auto questions = [&rig]() { return rig.boxes.textsOf(QMessageBox::Question); };
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(!rig.ui()->actionWorkOffline->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(questions().size(), 1, 5000);
        const QString question = questions().first();
        const QStringList copies =
            QDir(rig.dir.path()).entryList({QStringLiteral("unsent-zones-*.ini")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        QVERIFY2(question.contains(QDir::toNativeSeparators(rig.dir.filePath(copies.first()))),
                 qPrintable(question));
        QCOMPARE(rig.stored(20, 0, "Points", rig.dir.filePath(copies.first())), kTriangle);

        if (uploadThem) {
            QVERIFY(waitUntil(
                [&]() {
                    return rig.window->isEnabled() && rig.ui()->progressBar->isHidden() &&
                           rig.framesOf(REQUEST_WRITE_AREA).size() == 64;
                },
                10000));
            QCOMPARE(rig.sim.state().zone(20, 0).points,
                     (QVector<QPoint>{{2000, 1000}, {0, 3000}, {-2000, 1000}}));
            QVERIFY(rig.ui()->uploadBtn->isEnabled());
            // The steps were made on the zones the scanner now holds too: they stay.
            QVERIFY(rig.window->zoneEditor()->undoStack()->canUndo());
        } else {
            QVERIFY(waitUntil(
                [&]() {
                    // The full read: 64 channels and the follow-up read of the shown one.
                    return rig.window->isEnabled() &&
                           !rig.window->scannerSession()->zoneRead()->isRunning() &&
                           rig.framesOf(REQUEST_READ_AREA).size() == 65 &&
                           rig.ui()->uploadBtn->isEnabled();
                },
                10000));
            QVERIFY(rig.stored(20, 0, "Points").isEmpty());
            QVERIFY(rig.framesOf(REQUEST_WRITE_AREA).isEmpty());
            // No step may be taken back over the scanner's zones.
            QVERIFY(!rig.window->zoneEditor()->undoStack()->canUndo());
            QVERIFY(!rig.ui()->actionUndo->isEnabled());
        }
        QVERIFY(rig.ui()->downLoadBtn->isEnabled());
        QCOMPARE(questions().size(), 1);
    }

    // Enter and Escape take neither answer to the unsent-zones question: the port closes,
    // the store keeps the drawing and the scanner its zones.
    void unsentZonesQuestionCancelsByKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }

    void unsentZonesQuestionCancelsByKey()
    {
        QFETCH(int, key);
        StudioRig rig;
        QVERIFY(startRig(rig));
        rig.ui()->actionWorkOffline->trigger();
        rig.ui()->channels->setCurrentIndex(20);
        QTest::mouseClick(rig.ui()->polygonBtn, Qt::LeftButton);
        rig.typeVertex(-2000, 1000);
        rig.typeVertex(2000, 1000);
        rig.typeVertex(0, 3000);
        rig.ui()->channels->setCurrentIndex(0); // the save
        const QByteArray store = rig.window->zoneStoreFile()->bytes();

        QString defaultButton;
        int asked = 0;
        rig.boxes.setHold([&](QMessageBox *box) {
            if (box->icon() != QMessageBox::Question)
                return false;
            ++asked;
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, Qt::Key(key));
            return true;
        });
        rig.window->serialPanel()->openSelectedPort();
        QTRY_VERIFY_WITH_TIMEOUT(asked == 1 && !rig.window->scannerSession()->isOpen(), 5000);
        QCOMPARE(defaultButton, QStringLiteral("Cancel"));
        QCOMPARE(rig.window->modes()->mode(), WindowMode::Disconnected);
        QVERIFY(!rig.ui()->openBtn->isChecked());
        QTest::qWait(300);
        QCOMPARE(rig.window->zoneStoreFile()->bytes(), store);
        QCOMPARE(rig.stored(20, 0, "Points"), kTriangle);
        QVERIFY(rig.framesOf(REQUEST_READ_AREA).isEmpty());
        QVERIFY(rig.framesOf(REQUEST_WRITE_AREA).isEmpty());
        QVERIFY(rig.sim.state().zone(20, 0).points.isEmpty());
        QCOMPARE(asked, 1);
    }

    // The store taken from a zone file at start, or the start refused for a bad one.
    void startsFromAZoneFile()
    {
        StudioRig rig;
        QVERIFY(startRig(rig));
        QFile broken(QStringLiteral("broken.ini"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("[Channel0]\nArea0\\Points=1,2,3\n");
        broken.close();
        const QByteArray before = rig.window->zoneStoreFile()->bytes();
        QString refusal;
        QVERIFY(!rig.window->workOffline(QStringLiteral("broken.ini"), &refusal));
        QVERIFY2(refusal.contains(QStringLiteral("broken.ini")), qPrintable(refusal));
        QCOMPARE(rig.window->zoneStoreFile()->bytes(), before);
        QVERIFY(!rig.ui()->areasMonitoningGroupBox->isEnabled());

        writeZoneFile(QStringLiteral("desk.ini"));
        QVERIFY(rig.window->workOffline(QStringLiteral("desk.ini"), &refusal));
        QCOMPARE(rig.stored(7, 1, "Points"), kTriangle);
        QVERIFY(rig.ui()->areasMonitoningGroupBox->isEnabled());
        QVERIFY(!rig.ui()->uploadBtn->isEnabled());
    }

    // The dialog lists what differs from a file, follows the store, shows the file's
    // outline dashed in the editor, and compares the scanner once one is connected.
    void comparesWithAFileAndTheScanner()
    {
        StudioRig rig;
        QVERIFY(startRig(rig));
        writeZoneFile(QStringLiteral("desk.ini"), 2);
        writeZoneFile(QStringLiteral("other.ini"), 5);
        QVERIFY(rig.window->workOffline(QStringLiteral("desk.ini")));

        QVERIFY(!rig.window->zoneComparison()->compareWithZoneFile(QStringLiteral("missing.ini")));
        QVERIFY(!rig.boxes.boxes().isEmpty());
        QVERIFY(rig.window->zoneComparison()->compareWithZoneFile(QStringLiteral("other.ini")));
        ZoneCompareDialog *dialog = rig.window->zoneComparison()->dialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->list()->topLevelItemCount(), 1);
        QCOMPARE(dialog->summary()->text(),
                 QStringLiteral("The zone store and other.ini differ in 1 place"));
        const QTreeWidgetItem *row = dialog->list()->topLevelItem(0);
        QCOMPARE(row->text(0), QStringLiteral("7"));
        QCOMPARE(row->text(1), QStringLiteral("WarningArea"));
        QCOMPARE(row->text(3), QStringLiteral("80"));  // 2 × 40 ms
        QCOMPARE(row->text(4), QStringLiteral("200")); // 5 × 40 ms
        QVERIFY(!dialog->scannerButton()->isEnabled());

        // The row's channel in the editor, the file's outline over the store's.
        dialog->list()->setCurrentItem(dialog->list()->topLevelItem(0));
        QCOMPARE(rig.window->zoneEditor()->editedChannel(), 7);
        QCOMPARE(rig.ui()->areas->currentIndex(), 1);
        const QGraphicsPathItem *dashed = rig.window->zoneEditor()->otherOutlines()[1];
        QVERIFY(dashed->isVisible());
        QCOMPARE(dashed->pen().style(), Qt::DashLine);
        QVERIFY(dashed->path().contains(QPointF(0, -200)));
        QVERIFY(rig.window->zoneEditor()->otherOutlines()[0]->path().isEmpty());
        rig.ui()->channels->setCurrentIndex(8);
        QVERIFY(!dashed->isVisible());
        rig.ui()->channels->setCurrentIndex(7);

        // An edit that makes the zones equal empties the list as it is made, before it is
        // saved; taken back, the difference is there again.
        const QByteArray unsaved = rig.window->zoneStoreFile()->bytes();
        rig.ui()->onDelayComboBox->setCurrentIndex(5);
        QTRY_COMPARE(dialog->list()->topLevelItemCount(), 0);
        QCOMPARE(dialog->summary()->text(),
                 QStringLiteral("The zone store and other.ini are equal"));
        QCOMPARE(rig.window->zoneStoreFile()->bytes(), unsaved);
        rig.ui()->actionUndo->trigger();
        QTRY_COMPARE(dialog->list()->topLevelItemCount(), 1);
        rig.ui()->actionRedo->trigger();
        rig.ui()->channels->setCurrentIndex(0); // the save
        QTRY_COMPARE(dialog->list()->topLevelItemCount(), 0);
        QVERIFY(rig.window->zoneStoreFile()->bytes() != unsaved);

        // Connected: the scanner has no zones; the store stays as it is while it is read.
        rig.boxes.answerQuestion("Upload the changes");
        rig.window->serialPanel()->openSelectedPort();
        QVERIFY(waitUntil(
            [&]() {
                return rig.window->isEnabled() && rig.ui()->progressBar->isHidden() &&
                       rig.framesOf(REQUEST_WRITE_AREA).size() == 64;
            },
            10000));
        QTRY_VERIFY(dialog->scannerButton()->isEnabled());
        DeviceState changed = rig.sim.state();
        changed.zone(7, 1).points.removeLast();
        rig.sim.setState(changed);
        const QByteArray store = rig.window->zoneStoreFile()->bytes();
        QTest::mouseClick(dialog->scannerButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->comparesScanner() && rig.window->isEnabled(), 10000);
        QCOMPARE(rig.window->zoneStoreFile()->bytes(), store);
        QStringList items;
        for (int i = 0; i < dialog->list()->topLevelItemCount(); ++i)
            items << dialog->list()->topLevelItem(i)->text(2);
        QCOMPARE(items, QStringList{"Vertices"});
        QCOMPARE(dialog->list()->topLevelItem(0)->text(3), QStringLiteral("3"));
        QCOMPARE(dialog->list()->topLevelItem(0)->text(4), QStringLiteral("2"));
    }
};

QTEST_MAIN(TestOffline)
#include "tst_offline.moc"
