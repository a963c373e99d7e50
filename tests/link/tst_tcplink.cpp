// The scanner session through a serial device server: the simulated scanner behind its TCP
// bridge on the loopback address, reached as tcp://127.0.0.1:PORT. Connecting and probing,
// connections refused or dropped (a lost port), the full zone read and write, the firmware
// update with the scanner dropping off the line as it restarts, the names that are refused,
// and areascan-sim --tcp with areascan-cli --port tcp://.
#include "firmwareupdate.h"
#include "linkname.h"
#include "scannersession.h"
#include "sessiontest.h"
#include "simulatorhost.h"
#include "tcplink.h"
#include "testsupport.h"
#include "workerthread.h"
#include "zoneread.h"
#include "zonewrite.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

#include <memory>
#include <numeric>

using namespace sessiontest;

class TestTcpLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void namesThatAreRefused_data();
    void namesThatAreRefused();
    void connectsProbesAndCloses();
    void refusedOrDroppedConnectionIsALostPort_data();
    void refusedOrDroppedConnectionIsALostPort();
    void fullReadAndWrite();
    void unpluggedDuringAReadEndsIt();
    void firmwareUpdateWhileTheLineDrops();
    void simulatorAndCliOverTcp();

private:
    bool connectSession(const SimOptions &options = quick());
    int countOf(quint16 type) const;

    std::unique_ptr<TempWorkingDir> m_dir;
    std::unique_ptr<SimulatorHost> m_sim;
    std::unique_ptr<ScannerSession> m_session;
};

void TestTcpLink::init()
{
    m_dir = std::make_unique<TempWorkingDir>();
    m_sim = std::make_unique<SimulatorHost>();
    m_sim->setState(scannerZones());
    m_session = std::make_unique<ScannerSession>();
}

void TestTcpLink::cleanup()
{
    m_session.reset();
    m_sim.reset();
    m_dir.reset();
}

bool TestTcpLink::connectSession(const SimOptions &options)
{
    // A loaded test machine may take longer than a scanner to relay the probe's answer.
    m_session->setProbeTimeout(1000);
    if (!m_sim->start(options) || m_sim->listenTcp() == 0 ||
        !m_session->open(m_sim->tcpName(), 921600))
        return false;
    return waitUntil([this]() { return m_session->worker() != nullptr; }, 3000);
}

int TestTcpLink::countOf(quint16 type) const
{
    int n = 0;
    for (const ReceivedFrame &f : m_sim->receivedFrames())
        n += f.type == type;
    return n;
}

void TestTcpLink::namesThatAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no port") << "tcp://192.168.1.20"
                             << "no port";
    QTest::newRow("port 0") << "tcp://192.168.1.20:0"
                            << "no port";
    QTest::newRow("port too big") << "tcp://192.168.1.20:70000"
                                  << "";
    QTest::newRow("no host") << "tcp://:4001"
                             << "no host";
    QTest::newRow("a path") << "tcp://192.168.1.20:4001/ttyS0"
                            << "no path";
    QTest::newRow("user") << "tcp://admin@192.168.1.20:4001"
                          << "only a host and a port";
}

