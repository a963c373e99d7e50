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

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
