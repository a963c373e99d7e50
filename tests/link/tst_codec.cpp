#include "framecodec.h"
#include "framecutter.h"
#include "replydecoder.h"
#include "requesttable.h"
#include "scanframe.h"

#include <QtTest>

#include <cstring>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray floatBytes(float f)
{
    QByteArray bytes(4, '\0');
    std::memcpy(bytes.data(), &f, 4);
    return bytes;
}

QByteArray scanFrame(int sector, ushort firstRange = 0)
{
    ScanState state;
    state.sector = uchar(sector);
    state.erro = 1;
    state.output = 2;
    state.input = 3;
    QVector<ushort> ranges, intensities;
    for (int i = 0; i < kPointsPerScanFrame; ++i) {
        ranges.append(ushort(firstRange + i));
        intensities.append(ushort(4000 - i));
    }
    return buildScanFrame(state, ranges, intensities);
}

// Feeds a stream through the cutter the way the worker does (offset walk, one
// compaction per arrival) and names every frame taken: "R<type hex>", "S<sector>" or
// "X" for a scan header of impossible length. rest receives the bytes kept for later.
QStringList cutAll(const QList<QByteArray> &arrivals, QByteArray *rest = nullptr)
{
    QStringList taken;
    QByteArray buffer;
    for (const QByteArray &arrival : arrivals) {
        buffer.append(arrival);
        int offset = 0;
        for (int guard = 0;; ++guard) {
            if (guard > buffer.size() + 1) {
                taken << QStringLiteral("STALLED");
                return taken;
            }
            const FrameStep step = nextFrame(buffer.constData() + offset, buffer.size() - offset);
            const char *frame = buffer.constData() + offset + step.start;
            offset += step.end();
            if (step.kind == FrameKind::NeedMore)
                break;
            if (step.kind == FrameKind::Reply)
                taken << QStringLiteral("R%1").arg(readLe16(frame + 4), 0, 16);
            else if (step.kind == FrameKind::Scan)
                taken << QStringLiteral("S%1").arg(int(uchar(frame[6])));
            else
                taken << QStringLiteral("X");
        }
        buffer.remove(0, offset);
    }
    if (rest)
        *rest = buffer;
    return taken;
}

QList<QByteArray> bytewise(const QByteArray &stream)
{
    QList<QByteArray> pieces;
    for (char c : stream)
        pieces.append(QByteArray(1, c));
    return pieces;
}

} // namespace

class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void checksumCoversEveryByte();
    void workedRequestFrames_data();
    void workedRequestFrames();
    void payloadEncodings_data();
    void payloadEncodings();
    void oversizePayloadIsRefused();
    void replyDecoding_data();
    void replyDecoding();
    void bareRepliesGiveTheirStatus();
    void damagedRepliesAreDropped();
    void cutterTakesEveryFrameInOrder();
    void cutterWaitsForSplitFrames();
    void cutterDiscardsGarbage();
    void cutterSkipsImpossibleLengths();
    void scanFrameDecoding();
    void damagedScanFramesAddNothing();
};

void TestCodec::checksumCoversEveryByte()
{
    QCOMPARE(frameChecksum(QByteArray("123456789")), quint16(0x29B1));
    // The header is part of the checksum: a reply header must not pass as a request's.
    const QByteArray request = hex("5A FA 0A 00 0E 00 00 00");
    QByteArray other = request;
    other[1] = char(0xFB);
    QVERIFY(frameChecksum(request) != frameChecksum(other));
}

void TestCodec::workedRequestFrames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("restart") << int(REQUEST_RESTART) << QString("ignored")
                             << hex("5A FA 0A 00 09 00 00 00 85 C2");
    QTest::newRow("probe") << int(REQUEST_CONNECT) << QString()
                           << hex("5A FA 0A 00 0E 00 00 00 A8 93");
    QTest::newRow("read area 5") << int(REQUEST_READ_AREA) << QString("5")
                                 << hex("5A FA 0B 00 00 33 00 00 05 83 8B");
    QTest::newRow("filter enable") << int(REQUEST_SET_FILTER_ENABLE) << QString("1")
                                   << hex("5A FA 0C 00 14 00 00 00 01 00 26 56");
}

