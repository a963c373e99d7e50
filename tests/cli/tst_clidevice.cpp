// areascan-cli run as a process against the simulated scanner in this process, for what
// it does besides the zones and settings: the commissioning report, the firmware update
// and the recording of the scanner's frames.
#include "clitest.h"
#include "pdftext.h"
#include "simrecording.h"
#include "zonefingerprint.h"
#include "zoneset.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <sys/stat.h>

using namespace clitest;

class TestCliDevice : public QObject, public CliFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void reportOfTheScannerAndOfAZoneFile();
    void firmwareUpdates_data();
    void firmwareUpdates();
    void firmwareFailures_data();
    void firmwareFailures();
    void recordTakesEveryFrameForItsSeconds();
    void recordEndsWithTheLinkAndKeepsWhatItGot();
};

// The report of the scanner holds what the scanner answered; the report of a zone file
// holds the file's zones and says the scanner's identity is not known.
void TestCliDevice::reportOfTheScannerAndOfAZoneFile()
{
    QVERIFY(writeBytes(m_dir->filePath("settings.ini"),
                       "[ProductInformation]\ndeviceModel=KP-21D\nmanufacturer=Veltrona\n"));
    m_sim->updateState([](DeviceState &s) {
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            for (int k = 0; k < kAreasPerChannel; ++k)
                s.zone(channel, k) = ZoneArea();
        s.zone(4, 0).regionType = 1;
        s.zone(4, 0).points = {QPoint(-1500, 2300), QPoint(1500, 2300)};
        s.zone(30, 2).regionType = 2;
        s.zone(30, 2).points = {QPoint(4000, 100), QPoint(-4000, 100)};
        s.filterStrength = 42;
    });
    QVERIFY(startSim());
    const QString onScanner = QString::fromLatin1(zoneSetFingerprint(toolZones(m_sim->state())));

    const CliResult r = cli({"report", "scanner.pdf"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, QString());
    const QString pdf = m_dir->filePath("scanner.pdf");
    QCOMPARE(PdfText::pageCount(pdf), 3);
    const QString summary = PdfText::text(pdf, 1, 1);
    for (const QString &wanted :
         {QStringLiteral("Model KP-21D"), QStringLiteral("Serial number KP2100417"),
          QStringLiteral("Firmware version ") + QString::fromLatin1(m_sim->state().firmwareVersion),
          QStringLiteral("Shadow filter strength 42"), QStringLiteral("Channels with zones 4, 30"),
          QStringLiteral("Zones from the scanner"), onScanner})
        QVERIFY2(summary.contains(wanted), qPrintable(wanted + " not in: " + summary));
    QVERIFY(PdfText::text(pdf, 2, 2).contains("2: 1500, 2300"));
    QVERIFY(PdfText::text(pdf, 3, 3).contains("Channel 30"));

    // The same zones from a file: no scanner is asked, nothing of it is known.
    writeZoneFile(m_dir->filePath("zones.ini"), [this](int channel, int area) {
        return ZoneSet(toolZones(m_sim->state())).area(channel, area);
    });
    m_sim->clearLog();
    const CliResult fromFile = cli({"report", "--zones", "zones.ini", "file.pdf"});
    QCOMPARE(fromFile.code, 0);
    QCOMPARE(fromFile.err, QString());
    QCOMPARE(m_sim->receivedFrames().size(), 0);
    const QString filePdf = m_dir->filePath("file.pdf");
    QCOMPARE(PdfText::pageCount(filePdf), 3);
    const QString fileSummary = PdfText::text(filePdf, 1, 1);
    for (const QString &wanted :
         {QStringLiteral("Model not known"), QStringLiteral("Serial number not known"),
          QStringLiteral("Firmware version not known"),
          QStringLiteral("Shadow filter strength not known"),
          QStringLiteral("Zones from zone file zones.ini"), onScanner})
        QVERIFY2(fileSummary.contains(wanted), qPrintable(wanted + " not in: " + fileSummary));
}

void TestCliDevice::firmwareUpdates_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<bool>("inBootloader");
    QTest::newRow("1000 bytes") << 1000 << false << false;
    QTest::newRow("100 KiB") << 100 * 1024 << false << false;
    // The scanner drops off the line at each restart and comes back on a new terminal
    // behind the same name.
    QTest::newRow("100 KiB, line dropped at restarts") << 100 * 1024 << true << false;
    // Left in its bootloader by an update that stopped: it is not asked to enter it again.
    QTest::newRow("already in the bootloader") << 1000 << false << true;
}

