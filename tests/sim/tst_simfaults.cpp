// The simulated scanner's faults and wire seen from the tool's side: the faults it is
// given (by option and by text), damaged and split traffic, closing, reopening and
// unplugging, and the pacing of its wire.

#include "devicestate.h"
#include "framecodec.h"
#include "requesttype.h"
#include "simpeer.h"
#include "simscene.h"
#include "simulatedscanner.h"
#include "simulatorhost.h"
#include "zonehit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace simtest;

namespace {

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
        .size();
}

} // namespace

class TestSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void faultOptions();
    void silentAndStreamSwitch();
    void noiseAndSplitWrites();
    void damagedRequestsDoNotStall();
    void requestLog();
    void closeReopenAndUnplug();
    void faultsFromTheirTexts();
    void pacedWire();
    void strictPacingLendsNoIdleCredit();
    void lineFaultsStrikeOnce();
    void chunksWithoutIndexAndAHungBootloader();
    void manyHostsLeaveNothingBehind();
};

void TestSimFaults::faultOptions()
{
    SimOptions o = fast();
    o.scanStream = false;
    o.corruptTypes = {REQUEST_GET_FREQUENCY};
    o.dropTypes = {REQUEST_SET_FILTER_STRENGTH};
    o.statusOverrides = {{REQUEST_SET_MASK_INTENSITY, 7}};
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));

    pc.request(REQUEST_GET_FREQUENCY);
    const WireFrame spoilt = pc.reply(REQUEST_GET_FREQUENCY);
    QCOMPARE(spoilt.raw.size(), 13);
    QVERIFY(!spoilt.crcOk);
    pc.request(REQUEST_SERIAL_NUMBER);
    QVERIFY(pc.reply(REQUEST_SERIAL_NUMBER).crcOk);

    // A dropped reply: the set is carried out, only its answer is lost.
    pc.request(REQUEST_SET_FILTER_STRENGTH, QByteArray(1, char(60)));
    pc.request(REQUEST_GET_FILTER_STRENGTH);
    QCOMPARE(pc.reply(REQUEST_GET_FILTER_STRENGTH).payload(), QByteArray(1, char(60)));
    QCOMPARE(pc.reply(REQUEST_SET_FILTER_STRENGTH, 100).raw.size(), 0);

    // A refusing status: answered with it, state unchanged.
    pc.request(REQUEST_SET_MASK_INTENSITY, le16(999));
    QCOMPARE(pc.reply(REQUEST_SET_MASK_INTENSITY).status(), quint16(7));
    QCOMPARE(int(sim.state().maskIntensity), int(DeviceState().maskIntensity));

    // Every frame spoilt, at run time.
    sim.updateOptions([](SimOptions &opt) {
        opt.corruptTypes.clear();
        opt.corruptShare = 1.0;
        opt.scanStream = true;
    });
    pc.frames.clear();
    pc.request(REQUEST_CONNECT);
    pc.pump(150);
    QVERIFY(pc.scans().size() > 3);
    for (const WireFrame &f : pc.frames)
        QVERIFY(!f.crcOk);
    QVERIFY(pc.replies() == 1);
}

void TestSimFaults::silentAndStreamSwitch()
{
    SimOptions o = fast();
    o.silent = true;
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    pc.send(requestFrame(REQUEST_CONNECT));
    pc.pump(250);
    QCOMPARE(pc.reads, 0);
    QCOMPARE(sim.receivedFrames().size(), 1); // heard, not answered

    sim.setSilent(false);
    sim.setScanStream(false);
    pc.request(REQUEST_CONNECT);
    QVERIFY(pc.reply(REQUEST_CONNECT).crcOk);
    pc.pump(150);
    QCOMPARE(pc.scans().size(), 0);

    sim.setScanStream(true);
    pc.pump(150);
    QVERIFY(!pc.scans().isEmpty());
}

void TestSimFaults::noiseAndSplitWrites()
{
    SimOptions o = fast();
    o.scanStream = false;
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));

    sim.injectBytes(QByteArray::fromHex("010203"));
    pc.request(REQUEST_CONNECT);
    QVERIFY(pc.reply(REQUEST_CONNECT).crcOk);
    QCOMPARE(pc.strayBytes, 3);

    sim.updateOptions([](SimOptions &opt) {
        opt.garbageShare = 1.0;
        opt.splitWrites = true;
        opt.scanStream = true;
    });
    pc.frames.clear();
    pc.strayBytes = 0;
    pc.reads = 0;
    pc.pump(400);
    const QVector<WireFrame> scans = pc.scans();
    QVERIFY(scans.size() > 5);
    for (const WireFrame &f : scans)
        QVERIFY(f.crcOk);
    QVERIFY(pc.strayBytes >= scans.size()); // noise before every frame
    QVERIFY(pc.reads > scans.size());       // frames arrive in pieces
}

