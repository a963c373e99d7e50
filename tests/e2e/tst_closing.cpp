// The ends of a run: closing the window while zones are unsent asks first, a run that is
// killed leaves its zones for the next start to keep, and a store changed behind the
// window is said so in the status bar.
#include "studiorig.h"
#include "unsentmarker.h"
#include "zoneeditor.h"
#include "zonestore.h"
#include "zonestorefile.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QStatusBar>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString stored(const QString &file, int channel, int area, const char *key)
{
    return QSettings(file, QSettings::IniFormat)
        .value(zoneKey(channel, area, QLatin1String(key)))
        .toString();
}

QStringList copies()
{
    return QDir().entryList({QStringLiteral("unsent-zones-*.ini")}, QDir::Files);
}

// A zone file of 64 channels, a triangle in channel 7's warning area.
void writeDesk(const QString &path)
{
    QSettings file(path, QSettings::IniFormat);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord record;
        if (channel == 7) {
            record[1].regionType = 1;
            record[1].points = {QPoint(2000, 1000), QPoint(0, 3000), QPoint(-2000, 1000)};
        }
        writeStoredChannel(file, channel, record);
    }
}

void drawTriangle(StudioRig &rig)
{
    QTest::mouseClick(rig.ui()->polygonBtn, Qt::LeftButton);
    rig.typeVertex(-2000, 1000);
    rig.typeVertex(2000, 1000);
    rig.typeVertex(0, 3000);
}

// Answers the close question with the button of that text (or Escape), counting it.
void answerCloseQuestion(ModalCatcher &boxes, const QString &answer, int *asked)
{
    boxes.setHold([&boxes, answer, asked](QMessageBox *box) {
        if (box->icon() != QMessageBox::Question)
            return false;
        ++*asked;
        if (!box->text().startsWith("The zone store holds zone changes the scanner has not "
                                    "received. Save them to a zone file before closing?"))
            return false;
        if (answer == QLatin1String("Escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
            return true;
        }
        for (QAbstractButton *button : box->buttons())
            if (button->text() == answer)
                button->click();
        return true;
    });
}

} // namespace

