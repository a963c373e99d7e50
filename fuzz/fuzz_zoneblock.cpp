// Arbitrary bytes as the zone block of a read reply, of any length, through the decoder
// the worker uses; then the decoded channel through the zone store and the strict zone
// file checks, as a full read followed by saving a zone file and loading it again. Besides
// memory errors it checks what the callers rely on: at most 540 vertices per area, the
// cut vertices counted, an encoding that decodes to the same channel, and a channel stored
// from any block that the strict checks take back unchanged (a zone file saved right after
// reading a scanner must always load).

#include "framecodec.h"
#include "pointstext.h"
#include "zoneblock.h"
#include "zonefilecheck.h"
#include "zonestore.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <algorithm>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    check(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

struct Fixture
{
    QTemporaryDir dir;
    int counter = 0;
    Fixture() { check(dir.isValid()); }
    // A fresh name each time: the settings library caches files by name.
    QString nextPath() { return dir.filePath(QStringLiteral("c%1.ini").arg(counter++)); }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const int length = int(std::min<size_t>(size, 1 << 20));
    const DecodedZoneBlock decoded = decodeZoneBlock(bytes, length);

    char block[kZoneBlockBytes] = {};
    std::copy(bytes, bytes + std::min(length, kZoneBlockBytes), block);
    check(decoded.channel == quint8(block[0]));
    for (int k = 0; k < kAreasPerChannel; ++k) {
        const ZoneAreaRecord &a = decoded.areas[k];
        const char *area = block + 1 + k * kAreaBlockBytes;
        check(a.points.size() <= kMaxZonePoints);
        check(decoded.cutPoints[k] >= 0);
        check(a.points.size() + decoded.cutPoints[k] == readLe16(area + 7));
        check(a.onDelay == quint8(area[0]) && a.regionType == quint8(area[4]));
        check(a.dependScale == readLe16(area + 5));
    }

    // Sent back as it was read: the same channel, nothing cut.
    const QByteArray again = encodeZoneBlock(decoded.channel, decoded.areas);
    check(again.size() == kZoneBlockBytes);
    const DecodedZoneBlock twice = decodeZoneBlock(again.constData(), again.size());
    check(twice.channel == decoded.channel && twice.areas == decoded.areas);
    for (int k = 0; k < kAreasPerChannel; ++k) {
        check(twice.cutPoints[k] == 0);
        QVector<QPoint> points;
        check(!readStrictPointsText(pointsText(decoded.areas[k].points), &points));
        check(points == decoded.areas[k].points);
    }

    // Stored as a full read stores it, then parsed afresh from the bytes on disk, as a zone
    // file saved from the store is when it is loaded again. The block's channel number is a
    // byte; the store keeps it under the channel the read asked for.
    Fixture &f = fixture();
    const int channel = decoded.channel % kZoneChannelCount;
    const QString written = f.nextPath();
    {
        QSettings store(written, QSettings::IniFormat);
        writeStoredChannel(store, channel, decoded.areas);
        store.sync();
        check(store.status() == QSettings::NoError);
    }
    const QString copy = f.nextPath();
    {
        QFile out(copy);
        const QByteArray text = fileBytes(written);
        check(out.open(QIODevice::WriteOnly) && out.write(text) == text.size());
    }
    {
        QSettings file(copy, QSettings::IniFormat);
        ZoneChannelRecord areas;
        check(!checkStoredChannel(file, channel, &areas));
        check(areas == decoded.areas);
        check(readStoredChannel(file, channel) == decoded.areas);
    }
    QFile::remove(written);
    QFile::remove(copy);
    return 0;
}
