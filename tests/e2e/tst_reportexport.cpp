// The commissioning report from the window, and the zone fingerprint on the zone page,
// against the simulated scanner.
#include "pdftext.h"
#include "simzones.h"
#include "studiorig.h"
#include "zonefingerprint.h"
#include "zoneset.h"
#include "zonestorefile.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QtTest>

namespace {

// A scanner with a polygon in channel 6 and a rectangle in channel 50, and no other zone.
DeviceState scannerWithTwoZones()
{
    DeviceState state;
    state.zones.fill(ZoneArea());
    state.zone(6, 1).regionType = 1;
    state.zone(6, 1).onDelay = 5;
    state.zone(6, 1).points = {QPoint(-2000, 3000), QPoint(2500, 3100), QPoint(0, 400)};
    state.zone(50, 0).regionType = 3;
    state.zone(50, 0).points = {QPoint(-1000, 1000), QPoint(1000, 1000), QPoint(1000, 3000),
                                QPoint(-1000, 3000)};
    state.filterStrength = 42;
    return state;
}

QLabel *fingerprintLabel(const StudioRig &rig)
{
    return rig.window->findChild<QLabel *>(QStringLiteral("zoneFingerprintLabel"));
}

QString scannerPrint(const StudioRig &rig)
{
    return QString::fromLatin1(zoneSetFingerprint(toolZones(rig.sim.state())));
}

// File, Export report, into path; the box that says how it went is the only one.
void exportReport(StudioRig &rig, const QString &path)
{
    rig.reportFile = path;
    rig.boxes.clear();
    rig.window->findChild<QAction *>(QStringLiteral("actionExportReport"))->trigger();
    QTRY_COMPARE(rig.boxes.count(), 1);
}

} // namespace

class TestReportExport : public QObject
{
    Q_OBJECT

private slots:
    void fingerprintFollowsReadAndUpload()
    {
        StudioRig rig;
        QVERIFY(rig.start(scannerWithTwoZones()));
        rig.window->scannerSession()->zoneWrite()->setTimeout(500);
        QVERIFY(fingerprintLabel(rig));
        QVERIFY(fingerprintLabel(rig)->isHidden()); // nothing is known of a scanner yet
        QVERIFY(rig.connectAndRead());
        const QString read = scannerPrint(rig);
        QCOMPARE(fingerprintLabel(rig)->text(), QStringLiteral("Zone fingerprint: ") + read);
        QVERIFY(!fingerprintLabel(rig)->isHidden());

        // Changed in the window, then uploaded: the label says what the scanner holds now.
        ZoneChannelRecord areas = rig.window->zoneStoreFile()->channel(20);
        areas[0].regionType = 1;
        areas[0].points = {QPoint(100, 2000), QPoint(-100, 2000)};
        QVERIFY(rig.window->zoneStoreFile()->setChannel(20, areas));
        QCOMPARE(fingerprintLabel(rig)->text(), QStringLiteral("Zone fingerprint: ") + read);
        const int writes = rig.sim.receivedFrames().size();
        QTest::mouseClick(rig.ui()->uploadBtn, Qt::LeftButton);
        QVERIFY(waitUntil(
            [&]() { return rig.window->isEnabled() && rig.ui()->progressBar->isHidden(); }, 10000));
        QVERIFY(rig.sim.receivedFrames().size() > writes + 64);
        const QString uploaded = scannerPrint(rig);
        QVERIFY(uploaded != read);
        QCOMPARE(fingerprintLabel(rig)->text(), QStringLiteral("Zone fingerprint: ") + uploaded);
    }