void TestSimFaults::damagedRequestsDoNotStall()
{
    SimOptions o = fast();
    o.scanStream = false;
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));

    // A header with an impossible length, directly followed by a good request.
    pc.send(QByteArray::fromHex("5AFA0000") + requestFrame(REQUEST_GET_FREQUENCY));
    QVERIFY(pc.reply(REQUEST_GET_FREQUENCY).crcOk);
    // A request whose rest never comes is given up after a pause.
    pc.send(QByteArray::fromHex("5AFA20001100"));
    pc.pump(250);
    pc.request(REQUEST_SERIAL_NUMBER);
    QVERIFY(pc.reply(REQUEST_SERIAL_NUMBER).crcOk);
    // A request with a bad checksum is logged but not answered.
    QByteArray spoilt = requestFrame(REQUEST_LOT_NUMBER);
    spoilt[spoilt.size() - 1] = char(spoilt[spoilt.size() - 1] ^ 1);
    pc.send(spoilt);
    QCOMPARE(pc.reply(REQUEST_LOT_NUMBER, 200).raw.size(), 0);
    QVERIFY(!sim.receivedFrames().constLast().checksumOk);
}

void TestSimFaults::requestLog()
{
    SimulatorHost sim;
    QVERIFY(sim.start(fast()));
    // Collected in this thread: the signal comes from the simulator's thread.
    QObject receiver;
    QVector<QPair<quint16, QByteArray>> heard;
    connect(sim.scanner(), &SimulatedScanner::frameReceived, &receiver,
            [&heard](quint16 type, const QByteArray &payload) {
                heard.append({type, payload});
            });
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    const QByteArray readArea = requestFrame(REQUEST_READ_AREA, QByteArray(1, char(5)));
    QCOMPARE(readArea, QByteArray::fromHex("5AFA0B000033000005838B"));
    pc.request(REQUEST_GET_PARAM_FF00);
    pc.send(readArea);
    pc.request(REQUEST_SET_FILTER_ENABLE, le16(1));
    QVERIFY(pc.reply(REQUEST_SET_FILTER_ENABLE).crcOk);

    const QVector<ReceivedFrame> log = sim.receivedFrames();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log[0].type, quint16(REQUEST_GET_PARAM_FF00));
    QCOMPARE(log[1].type, quint16(REQUEST_READ_AREA));
    QCOMPARE(log[1].payload, QByteArray(1, char(5)));
    QCOMPARE(log[1].raw, readArea);
    QCOMPARE(log[2].payload, QByteArray::fromHex("0100"));
    QVERIFY(log[0].msecs <= log[2].msecs);
    QCOMPARE(sim.rawBytesReceived(), qint64(10 + 11 + 12));

    QTRY_COMPARE(heard.size(), 3);
    QCOMPARE(heard[1].first, quint16(REQUEST_READ_AREA));
    QCOMPARE(heard[1].second, QByteArray(1, char(5)));

    sim.clearLog();
    QVERIFY(sim.receivedFrames().isEmpty());
}

