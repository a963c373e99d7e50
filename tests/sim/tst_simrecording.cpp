// Reading a recording for replay, on pcap files built byte by byte: the files that are
// refused and why, both byte orders and time resolutions, whole scans only, a clock set
// back; and areascan-sim refusing such a file before it starts.
#include "framecodec.h"
#include "pcapbuilder.h"
#include "scanframe.h"
#include "simrecording.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace pcapbuilder;

class TestSimRecording : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhatIsNotARecording_data();
    void refusesWhatIsNotARecording();
    void readsEitherByteOrderAndTimeResolution();
    void keepsWholeScansAndAClockThatWentBack();
    void simulatorRefusesTheFileBeforeItStarts();
};

void TestSimRecording::refusesWhatIsNotARecording_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    const QByteArray good = pcapFile(scans(2));
    QTest::newRow("empty") << QByteArray() << "not a pcap file";
    QTest::newRow("text") << QByteArray("[Area0]\nPoints=1,2\n") << "pcap magic";
    QTest::newRow("pcapng") << QByteArray::fromHex("0a0d0d0a1c0000004d3c2b1a") << "pcapng";
    QTest::newRow("header cut") << good.left(20) << "file header";
    QTest::newRow("ethernet") << pcapFile(scans(1), 1) << "link type 1:";
    QByteArray v1 = good;
    v1[4] = 1;
    QTest::newRow("version 1") << v1 << "version 1";
    QTest::newRow("packet header cut")
        << good.left(24 + 16 + kScanFrameSize + 7) << "header of packet 2";
    QTest::newRow("packet cut") << good.left(good.size() - 1) << "packet 12 of 379 bytes";
    QVector<Packet> snapped = scans(1);
    snapped[2].original = kScanFrameSize + 100;
    QTest::newRow("snapped") << pcapFile(snapped) << "packet 3 holds only 379 of its 479";
    QVector<Packet> huge = scans(1);
    QByteArray claim = pcapFile(huge);
    claim.replace(24 + 8, 4, QByteArray::fromHex("ffffff7f"));
    QTest::newRow("huge length") << claim << "claims 2147483647 bytes";
    QVector<Packet> foreign = scans(1);
    foreign.insert(3, {QByteArray("\x45\x00\x00\x14 an IP packet", 17), 1700000000000000});
    QTest::newRow("foreign packet") << pcapFile(foreign) << "packet 4 is not a frame";
    QVector<Packet> wrongLength = scans(1);
    wrongLength[1].bytes.chop(1);
    QTest::newRow("short scan frame") << pcapFile(wrongLength) << "packet 2 is not a frame";
    QTest::newRow("replies only") << pcapFile({reply(), reply()}) << "no scan frames, only 2";
    QTest::newRow("no packets") << pcapFile({}) << "holds no frames";
}

void TestSimRecording::refusesWhatIsNotARecording()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    SimRecording rec;
    rec.packets = -7; // untouched on refusal
    QString error;
    QVERIFY(!readSimRecording(file, &rec, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(rec.packets, -7);
}

void TestSimRecording::readsEitherByteOrderAndTimeResolution()
{
    QVector<Packet> packets = scans(3);
    packets.insert(4, reply());
    packets[4].us = packets.at(3).us + 100;
    SimRecording little, big;
    QString error;
    QVERIFY2(readSimRecording(pcapFile(packets), &little, &error), qPrintable(error));
    QVERIFY2(readSimRecording(pcapFile(packets, 147, true, true), &big, &error), qPrintable(error));
    for (const SimRecording *rec : {&little, &big}) {
        QCOMPARE(rec->packets, 19);
        QCOMPARE(rec->replies, 1);
        QCOMPARE(rec->scanCount(), 18);
        QCOMPARE(rec->timesUs.first(), qint64(0));
        QCOMPARE(rec->timesUs.at(6), qint64(40000));
        QCOMPARE(rec->timesUs.last(), qint64(17 * 40000 / 6));
        // A lap is one frame gap longer than the span, so the loop keeps the pace.
        QVERIFY(qAbs(rec->periodUs - 120000) <= 1);
        QCOMPARE(rec->scanFrame(7), scanFrame(1, 1));
    }
    QCOMPARE(big.scanFrames, little.scanFrames);
}

void TestSimRecording::keepsWholeScansAndAClockThatWentBack()
{
    // Begun in sector 3, ended after sector 2 of the fourth scan.
    QVector<Packet> packets = scans(4, 3);
    packets.resize(packets.size() - 3);
    // The wall clock went back by a second during the second whole scan.
    for (int i = 5; i < packets.size(); ++i)
        packets[i].us -= 1000000;
    SimRecording rec;
    QString error;
    QVERIFY2(readSimRecording(pcapFile(packets), &rec, &error), qPrintable(error));
    QCOMPARE(rec.packets, packets.size());
    // Scans 1 and 2 are whole; scan 0 (from sector 3) and scan 3 (to sector 2) are not.
    QCOMPARE(rec.scanCount(), 12);
    QCOMPARE(rec.scanFrame(0), scanFrame(0, 1));
    QCOMPARE(rec.scanFrame(11), scanFrame(5, 2));
    for (int i = 1; i < rec.scanCount(); ++i)
        QVERIFY(rec.timesUs.at(i) >= rec.timesUs.at(i - 1));
    QVERIFY(rec.timesUs.last() < 100000);
}

void TestSimRecording::simulatorRefusesTheFileBeforeItStarts()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ethernet.pcap");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(pcapFile(scans(1), 1));
    file.close();
    for (const QStringList &args :
         {QStringList{"--replay", path}, QStringList{"--replay", dir.filePath("missing.pcap")},
          QStringList{"--loop"}}) {
        QProcess sim;
        sim.start(QStringLiteral(AREASCAN_SIM), args);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(err.contains(args.size() > 1 ? "cannot be replayed" : "--loop needs --replay"),
                 qPrintable(err));
        QCOMPARE(sim.readAllStandardOutput(), QByteArray());
    }
}

QTEST_MAIN(TestSimRecording)
#include "tst_simrecording.moc"