    void exportWritesWhatTheWindowHolds()
    {
        StudioRig rig;
        QVERIFY(rig.start(scannerWithTwoZones()));
        rig.window->scannerSession()->zoneWrite()->setTimeout(500);
        QAction *action = rig.window->findChild<QAction *>(QStringLiteral("actionExportReport"));
        QVERIFY(action);
        QVERIFY(rig.ui()->menuFile->actions().contains(action));
        QCOMPARE(action->text(), QStringLiteral("Export report…"));
        QVERIFY(rig.connectAndRead());
        QTRY_VERIFY(!rig.ui()->versionLabel->text().isEmpty());

        // No suffix given: the report is a .pdf all the same.
        exportReport(rig, rig.dir.filePath("commissioning"));
        const QString pdf = rig.dir.filePath("commissioning.pdf");
        QCOMPARE(rig.boxes.boxes().first().text, QStringLiteral("The report was saved to ") + pdf);
        QCOMPARE(rig.boxes.boxes().first().icon, QMessageBox::Information);
        QCOMPARE(PdfText::pageCount(pdf), 3);
        const QString summary = PdfText::text(pdf, 1, 1);
        const DeviceState state = rig.sim.state();
        for (const QString &wanted :
             {QStringLiteral("Serial number ") + QString::fromLatin1(state.serialNumber),
              QStringLiteral("Firmware version ") + QString::fromLatin1(state.firmwareVersion),
              QStringLiteral("Shadow filter strength 42"),
              QStringLiteral("Channels with zones 6, 50"), QStringLiteral("Zones from the scanner"),
              scannerPrint(rig)})
            QVERIFY2(summary.contains(wanted), qPrintable(wanted + " not in: " + summary));
        const QString six = PdfText::text(pdf, 2, 2);
        QVERIFY2(six.contains("Warning area") && six.contains("3: 0, 400") &&
                     six.contains("200 ms"),
                 qPrintable(six));
        QVERIFY(rig.window->findChild<QWidget *>(QStringLiteral("reportProgressBar"))->isHidden());

        // An edit not yet saved or uploaded is in the report, which says where it stands.
        ZoneChannelRecord areas = rig.window->zoneStoreFile()->channel(33);
        areas[2].regionType = 2;
        areas[2].points = {QPoint(3000, 100), QPoint(-3000, 100)};
        QVERIFY(rig.window->zoneStoreFile()->setChannel(33, areas));
        exportReport(rig, pdf);
        QCOMPARE(PdfText::pageCount(pdf), 4);
        const QString again = PdfText::text(pdf, 1, 1);
        QVERIFY2(again.contains("Channels with zones 6, 33, 50") &&
                     again.contains("this program's zones, not yet uploaded to the scanner") &&
                     again.contains(QString::fromLatin1(
                         zoneSetFingerprint(rig.window->zoneStoreFile()->zones()))),
                 qPrintable(again));
    }

    void refusedTargetsKeepEveryFile()
    {
        StudioRig rig;
        QVERIFY(rig.start(scannerWithTwoZones()));
        rig.window->scannerSession()->zoneWrite()->setTimeout(500);
        const QByteArray store = fileContents(rig.dir.filePath("config.ini"));
        QVERIFY(!store.isEmpty());
        exportReport(rig, rig.dir.filePath("config.ini"));
        QCOMPARE(rig.boxes.boxes().first().icon, QMessageBox::Critical);
        QVERIFY(rig.boxes.boxes().first().text.contains("is one of the tool's own files"));
        QCOMPARE(fileContents(rig.dir.filePath("config.ini")), store);

        exportReport(rig, rig.dir.filePath("missing/report.pdf"));
        QVERIFY2(rig.boxes.boxes().first().text.startsWith("Cannot write the report"),
                 qPrintable(rig.boxes.boxes().first().text));
        QVERIFY(!QFile::exists(rig.dir.filePath("missing")));

        // A store the scanner could not take as it stands gives no report.
        ZoneChannelRecord areas;
        areas[0].regionType = 1;
        areas[0].points = QVector<QPoint>(541, QPoint(10, 10));
        rig.window->zoneStoreFile()->setChannel(2, areas);
        exportReport(rig, rig.dir.filePath("toomany.pdf"));
        QVERIFY2(rig.boxes.boxes().first().text.startsWith("The zones cannot be reported"),
                 qPrintable(rig.boxes.boxes().first().text));
        QVERIFY(!QFile::exists(rig.dir.filePath("toomany.pdf")));
    }
};

QTEST_MAIN(TestReportExport)
#include "tst_reportexport.moc"
