// The zone set's fingerprint against blocks laid out byte by byte here, without the
// block encoder.
#include "zonefingerprint.h"
#include "zoneset.h"

#include <QCryptographicHash>
#include <QtTest>

namespace {

constexpr int kAreaBytes = 2169;
constexpr int kChannelBytes = 1 + 3 * kAreaBytes;

// 64 blocks of the start-up set: the channel number, and in every area only the shape
// type, a polygon (1), at its fifth byte.
QByteArray startUpBlocks()
{
    QByteArray all;
    for (int channel = 0; channel < 64; ++channel) {
        QByteArray block(kChannelBytes, '\0');
        block[0] = char(channel);
        for (int area = 0; area < 3; ++area)
            block[1 + area * kAreaBytes + 4] = 1;
        all += block;
    }
    return all;
}

QByteArray md5Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

} // namespace

class TestZoneFingerprint : public QObject
{
    Q_OBJECT

private slots:
    void startUpSetIsTheDigestOfItsBlocks()
    {
        const QByteArray fingerprint = zoneSetFingerprint(ZoneSet());
        QCOMPARE(fingerprint, md5Hex(startUpBlocks()));
        QCOMPARE(fingerprint.size(), 32);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                    .match(QString::fromLatin1(fingerprint))
                    .hasMatch());
    }

    void everyFieldLandsWhereTheBlockCarriesIt()
    {
        ZoneSet set;
        ZoneAreaRecord a;
        a.onDelay = 3;
        a.offDelay = 50;
        a.hysteresis = 100;
        a.detectableSize = 10;
        a.regionType = 2;
        a.dependScale = 0x1234;
        a.points = {QPoint(-1, 2), QPoint(300, -32768)};
        set.setArea(5, 1, a);
        ZoneAreaRecord last;
        last.regionType = 6;
        last.points = {QPoint(32767, 0)};
        set.setArea(63, 2, last);

        QByteArray bytes = startUpBlocks();
        // Channel 5, warning area: the four indices, the shape, the scale low byte first,
        // the count, then all x values before all y values, each little-endian.
        const int base = 5 * kChannelBytes + 1 + 1 * kAreaBytes;
        const char head[] = {3, 50, 100, 10, 2, 0x34, 0x12, 2, 0};
        for (int i = 0; i < 9; ++i)
            bytes[base + i] = head[i];
        const char xs[] = {char(0xFF), char(0xFF), 0x2C, 0x01};
        const char ys[] = {0x02, 0x00, 0x00, char(0x80)};
        for (int i = 0; i < 4; ++i) {
            bytes[base + 9 + i] = xs[i];
            bytes[base + 9 + 1080 + i] = ys[i];
        }
        // The last area of all: shape 6, one vertex at x = 32767.
        const int end = 63 * kChannelBytes + 1 + 2 * kAreaBytes;
        bytes[end + 4] = 6;
        bytes[end + 7] = 1;
        bytes[end + 9] = char(0xFF);
        bytes[end + 10] = 0x7F;

        QCOMPARE(zoneSetFingerprint(set), md5Hex(bytes));
    }

    void channelAndVerticesChangeIt()
    {
        ZoneAreaRecord a;
        a.points = {QPoint(1000, 2000)};
        ZoneSet inFive;
        inFive.setArea(5, 0, a);
        ZoneSet inSix;
        inSix.setArea(6, 0, a);
        // The same area in another channel is another set.
        QVERIFY(zoneSetFingerprint(inFive) != zoneSetFingerprint(inSix));

        ZoneSet moved = inFive;
        a.points = {QPoint(1000, 2001)};
        moved.setArea(5, 0, a);
        QVERIFY(zoneSetFingerprint(moved) != zoneSetFingerprint(inFive));

        // Equal sets built apart give the same digits.
        ZoneSet again;
        a.points = {QPoint(1000, 2000)};
        again.setArea(5, 0, a);
        QCOMPARE(zoneSetFingerprint(again), zoneSetFingerprint(inFive));
    }
};

QTEST_GUILESS_MAIN(TestZoneFingerprint)
#include "tst_zonefingerprint.moc"
