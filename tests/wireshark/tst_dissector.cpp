// The Wireshark dissector shipped with the tool, run by tshark over a recording of the
// simulated scanner: every packet must read as the tool's own codec reads its bytes (scan
// frames, replies, a zone block), bad checksums must be marked, and packets made here
// (requests, state bytes the simulator never sends, damaged frames) must be named rather
// than stop it.
#include "framecodec.h"
#include "framerecorder.h"
#include "replydecoder.h"
#include "requesttable.h"
#include "scanframe.h"
#include "scannersession.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "zoneblock.h"

#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

// What tshark prints of each packet, one column each; several values of a field are
// joined with commas.
const QStringList kFields =
    QStringLiteral("areascan.kind areascan.sector areascan.error areascan.outputs areascan.inputs "
                   "areascan.range areascan.intensity areascan.code areascan.name areascan.status "
                   "areascan.value.u8 areascan.value.u16 areascan.value.i16 areascan.value.text "
                   "areascan.zone.channel areascan.zone.region_type areascan.zone.depend_scale "
                   "areascan.zone.points areascan.zone.x areascan.zone.y areascan.checksum.status "
                   "areascan.stray _ws.expert.message _ws.col.Info")
        .split(' ');

using Packet = QHash<QString, QString>;

QString hex(int value, int digits)
{
    return QStringLiteral("0x%1").arg(value, digits, 16, QLatin1Char('0'));
}

quint8 kindOf(const QByteArray &frame)
{
    return quint8(frame.at(1));
}

quint16 codeOf(const QByteArray &frame)
{
    return readLe16(frame.constData() + 4);
}

QString joined(const QVector<int> &values)
{
    QStringList texts;
    for (int v : values)
        texts.append(QString::number(v));
    return texts.join(QLatin1Char(','));
}

// The area 0 of the zone blocks here; the fields tshark shows must be these numbers.
const QVector<QPoint> kExamplePoints = {QPoint(-300, 1200), QPoint(400, 1500), QPoint(0, 2000)};

ZoneAreaRecord exampleArea()
{
    ZoneAreaRecord a;
    a.onDelay = 2;
    a.regionType = 1;
    a.dependScale = 40000;
    a.points = kExamplePoints;
    return a;
}

// What the test asks the simulated scanner, the name its reply must show and where the
// reply's value shows (empty: nowhere). The lot number's reply arrives damaged, the set is
// refused.
struct Asked
{
    RequestType code;
    const char *value;
    const char *name;
    const char *field;
};

// clang-format off
const Asked kAsked[] = {
    {REQUEST_CONNECT, "", "REQUEST_CONNECT", ""},
    {REQUEST_FIRMWARE_VERSION, "", "REQUEST_FIRMWARE_VERSION", "areascan.value.text"},
    {REQUEST_SERIAL_NUMBER, "", "REQUEST_SERIAL_NUMBER", "areascan.value.text"},
    {REQUEST_LOT_NUMBER, "", "REQUEST_LOT_NUMBER", "areascan.value.text"},
    {REQUEST_CURRENT_AREA, "", "REQUEST_CURRENT_AREA", "areascan.value.u8"},
    {REQUEST_GET_FILTER_MIN_RANGE, "", "REQUEST_GET_FILTER_MIN_RANGE", "areascan.value.u16"},
    {REQUEST_GET_OFFSET_DISTANCE, "", "REQUEST_GET_OFFSET_DISTANCE", "areascan.value.i16"},
    {REQUEST_SET_FILTER_MIN_RANGE, "1200", "REQUEST_SET_FILTER_MIN_RANGE", ""},
    {REQUEST_READ_AREA, "5", "REQUEST_READ_AREA", ""}, // its zone block: below
};
// clang-format on

// Packets made here: what no sound recording of the simulator holds, each alone in a
// packet. The fields they must show ("field=value", separated by "|"), and part of an
// expert message (empty: none).
struct MadePacket
{
    const char *tag;
    QByteArray packet;
    QString fields;
    QString expert;
};