void TestCliDevice::firmwareUpdates()
{
    QFETCH(int, size);
    QFETCH(bool, hangUp);
    QFETCH(bool, inBootloader);
    const QByteArray image = firmwareImage(size);
    QVERIFY(writeBytes(m_dir->filePath("new.bin"), image));
    SimOptions options;
    options.restartMs = 100;
    QString port;
    if (hangUp) {
        options.hangUpOnRestart = true;
        options.linkPath = m_dir->filePath("scanner");
        port = options.linkPath;
    }
    if (inBootloader)
        m_sim->updateState([](DeviceState &s) { s.deviceMode = 1; });
    QVERIFY(startSim(options));
    if (port.isEmpty())
        port = m_sim->devicePath();

    const CliResult r = cli({"--port", port, "firmware", "new.bin"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, QString("firmware  V9.9.9\n"));
    const DeviceState state = m_sim->state();
    QCOMPARE(state.firmwareCommits, 1);
    QCOMPARE(state.committedFirmwareMd5, QCryptographicHash::hash(image, QCryptographicHash::Md5));
    QCOMPARE(state.deviceMode, quint8(0));
    QCOMPARE(frameTypes(*m_sim).count(REQUEST_FIRMWARE_DATA), size / 512 + 1);
    QCOMPARE(frameTypes(*m_sim).count(REQUEST_ENTER_BOOTLOADER), inBootloader ? 0 : 1);
}

void TestCliDevice::firmwareFailures_data()
{
    QTest::addColumn<SimOptions>("options");
    QTest::addColumn<QString>("message");
    SimOptions refused;
    refused.refuseFirmwareChunk = 3;
    QTest::newRow("chunk refused")
        << refused << "the scanner refused firmware chunk 4/21 (status 1)";
    SimOptions dropped;
    dropped.dropFirmwareChunk = 7;
    QTest::newRow("chunk unanswered")
        << dropped << "no acknowledgement within 300 ms for firmware chunk 8/21";
    SimOptions late;
    late.answerDelays = {{REQUEST_FIRMWARE_DATA, 5, 450}};
    QTest::newRow("chunk acknowledged late")
        << late
        << "the acknowledgement of firmware chunk 5/21 came late, damaged or not at all, and a "
           "chunk carries no index: the bootloader may hold it twice, so the update was stopped "
           "before the image check; nothing was committed";
    SimOptions noBegin;
    noBegin.statusOverrides.insert(REQUEST_FIRMWARE_BEGIN, 2);
    QTest::newRow("begin refused")
        << noBegin << "the scanner refused to start the update (status 2)";
    SimOptions badDigest;
    badDigest.failFirmwareVerify = true;
    QTest::newRow("MD5 mismatch") << badDigest
                                  << "the scanner's MD5 check of the image failed (result 0)";
    SimOptions noRestart;
    noRestart.restartMs = 60000;
    QTest::newRow("bootloader never answers")
        << noRestart << "the scanner did not come back in its bootloader within 3000 ms";
}

void TestCliDevice::firmwareFailures()
{
    QFETCH(SimOptions, options);
    QFETCH(QString, message);
    QVERIFY(writeBytes(m_dir->filePath("new.bin"), firmwareImage(10 * 1024)));
    if (options.restartMs == SimOptions().restartMs)
        options.restartMs = 100;
    QVERIFY(startSim(options));

    const CliResult r = cli({"--timeout", "300", "firmware", "new.bin"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    QCOMPARE(m_sim->state().firmwareCommits, 0);
}

void TestCliDevice::recordTakesEveryFrameForItsSeconds()
{
    QVERIFY(startSim());
    const CliResult r = cli({"record", "--seconds", "1", "scans.pcap"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    const QRegularExpression summary(
        "^recorded (\\d+) frames \\((\\d+) scan frames, (\\d+) repl(?:y|ies)\\) in 1\\.\\d s into "
        "scans\\.pcap, (\\d+) bytes\n$");
    const QRegularExpressionMatch m = summary.match(r.out);
    QVERIFY2(m.hasMatch(), qPrintable(r.out));
    const QString path = m_dir->filePath("scans.pcap");
    QCOMPARE(QFileInfo(path).size(), m.captured(4).toLongLong());
    SimRecording rec;
    QString error;
    QVERIFY2(loadSimRecording(path, &rec, &error), qPrintable(error));
    QCOMPARE(rec.packets, m.captured(1).toInt());
    QCOMPARE(rec.replies, m.captured(3).toInt());
    // A second of 25 scans of six frames, cut to whole scans for the replay.
    const int scanFrames = m.captured(2).toInt();
    QVERIFY2(scanFrames >= 120 && scanFrames <= 180, qPrintable(r.out));
    QVERIFY(rec.scanCount() > scanFrames - 12 && rec.scanCount() <= scanFrames);

    // A target that cannot be written stops the run before anything is sent.
    QVERIFY(QDir(m_dir->path()).mkdir("out"));
    m_sim->clearLog();
    const CliResult dir = cli({"record", "out"});
    QCOMPARE(dir.code, 2);
    QVERIFY2(dir.err.contains("cannot write out: it is a folder"), qPrintable(dir.err));
    const CliResult zero = cli({"--seconds", "0", "record", "x.pcap"});
    QCOMPARE(zero.code, 2);
    QVERIFY2(zero.err.contains("--seconds needs a positive whole number"), qPrintable(zero.err));
    QVERIFY(m_sim->receivedFrames().isEmpty());
    QVERIFY(!QFile::exists(m_dir->filePath("x.pcap")));
}

void TestCliDevice::recordEndsWithTheLinkAndKeepsWhatItGot()
{
    QVERIFY(startSim());
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(AREASCAN_CLI),
                  {"--port", m_sim->devicePath(), "record", "--seconds", "30", "cut.pcap"});
    QVERIFY(process.waitForStarted());
    QVERIFY(waitUntil([this]() { return !m_sim->receivedFrames().isEmpty(); }, 5000));
    QTest::qWait(700);
    m_sim->unplug();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains("the port failed") && err.contains("recorded"), qPrintable(err));
    // The file is closed properly: every packet whole, the scans up to the pull in it.
    SimRecording rec;
    QString error;
    QVERIFY2(loadSimRecording(m_dir->filePath("cut.pcap"), &rec, &error), qPrintable(error));
    QVERIFY2(rec.scanCount() >= 60, qPrintable(QString::number(rec.scanCount())));
}

QTEST_GUILESS_MAIN(TestCliDevice)
#include "tst_clidevice.moc"
