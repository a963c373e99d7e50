// The running-status page fed by the real worker from the simulated scanner, whose
// outputs follow its own zones and the person walking through its room.

#include "scanpointlayer.h"
#include "studiorig.h"

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QStatusBar>
#include <QtTest>

namespace {
const QString kActive = QStringLiteral("background-color:rgb(0, 153, 115);color:white");

bool active(QLabel *label)
{
    return label->styleSheet() == kActive;
}

QGraphicsPathItem *warningZone(Ui::MainWindow *ui)
{
    const QList<QGraphicsItem *> items = ui->stateGraphicsView->scene()->items();
    for (QGraphicsItem *item : items)
        if (auto *path = qgraphicsitem_cast<QGraphicsPathItem *>(item))
            if (path->brush().color() == QColor(255, 128, 0))
                return path;
    return nullptr;
}
// The squares of the last scan a view's scene shows.
int scanSquares(QGraphicsView *view)
{
    const QList<QGraphicsItem *> items = view->scene()->items();
    for (QGraphicsItem *item : items)
        if (auto *layer = dynamic_cast<ScanPointLayer *>(item))
            return layer->squareCount();
    return -1;
}
} // namespace

class TestLiveStatus : public QObject
{
    Q_OBJECT

private slots:
    void outputFollowsThePersonInAZone()
    {
        // Channel 5 is active; its warning zone is a rectangle around the path the person
        // walks (from the doorway to just in front of the scanner), with no wall or post
        // in it. Its other two areas hold no zone.
        DeviceState state;
        state.activeChannel = 5;
        state.zone(5, 1).regionType = 3;
        state.zone(5, 1).points = {{-1200, 400}, {-1200, 6900}, {600, 6900}, {600, 400}};
        StudioRig rig;
        QVERIFY(rig.start(state, SimOptions()));
        QVERIFY(rig.connect());
        Ui::MainWindow *ui = rig.ui();

        // The first status message names the channel; the output is on within a second.
        QTRY_COMPARE_WITH_TIMEOUT(ui->curAreaIndexLabel->text(), QStringLiteral("5"), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(active(ui->stateOutTwo), 1000);
        QVERIFY(active(ui->stateOutTwo_2));
        QCOMPARE(warningZone(ui)->opacity(), 0.4);
        for (QLabel *other : {ui->stateOutOne, ui->stateOutThree, ui->stateOutFour,
                              ui->stateOutOne_2, ui->stateOutThree_2, ui->stateOutFour_2})
            QVERIFY2(!active(other), qPrintable(other->objectName()));
        // Input byte 5: inputs 1 and 3.
        QVERIFY(active(ui->stateInOne) && !active(ui->stateInTwo) && active(ui->stateInThree));

        // With the zone gone the output drops within a second as well.
        rig.sim.updateState([](DeviceState &s) { s.zone(5, 1) = ZoneArea(); });
        QTRY_VERIFY_WITH_TIMEOUT(!active(ui->stateOutTwo), 1000);
        QVERIFY(!active(ui->stateOutTwo_2));
        QCOMPARE(warningZone(ui)->opacity(), 0.2);
    }

    // Closed or lost, the link leaves nothing on the pages that looks live: no scan in
    // either view, no lit output or input, the zones unlit, and a note that no scanner is
    // connected until the next one answers.
    void nothingLooksLiveOnceTheLinkIsGone_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::newRow("Close") << false;
        QTest::newRow("port lost") << true;
    }

    void nothingLooksLiveOnceTheLinkIsGone()
    {
        QFETCH(bool, lost);
        DeviceState state;
        state.activeChannel = 5;
        state.zone(5, 1).regionType = 3;
        state.zone(5, 1).points = {{-1200, 400}, {-1200, 6900}, {600, 6900}, {600, 400}};
        StudioRig rig;
        QVERIFY(rig.start(state, SimOptions()));
        QVERIFY(rig.connect());
        Ui::MainWindow *ui = rig.ui();
        QTRY_VERIFY_WITH_TIMEOUT(active(ui->stateOutTwo_2) && active(ui->stateInOne_2), 3000);
        QTRY_VERIFY(scanSquares(ui->stateGraphicsView) > 0 &&
                    scanSquares(ui->areaMonitorGraphicsView) > 0);

        if (lost)
            rig.sim.unplug();
        else
            QTest::mouseClick(ui->openBtn, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->scannerSession()->isOpen(), 3000);
        // Scans already on their way are not drawn after the close either.
        QTest::qWait(200);
        QCOMPARE(scanSquares(ui->stateGraphicsView), 0);
        QCOMPARE(scanSquares(ui->areaMonitorGraphicsView), 0);
        for (QLabel *label :
             ui->stateTab->findChildren<QLabel *>() + ui->areaTab->findChildren<QLabel *>())
            QVERIFY2(!active(label), qPrintable(label->objectName()));
        QCOMPARE(warningZone(ui)->opacity(), 0.2);
        const QString note = QStringLiteral("No scanner is connected: open the serial port first");
        QCOMPARE(rig.window->statusBar()->currentMessage(), note);

        // The scanner, connected again, lights them again and the note goes.
        if (lost)
            return;
        QVERIFY(rig.connect());
        QTRY_VERIFY_WITH_TIMEOUT(active(ui->stateOutTwo_2), 3000);
        QVERIFY(rig.window->statusBar()->currentMessage().isEmpty());
    }
};

QTEST_MAIN(TestLiveStatus)
#include "tst_livestatus.moc"
