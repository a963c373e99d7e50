// Arbitrary bytes as a zone file from outside through the strict reader the window's
// LoadConfig and the command-line tool use; or, by the first byte, as a points text alone
// or as the INI text of one channel (small inputs, many more of them per second).
// Besides memory errors it checks what the callers rely on:
// - a file taken holds all 64 channels, at most 540 vertices an area, and the store's own
//   lenient reading of the same bytes (what the worker would send after a byte copy) is
//   exactly what was checked;
// - a file refused names its problem on one printable line, returns no channels, and
//   changes nothing: the file itself, the zone store beside it and the temporary folder
//   are as they were;
// - a channel taken means the same to the store's reading;
// - a points text taken means the same to the store's reading and writes back to itself;
// - a file whose rewrite the store's text claims to know is rewritten by the settings
//   library, after the same change, into exactly that text.

#include "pointstext.h"
#include "zoneblock.h"
#include "zonefilecheck.h"
#include "zonestore.h"
#include "zonestoretext.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QVector>

#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    check(file.write(bytes) == bytes.size());
}

struct Fixture
{
    QString work;      // input files and the zone store beside them
    QString temporary; // where the reader makes its copies; empty between calls
    QByteArray store = "[Channel0]\nArea0\\regionType=1\n";
    int counter = 0;

    Fixture()
    {
        char workTemplate[] = "/tmp/fuzz-zonefile-XXXXXX";
        check(::mkdtemp(workTemplate) != nullptr);
        work = QString::fromLatin1(workTemplate);
        temporary = work + QStringLiteral("/tmp");
        check(QDir().mkpath(temporary));
        ::setenv("TMPDIR", temporary.toLocal8Bit().constData(), 1);
        check(QDir::tempPath() == temporary);
        writeBytes(work + QLatin1Char('/') + zoneStoreFileName(), store);
    }
};

// The reader runs in the work folder, beside a zone store of its own, and the fuzzer's
// own folder is back in place afterwards (it reads its corpus files by relative paths).
class InWorkFolder
{
public:
    explicit InWorkFolder(const QString &work) : m_previous(QDir::currentPath())
    {
        check(QDir::setCurrent(work));
    }
    ~InWorkFolder() { QDir::setCurrent(m_previous); }

private:
    QString m_previous;
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void checkPointsText(const QString &text)
{
    QVector<QPoint> points;
    const ZoneFileProblem problem = readStrictPointsText(text, &points);
    if (problem) {
        check(points.isEmpty());
        check(problem.channel == -1 && problem.area == -1);
        return;
    }
    check(points.size() <= kMaxZonePoints);
    for (const QPoint &p : points)
        check(p.x() >= -32768 && p.x() <= 32767 && p.y() >= -32768 && p.y() <= 32767);
    check(wirePoints(parsePointsText(text)) == points);
    QVector<QPoint> again;
    check(!readStrictPointsText(pointsText(points), &again) && again == points);
}

void checkProblemLine(const ZoneFileProblem &p, const QString &fileName)
{
    check(p.channel >= -1 && p.channel < kZoneChannelCount);
    check(p.area >= -1 && p.area < kAreasPerChannel);
    const QString line = describeZoneFileProblem(p, fileName);
    check(!line.isEmpty() && line.size() < 400);
    for (const QChar c : line)
        check(c.unicode() >= 0x20);
}

void checkChannel(const QByteArray &bytes)
{
    Fixture &f = fixture();
    const QString input = f.work + QStringLiteral("/channel%1.ini").arg(f.counter++);
    writeBytes(input, bytes);
    {
        QSettings store(input, QSettings::IniFormat);
        ZoneChannelRecord areas;
        const ZoneFileProblem problem = checkStoredChannel(store, 0, &areas);
        if (problem) {
            check(problem.channel == 0 && problem.area >= 0);
            checkProblemLine(problem, input);
        } else {
            for (const ZoneAreaRecord &a : areas)
                check(a.points.size() <= kMaxZonePoints);
            check(readStoredChannel(store, 0) == areas);
        }
    }
    QFile::remove(input);
}

void checkFile(const QByteArray &bytes)
{
    Fixture &f = fixture();
    const InWorkFolder inWork(f.work);
    const QString input = QStringLiteral("input%1.ini").arg(f.counter++);
    writeBytes(input, bytes);
    const ZoneFile file = readZoneFile(input);

    check(fileBytes(input) == bytes);
    check(fileBytes(zoneStoreFileName()) == f.store);
    check(QDir(f.temporary).isEmpty());
    check(file.read && file.bytes == bytes);

    if (!file.ok()) {
        check(file.channels.isEmpty());
        checkProblemLine(file.problem, input);
    } else {
        check(file.channels.size() == kZoneChannelCount);
        // The same bytes as the zone store, read the store's lenient way.
        QSettings store(input, QSettings::IniFormat);
        for (int channel = 0; channel < kZoneChannelCount; ++channel) {
            const ZoneChannelRecord &areas = file.channels.at(channel);
            for (const ZoneAreaRecord &a : areas)
                check(a.points.size() <= kMaxZonePoints);
            check(readStoredChannel(store, channel) == areas);
            const DecodedZoneBlock sent =
                decodeZoneBlock(encodeZoneBlock(channel, areas).constData(), kZoneBlockBytes);
            check(sent.areas == areas);
        }
    }
    QFile::remove(input);
}

void checkStoreText(const QByteArray &bytes)
{
    ZoneStoreText text;
    if (!text.take(bytes, ZoneStoreText::FromOutside)) {
        check(!text.isKnown() && text.text().isEmpty());
        return;
    }
    Fixture &f = fixture();
    const QString input = f.work + QStringLiteral("/text%1.ini").arg(f.counter++);
    writeBytes(input, bytes);
    ZoneAreaRecord record;
    record.onDelay = quint8(bytes.size());
    record.points = {QPoint(bytes.size(), -7)};
    {
        QSettings store(input, QSettings::IniFormat);
        writeStoredArea(store, 3, 1, record);
    }
    text.setArea(3, 1, record);
    check(fileBytes(input) == text.text());
    ZoneStoreText again;
    check(again.take(text.text(), ZoneStoreText::WrittenByLibrary) && again.text() == text.text());
    QFile::remove(input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, int(size - 1));
    switch (data[0] % 4) {
    case 0:
        checkFile(rest);
        break;
    case 1:
        checkPointsText(QString::fromUtf8(rest));
        break;
    case 3:
        checkStoreText(rest);
        break;
    default:
        checkChannel(rest);
        break;
    }
    return 0;
}
