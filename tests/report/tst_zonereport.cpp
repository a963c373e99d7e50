// The report's page plan on numbers, and the written PDF read back as a reader sees it.
#include "filtersettings.h"
#include "pdftext.h"
#include "reportcatalogue.h"
#include "testsupport.h"
#include "zonefingerprint.h"
#include "zonereport.h"

#include <QFile>
#include <QGuiApplication>
#include <QtTest>

namespace {

ZoneAreaRecord polygon(int count, int seed)
{
    ZoneAreaRecord a;
    a.regionType = 1;
    for (int i = 0; i < count; ++i)
        a.points.append(QPoint(-9000 + i * 31 + seed, 500 + (i * 17 + seed) % 9000));
    return a;
}

ZoneReportData sampleData()
{
    ZoneReportData d;
    d.model = QStringLiteral("KP-21D");
    d.manufacturer = QStringLiteral("Veltrona");
    d.serialNumber = QStringLiteral("KP2100417");
    d.lot = QStringLiteral("L2024-07");
    d.firmwareVersion = QStringLiteral("V3.4.1");
    d.createdAt = QDateTime(QDate(2024, 7, 1), QTime(9, 30, 5));
    for (const FilterSetting &s : filterSettings())
        d.settings.append(s.kind == FilterSetting::HalfDegrees ? 181 : 1);
    ZoneAreaRecord a;
    a.regionType = 1;
    a.onDelay = 2;
    a.offDelay = 50;
    a.hysteresis = 15;
    a.detectableSize = 3;
    a.points = {QPoint(-1500, 2300), QPoint(1500, 2300), QPoint(0, 0)};
    d.zones.setArea(3, 0, a);
    ZoneAreaRecord arc;
    arc.regionType = 2;
    arc.points = {QPoint(4000, 100), QPoint(-4000, 100)};
    d.zones.setArea(17, 2, arc);
    return d;
}

bool write(const ZoneReport &report, const QString &path)
{
    QString error;
    const ReportFileResult r = writeReportFile(report, path, &error);
    if (r != ReportFileResult::Written)
        qWarning() << "report not written:" << error;
    return r == ReportFileResult::Written;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestZoneReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installReportCatalogue(QCoreApplication::instance())); }

    void areasThatHoldZones()
    {
        ZoneSet zones;
        ZoneAreaRecord none;
        none.regionType = 0;
        none.points = {QPoint(1, 1)}; // no shape: vertices left over do not make a zone
        zones.setArea(1, 0, none);
        zones.setArea(2, 1, polygon(1, 0));
        ZoneAreaRecord single;
        single.regionType = 5; // described by its scale alone
        zones.setArea(40, 2, single);
        ZoneAreaRecord rectangle;
        rectangle.regionType = 3;
        rectangle.points = QVector<QPoint>(4, QPoint(0, 0));
        zones.setArea(63, 0, rectangle);
        QCOMPARE(channelsWithZones(zones), (QVector<int>{2, 40, 63}));
        QCOMPARE(channelsWithZones(ZoneSet()), QVector<int>());
    }

    // Every vertex is listed once and in order, every area's header comes first and
    // once, and no page holds more than its space.
    void planListsEveryVertexWithinItsPages()
    {
        ZoneSet zones;
        zones.setArea(0, 1, polygon(7, 1));
        for (int k = 0; k < 3; ++k)
            zones.setArea(9, k, polygon(540, k));
        zones.setArea(10, 2, polygon(100, 3));
        const ReportMetrics m = ZoneReport::metrics();
        const QVector<ReportPagePlan> pages = planReportPages(zones, m);

        QCOMPARE(pages.first().channel, -1);
        QVector<int> listed(64 * 3, 0);
        QVector<int> headers(64 * 3, 0);
        int previousChannel = -1;
        for (int i = 1; i < pages.size(); ++i) {
            const ReportPagePlan &page = pages.at(i);
            QCOMPARE(page.continued, page.channel == previousChannel);
            previousChannel = page.channel;
            double used = 0;
            for (const ReportPiece &piece : page.pieces) {
                const int key = page.channel * 3 + piece.area;
                QCOMPARE(piece.header, listed[key] == 0 && headers[key] == 0);
                headers[key] += piece.header;
                QCOMPARE(piece.firstVertex, listed[key]);
                listed[key] += piece.vertexCount;
                const int rows = std::max(1, (piece.vertexCount + m.columns - 1) / m.columns);
                used += (piece.header ? m.headerHeight : m.continuedHeight) + rows * m.rowHeight;
            }
            QVERIFY2(!page.pieces.isEmpty(), qPrintable(QString::number(i)));
            QVERIFY2(used <= (page.continued ? m.nextPageSpace : m.firstPageSpace) + 1e-6,
                     qPrintable(QStringLiteral("page %1 holds %2 mm").arg(i + 1).arg(used)));
        }
        for (int c : {0, 9, 10})
            for (int k = 0; k < 3; ++k) {
                QCOMPARE(listed[c * 3 + k], zones.area(c, k).points.size());
                QCOMPARE(headers[c * 3 + k], 1);
            }
        // 1620 vertices do not fit on one page: channel 9 goes on over several.
        const int ninePages = int(std::count_if(
            pages.cbegin(), pages.cend(), [](const ReportPagePlan &p) { return p.channel == 9; }));
        QVERIFY2(ninePages >= 4, qPrintable(QString::number(ninePages)));
        QCOMPARE(pages.last().channel, 10);
    }

    void pdfHoldsTheRecordAsText()
    {
        TempWorkingDir dir;
        const ZoneReportData data = sampleData();
        const ZoneReport report(data);
        QCOMPARE(report.fingerprint(), zoneSetFingerprint(data.zones));
        const QString pdf = dir.filePath("report.pdf");
        QVERIFY(write(report, pdf));
        QVERIFY(fileBytes(pdf).startsWith("%PDF-"));

        // The summary and one page for each of the two channels with zones.
        QCOMPARE(PdfText::pageCount(pdf), 3);
        const QString summary = PdfText::text(pdf, 1, 1);
        QVERIFY2(!summary.isEmpty(), "pdftotext gave nothing");
        const QString fingerprint = QString::fromLatin1(report.fingerprint());
        for (const QString &wanted :
             {QStringLiteral("Commissioning report"), QStringLiteral("Serial number KP2100417"),
              QStringLiteral("Firmware version V3.4.1"), QStringLiteral("Lot L2024-07"),
              QStringLiteral("Model KP-21D"), QStringLiteral("2024-07-01 09:30:05"),
              QStringLiteral("Mask minimum angle 90.5°"),
              QStringLiteral("Shadow filter minimum range 1 mm"),
              QStringLiteral("Inputs normally closed on"),
              QStringLiteral("Channels with zones 3, 17"), fingerprint,
              QStringLiteral("page 1 of 3")})
            QVERIFY2(summary.contains(wanted), qPrintable(wanted + " not in: " + summary));

        const QString three = PdfText::text(pdf, 2, 2);
        for (const QString &wanted :
             {QStringLiteral("Channel 3"), QStringLiteral("Attention area"),
              QStringLiteral("1: -1500, 2300"), QStringLiteral("2: 1500, 2300"),
              QStringLiteral("80 ms"), QStringLiteral("2000 ms"), QStringLiteral("15 %"),
              QStringLiteral("1.5°"), QStringLiteral("Zone fingerprint ") + fingerprint,
              QStringLiteral("page 2 of 3")})
            QVERIFY2(three.contains(wanted), qPrintable(wanted + " not in: " + three));
        const QString seventeen = PdfText::text(pdf, 3, 3);
        QVERIFY2(seventeen.contains("Channel 17") && seventeen.contains("arc") &&
                     seventeen.contains("2: -4000, 100") && seventeen.contains("page 3 of 3"),
                 qPrintable(seventeen));
    }

    void unknownIdentityAndSettingsSaySo()
    {
        TempWorkingDir dir;
        ZoneReportData data;
        data.zoneSource = QStringLiteral("zone file zones.ini");
        const QString pdf = dir.filePath("empty.pdf");
        QVERIFY(write(ZoneReport(data), pdf));
        QCOMPARE(PdfText::pageCount(pdf), 1);
        const QString text = PdfText::text(pdf);
        // Five identity fields, the date and ten settings.
        QCOMPARE(text.count("not known"), 16);
        QVERIFY(text.contains("Channels with zones none"));
        QVERIFY(text.contains("Zones from zone file zones.ini"));
    }

    void longListsGoOnOverPages()
    {
        TempWorkingDir dir;
        ZoneReportData data;
        for (int k = 0; k < 3; ++k)
            data.zones.setArea(5, k, polygon(540, k));
        const ZoneReport report(data);
        const QString pdf = dir.filePath("long.pdf");
        QVERIFY(write(report, pdf));
        QVERIFY(report.pageCount() > 2);
        QCOMPARE(PdfText::pageCount(pdf), report.pageCount());
        const QString all = PdfText::text(pdf);
        QVERIFY(all.contains("Channel 5 (continued)"));
        QVERIFY(all.contains("Alarm area (continued)"));
        // The last vertex of the last area reaches the last page.
        const QPoint last = data.zones.area(5, 2).points.last();
        const QString lastEntry = QStringLiteral("540: %1, %2").arg(last.x()).arg(last.y());
        QVERIFY2(PdfText::text(pdf, report.pageCount(), report.pageCount()).contains(lastEntry),
                 qPrintable(lastEntry));
        QCOMPARE(all.count(QStringLiteral("540: ")), 3);
    }

    void failedOrStoppedWritesLeaveNoFile()
    {
        TempWorkingDir dir;
        const ZoneReport report(sampleData());
        QString error;
        QCOMPARE(writeReportFile(report, dir.filePath("missing/report.pdf"), &error),
                 ReportFileResult::Failed);
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("missing")));

        QDir(dir.path()).mkdir("folder");
        error.clear();
        QCOMPARE(writeReportFile(report, dir.filePath("folder"), &error), ReportFileResult::Failed);
        QCOMPARE(error, QStringLiteral("it is a folder"));

        // A report stopped half-way leaves the file that was there as it was.
        const QString kept = dir.filePath("kept.pdf");
        {
            QFile f(kept);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier");
        }
        int calls = 0;
        int total = 0;
        QCOMPARE(writeReportFile(report, kept, &error,
                                 [&](int done, int pages) {
                                     ++calls;
                                     total = pages;
                                     return done < 2;
                                 }),
                 ReportFileResult::Cancelled);
        QCOMPARE(calls, 2);
        QCOMPARE(total, 3);
        QCOMPARE(fileBytes(kept), QByteArray("earlier"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.pdf"});
    }
};

QTEST_MAIN(TestZoneReport)
#include "tst_zonereport.moc"