class TestClosing : public QObject
{
    Q_OBJECT

private slots:
    // Zones the scanner has not received (a cell still being typed in, a loaded zone file,
    // a drawn zone) make closing ask: save them to a zone file, close without them, or
    // stay. Zones the scanner holds, or none drawn, close at once.
    void closingAsksWhileZonesAreUnsent_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("fileName"); // what the save dialog answers
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("saved"); // Points of channel 0, area 0 in the saved file
        const QString save = QStringLiteral("Save to file…");
        const QString discard = QStringLiteral("Close without saving");
        const QString triangle = QStringLiteral("2000,1000,0,3000,-2000,1000,");
        QTest::newRow("a cell still being typed in, saved")
            << "cell" << save << "kept.ini" << true << true << "2000,1000,777,1000,0,3000,";
        QTest::newRow("a loaded zone file, closed without saving")
            << "file" << discard << "" << true << true << "";
        QTest::newRow("a drawn zone, saved")
            << "drawn" << save << "kept.ini" << true << true << triangle;
        QTest::newRow("a drawn zone, cancelled") << "drawn"
                                                 << "Cancel"
                                                 << "" << true << false << "";
        QTest::newRow("a drawn zone, Escape") << "drawn"
                                              << "Escape"
                                              << "" << true << false << "";
        QTest::newRow("a drawn zone, the save dialog cancelled")
            << "drawn" << save << "" << true << false << "";
        QTest::newRow("a drawn zone, saved over config.ini")
            << "drawn" << save << "config.ini" << true << false << "";
        QTest::newRow("zones the scanner holds") << "sent"
                                                 << ""
                                                 << "" << false << true << "";
        QTest::newRow("nothing drawn") << "none"
                                       << ""
                                       << "" << false << true << "";
    }
    void closingAsksWhileZonesAreUnsent()
    {
        QFETCH(QString, setup);
        QFETCH(QString, answer);
        QFETCH(QString, fileName);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        QFETCH(QString, saved);
        StudioRig rig;
        writeDesk(QStringLiteral("desk.ini"));
        rig.zoneFile = fileName;
        QVERIFY(rig.openWindow() && rig.show());
        MainWindow &window = *rig.window;
        Ui::MainWindow *ui = rig.ui();
        ModalCatcher &boxes = rig.boxes;
        QVERIFY(window.workOffline(setup == "file" ? QStringLiteral("desk.ini") : QString()));
        if (setup != "none" && setup != "file")
            drawTriangle(rig);
        if (setup == "cell" || setup == "sent") {
            QVERIFY(window.zoneEditor()->saveChannel());
            window.zoneStoreFile()->markOnScanner();
        }
        if (setup == "cell") {
            // 777 typed into the first vertex's x, the cell editor still open.
            auto *model = qobject_cast<QStandardItemModel *>(ui->tableView->model());
            const QModelIndex cell = model->index(0, 0);
            QTest::mouseClick(ui->tableView->viewport(), Qt::LeftButton, {},
                              ui->tableView->visualRect(cell).center());
            ui->tableView->setCurrentIndex(cell);
            ui->tableView->edit(cell);
            QWidget *editor = nullptr;
            for (QWidget *w : ui->tableView->viewport()->findChildren<QWidget *>())
                if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w))
                    editor = w;
            QVERIFY(editor);
            if (auto *spin = qobject_cast<QAbstractSpinBox *>(editor)) {
                spin->findChild<QLineEdit *>()->setText("777");
                spin->interpretText();
            } else {
                qobject_cast<QLineEdit *>(editor)->setText("777");
            }
            QVERIFY(!window.zoneEditor()->hasEdits());
            QVERIFY(!window.zoneStoreFile()->hasUnsentChanges());
        }

        int questions = 0;
        answerCloseQuestion(boxes, answer, &questions);
        QCOMPARE(window.close(), closed);
        QCOMPARE(questions, asked ? 1 : 0);
        QCOMPARE(window.isVisible(), !closed);
        if (saved.isEmpty()) {
            QVERIFY(!QFile::exists("kept.ini"));
        } else {
            QCOMPARE(stored("kept.ini", 0, 0, "Points"), saved);
        }
        if (fileName == "config.ini")
            QVERIFY(boxes.sawText("config.ini is one of the tool's own files; a zone file cannot "
                                  "be saved over it"));
        // The window that stays keeps its zones, and asks again next time.
        if (!closed) {
            QVERIFY(window.zoneStoreFile()->hasUnsentChanges());
            answerCloseQuestion(boxes, QStringLiteral("Close without saving"), &questions);
            QVERIFY(window.close());
        }
    }

    // An upload the scanner stopped acknowledging leaves the zones unsent, and closing asks;
    // after a complete upload it does not.
    void closingAfterAnUpload_data()
    {
        QTest::addColumn<bool>("interrupted");
        QTest::newRow("interrupted") << true;
        QTest::newRow("complete") << false;
    }
    void closingAfterAnUpload()
    {
        QFETCH(bool, interrupted);
        StudioRig rig;
        QVERIFY(rig.start());
        rig.window->scannerSession()->zoneWrite()->setTimeout(100);
        QVERIFY(rig.connectAndRead());
        rig.window->openTab(1);
        drawTriangle(rig);
        if (interrupted)
            rig.sim.setSilent(true);
        QVERIFY(rig.ui()->uploadBtn->isEnabled());
        QTest::mouseClick(rig.ui()->uploadBtn, Qt::LeftButton);
        QVERIFY(rig.countOf(REQUEST_BEGIN_AREA_WRITE) > 0 || !rig.window->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->isEnabled(), 5000);
        if (interrupted)
            QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.count() > 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            interrupted || rig.countOf(REQUEST_WRITE_AREA) == kZoneChannelCount, 5000);
        int questions = 0;
        answerCloseQuestion(rig.boxes, QStringLiteral("Close without saving"), &questions);
        QVERIFY(rig.window->close());
        QCOMPARE(questions, interrupted ? 1 : 0);
    }

    // A run that is killed with zones in the store the scanner never received leaves them
    // for the next start, which keeps them in a zone file before the reset and says so. A
    // run killed with nothing unsent, or one that closed, leaves nothing to keep.
    void aKilledRunLeavesItsZonesForTheNextStart_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<bool>("kept");
        QTest::newRow("killed with a loaded zone file") << "killed file" << true;
        QTest::newRow("killed with nothing unsent") << "killed" << false;
        QTest::newRow("closed without saving") << "closed" << false;
    }
    void aKilledRunLeavesItsZonesForTheNextStart()
    {
        QFETCH(QString, run);
        QFETCH(bool, kept);
        TempWorkingDir dir;
        writeDesk(QStringLiteral("desk.ini"));
        const QString triangle = QStringLiteral("2000,1000,0,3000,-2000,1000,");
        if (run.startsWith("killed")) {
            QProcess studio;
            studio.setWorkingDirectory(dir.path());
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            studio.setProcessEnvironment(env);
            const bool file = run == "killed file";
            studio.start(QStringLiteral(AREASCAN_STUDIO),
                         file ? QStringList{"--offline", "desk.ini"} : QStringList{"--offline"});
            QVERIFY(studio.waitForStarted());
            // The zones have reached the store (and the mark its side) when the window is up.
            const bool ready = QTest::qWaitFor(
                [&]() {
                    return studio.state() != QProcess::Running ||
                           (file ? stored(zoneStoreFileName(), 7, 1, "Points") == triangle &&
                                       hasUnsentMarker(zoneStoreFileName())
                                 : QFile::exists(zoneStoreFileName()));
                },
                30000);
            QVERIFY2(ready && studio.state() == QProcess::Running,
                     qPrintable(studio.errorString() + QLatin1Char(' ') +
                                QString::fromLocal8Bit(studio.readAllStandardError())));
            QTest::qWait(200);
            studio.kill();
            QVERIFY(studio.waitForFinished(10000));
            QCOMPARE(studio.exitStatus(), QProcess::CrashExit);
        } else {
            ModalCatcher boxes;
            MainWindow window;
            QVERIFY(window.workOffline(QStringLiteral("desk.ini")));
            int questions = 0;
            answerCloseQuestion(boxes, QStringLiteral("Close without saving"), &questions);
            QVERIFY(window.close());
            QCOMPARE(questions, 1);
        }
        QCOMPARE(hasUnsentMarker(zoneStoreFileName()), kept);
        const QByteArray left = fileBytes(zoneStoreFileName());

        ModalCatcher boxes;
        MainWindow next;
        const QString message = next.statusBar()->currentMessage();
        QCOMPARE(copies().size(), kept ? 1 : 0);
        if (kept) {
            const QString copy = QDir::current().absoluteFilePath(copies().first());
            QCOMPARE(fileBytes(copy), left);
            QCOMPARE(stored(copy, 7, 1, "Points"), triangle);
            QCOMPARE(message,
                     QStringLiteral("The last run ended with zones in the store that the scanner "
                                    "had not received; they were kept in %1")
                         .arg(QDir::toNativeSeparators(copy)));
        } else {
            QCOMPARE(message, QString());
        }
        // The start itself is as always: the store reset, nothing unsent, no mark.
        QCOMPARE(stored(zoneStoreFileName(), 7, 1, "Points"), QString());
        QVERIFY(!next.zoneStoreFile()->hasUnsentChanges());
        QVERIFY(!hasUnsentMarker(zoneStoreFileName()));
    }

    // Another program changes config.ini behind the window: the next write takes its change
    // first, the status bar says so, and the editor shows what the store now holds.
    void aStoreChangedBehindTheWindowIsSaidSo()
    {
        StudioRig rig;
        QVERIFY(rig.openWindow() && rig.showOffline());
        MainWindow &window = *rig.window;
        Ui::MainWindow *ui = rig.ui();
        ui->channels->setCurrentIndex(3);
        drawTriangle(rig);
        {
            QSettings other(zoneStoreFileName(), QSettings::IniFormat);
            other.setValue(zoneKey(40, 0, QLatin1String("Points")), "100,2000,0,3000,-100,2000,");
            other.setValue(zoneKey(3, 2, QLatin1String("onDelay")), 7);
        }
        // Leaving channel 3 writes its triangle.
        ui->channels->setCurrentIndex(40);
        QTRY_VERIFY(window.statusBar()->currentMessage().startsWith(
            "config.ini was changed by another program: its changes were read in before writing "
            "(areas changed: 2)"));
        QCOMPARE(stored(zoneStoreFileName(), 3, 0, "Points"),
                 QStringLiteral("2000,1000,0,3000,-2000,1000,"));
        QCOMPARE(stored(zoneStoreFileName(), 3, 2, "onDelay"), QStringLiteral("7"));
        QCOMPARE(window.zoneEditor()->editedChannel(), 40);
        QCOMPARE(window.zoneEditor()->areaRecord(0).points.size(), 3);
        QVERIFY(copies().isEmpty());
    }
};

QTEST_MAIN(TestClosing)
#include "tst_closing.moc"
