// The window's link beyond a local serial port: a serial device server typed into the port
// box (tcp://HOST:PORT), read, written and dropped; and the diagnostics panel counting the
// live link against a scanner that sends damaged frames and a changing error byte.
#include "diagnosticspanel.h"
#include "linkmonitor.h"
#include "simulatedscanner.h"
#include "studiorig.h"

#include <QDockWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {
const QString kDisconnectText =
    QStringLiteral("The serial port is disconnected. Check whether the connection is normal");
} // namespace

class TestLinkWindow : public QObject
{
    Q_OBJECT

private slots:
    void deviceServerTypedIntoThePortBox()
    {
        StudioRig rig;
        QVERIFY(rig.startScanner());
        QString error;
        QVERIFY2(rig.sim.listenTcp(0, &error) != 0, qPrintable(error));
        QVERIFY(rig.openWindow());
        Ui::MainWindow *ui = rig.ui();
        const QString server = rig.sim.tcpName();
        // Typed, not picked from the list; a refresh keeps it.
        ui->portName->lineEdit()->setText(server);
        QVERIFY(ui->openBtn->isEnabled());
        ui->refreshBtn->click();
        QCOMPARE(ui->portName->currentText(), server);

        // Connected, read out, all 64 channels read and written back over the connection.
        QVERIFY(rig.connectAndRead());
        QCOMPARE(rig.window->scannerSession()->link()->kind(), ScannerLink::Kind::Tcp);
        QVERIFY(rig.waitForReadOut());
        QVERIFY(rig.upload());

        // The scanner's line goes and the server drops its client: a lost port, as an
        // unplugged adapter is.
        rig.sim.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(kDisconnectText), 3000);
        QVERIFY(!rig.window->scannerSession()->isOpen());
        QCOMPARE(rig.window->modes()->mode(), WindowMode::Disconnected);
        QVERIFY(!ui->openBtn->isChecked());
        QCOMPARE(ui->portName->currentText(), server);

        // The server turns the client away while its line is gone: a lost port too.
        rig.boxes.clear();
        ui->openBtn->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(kDisconnectText), 3000);
        QVERIFY(!rig.window->scannerSession()->isOpen());
        QCOMPARE(rig.window->modes()->mode(), WindowMode::Disconnected);
    }

    void diagnosticsCountTheLiveLink()
    {
        // Every 5th scan frame damaged; the error byte 0 for two scans, then 3 for two.
        SimOptions o = StudioRig::withoutZoneReads();
        o.damageScanEvery = 5;
        o.errorBytes = {0, 3};
        o.errorByteScans = 2;
        StudioRig rig;
        QVERIFY(rig.start(o));
        QVERIFY(rig.show(2));
        QVERIFY(rig.connectAndSettle());
        DiagnosticsPanel *panel = rig.window->diagnosticsPanel();
        QVERIFY(!panel->dock()->isVisible());
        rig.window->findChild<QAction *>(QStringLiteral("actionDiagnostics"))->trigger();
        QTRY_VERIFY(panel->dock()->isVisible());
        QVERIFY(waitUntil([&]() { return rig.sim.scanner()->scanFramesSent() >= 120; }, 5000));
        rig.sim.setScanStream(false);
        qint64 sent = -1;
        QVERIFY(waitUntil(
            [&]() {
                const qint64 now = rig.sim.scanner()->scanFramesSent();
                const bool settled = now == sent && panel->figures().scanFrames >= now - 1;
                sent = now;
                return settled;
            },
            5000));
        panel->refresh();
        const DiagnosticsFigures f = panel->figures();
        QVERIFY(f.damagedFrames >= sent / 5 - 1 && f.damagedFrames <= sent / 5 + 1);
        QVERIFY(f.nonZeroErrors > 0 && f.nonZeroErrors < f.scanFrames);
        auto label = [&](const char *name) {
            return panel->dock()->findChild<QLabel *>(QLatin1String(name))->text();
        };
        QCOMPARE(label("damagedFramesLabel"), QString::number(f.damagedFrames));
        QCOMPARE(label("nonZeroErrorsLabel"), QString::number(f.nonZeroErrors));
        QVERIFY(label("errorByteLabel") == QLatin1String("0x00") ||
                label("errorByteLabel") == QLatin1String("0x03"));
        // The first outputs and inputs seen are listed.
        auto *table =
            panel->dock()->findChild<QTableWidget *>(QStringLiteral("signalChangesTable"));
        QVERIFY(table->rowCount() >= 2);

        // Cleared: counting starts afresh.
        panel->dock()->findChild<QPushButton *>(QStringLiteral("clearDiagnosticsBtn"))->click();
        QCOMPARE(label("damagedFramesLabel"), QStringLiteral("0"));
        QCOMPARE(label("nonZeroErrorsLabel"), QStringLiteral("0"));
        QCOMPARE(table->rowCount(), 0);
    }
};

QTEST_MAIN(TestLinkWindow)
#include "tst_linkwindow.moc"
