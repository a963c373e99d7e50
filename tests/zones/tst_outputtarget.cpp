// The targets the tool refuses to write, by every spelling of them, and why.
#include "lockedpath.h"
#include "outputtarget.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

void touch(const QString &name)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

} // namespace

class TestOutputTarget : public QObject
{
    Q_OBJECT

private slots:
    void targets_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("said");
        const int none = OutputTarget::None;
        const int own = OutputTarget::OwnFile;
        const int input = OutputTarget::OwnInput;
        const int other = OutputTarget::NotARegularFile;
        const int regular = OutputTarget::RegularFile;
        QTest::newRow("a new file") << "new.pdf" << none << regular << "";
        QTest::newRow("an existing file") << "old.pdf" << none << regular << "";
        QTest::newRow("a link to a file") << "old-link.pdf" << none << regular << "";
        QTest::newRow("settings.ini") << "settings.ini" << own << regular
                                      << "it is settings.ini, a file the tool keeps for itself";
        QTest::newRow("config.ini, not there yet") << "config.ini" << own << regular << "";
        QTest::newRow("factorySettings.ini by its full path")
            << "FULL/factorySettings.ini" << own << regular << "";
        QTest::newRow("config.ini by a longer path") << "sub/../config.ini" << own << regular << "";
        QTest::newRow("settings.ini by a link") << "link.ini" << own << regular << "";
        QTest::newRow("settings.ini by a hard link") << "hard.ini" << own << regular << "";
        QTest::newRow("config.ini of another folder") << "sub/config.ini" << none << regular << "";
        QTest::newRow("the input")
            << "./in.ini" << input << regular << "it is the input INPUT itself";
        QTest::newRow("the input by a hard link") << "in-hard.ini" << input << regular << "";
        QTest::newRow("a folder") << "sub" << other << int(OutputTarget::Directory)
                                  << "it is a folder";
        QTest::newRow("the working folder") << "." << other << int(OutputTarget::Directory) << "";
        QTest::newRow("a FIFO") << "fifo" << other << int(OutputTarget::Fifo)
                                << "it is a FIFO, not a regular file";
        QTest::newRow("a device") << "/dev/null" << other << int(OutputTarget::Device)
                                  << "it is a device, not a regular file";
        QTest::newRow("a socket") << "socket" << other << int(OutputTarget::Socket) << "";
        QTest::newRow("a link to a device")
            << "null-link" << other << int(OutputTarget::Device) << "";
        QTest::newRow("a link to nothing")
            << "dangling" << other << int(OutputTarget::BrokenLink) << "it is a link to nothing";
        QTest::newRow("no such folder") << "none/out.pdf" << int(OutputTarget::NoFolder) << regular
                                        << "the folder FULL/none does not exist";
        QTest::newRow("a folder that cannot be written")
            << "locked/out.pdf" << int(OutputTarget::FolderNotWritable) << regular
            << "the folder FULL/locked cannot be written: ";
        QTest::newRow("a file that may not be written")
            << "fixed.pdf" << int(OutputTarget::FileNotWritable) << regular
            << "the file may not be written: ";
    }
    void targets()
    {
        QFETCH(QString, target);
        QFETCH(int, refusal);
        QFETCH(int, kind);
        QFETCH(QString, said);
        TempWorkingDir dir;
        const QString full = QDir::current().canonicalPath();
        target.replace("FULL", full);
        said.replace("FULL", full).replace("INPUT", dir.filePath("in.ini"));
        QVERIFY(QDir().mkdir("sub"));
        QVERIFY(QDir().mkdir("locked"));
        for (const char *name :
             {"settings.ini", "factorySettings.ini", "old.pdf", "in.ini", "fixed.pdf"})
            touch(QLatin1String(name));
        QVERIFY(QFile::link("old.pdf", "old-link.pdf"));
        QVERIFY(QFile::link("settings.ini", "link.ini"));
        QVERIFY(QFile::link("/dev/null", "null-link"));
        QVERIFY(QFile::link("nowhere", "dangling"));
        QVERIFY(::link("settings.ini", "hard.ini") == 0);
        QVERIFY(::link("in.ini", "in-hard.ini") == 0);
        QVERIFY(::mkfifo("fifo", 0600) == 0);
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, "socket");
        QVERIFY(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        const LockedPath lockedFolder(QStringLiteral("locked"));
        const LockedPath lockedFile(QStringLiteral("fixed.pdf"));
        if ((target.startsWith("locked") && !lockedFolder.locked()) ||
            (target == "fixed.pdf" && !lockedFile.locked()))
            QSKIP("this file system cannot lock a path");

        const OutputTarget t = checkOutputTarget(target, dir.path(), {dir.filePath("in.ini")});
        ::close(sock);
        QCOMPARE(int(t.refusal), refusal);
        if (refusal == OutputTarget::NotARegularFile)
            QCOMPARE(int(t.kind), kind);
        QCOMPARE(bool(t), refusal == OutputTarget::None);
        QVERIFY2(said.isEmpty() || describeOutputRefusal(t).startsWith(said),
                 qPrintable(describeOutputRefusal(t)));
        if (refusal != OutputTarget::None)
            return;
        // What may be written: by its resolved path (through a link to its file), and
        // whether a file is there to be replaced.
        const QString expected = target == "old-link.pdf" ? "old.pdf" : target;
        QCOMPARE(t.path, QDir(full).filePath(QDir::cleanPath(expected)));
        QCOMPARE(t.exists, QFile::exists(target));
    }

    // The tool's own files are those of the working folder it is given, not the current one.
    void ownFilesBelongToTheWorkingFolder()
    {
        TempWorkingDir dir;
        QVERIFY(QDir().mkdir("work"));
        QCOMPARE(int(checkOutputTarget("config.ini", dir.filePath("work")).refusal),
                 int(OutputTarget::OwnFile));
        QCOMPARE(int(checkOutputTarget("../config.ini", dir.filePath("work")).refusal),
                 int(OutputTarget::None));
        QVERIFY(isSameFile("work/../a.ini", "a.ini"));
        QVERIFY(!isSameFile("work/a.ini", "a.ini"));
    }
};

QTEST_GUILESS_MAIN(TestOutputTarget)
#include "tst_outputtarget.moc"