QVector<MadePacket> madePackets()
{
    ScanState state;
    state.sector = 4;
    state.erro = 0x81;
    state.output = 0x0E;
    state.input = 0x05;
    const QByteArray scan = buildFrame(kScanMark, 0, QByteArray(kScanFrameSize - 8, '\x03'));
    const QByteArray block = encodeZoneBlock(9, {exampleArea(), {}, {}});
    const QByteArray zone = buildReplyFrame(REQUEST_READ_AREA, 0, block);
    QByteArray crowded = zone; // 600 points in area 0
    writeLe16(crowded.data() + 10 + 1 + 7, 600);
    writeLe16(crowded.data() + crowded.size() - 2,
              frameChecksum(crowded.constData(), crowded.size() - 2));
    // clang-format off
    return {
        {"request, 16 bits", requestFrame(REQUEST_SET_FILTER_MIN_RANGE, "-1200"),
         "areascan.name=REQUEST_SET_FILTER_MIN_RANGE|areascan.value.i16=-1200|areascan.status=|"
         "_ws.col.Info=Request REQUEST_SET_FILTER_MIN_RANGE: -1200", ""},
        {"zone block written", requestFrame(REQUEST_WRITE_AREA, {}, block),
         "areascan.zone.channel=9|areascan.zone.points=3,0,0|areascan.zone.x=-300,400,0|"
         "areascan.zone.y=1200,1500,2000", ""},
        {"state bytes", buildScanFrame(state, QVector<ushort>(90, 1000), {}),
         "areascan.sector=4|areascan.error=0x81|areascan.outputs=0x0e|areascan.inputs=0x05", ""},
        {"cut short", zone.left(100), "areascan.code=", "cut short"},
        {"too many points", crowded, "areascan.zone.channel=9|areascan.zone.points=600,0,0",
         "More points than an area holds"},
        {"length below its header", QByteArray::fromHex("5afb0400"), "areascan.code=",
         "below the 12 bytes"},
        {"stray bytes in front", QByteArray("\x01\x02\x5a\x03", 4) + scan,
         "areascan.sector=3|areascan.stray=01025a03", "Bytes outside any frame"},
        {"two frames", buildReplyFrame(REQUEST_FIRMWARE_VERSION, 0, "V2.4.0") + scan,
         "areascan.value.text=V2.4.0|areascan.sector=3", ""},
        {"unknown type", buildReplyFrame(5, 0, {}), "areascan.name=unknown type 0x0005",
         "does not know"},
        {"scan frame cut", buildFrame(kScanMark, 0, QByteArray(23, '\x01')),
         "areascan.sector=1|areascan.range=257,257,257,257,257,257|areascan.intensity=",
         "not 379"},
        {"short text", buildReplyFrame(REQUEST_SERIAL_NUMBER, 0, "KP"), "areascan.value.text=",
         "needs 9"},
    };
    // clang-format on
}

} // namespace

class TestDissector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void scanFramesShowSectorStateAndPoints();
    void repliesNameTheirRequestAndValue_data();
    void repliesNameTheirRequestAndValue();
    void zoneBlockShowsItsChannel();
    void badChecksumsAreMarked();
    void madePacketsAreNamed_data();
    void madePacketsAreNamed();

private:
    void record(const QString &path);
    // No personal preferences or plugins, no global plugins where tshark allows it.
    QProcessEnvironment tsharkEnvironment() const;
    // Runs tshark with the dissector over the file: one Packet per packet, in file order.
    bool dissect(const QString &path, QVector<Packet> *packets);
    int findPacket(quint8 kind, quint16 code) const;

    QString m_tshark;
    std::unique_ptr<TempWorkingDir> m_dir;
    QVector<QByteArray> m_frames; // as written to the recording, in order
    QVector<Packet> m_packets;    // as tshark shows them
    QVector<Packet> m_made;       // madePackets() as tshark shows them
};

