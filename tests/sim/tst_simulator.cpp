// The simulated scanner seen from the tool's side: a real QSerialPort on its
// pseudo-terminal, frames built and checked with the link's own checksum.

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

class TestSimulator : public QObject
{
    Q_OBJECT
private slots:
    void probeIsAnswered();
    void readsReturnTheState_data();
    void readsReturnTheState();
    void setsChangeLaterReads_data();
    void setsChangeLaterReads();
    void scanStream();
    void sceneGeometry();
    void zoneShapes_data();
    void zoneShapes();
    void outputsFollowTheActiveChannelsZones();
    void zoneBlocks();
    void zoneBlockCodec();
    void firmwareUpdate();
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

void TestSimulator::probeIsAnswered()
{
    SimulatorHost sim;
    QString error;
    QVERIFY2(sim.start(fast(), &error), qPrintable(error));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    pc.send(QByteArray::fromHex("5AFA0A000E000000A893"));
    const WireFrame r = pc.reply(REQUEST_CONNECT);
    QCOMPARE(r.raw.size(), kMinReplySize);
    QVERIFY(r.crcOk);
    QCOMPARE(r.raw.left(4), QByteArray::fromHex("5AFB0C00"));
    QCOMPARE(r.status(), quint16(0));
}

void TestSimulator::readsReturnTheState_data()
{
    QTest::addColumn<quint16>("type");
    QTest::addColumn<QByteArray>("payload");
    auto row = [](const char *name, quint16 type, const QByteArray &payload) {
        QTest::newRow(name) << type << payload;
    };
    row("serial", REQUEST_SERIAL_NUMBER, "KP2100417");
    row("lot", REQUEST_LOT_NUMBER, QByteArray("L24A0815\0", 9));
    row("firmware", REQUEST_FIRMWARE_VERSION, "V2.3.1");
    row("ident", REQUEST_DEVICE_IDENT, "AS270");
    row("current area", REQUEST_CURRENT_AREA, QByteArray::fromHex("020700"));
    row("frequency", REQUEST_GET_FREQUENCY, QByteArray::fromHex("19"));
    row("filter strength", REQUEST_GET_FILTER_STRENGTH, QByteArray::fromHex("23"));
    row("mask min angle", REQUEST_GET_MASK_MIN_ANGLE, le16(10));
    row("mask max angle", REQUEST_GET_MASK_MAX_ANGLE, le16(529));
    row("npn", REQUEST_GET_NPN_PNP, "NPN");
    row("float value", REQUEST_GET_FLOAT_VALUE, QByteArray::fromHex("0000bc41")); // 23.5f
    row("areas done", REQUEST_READ_AREAS_DONE, {});
    row("save parameters", REQUEST_SAVE_PARAMETERS, {});
    row("save vendor data", REQUEST_SAVE_VENDOR_DATA, {});
}

void TestSimulator::readsReturnTheState()
{
    QFETCH(quint16, type);
    QFETCH(QByteArray, payload);
    SimulatorHost sim;
    QVERIFY(sim.start(fast()));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    pc.request(type);
    const WireFrame r = pc.reply(type);
    QVERIFY(r.crcOk);
    QCOMPARE(r.status(), quint16(0));
    QCOMPARE(r.raw.size(), kMinReplySize + payload.size());
    QCOMPARE(r.payload(), payload);
}

void TestSimulator::setsChangeLaterReads_data()
{
    QTest::addColumn<quint16>("set");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<quint16>("get");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("u8") << quint16(REQUEST_SET_FILTER_STRENGTH) << QByteArray::fromHex("4d")
                        << quint16(REQUEST_GET_FILTER_STRENGTH) << QByteArray::fromHex("4d");
    QTest::newRow("flag16") << quint16(REQUEST_SET_AVERAGE_FILTER) << QByteArray::fromHex("0100")
                            << quint16(REQUEST_GET_AVERAGE_FILTER) << QByteArray::fromHex("01");
    QTest::newRow("i16") << quint16(REQUEST_SET_FILTER_MIN_RANGE) << QByteArray::fromHex("7011")
                         << quint16(REQUEST_GET_FILTER_MIN_RANGE) << QByteArray::fromHex("7011");
    QTest::newRow("negative i16") << quint16(REQUEST_SET_OFFSET_DISTANCE) << le16(quint16(-25))
                                  << quint16(REQUEST_GET_OFFSET_DISTANCE) << le16(quint16(-25));
    QTest::newRow("i32 read as u16") << quint16(REQUEST_SET_APD) << QByteArray::fromHex("34120100")
                                     << quint16(REQUEST_GET_APD) << QByteArray::fromHex("3412");
    QTest::newRow("text") << quint16(REQUEST_SET_NPN_PNP) << QByteArray("PNP")
                          << quint16(REQUEST_GET_NPN_PNP) << QByteArray("PNP");
    QTest::newRow("mode") << quint16(REQUEST_SET_MODE) << QByteArray::fromHex("0500")
                          << quint16(REQUEST_GET_MODE) << QByteArray::fromHex("01");
    QTest::newRow("ff01") << quint16(REQUEST_SET_PARAM_FF01) << QByteArray::fromHex("0000")
                          << quint16(REQUEST_GET_PARAM_FF00) << QByteArray::fromHex("00");
}

void TestSimulator::setsChangeLaterReads()
{
    QFETCH(quint16, set);
    QFETCH(QByteArray, value);
    QFETCH(quint16, get);
    QFETCH(QByteArray, expected);
    SimulatorHost sim;
    QVERIFY(sim.start(fast()));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    pc.request(get);
    QVERIFY(pc.reply(get).payload() != expected); // the set really changes something

    // A payload too short for the set is refused and changes nothing.
    pc.request(set, set == REQUEST_SET_NPN_PNP ? QByteArray() : value.left(value.size() - 1));
    QVERIFY(pc.reply(set).status() != 0);
    pc.request(get);
    QVERIFY(pc.reply(get).payload() != expected);

    pc.request(set, value);
    const WireFrame ack = pc.reply(set);
    QVERIFY(ack.crcOk);
    QCOMPARE(ack.status(), quint16(0));
    pc.request(get);
    QCOMPARE(pc.reply(get).payload(), expected);
}

void TestSimulator::scanStream()
{
    SimulatorHost sim;
    DeviceState state;
    state.activeChannel = 9;
    sim.setState(state);
    QVERIFY(sim.start(fast()));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));
    pc.pump(1000);
    const QVector<WireFrame> scans = pc.scans();
    // 150 frames per second, but only the order of magnitude matters here.
    QVERIFY2(scans.size() > 50 && scans.size() < 400, qPrintable(QString::number(scans.size())));

    int followers = 0;
    int echoes = 0;
    for (int i = 0; i < scans.size(); ++i) {
        const WireFrame &f = scans[i];
        QVERIFY(f.crcOk);
        const int sector = uchar(f.raw[6]);
        // Sectors 0 to 5 cover -45 to 224.5 degrees, the field of view of the zones.
        QVERIFY(sector >= 0 && sector <= 5);
        QCOMPARE(int(uchar(f.raw[16])), 9); // input byte: the active channel
        if (i > 0 && sector == (uchar(scans[i - 1].raw[6]) + 1) % 6)
            ++followers;
        for (int k = 0; k < 90; ++k) {
            const quint16 range = f.at16(17 + 2 * k);
            const quint16 intensity = f.at16(197 + 2 * k);
            QVERIFY(range <= 30000 && intensity <= 4096);
            QCOMPARE(range == 0, intensity == 0);
            echoes += range != 0;
            // The default mask hides the first and last five degrees.
            if ((sector == 0 && k < 10) || (sector == 5 && k > 89 - 10))
                QCOMPARE(range, quint16(0));
        }
    }
    QCOMPARE(followers, scans.size() - 1);
    QVERIFY(echoes > scans.size() * 90 * 3 / 4); // a closed room answers almost everywhere

    // A mask intensity above every echo leaves nothing.
    pc.request(REQUEST_SET_MASK_INTENSITY, le16(4097));
    QCOMPARE(pc.reply(REQUEST_SET_MASK_INTENSITY).status(), quint16(0));
    pc.frames.clear();
    pc.pump(200);
    QVERIFY(!pc.scans().isEmpty());
    for (const WireFrame &f : pc.scans())
        QCOMPARE(f.raw.mid(17, 360), QByteArray(360, '\0'));
}

