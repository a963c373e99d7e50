// Where the window writes: it refuses what areascan-cli refuses (the tool's own files,
// anything but a regular file, a folder that is not there), for a zone file, a report and
// a recording alike, and asks whether to replace a file only when it may replace it.
#include "framerecorder.h"
#include "studiorig.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>

#include <QRegularExpression>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Answers the file dialog with a name and every box with a button, and keeps what the
// boxes said; nothing else is ever left open.
class Answerer : public QObject
{
public:
    Answerer(const QString &name, QMessageBox::StandardButton replace)
        : m_name(name), m_replace(replace)
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, &Answerer::answer);
        m_timer.start();
    }
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    int dialogs = 0;

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            ++dialogs;
            // selectFile() leaves the name field alone once it has the focus, which it
            // may already have here; type the name instead, as a user would.
            auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(nameEdit);
            nameEdit->setText(m_name);
            QMetaObject::invokeMethod(dialog, "accept");
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            texts << box->text();
            icons << box->icon();
            QAbstractButton *button = box->button(m_replace);
            if (box->icon() == QMessageBox::Question && button)
                button->click();
            else
                box->done(QMessageBox::Ok);
        } else if (modal) {
            modal->close();
        }
    }

    QString m_name;
    QMessageBox::StandardButton m_replace;
    QTimer m_timer;
};

} // namespace