void TestCodec::workedRequestFrames()
{
    QFETCH(int, type);
    QFETCH(QString, value);
    QFETCH(QByteArray, frame);
    QCOMPARE(requestFrame(quint16(type), value).toHex(' '), frame.toHex(' '));
}

void TestCodec::payloadEncodings_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("payload");

    const QByteArray none;
    QTest::newRow("none ignores its argument")
        << int(REQUEST_GET_FILTER_ENABLE) << "7" << none << QByteArray();
    QTest::newRow("flag16 5") << int(REQUEST_SET_FILTER_ENABLE) << "5" << none << hex("01 00");
    QTest::newRow("flag16 -3") << int(REQUEST_SET_INPUT_NONC) << "-3" << none << hex("01 00");
    QTest::newRow("flag16 0") << int(REQUEST_SET_MODE) << "0" << none << hex("00 00");
    QTest::newRow("flag16 text") << int(REQUEST_SET_PARAM_FF01) << "yes" << none << hex("00 00");
    QTest::newRow("u8 low bits") << int(REQUEST_SET_FREQUENCY) << "300" << none << hex("2C");
    QTest::newRow("u8 text") << int(REQUEST_SET_FILTER_STRENGTH) << "x" << none << hex("00");
    QTest::newRow("i16 70000") << int(REQUEST_SET_FILTER_MIN_RANGE) << "70000" << none
                               << hex("70 11");
    QTest::newRow("i16 -1") << int(REQUEST_SET_MASK_MAX_ANGLE) << "-1" << none << hex("FF FF");
    QTest::newRow("i16s 70000") << int(REQUEST_SET_OFFSET_DISTANCE) << "70000" << none
                                << hex("00 00");
    QTest::newRow("i16s -2") << int(REQUEST_SET_OFFSET_DISTANCE) << "-2" << none << hex("FE FF");
    QTest::newRow("i16s 32767") << int(REQUEST_SET_PARAM_550D) << "32767" << none << hex("FF 7F");
    QTest::newRow("i32") << int(REQUEST_SET_APD) << "305419896" << none << hex("78 56 34 12");
    QTest::newRow("i32 -1") << int(REQUEST_SET_APD) << "-1" << none << hex("FF FF FF FF");
    QTest::newRow("float32") << int(REQUEST_SET_PARAM_5505) << "1.5" << none << hex("00 00 C0 3F");
    QTest::newRow("float32 text") << int(REQUEST_SET_PARAM_5505) << "abc" << none
                                  << hex("00 00 00 00");
    QTest::newRow("text") << int(REQUEST_SET_NPN_PNP) << "PNP" << none << QByteArray("PNP");
    QTest::newRow("text counts bytes")
        << int(REQUEST_SET_NPN_PNP) << QString::fromUtf8("é") << none << hex("C3 A9");
    const QByteArray digest = hex("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
    QTest::newRow("raw digest") << int(REQUEST_FIRMWARE_VERIFY) << "" << digest << digest;
}

void TestCodec::payloadEncodings()
{
    QFETCH(int, type);
    QFETCH(QString, value);
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, payload);

    const QByteArray frame = requestFrame(quint16(type), value, raw);
    QCOMPARE(frame.size(), kRequestOverhead + payload.size());
    QCOMPARE(frame.left(2), hex("5A FA"));
    QCOMPARE(int(readLe16(frame.constData() + 2)), frame.size());
    QCOMPARE(int(readLe16(frame.constData() + 4)), type);
    QCOMPARE(frame.mid(6, 2), hex("00 00"));
    QCOMPARE(frame.mid(8, payload.size()).toHex(' '), payload.toHex(' '));
    QVERIFY(frameChecksumMatches(frame.constData(), frame.size()));
}