void TestSimulator::sceneGeometry()
{
    SimScene scene;
    QRandomGenerator rng(1);
    // Straight to the right the beam meets the wall at x = 7 m.
    QVERIFY(qAbs(scene.sample(0.0, 0.0, rng).range - 7000) <= 10);
    // Through the doorway (at the start the walker stands off to the left) nothing returns.
    QCOMPARE(scene.sample(88.0, 0.0, rng).range, quint16(0));
    // The walker comes within one metre and goes beyond three, so during a walk it
    // enters and leaves all three nested demo zones (out to 1, 2 and 3 m).
    double nearest = 1e9, farthest = 0;
    for (double t = 0; t < 14; t += 0.05) {
        nearest = std::min(nearest, scene.walkerDistance(t));
        farthest = std::max(farthest, scene.walkerDistance(t));
    }
    QVERIFY(nearest < 1000 && farthest > 3000);
    // A beam aimed at the walker's centre sees the walker, not the wall behind it.
    const QPointF c = scene.walkerCentre(7.0);
    const SimScene::Echo e = scene.sample(qRadiansToDegrees(std::atan2(c.y(), c.x())), 7.0, rng);
    QVERIFY(qAbs(e.range - scene.walkerDistance(7.0)) < 20);
}

void TestSimulator::zoneShapes_data()
{
    QTest::addColumn<int>("regionType");
    QTest::addColumn<QVector<QPoint>>("vertices");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<bool>("inside");

    // Given in an order that, taken as it stands, would cross itself.
    const QVector<QPoint> square{{1000, 1000}, {-1000, 0}, {1000, 0}, {-1000, 1000}};
    QTest::newRow("polygon in any vertex order") << 1 << square << QPointF(900, 500) << true;
    const QVector<QPoint> pair{{-1000, 2000}, {1000, 2000}};
    QTest::newRow("polygon closed through the scanner") << 1 << pair << QPointF(0, 1000) << true;
    const QVector<QPoint> huge{{-20000, 0}, {-20000, 20000}, {20000, 20000}, {20000, 0}};
    QTest::newRow("polygon within 10 m") << 1 << huge << QPointF(0, 9900) << true;
    QTest::newRow("polygon beyond 10 m") << 1 << huge << QPointF(0, 10100) << false;
    const QVector<QPoint> behind{{-3000, -2000}, {3000, -2000}};
    QTest::newRow("polygon behind, inside the view") << 1 << behind << QPointF(800, -600) << true;
    QTest::newRow("polygon behind, blind sector") << 1 << behind << QPointF(0, -1000) << false;

    const QVector<QPoint> quarter{{1000, 0}, {0, 2000}};
    QTest::newRow("arc") << 2 << quarter << QPointF(500, 500) << true;
    QTest::newRow("arc radius is vertex 0's") << 2 << quarter << QPointF(0, 1500) << false;
    // Ends in the blind sector are pinned: 250 degrees to 225, 290 degrees to -45.
    const QVector<QPoint> toLeftEdge{{-684, -1879}, {1970, 347}};
    QTest::newRow("arc pinned at 225") << 2 << toLeftEdge << QPointF(-470, -171) << true;
    QTest::newRow("arc pinned at 225, outside") << 2 << toLeftEdge << QPointF(433, -250) << false;
    const QVector<QPoint> toRightEdge{{684, -1879}, {1732, 1000}};
    QTest::newRow("arc pinned at -45") << 2 << toRightEdge << QPointF(433, -250) << true;

    const QVector<QPoint> box{{1000, 2000}, {3000, 4000}};
    QTest::newRow("rectangle's wedge to the scanner") << 3 << box << QPointF(1500, 1500) << true;
    QTest::newRow("rectangle, beside the wedge") << 3 << box << QPointF(500, 1500) << false;
    const QVector<QPoint> leftLow{{-3000, -1000}, {-1000, 1000}};
    QTest::newRow("rectangle left, joined on its right")
        << 3 << leftLow << QPointF(-500, 100) << true;
    QTest::newRow("single-value type") << 5 << square << QPointF(0, 500) << false;
}