void TestTcpLink::namesThatAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QString host, error;
    quint16 port = 0;
    QVERIFY(isTcpLinkName(name));
    QVERIFY(!parseTcpLinkName(name, &host, &port, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    // The session refuses to open it at once, with the same reason.
    QVERIFY(!m_session->open(name, 921600));
    QVERIFY(!m_session->isOpen());
    QVERIFY(!m_session->isProbing());
    QCOMPARE(m_session->errorString(), error);

    QVERIFY(parseTcpLinkName("TCP://[::1]:4001", &host, &port, &error));
    QCOMPARE(host, QStringLiteral("::1"));
    QCOMPARE(port, quint16(4001));
    QVERIFY(!isTcpLinkName("/dev/ttyUSB0"));
}

void TestTcpLink::connectsProbesAndCloses()
{
    QVERIFY(m_sim->start(quick()));
    QVERIFY(m_sim->listenTcp() > 0);
    QSignalSpy answered(m_session.get(), &ScannerSession::probeAnswered);
    m_session->setProbeTimeout(1000);
    QVERIFY(m_session->open(m_sim->tcpName(), 921600));
    QVERIFY(m_session->isProbing());
    QVERIFY(answered.wait(3000));
    QVERIFY(m_session->worker());
    QCOMPARE(m_session->link()->kind(), ScannerLink::Kind::Tcp);
    QCOMPARE(m_sim->receivedFrames().first().raw, QByteArray::fromHex("5AFA0A000E000000A893"));

    // A request and its answer, then closed and connected again through the same server.
    QString version;
    connect(m_session.get(), &ScannerSession::sendMainRequestResult, this,
            [&](RequestType type, const QString &text) {
                if (type == REQUEST_FIRMWARE_VERSION)
                    version = text;
            });
    m_session->send(REQUEST_FIRMWARE_VERSION);
    QTRY_VERIFY(!version.isEmpty());
    m_session->close();
    QVERIFY(!m_session->isOpen());
    QVERIFY(m_session->open(m_sim->tcpName(), 921600));
    QVERIFY(answered.wait(3000));
    QCOMPARE(answered.count(), 2);

    // A server that accepts but whose scanner says nothing: the probe goes unanswered.
    m_session->close();
    m_sim->setSilent(true);
    m_session->setProbeTimeout(150);
    QSignalSpy unanswered(m_session.get(), &ScannerSession::probeUnanswered);
    QVERIFY(m_session->open(m_sim->tcpName(), 921600));
    QVERIFY(unanswered.wait(3000));
    QVERIFY(!m_session->worker());
    QVERIFY(m_session->isOpen());
}

void TestTcpLink::refusedOrDroppedConnectionIsALostPort_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("nobody listens") << 0;
    QTest::newRow("server turns the client away") << 1;
    QTest::newRow("server stops while connected") << 2;
}

void TestTcpLink::refusedOrDroppedConnectionIsALostPort()
{
    QFETCH(int, how);
    QString name;
    if (how == 0) {
        // A port that was free a moment ago: nothing listens there now.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        name = QStringLiteral("tcp://127.0.0.1:%1").arg(probe.serverPort());
    } else {
        QVERIFY(m_sim->start(quick()));
        QVERIFY(m_sim->listenTcp() > 0);
        name = m_sim->tcpName();
        // One client at a time: a second connection is turned away.
        if (how == 1) {
            QTcpSocket first;
            first.connectToHost(QHostAddress::LocalHost, quint16(name.section(':', -1).toInt()));
            QVERIFY(first.waitForConnected(3000));
            QSignalSpy lost(m_session.get(), &ScannerSession::portLost);
            QVERIFY(m_session->open(name, 921600));
            QVERIFY(lost.wait(3000));
            QVERIFY(!m_session->isOpen());
            QVERIFY(!m_session->isProbing());
            QVERIFY(!m_session->worker());
            QVERIFY(m_session->isLost());
            return;
        }
    }
    QSignalSpy lost(m_session.get(), &ScannerSession::portLost);
    QSignalSpy unanswered(m_session.get(), &ScannerSession::probeUnanswered);
    QVERIFY(m_session->open(name, 921600));
    if (how == 2) {
        QVERIFY(waitUntil([this]() { return m_session->worker() != nullptr; }, 3000));
        Outcome read;
        read.watch(m_session->zoneRead());
        m_session->zoneRead()->setTimeout(60000);
        m_session->zoneRead()->start();
        m_sim->stop();
        QVERIFY(waitUntil([&]() { return read.over(); }, 5000));
        QCOMPARE(read.failure.kind, SessionFailure::PortLost);
    }
    QVERIFY(lost.wait(3000) || lost.count() == 1);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!m_session->isOpen());
    QVERIFY(!m_session->isProbing());
    QVERIFY(m_session->isLost());
    QVERIFY(!m_session->portError().isEmpty());
    QCOMPARE(unanswered.count(), 0);
    QTest::qWait(100);
    QCOMPARE(lost.count(), 1);
}

void TestTcpLink::fullReadAndWrite()
{
    QVERIFY(connectSession());
    const DeviceState scanner = scannerZones();
    QVector<ZoneChannelRecord> got(kZoneChannelCount);
    connect(m_session->zoneRead(), &ZoneRead::channelReceived, this,
            [&](int channel, const ZoneChannelRecord &areas) { got[channel] = areas; });
    Outcome read;
    read.watch(m_session->zoneRead());
    m_session->zoneRead()->start();
    QVERIFY(waitUntil([&]() { return read.over(); }, 10000));
    QCOMPARE(read.finished, 1);
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        QCOMPARE(got.at(channel), recordOf(scanner, channel));

    // Written back shifted by one channel, so that every block is seen to arrive.
    QVector<QByteArray> blocks;
    DeviceState shifted;
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        const int from = (channel + 1) % kZoneChannelCount;
        blocks.append(encodeZoneBlock(channel, recordOf(scanner, from)));
        for (int k = 0; k < kZoneAreas; ++k)
            shifted.zone(channel, k) = scanner.zone(from, k);
    }
    Outcome write;
    write.watch(m_session->zoneWrite());
    QVERIFY(m_session->zoneWrite()->start(blocks));
    QVERIFY(waitUntil([&]() { return write.over(); }, 20000));
    QCOMPARE(write.finished, 1);
    QVERIFY(m_sim->state().zones == shifted.zones);
}