void TestDissector::initTestCase()
{
    m_tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
    if (m_tshark.isEmpty())
        QSKIP("tshark is not installed");
    m_dir = std::make_unique<TempWorkingDir>();
    // A copy installed where tshark loads plugins on its own would be loaded ahead of this
    // tree's; the environment keeps the personal ones out, but root's tshark ignores the
    // plugin folder given and always reads the global one.
    QProcess plugins;
    plugins.setProcessEnvironment(tsharkEnvironment());
    plugins.start(m_tshark, {"-G", "plugins"});
    QVERIFY(plugins.waitForFinished(60000));
    for (const QString &line : QString::fromUtf8(plugins.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("areascan.lua"))
            QSKIP(qPrintable("an installed dissector is in the way: " + line.simplified()));
    }
    const QString path = m_dir->filePath("scanner.pcap");
    record(path);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(dissect(path, &m_packets));
    // One file for all the made packets: each run of tshark takes a while to start.
    const QString madePath = m_dir->filePath("made.pcap");
    FrameRecorder recorder;
    QVERIFY(recorder.start(madePath));
    for (const MadePacket &row : madePackets())
        recorder.addFrame(row.packet, QDateTime::currentMSecsSinceEpoch() * 1000);
    recorder.stop();
    QVERIFY(dissect(madePath, &m_made));
    QCOMPARE(m_packets.size(), m_frames.size());
    for (int i = 0; i < m_packets.size(); ++i) {
        QCOMPARE(m_packets.at(i).value("areascan.kind"), hex(kindOf(m_frames.at(i)), 2));
        QCOMPARE(m_packets.at(i).value("areascan.stray"), QString());
    }
}

void TestDissector::cleanupTestCase()
{
    m_dir.reset();
}

void TestDissector::record(const QString &path)
{
    SimOptions options;
    options.seed = 27;
    options.lineFaults.append({SimOptions::LineFault::DamagedAnswer, REQUEST_LOT_NUMBER, 1});
    options.statusOverrides.insert(REQUEST_SET_FILTER_MIN_RANGE, 3); // refused
    SimulatorHost sim;
    DeviceState state = sim.state();
    state.offsetDistance = -250;
    state.activeChannel = 5; // the inputs byte of every scan
    state.zone(5, 0) = ZoneArea{2, 0, 0, 0, 1, 40000, kExamplePoints};
    sim.setState(state);
    ScannerSession session;
    QVERIFY(sim.start(options));
    QVERIFY(session.open(sim.devicePath(), 921600));
    QVERIFY(waitUntil([&]() { return session.worker() != nullptr; }, 3000));

    FrameRecorder recorder;
    QVERIFY(recorder.start(path));
    QObject context;
    connect(&session, &ScannerSession::frameReceived, &context,
            [&](const QByteArray &frame, qint64 us) {
                m_frames.append(frame);
                recorder.addFrame(frame, us);
            });

    // A moment of scan frames with bad checksums, then four whole scans of sound ones.
    const auto scanFrames = [&](bool good) {
        return std::count_if(m_frames.cbegin(), m_frames.cend(), [good](const QByteArray &f) {
            return kindOf(f) == kScanMark && frameChecksumMatches(f.constData(), f.size()) == good;
        });
    };
    sim.updateOptions([](SimOptions &o) { o.corruptScanFrames = true; });
    QVERIFY(waitUntil([&]() { return scanFrames(false) >= 3; }, 3000));
    sim.updateOptions([](SimOptions &o) { o.corruptScanFrames = false; });
    const int good = scanFrames(true);
    QVERIFY(waitUntil([&]() { return scanFrames(true) >= good + 24; }, 3000));

    for (const Asked &request : kAsked) {
        const int before = m_frames.size();
        if (request.code == REQUEST_READ_AREA)
            session.readChannel(QString(request.value).toInt());
        else
            session.send(request.code, request.value);
        const auto answered = [&]() {
            return std::any_of(m_frames.cbegin() + before, m_frames.cend(),
                               [&](const QByteArray &f) {
                                   return kindOf(f) == kReplyMark && codeOf(f) == request.code;
                               });
        };
        QVERIFY2(waitUntil(answered, 3000), request.name);
    }
    recorder.stop();
}

