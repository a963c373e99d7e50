// The commissioning report from the window, and the zone fingerprint on the zone page,
// against the simulated scanner.
#include "mainwindow.h"
#include "modalcatcher.h"
#include "pdftext.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workerthread.h"
#include "zonefingerprint.h"
#include "zoneset.h"
#include "zonestorefile.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QByteArray bytesOf(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The zones the simulated scanner holds, as the window keeps them.
ZoneSet scannerZones(const DeviceState &state)
{
    ZoneSet set;
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        for (int k = 0; k < kAreasPerChannel; ++k) {
            const ZoneArea &z = state.zone(channel, k);
            ZoneAreaRecord a;
            a.onDelay = z.onDelay;
            a.offDelay = z.offDelay;
            a.hysteresis = z.hysteresis;
            a.detectableSize = z.detectableSize;
            a.regionType = z.regionType;
            a.dependScale = z.dependScale;
            a.points = z.points;
            set.setArea(channel, k, a);
        }
    }
    return set;
}

struct Rig
{
    TempWorkingDir dir;
    ModalCatcher boxes;
    SimulatorHost sim;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow *ui = nullptr;
    QString reportPath;

    bool start()
    {
        DeviceState state;
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            for (int k = 0; k < kAreasPerChannel; ++k)
                state.zone(channel, k) = ZoneArea();
        state.zone(6, 1).regionType = 1;
        state.zone(6, 1).onDelay = 5;
        state.zone(6, 1).points = {QPoint(-2000, 3000), QPoint(2500, 3100), QPoint(0, 400)};
        state.zone(50, 0).regionType = 3;
        state.zone(50, 0).points = {QPoint(-1000, 1000), QPoint(1000, 1000), QPoint(1000, 3000),
                                    QPoint(-1000, 3000)};
        state.filterStrength = 42;
        sim.setState(state);
        SimOptions options;
        options.paced = false;
        QString error;
        if (!sim.start(options, &error)) {
            qWarning() << "simulator:" << error;
            return false;
        }
        window = std::make_unique<MainWindow>();
        ui = window->ui();
        window->addExtraPort(sim.devicePath());
        window->setZoneWriteTimeout(500);
        window->setReportFileProvider([this]() { return reportPath; });
        return true;
    }
    bool connectAndRead()
    {
        window->openSelectedPort();
        if (!window->worker())
            return false;
        QSignalSpy channelsRead(window->worker(), &WorkerThread::sendReadCurArea);
        return waitUntil(
            [&]() {
                return window->isEnabled() && !window->isReadingAreas() &&
                       channelsRead.count() == 65 && ui->areasMonitoningGroupBox->isEnabled();
            },
            10000);
    }
    QLabel *fingerprintLabel() const
    {
        return window->findChild<QLabel *>(QStringLiteral("zoneFingerprintLabel"));
    }
    QString scannerPrint() const
    {
        return QString::fromLatin1(zoneSetFingerprint(scannerZones(sim.state())));
    }
    void exportReport(const QString &path)
    {
        reportPath = path;
        boxes.clear();
        window->findChild<QAction *>(QStringLiteral("actionExportReport"))->trigger();
        QTRY_COMPARE(boxes.count(), 1);
    }
};

} // namespace

class TestReportExport : public QObject
{
    Q_OBJECT

private slots:
    void fingerprintFollowsReadAndUpload()
    {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.fingerprintLabel());
        QVERIFY(rig.fingerprintLabel()->isHidden()); // nothing is known of a scanner yet
        QVERIFY(rig.connectAndRead());
        const QString read = rig.scannerPrint();
        QCOMPARE(rig.fingerprintLabel()->text(), QStringLiteral("Zone fingerprint: ") + read);
        QVERIFY(!rig.fingerprintLabel()->isHidden());

        // Changed in the window, then uploaded: the label says what the scanner holds now.
        ZoneChannelRecord areas = rig.window->zoneStoreFile()->channel(20);
        areas[0].regionType = 1;
        areas[0].points = {QPoint(100, 2000), QPoint(-100, 2000)};
        QVERIFY(rig.window->zoneStoreFile()->setChannel(20, areas));
        QCOMPARE(rig.fingerprintLabel()->text(), QStringLiteral("Zone fingerprint: ") + read);
        const int writes = rig.sim.receivedFrames().size();
        QTest::mouseClick(rig.ui->uploadBtn, Qt::LeftButton);
        QVERIFY(waitUntil(
            [&]() { return rig.window->isEnabled() && rig.ui->progressBar->isHidden(); }, 10000));
        QVERIFY(rig.sim.receivedFrames().size() > writes + 64);
        const QString uploaded = rig.scannerPrint();
        QVERIFY(uploaded != read);
        QCOMPARE(rig.fingerprintLabel()->text(), QStringLiteral("Zone fingerprint: ") + uploaded);
    }

    void exportWritesWhatTheWindowHolds()
    {
        Rig rig;
        QVERIFY(rig.start());
        QAction *action = rig.window->findChild<QAction *>(QStringLiteral("actionExportReport"));
        QVERIFY(action);
        QVERIFY(rig.ui->menuFile->actions().contains(action));
        QCOMPARE(action->text(), QStringLiteral("Export report…"));
        QVERIFY(rig.connectAndRead());
        QTRY_VERIFY(!rig.ui->versionLabel->text().isEmpty());

        // No suffix given: the report is a .pdf all the same.
        rig.exportReport(rig.dir.filePath("commissioning"));
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
              rig.scannerPrint()})
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
        rig.exportReport(pdf);
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
        Rig rig;
        QVERIFY(rig.start());
        const QByteArray store = bytesOf(rig.dir.filePath("config.ini"));
        QVERIFY(!store.isEmpty());
        rig.exportReport(rig.dir.filePath("config.ini"));
        QCOMPARE(rig.boxes.boxes().first().icon, QMessageBox::Critical);
        QVERIFY(rig.boxes.boxes().first().text.contains("is one of the tool's own files"));
        QCOMPARE(bytesOf(rig.dir.filePath("config.ini")), store);

        rig.exportReport(rig.dir.filePath("missing/report.pdf"));
        QVERIFY2(rig.boxes.boxes().first().text.startsWith("Cannot write the report"),
                 qPrintable(rig.boxes.boxes().first().text));
        QVERIFY(!QFile::exists(rig.dir.filePath("missing")));

        // A store the scanner could not take as it stands gives no report.
        ZoneChannelRecord areas;
        areas[0].regionType = 1;
        areas[0].points = QVector<QPoint>(541, QPoint(10, 10));
        rig.window->zoneStoreFile()->setChannel(2, areas);
        rig.exportReport(rig.dir.filePath("toomany.pdf"));
        QVERIFY2(rig.boxes.boxes().first().text.startsWith("The zones cannot be reported"),
                 qPrintable(rig.boxes.boxes().first().text));
        QVERIFY(!QFile::exists(rig.dir.filePath("toomany.pdf")));
    }
};

QTEST_MAIN(TestReportExport)
#include "tst_reportexport.moc"