class TestSaveTargets : public QObject
{
    Q_OBJECT

private slots:
    // The save dialog asks nothing itself: the window refuses first, then asks "replace?"
    // only for a file it may replace.
    void replaceIsAskedOnlyForFilesItMayReplace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("box"); // the start of the one box shown, or empty
        QTest::addColumn<bool>("written");
        const int yes = QMessageBox::Yes;
        const int no = QMessageBox::No;
        QTest::newRow("a new file") << "new.ini" << yes << "" << true;
        QTest::newRow("an existing file, replaced")
            << "old.ini" << yes << "DIR/old.ini already exists." << true;
        QTest::newRow("an existing file, kept")
            << "old.ini" << no << "DIR/old.ini already exists." << false;
        QTest::newRow("config.ini")
            << "config.ini" << yes << "DIR/config.ini is one of the tool's own files" << false;
        QTest::newRow("settings.ini by a link")
            << "link.ini" << yes << "DIR/link.ini is one of the tool's own files" << false;
        QTest::newRow("a FIFO") << "fifo" << yes
                                << "Cannot save the zone file DIR/fifo: it is not a regular file"
                                << false;
    }
    void replaceIsAskedOnlyForFilesItMayReplace()
    {
        QFETCH(QString, name);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(bool, written);
        TempWorkingDir dir;
        const QString full = QDir::current().canonicalPath();
        box.replace("DIR", full);
        MainWindow window;
        QVERIFY(window.workOffline());
        writeBytes("old.ini", "old");
        QVERIFY(QFile::link("settings.ini", "link.ini"));
        QVERIFY(::mkfifo("fifo", 0600) == 0);
        const QByteArray settings = fileBytes("settings.ini");
        const QByteArray store = fileBytes("config.ini");

        Answerer answerer(QDir(full).filePath(name), QMessageBox::StandardButton(answer));
        QTest::mouseClick(window.ui()->saveSettingsBtn, Qt::LeftButton);
        QCOMPARE(answerer.dialogs, 1);
        QCOMPARE(answerer.texts.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QVERIFY2(answerer.texts.first().startsWith(box), qPrintable(answerer.texts.first()));
        if (name == "old.ini")
            QCOMPARE(fileBytes("old.ini") != "old", written);
        if (written)
            QVERIFY(QSettings(name, QSettings::IniFormat).childGroups().contains("Channel63"));
        QCOMPARE(fileBytes("settings.ini"), settings);
        QCOMPARE(fileBytes("config.ini"), store);
        struct stat st;
        QVERIFY(::lstat("fifo", &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(::lstat("link.ini", &st) == 0 && S_ISLNK(st.st_mode));
    }

    // The zone file, the report and the recording refuse the same targets, each in its own
    // words, and write nothing.
    void everyFileTheWindowWritesRefusesTheSameTargets_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("zone file into a folder")
            << "zones"
            << "sub"
            << "Cannot save the zone file DIR/sub: it is a folder";
        QTest::newRow("zone file into a device")
            << "zones"
            << "null"
            << "Cannot save the zone file DIR/null: it is a device";
        QTest::newRow("report into a FIFO")
            << "report"
            << "fifo.pdf"
            << "Cannot write the report DIR/fifo.pdf: it is not a regular file";
        QTest::newRow("report into a missing folder")
            << "report"
            << "none/r.pdf"
            << "Cannot write the report DIR/none/r.pdf: the folder DIR/none does not exist";
        QTest::newRow("recording over settings.ini")
            << "record"
            << "settings.ini"
            << "DIR/settings.ini is one of the tool's own files; a recording cannot be saved over "
               "it";
        QTest::newRow("recording into a device by a link")
            << "record"
            << "dev.pcap"
            << "Cannot record to DIR/dev.pcap: it is a device";
    }
    void everyFileTheWindowWritesRefusesTheSameTargets()
    {
        QFETCH(QString, what);
        QFETCH(QString, target);
        QFETCH(QString, message);
        StudioRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.connectAndSettle());
        const QString full = QDir::current().canonicalPath();
        target.replace("sub", QDir(full).filePath("sub"))
            .replace("fifo.pdf", QDir(full).filePath("fifo.pdf"))
            .replace("none/", QDir(full).filePath("none/"))
            .replace("dev.pcap", QDir(full).filePath("dev.pcap"))
            .replace(QRegularExpression("^null$"), QDir(full).filePath("null"));
        if (target == "settings.ini")
            target = QDir(full).filePath(target);
        message.replace("DIR", full);
        QVERIFY(QDir().mkdir("sub"));
        QVERIFY(::mkfifo("fifo.pdf", 0600) == 0);
        // Device nodes of its own (copies of /dev/null's), so that a window that wrongly
        // renames over one replaces nothing the machine needs.
        const bool node = ::mknod("null", S_IFCHR | 0666, makedev(1, 3)) == 0;
        if (!node && (target.endsWith("null") || target.endsWith("dev.pcap")))
            QSKIP("no device node can be made here (not root)");
        QVERIFY(QFile::link("null", "dev.pcap"));
        const QByteArray settings = fileBytes("settings.ini");
        rig.window->zoneFiles()->setFileProvider([target](bool) { return target; });
        rig.window->reportExport()->setFileProvider([target]() { return target; });
        rig.window->scanRecording()->setFileProvider([target]() { return target; });
        rig.boxes.clear();
        if (what == "zones")
            QMetaObject::invokeMethod(rig.window.get(), "onSaveSettingsBtn");
        else if (what == "report")
            rig.window->findChild<QAction *>("actionExportReport")->trigger();
        else
            rig.window->findChild<QAction *>("actionRecordScans")->trigger();
        QTRY_COMPARE(rig.boxes.count(), 1);
        QVERIFY2(rig.boxes.boxes().first().text.startsWith(message),
                 qPrintable(rig.boxes.boxes().first().text));
        QCOMPARE(rig.boxes.boxes().first().icon, QMessageBox::Critical);
        QCOMPARE(fileBytes("settings.ini"), settings);
        QVERIFY(!rig.window->scanRecording()->recorder()->isRecording());
        QVERIFY(!QFile::exists("none"));
        struct stat st;
        if (QFile::exists("null"))
            QVERIFY(::lstat("null", &st) == 0 && S_ISCHR(st.st_mode));
        QVERIFY(::lstat("fifo.pdf", &st) == 0 && S_ISFIFO(st.st_mode));
    }
};

QTEST_MAIN(TestSaveTargets)
#include "tst_savetargets.moc"