QProcessEnvironment TestDissector::tsharkEnvironment() const
{
    const QString home = m_dir->filePath("home");
    QDir().mkpath(home + "/plugins");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home);
    env.insert("WIRESHARK_PLUGIN_DIR", home + "/plugins");
    return env;
}

bool TestDissector::dissect(const QString &path, QVector<Packet> *packets)
{
    QStringList arguments = {
        "-n",     "-X",          QStringLiteral("lua_script:%1").arg(DISSECTOR),
        "-r",     path,          "-T",
        "fields", "-E",          "occurrence=a",
        "-E",     "aggregator=,"};
    for (const QString &field : kFields)
        arguments << "-e" << field;
    QProcess tshark;
    tshark.setProcessEnvironment(tsharkEnvironment());
    tshark.start(m_tshark, arguments);
    const bool finished = tshark.waitForFinished(120000);
    // tshark goes on without a script that fails to load; the fields would then be empty.
    const QString errors = QString::fromUtf8(tshark.readAllStandardError());
    if (!finished || tshark.exitStatus() != QProcess::NormalExit || tshark.exitCode() != 0 ||
        errors.contains("Lua")) {
        qWarning().noquote() << "tshark failed:" << errors;
        return false;
    }
    const QStringList lines =
        QString::fromUtf8(tshark.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList values = line.split('\t');
        if (values.size() != kFields.size()) {
            qWarning().noquote() << "tshark printed" << line;
            return false;
        }
        Packet packet;
        for (int i = 0; i < kFields.size(); ++i)
            packet.insert(kFields.at(i), values.at(i));
        // A dissector that throws leaves its error as an expert message.
        if (packet.value("_ws.expert.message").contains("Lua Error")) {
            qWarning().noquote() << packet.value("_ws.expert.message");
            return false;
        }
        packets->append(packet);
    }
    return true;
}

int TestDissector::findPacket(quint8 kind, quint16 code) const
{
    for (int i = 0; i < m_frames.size(); ++i) {
        if (kindOf(m_frames.at(i)) == kind && codeOf(m_frames.at(i)) == code)
            return i;
    }
    return -1;
}

void TestDissector::scanFramesShowSectorStateAndPoints()
{
    QSet<QString> sectors;
    int scans = 0;
    for (int i = 0; i < m_frames.size(); ++i) {
        const QByteArray &f = m_frames.at(i);
        if (kindOf(f) != kScanMark)
            continue;
        ++scans;
        const Packet &p = m_packets.at(i);
        QCOMPARE(p.value("areascan.sector"), QString::number(quint8(f.at(6))));
        QCOMPARE(p.value("areascan.error"), hex(quint8(f.at(14)), 2));
        QCOMPARE(p.value("areascan.outputs"), hex(quint8(f.at(15)), 2));
        QCOMPARE(p.value("areascan.inputs"), hex(quint8(f.at(16)), 2));
        QVector<int> ranges, intensities;
        for (int k = 0; k < 90; ++k) {
            ranges.append(readLe16(f.constData() + 17 + 2 * k));
            intensities.append(readLe16(f.constData() + 197 + 2 * k));
        }
        QCOMPARE(p.value("areascan.range"), joined(ranges));
        QCOMPARE(p.value("areascan.intensity"), joined(intensities));
        QCOMPARE(p.value("areascan.code"), QString());
        sectors.insert(p.value("areascan.sector"));
    }
    QVERIFY(scans >= 24);
    QCOMPARE(sectors, (QSet<QString>{"0", "1", "2", "3", "4", "5"}));
}

void TestDissector::repliesNameTheirRequestAndValue_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kAsked)); ++i)
        QTest::newRow(kAsked[i].name) << i;
}