void TestCodec::oversizePayloadIsRefused()
{
    const RequestInfo *npn = findRequest(REQUEST_SET_NPN_PNP);
    QVERIFY(npn);
    // Guard bytes right behind the frame buffer show any write past its end.
    QByteArray buffer(kFrameBufferSize + 64, char(0xA5));
    const QByteArray guard = buffer.right(64);

    QCOMPARE(encodeRequestFrame(buffer.data(), *npn, QString(kMaxRequestPayload, 'N')),
             kFrameBufferSize);
    QCOMPARE(int(readLe16(buffer.constData() + 2)), kFrameBufferSize);
    QVERIFY(frameChecksumMatches(buffer.constData(), kFrameBufferSize));

    QCOMPARE(encodeRequestFrame(buffer.data(), *npn, QString(kMaxRequestPayload + 1, 'N')), 0);
    // 4097 characters, 8194 bytes: the limit is on the encoded bytes, not the characters.
    QCOMPARE(encodeRequestFrame(buffer.data(), *npn, QString(4097, QChar(0xE9))), 0);
    QCOMPARE(encodeRequestFrame(buffer.data(), *npn, QString(100000, 'N')), 0);
    QCOMPARE(buffer.right(64), guard);

    QVERIFY(requestFrame(REQUEST_SET_NPN_PNP, QString(9000, 'P')).isEmpty());
    QVERIFY(requestFrame(0x0005, QString()).isEmpty());
    QCOMPARE(
        encodeFrame(buffer.data(), REQUEST_WRITE_AREA, buffer.constData(), kMaxRequestPayload + 1),
        0);
}

