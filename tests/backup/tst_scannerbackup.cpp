// The backup file on bytes: what it holds comes back exactly, each kind of broken backup
// is refused with the part that is broken, and the plan of a restore names what changes.
#include "filtersettings.h"
#include "restoreplan.h"
#include "scannerbackup.h"
#include "testsupport.h"
#include "zonediff.h"
#include "zonefilecheck.h"
#include "zonefingerprint.h"

#include <QRegularExpression>
#include <QtTest>

#include <functional>

namespace {

ZoneAreaRecord area(int channel, int k)
{
    ZoneAreaRecord a;
    a.regionType = quint8(1 + (channel + k) % 3);
    a.onDelay = quint8(channel % 50);
    a.offDelay = quint8(k * 3);
    a.hysteresis = quint8(channel % 7);
    a.detectableSize = quint8(k + 1);
    a.dependScale = quint16(channel * 900 + k);
    for (int i = 0; i < (channel == 63 && k == 2 ? kMaxZonePoints : channel % 5); ++i)
        a.points.append(QPoint(-32768 + i * 97 + channel, 32767 - i * 51 - k));
    return a;
}

ScannerBackup sampleBackup()
{
    ScannerBackup b;
    // Texts the file has to escape: a comma, a quote, a leading blank, another script.
    b.identity = {QStringLiteral("KP-21D, \"rev B\""), QString::fromUtf8(" 维创 Veltrona"),
                  QStringLiteral("L24A0815"), QStringLiteral("KP2100417"),
                  QStringLiteral("V2.3.1")};
    b.createdAt = QDateTime(QDate(2024, 3, 9), QTime(14, 5, 6), Qt::OffsetFromUTC, 3600);
    b.settings = {1, 35, 100, 20000, 0, 1, 0, 4095, 10, 539};
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            b.zones.setArea(c, k, area(c, k));
    return b;
}

// The text with one line replaced (by key at the start of the line) or removed.
QByteArray withLine(QByteArray text, const QByteArray &key, const QByteArray &line)
{
    const QRegularExpression re(QStringLiteral("(^|\n)%1=[^\n]*\n")
                                    .arg(QRegularExpression::escape(QString::fromLatin1(key))));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return QByteArray();
    const int start = m.capturedStart() + m.captured(1).size();
    text.replace(start, m.capturedEnd() - start, line.isEmpty() ? QByteArray() : line + '\n');
    return text;
}

using Change = std::function<QByteArray(const QByteArray &)>;

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(BackupProblem::Kind)

class TestScannerBackup : public QObject
{
    Q_OBJECT

private slots:
    void fileHoldsTheScanner();
    void backupIsAZoneFile();
    void brokenBackupsAreRefused_data();
    void brokenBackupsAreRefused();
    void fileProblemsComeFromTheZoneReader();
    void planNamesWhatChanges();
    void rangeLimitsKeepTheirOrder_data();
    void rangeLimitsKeepTheirOrder();
    void channelRanges_data();
    void channelRanges();
};

void TestScannerBackup::fileHoldsTheScanner()
{
    const ScannerBackup b = sampleBackup();
    const QByteArray text = backupFileText(b);
    const BackupFile back = checkBackupBytes(text);
    QVERIFY2(back.ok(), qPrintable(describeBackupProblem(back.problem, "b.ini")));
    QCOMPARE(back.backup.identity.model, b.identity.model);
    QCOMPARE(back.backup.identity.manufacturer, b.identity.manufacturer);
    QCOMPARE(back.backup.identity.lot, b.identity.lot);
    QCOMPARE(back.backup.identity.serial, b.identity.serial);
    QCOMPARE(back.backup.identity.firmware, b.identity.firmware);
    QCOMPARE(back.backup.createdAt, b.createdAt);
    QCOMPARE(back.backup.createdAt.offsetFromUtc(), 3600);
    QCOMPARE(back.backup.settings, b.settings);
    QVERIFY(back.backup.zones == b.zones);

    // Readable and diffable: the settings in their stored form under the factory keys, the
    // moment with its offset, the fingerprint of the zones.
    QVERIFY(text.startsWith("[Backup]\ncreated=2024-03-09T14:05:06+01:00\nfingerprint=" +
                            zoneSetFingerprint(b.zones) + "\nformat=1\n"));
    QVERIFY(text.contains("\n[Filter]\naverageFilter=0\nfilterEnable=1\nfilterMaxRange=20000\n"
                          "filterMinRange=100\nfilterStrenth=35\ninputNonc=1\nmaskIntensity=4095\n"
                          "maskMaxAngle=539\nmaskMinAngle=10\noutPutNonc=0\n"));
    QVERIFY(text.contains("\nserial=KP2100417\n"));
    // Written twice, the same bytes: nothing in it depends on the moment it was written.
    QCOMPARE(backupFileText(b), text);
}

void TestScannerBackup::backupIsAZoneFile()
{
    const ScannerBackup b = sampleBackup();
    const ZoneFile zones = checkZoneFileBytes(backupFileText(b));
    QVERIFY(zones.ok());
    QVERIFY(zoneSetOf(zones.channels) == b.zones);

    // The settings keep the factory file's keys and read as it reads them.
    TempWorkingDir dir;
    QFile file(dir.filePath("factorySettings.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(backupFileText(b));
    file.close();
    QSettings factory(file.fileName(), QSettings::IniFormat);
    const QVector<FilterSetting> &table = filterSettings();
    for (int i = 0; i < table.size(); ++i)
        QCOMPARE(
            committedWire(table.at(i),
                          committedFromFactory(table.at(i), factory.value(table.at(i).factoryKey))),
            b.settings.at(i));
}

void TestScannerBackup::brokenBackupsAreRefused_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<BackupProblem::Kind>("kind");
    QTest::addColumn<QString>("message");

    const auto line = [](const char *key, const char *replacement) {
        return Change([=](const QByteArray &t) { return withLine(t, key, replacement); });
    };
    QTest::newRow("a zone file") << Change([](const QByteArray &t) {
        return t.mid(t.indexOf("[Channel0]"));
    }) << BackupProblem::NotABackup
                                 << "b.ini is a zone file, not a backup";
    QTest::newRow("no serial") << line("serial", "") << BackupProblem::MissingKey
                               << "b.ini: [Device] serial is missing";
    QTest::newRow("a setting missing") << line("maskMaxAngle", "") << BackupProblem::MissingKey
                                       << "b.ini: [Filter] maskMaxAngle is missing";
    QTest::newRow("a negative setting")
        << line("filterStrenth", "filterStrenth=-1") << BackupProblem::NotAWholeNumber
        << "b.ini: [Filter] filterStrenth holds '-1', not a whole number";
    QTest::newRow("a flag as a word")
        << line("filterEnable", "filterEnable=true") << BackupProblem::NotAWholeNumber
        << "[Filter] filterEnable holds 'true'";
    QTest::newRow("a flag of 2") << line("inputNonc", "inputNonc=2") << BackupProblem::OutOfRange
                                 << "b.ini: [Filter] inputNonc 2 is outside 0 to 1";
    QTest::newRow("an angle beyond 269.5 degrees")
        << line("maskMinAngle", "maskMinAngle=540") << BackupProblem::OutOfRange
        << "[Filter] maskMinAngle 540 is outside 0 to 539";
    QTest::newRow("a list for a text") << line("lot", "lot=L24, A0815") << BackupProblem::NotAText
                                       << "[Device] lot is not a plain";
    QTest::newRow("a later format") << line("format", "format=2") << BackupProblem::NewerFormat
                                    << "backup format '2' is not known";
    QTest::newRow("no date") << line("created", "") << BackupProblem::MissingKey
                             << "[Backup] created is missing";
    QTest::newRow("a broken date")
        << line("created", "created=2024-13-09T14:05:06") << BackupProblem::BadDate
        << "[Backup] created holds '2024-13-09T14:05:06', not a date and time";
    QTest::newRow("a broken fingerprint")
        << line("fingerprint", "fingerprint=12ab") << BackupProblem::BadFingerprint
        << "[Backup] fingerprint holds '12ab', not 32 hexadecimal digits";
    QTest::newRow("zones edited afterwards") << Change([](QByteArray t) {
        const int at = t.indexOf("[Channel12]");
        const int key = t.indexOf("Area1\\onDelay=12", at);
        return key < 0 ? QByteArray() : t.replace(key, 16, "Area1\\onDelay=13");
    }) << BackupProblem::WrongFingerprint << "the zones are not those of the fingerprint";
    QTest::newRow("a broken zone") << Change([](QByteArray t) {
        const int at = t.indexOf("[Channel3]");
        const int key = t.indexOf("Area2\\regionType=", at);
        return key < 0 ? QByteArray() : t.insert(key + 17, "99");
    }) << BackupProblem::File << "b.ini: channel 3, alarm area: regionType 993 is outside 0 to 255";
    QTest::newRow("a channel missing") << Change([](QByteArray t) {
        const int at = t.indexOf("[Channel40]");
        return t.remove(at, t.indexOf("[Channel41]") - at);
    }) << BackupProblem::File << "channel 40 is missing";
}

void TestScannerBackup::brokenBackupsAreRefused()
{
    QFETCH(Change, change);
    QFETCH(BackupProblem::Kind, kind);
    QFETCH(QString, message);

    const QByteArray text = change(backupFileText(sampleBackup()));
    QVERIFY2(!text.isEmpty(), "the change found nothing to change");
    const BackupFile file = checkBackupBytes(text);
    QCOMPARE(file.problem.kind, kind);
    const QString described = describeBackupProblem(file.problem, "b.ini");
    QVERIFY2(described.contains(message), qPrintable(described));
}

void TestScannerBackup::fileProblemsComeFromTheZoneReader()
{
    TempWorkingDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const BackupFile folder = readBackupFile(dir.filePath("folder"));
    QCOMPARE(folder.problem.kind, BackupProblem::File);
    QCOMPARE(folder.problem.zones.kind, ZoneFileProblem::NotARegularFile);
    const BackupFile missing = readBackupFile(dir.filePath("missing.ini"));
    QCOMPARE(missing.problem.zones.kind, ZoneFileProblem::Unreadable);

    QFile file(dir.filePath("b.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(backupFileText(sampleBackup()));
    file.close();
    QVERIFY(readBackupFile(file.fileName()).ok());
}

void TestScannerBackup::planNamesWhatChanges()
{
    const ScannerBackup backup = sampleBackup();
    ScannerBackup scanner = backup;
    scanner.identity.serial = QStringLiteral("KP9990001");
    scanner.identity.firmware = QStringLiteral("V2.4.0");
    scanner.settings[1] = 80;  // filter-strength
    scanner.settings[8] = 181; // mask-min-angle
    ZoneAreaRecord changed = scanner.zones.area(7, 1);
    changed.onDelay = 3;
    scanner.zones.setArea(7, 1, changed);
    scanner.zones.setChannel(8, ZoneChannelRecord());
    scanner.zones.setChannel(9, ZoneChannelRecord());
    scanner.zones.setChannel(63, ZoneChannelRecord());

    const RestorePlan plan = planRestore(backup, scanner);
    QCOMPARE(plan.settings.size(), 2);
    QCOMPARE(plan.settings.at(0).setting, 1);
    QCOMPARE(plan.settings.at(0).from, 80);
    QCOMPARE(plan.settings.at(0).to, 35);
    QCOMPARE(plan.channels, (QVector<int>{7, 8, 9, 63}));
    QVERIFY(plan.firmwareDiffers());
    QCOMPARE(describeRestorePlan(plan),
             (QStringList{"serial: KP2100417 in the backup, KP9990001 on this scanner",
                          "filter-strength: 80 -> 35", "mask-min-angle: 90.5 -> 5.0",
                          "zones: channels 7-9, 63 differ",
                          "firmware: V2.3.1 in the backup, V2.4.0 on this scanner (a restore "
                          "does not change it)"}));

    const RestorePlan same = planRestore(backup, backup);
    QVERIFY(same.changesNothing());
    QCOMPARE(describeRestorePlan(same),
             (QStringList{"serial: KP2100417, the scanner the backup was made of",
                          "the settings and zones already equal the backup"}));
}

void TestScannerBackup::rangeLimitsKeepTheirOrder_data()
{
    QTest::addColumn<int>("scannerMin");
    QTest::addColumn<int>("scannerMax");
    QTest::addColumn<int>("backupMin");
    QTest::addColumn<int>("backupMax");
    QTest::addColumn<QVector<int>>("order"); // settings in the order they are sent

    // filter-min-range is setting 2, filter-max-range 3.
    QTest::newRow("both down") << 5000 << 9000 << 100 << 1000 << QVector<int>{2, 3};
    QTest::newRow("both up past the maximum") << 100 << 1000 << 5000 << 9000 << QVector<int>{3, 2};
    QTest::newRow("minimum up to the old maximum")
        << 100 << 1000 << 1000 << 2000 << QVector<int>{2, 3};
    QTest::newRow("only the minimum") << 100 << 1000 << 500 << 1000 << QVector<int>{2};
}

void TestScannerBackup::rangeLimitsKeepTheirOrder()
{
    QFETCH(int, scannerMin);
    QFETCH(int, scannerMax);
    QFETCH(int, backupMin);
    QFETCH(int, backupMax);
    QFETCH(QVector<int>, order);

    ScannerBackup backup = sampleBackup();
    ScannerBackup scanner = backup;
    scanner.settings[2] = scannerMin;
    scanner.settings[3] = scannerMax;
    backup.settings[2] = backupMin;
    backup.settings[3] = backupMax;
    scanner.settings[9] = 0; // mask-max-angle: always last
    QVector<int> sent;
    for (const SettingChange &c : planRestore(backup, scanner).settings)
        sent.append(c.setting);
    QCOMPARE(sent, order + QVector<int>{9});
}

void TestScannerBackup::channelRanges_data()
{
    QTest::addColumn<QVector<int>>("channels");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QVector<int>{} << "";
    QTest::newRow("one") << QVector<int>{5} << "5";
    QTest::newRow("runs and singles") << QVector<int>{0, 1, 2, 4, 6, 7, 63} << "0-2, 4, 6-7, 63";
}

void TestScannerBackup::channelRanges()
{
    QFETCH(QVector<int>, channels);
    QFETCH(QString, text);
    QCOMPARE(::channelRanges(channels), text);
}

QTEST_GUILESS_MAIN(TestScannerBackup)
#include "tst_scannerbackup.moc"