void TestDissector::repliesNameTheirRequestAndValue()
{
    QFETCH(int, index);
    const int code = kAsked[index].code;
    const QString name = kAsked[index].name;
    const QString field = kAsked[index].field;
    const int i = findPacket(kReplyMark, quint16(code));
    QVERIFY(i >= 0);
    const QByteArray &f = m_frames.at(i);
    const Packet &p = m_packets.at(i);
    QCOMPARE(p.value("areascan.code"), hex(code, 4));
    QCOMPARE(p.value("areascan.name"), name);
    QVERIFY2(p.value("_ws.col.Info").startsWith("Reply " + name),
             qPrintable(p.value("_ws.col.Info")));
    QCOMPARE(p.value("areascan.status"), QString::number(readLe16(f.constData() + 6)));
    QCOMPARE(p.value("areascan.status") == "0", code != REQUEST_SET_FILTER_MIN_RANGE);
    QCOMPARE(p.value("areascan.sector"), QString());
    // The value as the tool itself decodes it; three bytes are one value each.
    QString expected;
    if (!field.isEmpty()) {
        QVERIFY(replyText(*findRequest(quint16(code)), readLe16(f.constData() + 6),
                          f.constData() + 10, f.size() - 12, &expected));
        expected = expected.split(' ', Qt::SkipEmptyParts).join(',');
        QVERIFY(!expected.isEmpty());
        QCOMPARE(p.value(field), expected);
    }
    for (const char *value :
         {"areascan.value.text", "areascan.value.u8", "areascan.value.u16", "areascan.value.i16"}) {
        if (field != value)
            QCOMPARE(p.value(value), QString());
    }
}

void TestDissector::zoneBlockShowsItsChannel()
{
    const int i = findPacket(kReplyMark, REQUEST_READ_AREA);
    QVERIFY(i >= 0);
    const Packet &p = m_packets.at(i);
    QCOMPARE(p.value("areascan.zone.channel"), QString("5"));
    QCOMPARE(p.value("_ws.col.Info"), QString("Reply REQUEST_READ_AREA, status 0: channel 5"));
    // Area 0 holds the example, areas 1 and 2 nothing; only the points in use are shown.
    QCOMPARE(p.value("areascan.zone.region_type"), QString("1,0,0"));
    QCOMPARE(p.value("areascan.zone.depend_scale"), QString("40000,0,0"));
    QCOMPARE(p.value("areascan.zone.points"), QString("3,0,0"));
    QCOMPARE(p.value("areascan.zone.x"), QString("-300,400,0"));
    QCOMPARE(p.value("areascan.zone.y"), QString("1200,1500,2000"));
}

void TestDissector::badChecksumsAreMarked()
{
    int badScans = 0, badReplies = 0;
    for (int i = 0; i < m_frames.size(); ++i) {
        const QByteArray &f = m_frames.at(i);
        const Packet &p = m_packets.at(i);
        const bool good = frameChecksumMatches(f.constData(), f.size());
        QCOMPARE(p.value("areascan.checksum.status"), QString(good ? "1" : "0"));
        QCOMPARE(p.value("_ws.col.Info").endsWith("[bad checksum]"), !good);
        QCOMPARE(p.value("_ws.expert.message").contains("Bad checksum"), !good);
        badScans += !good && kindOf(f) == kScanMark;
        badReplies += !good && kindOf(f) == kReplyMark;
    }
    QVERIFY(badScans >= 3);
    QCOMPARE(badReplies, 1); // the lot number's answer
}

void TestDissector::madePacketsAreNamed_data()
{
    QTest::addColumn<int>("index");
    const QVector<MadePacket> packets = madePackets();
    for (int i = 0; i < packets.size(); ++i)
        QTest::newRow(packets.at(i).tag) << i;
}

void TestDissector::madePacketsAreNamed()
{
    QFETCH(int, index);
    const MadePacket row = madePackets().at(index);
    QCOMPARE(m_made.size(), madePackets().size());
    const Packet &p = m_made.at(index);
    for (const QString &field : row.fields.split('|')) {
        const int equals = field.indexOf('=');
        QCOMPARE(p.value(field.left(equals)), field.mid(equals + 1));
    }
    if (row.expert.isEmpty())
        QCOMPARE(p.value("_ws.expert.message"), QString());
    else
        QVERIFY2(p.value("_ws.expert.message").contains(row.expert),
                 qPrintable(p.value("_ws.expert.message")));
}

QTEST_GUILESS_MAIN(TestDissector)
#include "tst_dissector.moc"
