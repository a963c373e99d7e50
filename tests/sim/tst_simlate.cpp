// The simulated scanner's late answers and the texts of its new fault options, from the PC
// end. What the zone faults do is seen through the transfers that meet them
// (tst_transferreplies).

#include "requesttype.h"
#include "simpeer.h"
#include "simulatorhost.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace simtest;

class TestSimLate : public QObject
{
    Q_OBJECT
private slots:
    void optionsFromTheirTexts();
    void lateAnswerHoldsTheOnesBehindIt();
    void simulatorProgramTakesTheOptions();
    void replacementUnitOfAnotherSerial();
};

void TestSimLate::optionsFromTheirTexts()
{
    SimOptions o;
    QString error;
    QVERIFY(addAnswerDelayOption(o, "0x3301:6:150", &error));
    QVERIFY(setZoneBlockOption(o.refuseZoneBlock, "63", &error));
    QVERIFY(setZoneBlockOption(o.dropZoneBlock, "0", &error));
    QVERIFY(setFirmwareChunkOption(o.dropFirmwareChunk, "4", &error));
    QCOMPARE(o.answerDelays.size(), 1);
    QCOMPARE(o.answerDelays[0].type, quint16(REQUEST_WRITE_AREA));
    QCOMPARE(o.answerDelays[0].after, 6);
    QCOMPARE(o.answerDelays[0].ms, 150);
    QCOMPARE(o.refuseZoneBlock, 63);
    QCOMPARE(o.dropZoneBlock, 0);
    QCOMPARE(o.dropFirmwareChunk, 4);

    SimOptions untouched;
    for (const char *bad : {"0x3301:6", "0x3301:0:150", "0x3301:6:0", "write:6:150", "1:2:3:4"})
        QVERIFY2(!addAnswerDelayOption(untouched, bad, &error), bad);
    for (const char *bad : {"64", "-1", "x"})
        QVERIFY2(!setZoneBlockOption(untouched.refuseZoneBlock, bad, &error), bad);
    QVERIFY(!setFirmwareChunkOption(untouched.refuseFirmwareChunk, "-1", &error));
    QVERIFY(untouched.answerDelays.isEmpty());
    QCOMPARE(untouched.refuseZoneBlock, -1);
    QCOMPARE(untouched.refuseFirmwareChunk, -1);
}

void TestSimLate::lateAnswerHoldsTheOnesBehindIt()
{
    SimOptions o = fast();
    o.scanStream = false;
    o.answerDelays = {{REQUEST_GET_FREQUENCY, 2, 200}};
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    QElapsedTimer clock;
    clock.start();
    pc.request(REQUEST_GET_FREQUENCY);
    QVERIFY(pc.reply(REQUEST_GET_FREQUENCY).crcOk);
    QVERIFY(clock.elapsed() < 150);

    // The second answer leaves late; the answer to the request after it waits behind it
    // rather than overtake it. The request itself was carried out at once.
    // Timed from the requests: the wait for the state below may itself take a while on a
    // busy machine.
    clock.restart();
    pc.request(REQUEST_GET_FREQUENCY);
    pc.request(REQUEST_SET_FILTER_STRENGTH, QByteArray(1, char(61)));
    QTRY_COMPARE(int(sim.state().filterStrength), 61);
    pc.pump(1000, [](const WireFrame &f) { return f.type() == REQUEST_SET_FILTER_STRENGTH; });
    QVERIFY2(clock.elapsed() >= 150, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(pc.frames.size(), 2);
    QCOMPARE(pc.frames[0].type(), quint16(REQUEST_GET_FREQUENCY));
    QCOMPARE(pc.frames[1].type(), quint16(REQUEST_SET_FILTER_STRENGTH));
    QCOMPARE(sim.options().answerDelays.first().after, 0);

    // Spent: the third answer comes at once.
    pc.frames.clear();
    clock.restart();
    pc.request(REQUEST_GET_FREQUENCY);
    QVERIFY(pc.reply(REQUEST_GET_FREQUENCY).crcOk);
    QVERIFY(clock.elapsed() < 150);
}

void TestSimLate::simulatorProgramTakesTheOptions()
{
    QProcess help;
    help.start(AREASCAN_SIM, {"--help"});
    QVERIFY(help.waitForFinished(10000));
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char *option : {"--delay-answer <TYPE:N:MS>", "--refuse-zone-block <CHANNEL>",
                               "--drop-zone-block <CHANNEL>", "--refuse-firmware-chunk <N>",
                               "--drop-firmware-chunk <N>"})
        QVERIFY2(text.contains(option), option);

    for (const QStringList &bad :
         {QStringList{"--delay-answer", "0x3301:6"}, QStringList{"--refuse-zone-block", "64"},
          QStringList{"--drop-firmware-chunk", "x"}}) {
        QProcess sim;
        sim.start(AREASCAN_SIM, bad);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY2(sim.readAllStandardError().contains(bad.first().mid(2).toUtf8()),
                 qPrintable(bad.join(' ')));
    }
}

// A replacement unit answers with the serial it was given, from the library and from the
// program; a serial the scanner could not hold is refused and changes nothing.
void TestSimLate::replacementUnitOfAnotherSerial()
{
    DeviceState state;
    const QByteArray original = state.serialNumber;
    QString error;
    for (const QString &bad :
         {QString(), QString("KP12345678"), QString("KP\u00e4\u00e4\u00e4\u00e4"),
          QString::fromLatin1("KP\0", 3)}) {
        QVERIFY2(!setSerialNumber(state, bad, &error), qPrintable(bad));
        QVERIFY(!error.isEmpty());
        QCOMPARE(state.serialNumber, original);
    }
    QVERIFY(setSerialNumber(state, "SN7", &error));
    QCOMPARE(state.serialNumber, QByteArray("SN7\0\0\0\0\0\0", 9));

    QProcess refused;
    refused.start(AREASCAN_SIM, {"--serial", "KP12345678"});
    QVERIFY(refused.waitForFinished(10000));
    QCOMPARE(refused.exitCode(), 2);
    QVERIFY(refused.readAllStandardError().contains("--serial"));

    QTemporaryDir dir;
    const QString link = dir.filePath("scanner");
    QProcess sim;
    sim.start(AREASCAN_SIM, {"--serial", "KP9990001", "--unpaced", "--link", link});
    QVERIFY(sim.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&]() { return QFileInfo::exists(link); }, 10000));
    Peer pc;
    QVERIFY(pc.open(link));
    pc.request(REQUEST_SERIAL_NUMBER);
    const WireFrame answer = pc.reply(REQUEST_SERIAL_NUMBER, 3000);
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QVERIFY(answer.crcOk);
    QCOMPARE(answer.payload(), QByteArray("KP9990001"));
}

QTEST_GUILESS_MAIN(TestSimLate)
#include "tst_simlate.moc"