void TestSimulator::zoneShapes()
{
    QFETCH(int, regionType);
    QFETCH(QVector<QPoint>, vertices);
    QFETCH(QPointF, point);
    ZoneArea area;
    area.regionType = quint8(regionType);
    area.points = vertices;
    QTEST(ZoneShape(area).contains(point), "inside");
}

void TestSimulator::outputsFollowTheActiveChannelsZones()
{
    DeviceState state;
    // Channel 3: the attention zone reaches the right-hand wall (7 m away, within the
    // 9 m arc); the warning zone is a 10 cm arc nothing comes near; no alarm zone.
    state.activeChannel = 3;
    state.zone(3, 0).regionType = 2;
    state.zone(3, 0).points = {{9000, 0}, {0, 9000}};
    state.zone(3, 1).regionType = 2;
    state.zone(3, 1).points = {{100, 0}, {0, 100}};
    state.zone(3, 2) = ZoneArea();
    SimulatorHost sim;
    sim.setState(state);
    QVERIFY(sim.start(fast()));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));

    // Every frame after the first whole scan reports what that scan saw.
    const auto outputsOnChannel = [&pc](int channel) {
        QVector<int> outputs;
        int seen = 0;
        pc.frames.clear();
        pc.pump(600);
        for (const WireFrame &f : pc.scans())
            if (uchar(f.raw[16]) == channel && ++seen > 6)
                outputs.append(uchar(f.raw[15]));
        return outputs;
    };
    const QVector<int> onThree = outputsOnChannel(3);
    QVERIFY(onThree.size() > 12);
    QCOMPARE(onThree, QVector<int>(onThree.size(), 0x02));

    // Another channel's zones are not watched: channel 4 has none.
    sim.updateState([](DeviceState &s) { s.activeChannel = 4; });
    const QVector<int> onFour = outputsOnChannel(4);
    QVERIFY(onFour.size() > 12);
    QCOMPARE(onFour, QVector<int>(onFour.size(), 0));
}