void TestTcpLink::unpluggedDuringAReadEndsIt()
{
    // The cable behind the device server is pulled after the 12th channel's answer: the
    // server drops the connection once that answer is through.
    SimOptions o = quick();
    o.unplugType = REQUEST_READ_AREA;
    o.unplugAfter = 12;
    QVERIFY(connectSession(o));
    QSignalSpy lost(m_session.get(), &ScannerSession::portLost);
    QVector<int> order;
    connect(m_session->zoneRead(), &ZoneRead::channelReceived, this,
            [&](int channel, const ZoneChannelRecord &) { order.append(channel); });
    Outcome read;
    read.watch(m_session->zoneRead());
    m_session->zoneRead()->setTimeout(60000);
    m_session->zoneRead()->start();
    QVERIFY(waitUntil([&]() { return read.over(); }, 10000));
    QCOMPARE(read.failed, 1);
    QCOMPARE(read.failure.kind, SessionFailure::PortLost);
    QCOMPARE(read.failure.index, 12);
    QCOMPARE(order.size(), 12);
    QCOMPARE(order.last(), 11);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!m_session->isOpen());
}

void TestTcpLink::firmwareUpdateWhileTheLineDrops()
{
    // The scanner restarts into its bootloader and drops off the line for a while: the
    // device server closes the connection, turns clients away until the scanner is back,
    // and the reconnect loop connects again.
    SimOptions o = quick();
    o.hangUpOnRestart = true;
    QVERIFY(connectSession(o));
    FirmwareUpdate *update = m_session->firmware();
    update->setReconnectInterval(100);
    update->setReopenEveryTick(false);
    QSignalSpy lost(m_session.get(), &ScannerSession::portLost);
    Outcome outcome;
    outcome.watch(update);
    QVector<int> chunks;
    connect(update, &FirmwareUpdate::chunkAcknowledged, this,
            [&](int index, int) { chunks.append(index); });
    const QByteArray bytes = image(2600);
    QVERIFY(update->start(bytes));
    QVERIFY(waitUntil([&]() { return outcome.over(); }, 15000));
    QVERIFY2(outcome.finished == 1, qPrintable(QString::number(int(outcome.failure.kind))));
    QCOMPARE(chunks, (QVector<int>{0, 1, 2, 3, 4, 5}));
    QCOMPARE(m_sim->state().committedFirmwareMd5, md5(bytes));
    QCOMPARE(lost.count(), 0);
}

void TestTcpLink::simulatorAndCliOverTcp()
{
    QProcess sim;
    sim.setProcessChannelMode(QProcess::SeparateChannels);
    sim.start(QStringLiteral(AREASCAN_SIM), {"--unpaced", "--tcp", "0"});
    QVERIFY(sim.waitForStarted(5000));
    QString name;
    QVERIFY(waitUntil(
        [&]() {
            const QString out = QString::fromLocal8Bit(sim.peek(4096));
            const QRegularExpressionMatch m =
                QRegularExpression("device server on (tcp://127\\.0\\.0\\.1:\\d+)").match(out);
            name = m.captured(1);
            return m.hasMatch();
        },
        5000));

    QProcess cli;
    cli.start(QStringLiteral(AREASCAN_CLI),
              {"--port", name, "--timeout", "2000", "--json", "info"});
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 0);
    const QByteArray json = cli.readAllStandardOutput();
    QVERIFY2(json.contains("\"firmware\""), json.constData());

    // The port was given as a name, not a path: nothing is resolved against the folder.
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    cli.start(QStringLiteral(AREASCAN_CLI), {"--port", name, "--timeout", "500", "info"});
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("areascan-cli: %1: the link was lost: ").arg(name)),
             qPrintable(err));

    cli.start(QStringLiteral(AREASCAN_CLI), {"--port", "tcp://127.0.0.1", "info"});
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 2);
}

QTEST_MAIN(TestTcpLink)
#include "tst_tcplink.moc"