void TestSimFaults::closeReopenAndUnplug()
{
    SimulatorHost sim;
    QVERIFY(sim.start(fast()));
    const QString path = sim.devicePath();
    for (int round = 0; round < 2; ++round) {
        Peer pc;
        QVERIFY(pc.open(path));
        pc.request(REQUEST_CONNECT);
        QVERIFY2(pc.reply(REQUEST_CONNECT).crcOk, qPrintable(QString::number(round)));
    }

    Peer pc;
    QVERIFY(pc.open(path));
    pc.pump(50);
    sim.unplug();
    QVERIFY(sim.devicePath().isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    pc.frames.clear();
    pc.pump(300);
    // The tool's port notices the pulled cable as an error, as with a real adapter.
    const QSerialPort::SerialPortError e = pc.port.error();
    QVERIFY2(e == QSerialPort::ReadError || e == QSerialPort::ResourceError,
             qPrintable(QString::number(e)));
    QVERIFY(pc.scans().isEmpty());

    QVERIFY(sim.replug());
    Peer again;
    QVERIFY(again.open(sim.devicePath()));
    again.request(REQUEST_CONNECT);
    QVERIFY(again.reply(REQUEST_CONNECT).crcOk);
}

void TestSimFaults::faultsFromTheirTexts()
{
    SimOptions o = fast();
    o.scanStream = false;
    QString error;
    QVERIFY(addRefusalOption(o, "0x0016=3", &error));
    QVERIFY(addDropOption(o, "21", &error)); // the filter strength read
    QVERIFY(setUnplugOption(o, "0xe:2:150", &error));
    QCOMPARE(o.statusOverrides.value(REQUEST_SET_FILTER_STRENGTH), quint16(3));
    QCOMPARE(o.dropTypes, QSet<quint16>{REQUEST_GET_FILTER_STRENGTH});
    QCOMPARE(o.unplugType, quint16(REQUEST_CONNECT));
    QCOMPARE(o.unplugAfter, 2);
    QCOMPARE(o.replugMs, 150);
    SimOptions untouched = o;
    for (const char *bad : {"0x16", "0x16=0", "probe=1", "0x16=65536", "0x10000=1"})
        QVERIFY2(!addRefusalOption(untouched, bad, &error), bad);
    QVERIFY(!addDropOption(untouched, "-1", &error));
    for (const char *bad : {"0xe", "0xe:0", "0xe:1:-5", "0xe:1:2:3"})
        QVERIFY2(!setUnplugOption(untouched, bad, &error), bad);
    QCOMPARE(untouched.statusOverrides, o.statusOverrides);
    QCOMPARE(untouched.unplugAfter, 2);

    QTemporaryDir dir;
    o.linkPath = dir.filePath("scanner");
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(o.linkPath));
    pc.request(REQUEST_SET_FILTER_STRENGTH, QByteArray(1, char(60)));
    QCOMPARE(pc.reply(REQUEST_SET_FILTER_STRENGTH).status(), quint16(3));
    QCOMPARE(int(sim.state().filterStrength), int(DeviceState().filterStrength));
    pc.request(REQUEST_GET_FILTER_STRENGTH);
    QCOMPARE(pc.reply(REQUEST_GET_FILTER_STRENGTH, 150).raw.size(), 0);

    // The second probe is still answered; nothing after it is, and the line drops.
    pc.request(REQUEST_CONNECT);
    QVERIFY(pc.reply(REQUEST_CONNECT).crcOk);
    pc.request(REQUEST_CONNECT);
    QVERIFY(pc.reply(REQUEST_CONNECT).crcOk);
    pc.request(REQUEST_SERIAL_NUMBER);
    QCOMPARE(pc.reply(REQUEST_SERIAL_NUMBER, 100).raw.size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(sim.devicePath().isEmpty() && !QFileInfo::exists(o.linkPath), 1000);
    // Back under the same name, once: further probes are answered.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(o.linkPath), 2000);
    pc.port.close(); // its lock on the name
    Peer again;
    QVERIFY(again.open(o.linkPath));
    for (int i = 0; i < 3; ++i) {
        again.request(REQUEST_CONNECT);
        QVERIFY(again.reply(REQUEST_CONNECT).crcOk);
    }
    QCOMPARE(sim.options().unplugAfter, 0);
}

void TestSimFaults::pacedWire()
{
    SimOptions o = fast();
    o.paced = true;
    o.scanStream = false;
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    // 6520 bytes at 92160 bytes/s cannot arrive in much less than 71 ms.
    QElapsedTimer t;
    t.start();
    pc.request(REQUEST_READ_AREA, QByteArray(1, char(7)));
    QCOMPARE(pc.reply(REQUEST_READ_AREA).raw.size(), 6520);
    QVERIFY2(t.elapsed() >= 60, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(pc.reply(REQUEST_READ_AREA, 100).raw.size(), 0); // and only one
}

void TestSimFaults::strictPacingLendsNoIdleCredit()
{
    // Both lines idle: a short request still takes its own line time to come down before
    // it is answered, and the reply's last byte leaves when the line has carried it, so a
    // slow peer cannot make up its delay from the idle time.
    SimOptions o = fast();
    o.paced = true;
    o.strictPacing = true;
    o.scanStream = false;
    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    for (int channel = 0; channel < 3; ++channel) {
        pc.request(REQUEST_READ_AREA, QByteArray(1, char(channel)));
        QCOMPARE(pc.reply(REQUEST_READ_AREA).raw.size(), 6520);
        QTest::qWait(20);
    }
    const QVector<ReceivedFrame> requests = sim.receivedFrames();
    const QVector<SentReply> replies = sim.sentReplies();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(replies.size(), 3);
    const qint64 requestLineNs = qint64(11 / 92160.0 * 1e9);
    const qint64 replyLineNs = qint64(6520 / 92160.0 * 1e9);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(replies[i].type, quint16(REQUEST_READ_AREA));
        QCOMPARE(replies[i].size, 6520);
        QVERIFY(!replies[i].damaged);
        QVERIFY(requests[i].firstByteNs > 0);
        QVERIFY(requests[i].firstByteNs <= requests[i].msecs * 1000000 + 1000000);
        QVERIFY2(replies[i].queuedNs - requests[i].firstByteNs >= requestLineNs,
                 qPrintable(QString::number(replies[i].queuedNs - requests[i].firstByteNs)));
        QVERIFY2(replies[i].lastByteNs - replies[i].queuedNs >= replyLineNs,
                 qPrintable(QString::number(replies[i].lastByteNs - replies[i].queuedNs)));
        if (i > 0)
            QVERIFY(requests[i].firstByteNs > replies[i - 1].lastByteNs);
    }
    sim.clearLog();
    QVERIFY(sim.sentReplies().isEmpty());
}

void TestSimFaults::lineFaultsStrikeOnce()
{
    SimOptions o = fast();
    o.scanStream = false;
    QString error;
    QVERIFY(addLineFaultOption(o, "damage-request:0x3300:2", &error));
    QVERIFY(addLineFaultOption(o, "lose-answer:22:1", &error)); // the filter strength set
    QVERIFY(addLineFaultOption(o, "damage-answer:0x11:2", &error));
    QCOMPARE(o.lineFaults.size(), 3);
    QCOMPARE(o.lineFaults[0].kind, SimOptions::LineFault::DamagedRequest);
    QCOMPARE(o.lineFaults[1].type, quint16(REQUEST_SET_FILTER_STRENGTH));
    QCOMPARE(o.lineFaults[2].after, 2);
    SimOptions untouched = fast();
    for (const char *bad : {"lose-answer:0x11", "drop:0x11:1", "lose-answer:0x11:0",
                            "damage-answer:probe:1", "lose-answer:0x11:1:2"})
        QVERIFY2(!addLineFaultOption(untouched, bad, &error), bad);
    QVERIFY(untouched.lineFaults.isEmpty());

    SimulatorHost sim;
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    // The second zone read arrives damaged: logged as such, ignored; the others answered.
    for (int channel = 0; channel < 3; ++channel) {
        pc.request(REQUEST_READ_AREA, QByteArray(1, char(channel)));
        const WireFrame block = pc.reply(REQUEST_READ_AREA, channel == 1 ? 200 : 1000);
        QCOMPARE(block.raw.size(), channel == 1 ? 0 : 6520);
    }
    const QVector<ReceivedFrame> log = sim.receivedFrames();
    QCOMPARE(log.size(), 3);
    QVERIFY(log[0].checksumOk && !log[1].checksumOk && log[2].checksumOk);
    // A lost answer: the setting is carried out all the same; the next one is answered.
    pc.request(REQUEST_SET_FILTER_STRENGTH, QByteArray(1, char(61)));
    QCOMPARE(pc.reply(REQUEST_SET_FILTER_STRENGTH, 200).raw.size(), 0);
    QCOMPARE(int(sim.state().filterStrength), 61);
    pc.request(REQUEST_SET_FILTER_STRENGTH, QByteArray(1, char(62)));
    QVERIFY(pc.reply(REQUEST_SET_FILTER_STRENGTH).crcOk);
    // The second frequency answer is spoilt, the first and third are not.
    for (int i = 0; i < 3; ++i) {
        pc.request(REQUEST_GET_FREQUENCY);
        const WireFrame answer = pc.reply(REQUEST_GET_FREQUENCY);
        QCOMPARE(answer.raw.size(), 13);
        QCOMPARE(answer.crcOk, i != 1);
    }
    QCOMPARE(sim.sentReplies().at(sim.sentReplies().size() - 2).damaged, true);
    for (const SimOptions::LineFault &f : sim.options().lineFaults)
        QCOMPARE(f.after, 0);
}

void TestSimFaults::chunksWithoutIndexAndAHungBootloader()
{
    SimOptions o = fast();
    SimulatorHost sim;
    sim.updateState([](DeviceState &s) { s.deviceMode = 1; });
    QVERIFY(sim.start(o));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    const QByteArray image = QByteArray(512, 'a') + QByteArray(512, 'b') + "end";
    const QByteArray digest = QCryptographicHash::hash(image, QCryptographicHash::Md5);
    auto chunk = [&](int i, quint16 status, int ms = 1000) {
        pc.request(REQUEST_FIRMWARE_DATA, image.mid(512 * i, 512));
        const WireFrame answer = pc.reply(REQUEST_FIRMWARE_DATA, ms);
        return answer.raw.isEmpty() ? -1 : int(answer.status()) == status;
    };
    // The answer to chunk 1 is lost and the PC sends it again: the bootloader cannot tell
    // a resend from the next chunk, keeps it twice, and the digest no longer matches.
    sim.updateOptions([](SimOptions &opt) {
        opt.lineFaults = {{SimOptions::LineFault::LostAnswer, REQUEST_FIRMWARE_DATA, 2}};
    });
    pc.request(REQUEST_FIRMWARE_BEGIN);
    QCOMPARE(pc.reply(REQUEST_FIRMWARE_BEGIN).status(), quint16(0));
    QCOMPARE(chunk(0, 0), 1);
    QCOMPARE(chunk(1, 0, 200), -1);
    QCOMPARE(chunk(1, 0), 1);
    QCOMPARE(chunk(2, 0), 1);
    QCOMPARE(sim.state().firmwareChunks, 4);
    pc.request(REQUEST_FIRMWARE_VERIFY, digest);
    QCOMPARE(pc.reply(REQUEST_FIRMWARE_VERIFY).payload(), QByteArray(1, '\0'));

    // A chunk that arrived damaged was never kept: sending it again makes the image whole.
    sim.updateOptions([](SimOptions &opt) {
        opt.lineFaults = {{SimOptions::LineFault::DamagedRequest, REQUEST_FIRMWARE_DATA, 2}};
    });
    pc.request(REQUEST_FIRMWARE_BEGIN);
    QCOMPARE(pc.reply(REQUEST_FIRMWARE_BEGIN).status(), quint16(0));
    QCOMPARE(chunk(0, 0), 1);
    QCOMPARE(chunk(1, 0, 200), -1);
    QCOMPARE(chunk(1, 0), 1);
    QCOMPARE(chunk(2, 0), 1);
    pc.request(REQUEST_FIRMWARE_VERIFY, digest);
    QCOMPARE(pc.reply(REQUEST_FIRMWARE_VERIFY).payload(), QByteArray(1, '\1'));

    // The drop fault hangs the bootloader: no chunk from then on is answered, resends
    // included, until the next begin.
    sim.updateOptions([](SimOptions &opt) {
        opt.lineFaults.clear();
        opt.dropFirmwareChunk = 1;
    });
    pc.request(REQUEST_FIRMWARE_BEGIN);
    QCOMPARE(pc.reply(REQUEST_FIRMWARE_BEGIN).status(), quint16(0));
    QCOMPARE(chunk(0, 0), 1);
    QCOMPARE(chunk(1, 0, 200), -1);
    QCOMPARE(chunk(1, 0, 200), -1);
    QCOMPARE(sim.state().firmwareChunks, 2);
    pc.request(REQUEST_FIRMWARE_BEGIN);
    QCOMPARE(pc.reply(REQUEST_FIRMWARE_BEGIN).status(), quint16(0));
    QCOMPARE(chunk(0, 0), 1);
}

void TestSimFaults::manyHostsLeaveNothingBehind()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scanner"));
    const int before = openDescriptors();
    for (int i = 0; i < 12; ++i) {
        SimOptions o = fast();
        o.linkPath = link;
        SimulatorHost sim;
        QVERIFY(sim.start(o));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.devicePath());
        if (i % 3 == 0) {
            Peer pc;
            QVERIFY(pc.open(link));
            pc.request(REQUEST_CONNECT);
            QVERIFY(pc.reply(REQUEST_CONNECT).crcOk);
        }
        sim.stop();
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }
    QCOMPARE(openDescriptors(), before);

    // A file that is not a link is never replaced.
    QFile plain(link);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    SimOptions o = fast();
    o.linkPath = link;
    SimulatorHost sim;
    QString error;
    QVERIFY(!sim.start(o, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(openDescriptors(), before);
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