void TestCodec::replyDecoding_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("route");

    const int main = int(ResultRoute::Main);
    QTest::newRow("T9 padded") << int(REQUEST_SERIAL_NUMBER) << 0 << QByteArray("ABCD\0\0\0\0\0", 9)
                               << true << "ABCD" << main;
    QTest::newRow("T9 full") << int(REQUEST_LOT_NUMBER) << 0 << QByteArray("ABCDEFGHI") << true
                             << "ABCDEFGHI" << main;
    QTest::newRow("T9 stops at its width")
        << int(REQUEST_LOT_NUMBER) << 0 << QByteArray("ABCDEFGHIJK") << true << "ABCDEFGHI" << main;
    QTest::newRow("T3 utf8") << int(REQUEST_GET_NPN_PNP) << 0 << hex("C3 A9 00") << true
                             << QString::fromUtf8("é") << main;
    QTest::newRow("B3") << int(REQUEST_CURRENT_AREA) << 0 << hex("02 07 00") << true << " 2 7 0"
                        << main;
    QTest::newRow("B") << int(REQUEST_GET_FREQUENCY) << 0 << hex("FF") << true << "255" << main;
    QTest::newRow("U") << int(REQUEST_GET_FILTER_MIN_RANGE) << 0 << hex("FE FF") << true << "65534"
                       << main;
    QTest::newRow("I") << int(REQUEST_GET_OFFSET_DISTANCE) << 0 << hex("FE FF") << true << "-2"
                       << main;
    QTest::newRow("S") << int(REQUEST_SAVE_PARAMETERS) << 7 << QByteArray() << true << "7" << main;
    QTest::newRow("S large") << int(REQUEST_CONNECT) << 0xFFFF << QByteArray() << true << "65535"
                             << main;
    QTest::newRow("F2") << int(REQUEST_GET_FLOAT_VALUE) << 0 << floatBytes(3.14159f) << true
                        << "3.14" << main;
    QTest::newRow("F2 rounds") << int(REQUEST_GET_FLOAT_VALUE) << 0 << floatBytes(-0.125f) << true
                               << "-0.13" << main;
    QTest::newRow("Fg large") << int(REQUEST_GET_PARAM_5500) << 0 << floatBytes(1234567.0f) << true
                              << "1.23457e+06" << main;
    QTest::newRow("Fg short") << int(REQUEST_GET_PARAM_5501) << 0 << floatBytes(0.1f) << true
                              << "0.1" << main;
    QTest::newRow("APD") << int(REQUEST_GET_APD) << 0 << hex("02 01") << true << "258"
                         << int(ResultRoute::Apd);
    QTest::newRow("vendor data") << int(REQUEST_SAVE_VENDOR_DATA) << 1 << QByteArray() << true
                                 << "1" << int(ResultRoute::SaveTarget);
    QTest::newRow("verify") << int(REQUEST_FIRMWARE_VERIFY) << 0 << hex("01") << true << "1"
                            << main;
    QTest::newRow("zone block") << int(REQUEST_READ_AREA) << 0 << QByteArray(6508, '\1') << true
                                << "" << int(ResultRoute::ZoneRead);
    QTest::newRow("chunk ack") << int(REQUEST_FIRMWARE_DATA) << 0 << QByteArray() << true << "0"
                               << int(ResultRoute::FirmwareChunk);
    QTest::newRow("set without result")
        << int(REQUEST_SET_FILTER_STRENGTH) << 0 << hex("01") << false << "" << 0;
    QTest::newRow("restart") << int(REQUEST_RESTART) << 0 << QByteArray() << false << "" << 0;
    QTest::newRow("unknown 5") << 5 << 0 << hex("01 02 03 04") << false << "" << 0;
    QTest::newRow("unknown 7") << 7 << 0 << QByteArray() << false << "" << 0;
    QTest::newRow("unknown 0x3302") << 0x3302 << 0 << QByteArray() << false << "" << 0;
    QTest::newRow("T9 in 14 bytes")
        << int(REQUEST_SERIAL_NUMBER) << 0 << QByteArray("AB") << false << "" << 0;
    QTest::newRow("I short") << int(REQUEST_GET_OFFSET_DISTANCE) << 0 << hex("05") << false << ""
                             << 0;
    QTest::newRow("F2 short") << int(REQUEST_GET_FLOAT_VALUE) << 0 << hex("00 00 80") << false << ""
                              << 0;
    QTest::newRow("B3 short") << int(REQUEST_CURRENT_AREA) << 0 << hex("02 07") << false << "" << 0;
    QTest::newRow("B empty") << int(REQUEST_DEVICE_MODE) << 0 << QByteArray() << false << "" << 0;
}

void TestCodec::replyDecoding()
{
    QFETCH(int, type);
    QFETCH(int, status);
    QFETCH(QByteArray, payload);
    QFETCH(bool, decoded);
    QFETCH(QString, text);
    QFETCH(int, route);

    const QByteArray frame = buildReplyFrame(quint16(type), quint16(status), payload);
    QCOMPARE(frame.size(), kMinReplySize + payload.size());
    DecodedReply reply;
    QCOMPARE(decodeReply(frame.constData(), frame.size(), &reply), decoded);
    if (!decoded)
        return;
    QCOMPARE(reply.text, text);
    QCOMPARE(int(reply.route), route);
    QCOMPARE(int(reply.type), type);
    QCOMPARE(int(reply.status), status);
    QCOMPARE(QByteArray(reply.payload, reply.payloadSize), payload);
}

void TestCodec::bareRepliesGiveTheirStatus()
{
    quint16 type = 0;
    quint16 status = 0;
    const QByteArray refused = buildReplyFrame(REQUEST_SET_FILTER_STRENGTH, 3, {});
    QVERIFY(decodeBareReply(refused.constData(), refused.size(), &type, &status));
    QCOMPARE(type, quint16(REQUEST_SET_FILTER_STRENGTH));
    QCOMPARE(status, quint16(3));
    // Only replies without a result: the others reach the window as their result.
    const QByteArray saved = buildReplyFrame(REQUEST_SAVE_PARAMETERS, 3, {});
    QVERIFY(!decodeBareReply(saved.constData(), saved.size(), &type, &status));
    QByteArray damaged = refused;
    damaged[6] = char(4);
    QVERIFY(!decodeBareReply(damaged.constData(), damaged.size(), &type, &status));
    const QByteArray unknown = buildReplyFrame(0x0007, 3, {});
    QVERIFY(!decodeBareReply(unknown.constData(), unknown.size(), &type, &status));
}

