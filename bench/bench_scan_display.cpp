// Cost of one scan batch on screen: both displays (the running-status scan view and the
// points over the zone editor) take the batch and repaint, offscreen. Batches come
// from the simulated scanner's room; a second run alternates 540 and 450 points, as a
// stream with one damaged frame per batch does. Prints figures only.
//   bench_scan_display [batches] [--bsp]
// --bsp keeps Qt's default spatial index on both scenes, for comparison.

#include "laserscanview.h"
#include "lgraphicsview.h"
#include "simscene.h"
#include "studiorig.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

struct Batch
{
    QVector<float> angles;
    QVector<ushort> ranges;
    QVector<ushort> intensities;
};

// One scan at time t of sectors 0..5, leaving out skipSector (-1: none).
Batch scanAt(const SimScene &scene, QRandomGenerator &rng, double t, int skipSector)
{
    Batch b;
    for (int sector = 0; sector < 6; ++sector) {
        if (sector == skipSector)
            continue;
        for (int i = 0; i < 90; ++i) {
            const float angle = float((sector - 1) * 45.0 + i * 0.5);
            const SimScene::Echo e = scene.sample(angle, t, rng);
            b.angles.append(angle);
            b.ranges.append(e.range);
            b.intensities.append(e.intensity);
        }
    }
    return b;
}

// What the zone editor keeps in its scene besides the points: grid, blind sector, field
// of view and 540 vertex handles (hidden unless a polygon is being edited). The grid is
// cached as the scan view caches its own.
void addEditorStandIns(QGraphicsScene *zones, const QGraphicsPathItem *grid)
{
    auto *g = new QGraphicsPathItem(grid->path());
    g->setPos(grid->pos());
    g->setPen(grid->pen());
    g->setBrush(grid->brush());
    g->setZValue(-61);
    g->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    zones->addItem(g);
    auto *blind = new QGraphicsEllipseItem(-1000, -1000, 2000, 2000);
    blind->setStartAngle(-2160);
    blind->setSpanAngle(1440);
    blind->setBrush(Qt::gray);
    blind->setOpacity(0.6);
    zones->addItem(blind);
    auto *view = new QGraphicsEllipseItem(-1000, -1000, 2000, 2000);
    view->setStartAngle(-720);
    view->setSpanAngle(4320);
    view->setOpacity(0.6);
    zones->addItem(view);
    for (int i = 0; i < 540; ++i) {
        auto *handle = new QGraphicsRectItem(0, 0, 10, 10);
        handle->setPos(-5, -5);
        handle->hide();
        zones->addItem(handle);
    }
}

struct Figures
{
    double median = 0, p90 = 0, max = 0, update = 0;
    double scanView = 0, zoneView = 0; // medians of each display's update and repaint
};

double percentile(QVector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.at(std::min(int(v.size()) - 1, int(p * v.size())));
}

Figures run(MainWindow &window, const QVector<Batch> &batches)
{
    Ui::MainWindow *ui = window.ui();
    auto *scanView = static_cast<LaserScanView *>(ui->stateGraphicsView);
    QGraphicsView *zoneView = ui->areaMonitorGraphicsView;
    QImage scanImage(scanView->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QImage zoneImage(zoneView->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QVector<double> total, update, scanShare, zoneShare;
    QElapsedTimer clock;
    for (const Batch &b : batches) {
        clock.start();
        scanView->onRecvAndShowPoint(b.angles, b.ranges, b.intensities);
        const double scanUpdated = clock.nsecsElapsed() / 1e6;
        window.onRecvAndShowPoint(b.angles, b.ranges, b.intensities);
        const double updated = clock.nsecsElapsed() / 1e6;
        scanView->viewport()->render(&scanImage);
        const double scanDrawn = clock.nsecsElapsed() / 1e6;
        zoneView->viewport()->render(&zoneImage);
        total.append(clock.nsecsElapsed() / 1e6);
        update.append(updated);
        scanShare.append(scanUpdated + scanDrawn - updated);
        zoneShare.append(total.last() - scanShare.last());
    }
    return {percentile(total, 0.5),  percentile(total, 0.9),     percentile(total, 1.0),
            percentile(update, 0.5), percentile(scanShare, 0.5), percentile(zoneShare, 0.5)};
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 && args.at(1).toInt() > 0 ? args.at(1).toInt() : 1000;
    const bool bsp = args.contains(QStringLiteral("--bsp"));

    StudioRig rig;
    if (!rig.openWindow() || !rig.show(1) || !rig.show(2))
        return 1;
    QApplication::processEvents();
    MainWindow &window = *rig.window;
    Ui::MainWindow *ui = rig.ui();
    auto *scanView = static_cast<LaserScanView *>(ui->stateGraphicsView);
    LGraphicsView *zoneView = ui->areaMonitorGraphicsView;
    zoneView->resetView();
    // Until the zone editor fills its scene, stand-ins give the zone view its load.
    bool editorPresent = false;
    const QList<QGraphicsItem *> zoneItems = zoneView->zoneScene()->items();
    for (QGraphicsItem *item : zoneItems)
        editorPresent |= qgraphicsitem_cast<QGraphicsPathItem *>(item) != nullptr;
    if (!editorPresent)
        addEditorStandIns(zoneView->zoneScene(), scanView->gridItem());
    if (bsp) {
        scanView->scene()->setItemIndexMethod(QGraphicsScene::BspTreeIndex);
        zoneView->zoneScene()->setItemIndexMethod(QGraphicsScene::BspTreeIndex);
    }

    SimScene scene;
    QRandomGenerator rng(11);
    QVector<Batch> steady, alternating;
    for (int i = 0; i < count; ++i) {
        const double t = i / 25.0;
        steady.append(scanAt(scene, rng, t, -1));
        alternating.append(scanAt(scene, rng, t, i % 2 ? 2 : -1));
    }

    std::printf("zone editor items: %s\n",
                editorPresent ? "the editor's own" : "stand-ins (grid cached, 540 handles)");
    std::printf("scene index: %s; viewports %dx%d (scan view) and %dx%d (zone view)\n",
                bsp ? "BSP tree (Qt default)" : "none", scanView->viewport()->width(),
                scanView->viewport()->height(), zoneView->viewport()->width(),
                zoneView->viewport()->height());
    run(window, steady.mid(0, 50)); // warm-up: caches, glyphs, first pool fill
    const Figures a = run(window, steady);
    const Figures b = run(window, alternating);
    std::printf("%d batches, both displays, update + repaint, ms per batch:\n", count);
    std::printf("  540 points each        median %6.2f  p90 %6.2f  max %6.2f  (update alone "
                "%5.2f)\n",
                a.median, a.p90, a.max, a.update);
    std::printf("  540 / 450 alternating  median %6.2f  p90 %6.2f  max %6.2f  (update alone "
                "%5.2f)\n",
                b.median, b.p90, b.max, b.update);
    std::printf("  540 points, each display's median: scan view %5.2f, zone view %5.2f\n",
                a.scanView, a.zoneView);
    return 0;
}