void TestSimulator::zoneBlocks()
{
    SimulatorHost sim;
    QVERIFY(sim.start(fast()));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));

    DeviceState shape;
    ZoneArea &a = shape.zone(5, 1);
    a.onDelay = 3;
    a.regionType = 2;
    a.dependScale = 40000;
    a.points = {{-300, 1200}, {32767, -32768}, {0, 5}};
    const QByteArray block = shape.zoneBlock(5);

    pc.request(REQUEST_BEGIN_AREA_WRITE);
    QCOMPARE(pc.reply(REQUEST_BEGIN_AREA_WRITE).status(), quint16(0));
    pc.request(REQUEST_WRITE_AREA, block);
    QCOMPARE(pc.reply(REQUEST_WRITE_AREA).status(), quint16(0));
    QVERIFY(sim.state().zone(5, 1) == a);

    pc.request(REQUEST_READ_AREA, QByteArray(1, char(5)));
    const WireFrame r = pc.reply(REQUEST_READ_AREA);
    QVERIFY(r.crcOk);
    QCOMPARE(r.raw.size(), 6520);
    QCOMPARE(r.payload(), block);

    // A block for a channel the scanner does not have is refused.
    QByteArray bad = block;
    bad[0] = char(64);
    pc.request(REQUEST_WRITE_AREA, bad);
    QVERIFY(pc.reply(REQUEST_WRITE_AREA).status() != 0);
}