void TestCodec::damagedRepliesAreDropped()
{
    const QByteArray good = buildReplyFrame(REQUEST_GET_FREQUENCY, 0, hex("0F"));
    DecodedReply reply;
    QVERIFY(decodeReply(good.constData(), good.size(), &reply));

    QByteArray badCrc = good;
    badCrc[10] = char(0x10);
    QVERIFY(!decodeReply(badCrc.constData(), badCrc.size(), &reply));

    // A length that disagrees with the length field is never trusted.
    QByteArray longer = good + hex("00");
    QVERIFY(!decodeReply(longer.constData(), longer.size(), &reply));
    QVERIFY(!decodeReply(good.constData(), good.size() - 1, &reply));

    const QByteArray request =
        buildFrame(kRequestMark, REQUEST_GET_FREQUENCY, hex("00 00 00 00 0F"));
    QVERIFY(!decodeReply(request.constData(), request.size(), &reply));
}

void TestCodec::cutterTakesEveryFrameInOrder()
{
    const QByteArray a = buildReplyFrame(REQUEST_CONNECT, 0, {});
    const QByteArray b = buildReplyFrame(REQUEST_SERIAL_NUMBER, 0, QByteArray("SN1234567"));
    const QByteArray stream = a + scanFrame(1) + b + scanFrame(2) + a;
    QByteArray rest;
    QCOMPARE(cutAll({stream}, &rest), QStringList({"Re", "S1", "R2", "S2", "Re"}));
    QVERIFY(rest.isEmpty());
}

void TestCodec::cutterWaitsForSplitFrames()
{
    const QByteArray stream = buildReplyFrame(REQUEST_LOT_NUMBER, 0, QByteArray("LOT")) +
                              scanFrame(4) + buildReplyFrame(REQUEST_CONNECT, 0, {});
    const QStringList expected({"R3", "S4", "Re"});
    for (int cut = 1; cut < stream.size(); ++cut)
        QCOMPARE(cutAll({stream.left(cut), stream.mid(cut)}), expected);
    QByteArray rest;
    QCOMPARE(cutAll(bytewise(stream), &rest), expected);
    QVERIFY(rest.isEmpty());

    // An incomplete frame is kept whole, from its header on.
    const QByteArray partial = hex("01 02") + scanFrame(5).left(200);
    QVERIFY(cutAll({partial}, &rest).isEmpty());
    QCOMPARE(rest, partial.mid(2));
}

void TestCodec::cutterDiscardsGarbage()
{
    const QByteArray reply = buildReplyFrame(REQUEST_GET_MODE, 0, hex("01"));
    const QByteArray echo = requestFrame(REQUEST_GET_MODE, QString());
    // 5A followed by anything but FF or FB, and our own request echo, are garbage.
    const QByteArray garbage = hex("00 5A 00 5A 5A 13 FB FF") + echo + hex("5A FA 5A");
    QByteArray rest;
    QCOMPARE(cutAll({garbage + reply + scanFrame(6)}, &rest), QStringList({"R5510", "S6"}));
    QVERIFY(rest.isEmpty());

    // Only a trailing 5A, which may begin a header, is kept.
    QVERIFY(cutAll({hex("11 22 5A FA 33 5A")}, &rest).isEmpty());
    QCOMPARE(rest, hex("5A"));
    QVERIFY(cutAll({QByteArray(50000, '\x7F')}, &rest).isEmpty());
    QVERIFY(rest.isEmpty());
    QCOMPARE(cutAll({hex("5A"), hex("5A"), reply}, &rest), QStringList({"R5510"}));
}