void TestSimulator::zoneBlockCodec()
{
    DeviceState s;
    QCOMPARE(s.zoneBlock(0).size(), kZoneBlockSize);
    QVERIFY(s.zoneBlock(64).isEmpty());
    QVERIFY(!s.storeZoneBlock(QByteArray(kZoneBlockSize - 1, '\0')));

    // Layout of one area at a known place: area 2 of channel 9.
    QByteArray block(kZoneBlockSize, '\0');
    block[0] = char(9);
    const int area2 = 1 + 2 * kZoneAreaBlockSize;
    block[area2 + 4] = char(3);
    block.replace(area2 + 5, 2, le16(0xBEEF));
    block.replace(area2 + 7, 2, le16(2));
    block.replace(area2 + 9, 4, le16(quint16(-300)) + le16(7));
    block.replace(area2 + 9 + 1080, 4, le16(1200) + le16(8));
    QVERIFY(s.storeZoneBlock(block));
    const ZoneArea &z = s.zone(9, 2);
    QCOMPARE(int(z.regionType), 3);
    QCOMPARE(int(z.dependScale), 0xBEEF);
    QCOMPARE(z.points, QVector<QPoint>({{-300, 1200}, {7, 8}}));
    QCOMPARE(s.zoneBlock(9), block);

    // A count beyond the area's room is cut to 540 points.
    block.replace(area2 + 7, 2, le16(600));
    QVERIFY(s.storeZoneBlock(block));
    QCOMPARE(s.zone(9, 2).points.size(), kZoneMaxPoints);
}

void TestSimulator::firmwareUpdate()
{
    SimulatorHost sim;
    QVERIFY(sim.start(fast()));
    Peer pc;
    QVERIFY(pc.open(sim.devicePath()));

    pc.request(REQUEST_ENTER_BOOTLOADER);
    QCOMPARE(pc.reply(REQUEST_ENTER_BOOTLOADER).status(), quint16(0));
    QTRY_COMPARE(int(sim.state().deviceMode), 1);
    pc.pump(50);
    pc.frames.clear();
    pc.request(REQUEST_DEVICE_MODE);
    QVERIFY(pc.reply(REQUEST_DEVICE_MODE).payload() != QByteArray(1, '\0'));
    pc.request(REQUEST_GET_FREQUENCY); // the bootloader knows no settings
    pc.pump(200);
    QCOMPARE(pc.frames.size(), 0); // and streams no scans

    const QByteArray image = QByteArray(1000, 'x') + "end";
    const QByteArray digest = QCryptographicHash::hash(image, QCryptographicHash::Md5);
    for (const QByteArray &claimed : {QByteArray(16, '\0'), digest}) {
        pc.request(REQUEST_FIRMWARE_BEGIN);
        QCOMPARE(pc.reply(REQUEST_FIRMWARE_BEGIN).status(), quint16(0));
        for (int at = 0; at <= image.size(); at += 512) {
            pc.request(REQUEST_FIRMWARE_DATA, image.mid(at, 512));
            QCOMPARE(pc.reply(REQUEST_FIRMWARE_DATA).status(), quint16(0));
        }
        pc.request(REQUEST_FIRMWARE_END);
        QCOMPARE(pc.reply(REQUEST_FIRMWARE_END).status(), quint16(0));
        pc.request(REQUEST_FIRMWARE_VERIFY, claimed);
        const bool matches = claimed == digest;
        QCOMPARE(pc.reply(REQUEST_FIRMWARE_VERIFY).payload(), QByteArray(1, char(matches)));
        pc.request(REQUEST_FIRMWARE_COMMIT);
        QCOMPARE(pc.reply(REQUEST_FIRMWARE_COMMIT).status() == 0, matches);
    }
    QCOMPARE(sim.state().firmwareCommits, 1);
    QCOMPARE(sim.state().committedFirmwareMd5, digest);

    pc.request(REQUEST_RESTART);
    QTRY_COMPARE(int(sim.state().deviceMode), 0);
    pc.frames.clear();
    pc.pump(200);
    QVERIFY(!pc.scans().isEmpty()); // the application streams again
}

void TestSimulator::faultOptions()
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

void TestSimulator::silentAndStreamSwitch()
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

void TestSimulator::noiseAndSplitWrites()
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

void TestSimulator::damagedRequestsDoNotStall()
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

void TestSimulator::requestLog()
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

void TestSimulator::closeReopenAndUnplug()
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

void TestSimulator::faultsFromTheirTexts()
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

void TestSimulator::pacedWire()
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

void TestSimulator::strictPacingLendsNoIdleCredit()
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

void TestSimulator::lineFaultsStrikeOnce()
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

void TestSimulator::chunksWithoutIndexAndAHungBootloader()
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

void TestSimulator::manyHostsLeaveNothingBehind()
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

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