void TestCodec::cutterSkipsImpossibleLengths()
{
    const QByteArray reply = buildReplyFrame(REQUEST_GET_FREQUENCY, 0, hex("0A"));
    QByteArray rest;
    // Reply headers with lengths 0, 3, 11, 8203 and 65535: never a frame, never a stall.
    const QByteArray badReplies =
        hex("5A FB 00 00 5A FB 03 00 5A FB 0B 00 5A FB 0B 20 5A FB FF FF");
    QCOMPARE(cutAll({badReplies + reply}, &rest), QStringList({"R11"}));
    QVERIFY(rest.isEmpty());

    // A scan header of the wrong length is one bad scan frame; the search goes on after it.
    QCOMPARE(cutAll({hex("5A FF 00 00") + hex("5A FF 7A 01") + scanFrame(1)}, &rest),
             QStringList({"X", "X", "S1"}));

    // A false reply header whose length covers real frames costs only its own bytes once
    // its checksum fails.
    const QByteArray falseHeader = hex("5A FB 00 02");
    QByteArray stream = falseHeader + reply + scanFrame(2);
    stream += QByteArray(512 - stream.size(), '\0');
    QCOMPARE(cutAll({stream}, &rest), QStringList({"R11", "S2"}));

    // A reply with a damaged checksum is dropped, the next one still taken.
    QByteArray damaged = reply;
    damaged[10] = char(0x0B);
    QCOMPARE(cutAll({damaged + reply}), QStringList({"R11"}));
}

void TestCodec::scanFrameDecoding()
{
    ScanState state;
    QVector<float> angles;
    QVector<ushort> ranges, intensities;

    const QByteArray first = scanFrame(3, 1000);
    QCOMPARE(first.size(), kScanFrameSize);
    QVERIFY(
        decodeScanFrame(first.constData(), first.size(), &state, &angles, &ranges, &intensities));
    QCOMPARE(int(state.sector), 3);
    QCOMPARE(int(state.erro), 1);
    QCOMPARE(int(state.output), 2);
    QCOMPARE(int(state.input), 3);
    QCOMPARE(angles.size(), kPointsPerScanFrame);
    QCOMPARE(angles.first(), 90.0f);
    QCOMPARE(angles.at(1), 90.5f);
    QCOMPARE(angles.last(), 134.5f);
    QCOMPARE(ranges.first(), ushort(1000));
    QCOMPARE(ranges.last(), ushort(1089));
    QCOMPARE(intensities.first(), ushort(4000));
    QCOMPARE(intensities.last(), ushort(3911));

    // A second frame appends; sector 0 lies before the first sector.
    const QByteArray second = scanFrame(0);
    QVERIFY(
        decodeScanFrame(second.constData(), second.size(), &state, &angles, &ranges, &intensities));
    QCOMPARE(angles.size(), 2 * kPointsPerScanFrame);
    QCOMPARE(angles.at(kPointsPerScanFrame), -45.0f);
    QCOMPARE(angles.last(), -0.5f);
    QCOMPARE(ranges.size(), angles.size());
    QCOMPARE(intensities.size(), angles.size());
}

void TestCodec::damagedScanFramesAddNothing()
{
    ScanState state;
    state.sector = 9;
    QVector<float> angles;
    QVector<ushort> ranges, intensities;

    QByteArray damaged = scanFrame(2);
    damaged[100] = char(damaged[100] ^ 0x40);
    QVERIFY(!decodeScanFrame(damaged.constData(), damaged.size(), &state, &angles, &ranges,
                             &intensities));
    const QByteArray good = scanFrame(2);
    QVERIFY(!decodeScanFrame(good.constData(), good.size() - 1, &state, &angles, &ranges,
                             &intensities));
    QVERIFY(angles.isEmpty() && ranges.isEmpty() && intensities.isEmpty());
    QCOMPARE(int(state.sector), 9);
}

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
