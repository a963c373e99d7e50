// Zone editor costs: the outline rebuild of a 540-vertex polygon, one handle drag step on
// the real window, and start-up to the shown window with its 540 handles. Prints figures
// only; speed is judged by whoever reads them. Run it offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_zones

#include "lgraphicsview.h"
#include "rectangleitem.h"
#include "studiorig.h"
#include "zoneeditor.h"
#include "zonegeometry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A scan-like contour: one vertex per half degree over the field of view, placed in the
// order of the sweep (the reverse of the drawn order, the sort's worst case) or shuffled.
QVector<QPointF> contour(bool shuffled)
{
    QVector<QPointF> points;
    for (int i = 0; i < ZoneGeometry::kHandleCount; ++i) {
        const qreal a = qDegreesToRadians(-45 + i * 0.5);
        const qreal r = 500 + 250 * std::sin(7 * a);
        points.append(QPointF(r * std::cos(a), -r * std::sin(a)));
    }
    if (shuffled)
        std::shuffle(points.begin(), points.end(), *QRandomGenerator::global());
    return points;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void benchPureRebuild(const char *label, const QVector<QPointF> &points)
{
    QVector<double> ms;
    for (int run = 0; run < 50; ++run) {
        QElapsedTimer timer;
        timer.start();
        const QPainterPath path = ZoneGeometry::polygonZonePath(points);
        ms.append(timer.nsecsElapsed() / 1e6);
        if (path.isEmpty())
            std::printf("unexpected empty outline\n");
    }
    std::printf("outline rebuild, 540 vertices, %-16s median %.3f ms, max %.3f ms\n", label,
                median(ms), *std::max_element(ms.begin(), ms.end()));
}

// Drags one vertex of a full polygon on the real window and times each mouse move from
// dispatch to the rebuilt outline (the repaint it schedules included).
void benchDrag(bool shuffled)
{
    StudioRig rig;
    if (!rig.showOffline())
        std::printf("window not exposed\n");
    MainWindow &window = *rig.window;
    Ui::MainWindow *ui = rig.ui();
    LGraphicsView *view = ui->areaMonitorGraphicsView;
    view->resetView();
    ui->polygonBtn->click();

    auto *model = qobject_cast<QStandardItemModel *>(ui->tableView->model());
    const QVector<QPointF> points = contour(shuffled);
    for (const QPointF &p : points) {
        const int row = model->rowCount() - 1;
        const QPoint mm = ZoneGeometry::sceneToMm(p);
        emit ui->tableView->clicked(model->index(row, 0));
        model->setData(model->index(row, 0), mm.x());
        emit ui->tableView->clicked(model->index(row, 1));
        model->setData(model->index(row, 1), mm.y());
    }
    if (window.zoneEditor()->areaRecord(0).points.size() != ZoneGeometry::kHandleCount) {
        std::printf("could not build the polygon\n");
        return;
    }

    QWindow *handle = window.windowHandle();
    auto at = [&](const QPointF &scene) {
        return view->viewport()->mapTo(&window, view->mapFromScene(scene));
    };
    const QVector<QPointF> before = window.zoneEditor()->areaRecord(0).points;
    const QPointF start = before[270];
    QTest::mousePress(handle, Qt::LeftButton, {}, at(start));
    QVector<double> ms;
    for (int step = 1; step <= 60; ++step) {
        const QPointF to = start + QPointF(3 * step, -2 * step);
        QElapsedTimer timer;
        timer.start();
        QTest::mouseMove(handle, at(to));
        ms.append(timer.nsecsElapsed() / 1e6);
    }
    QTest::mouseRelease(handle, Qt::LeftButton, {}, at(start + QPointF(180, -120)));
    const bool moved = window.zoneEditor()->areaRecord(0).points != before;
    std::printf("drag step on the window, %-14s median %.3f ms, max %.3f ms%s\n",
                shuffled ? "random order:" : "sweep order:", median(ms),
                *std::max_element(ms.begin(), ms.end()), moved ? "" : " (no vertex moved!)");
}

void benchStartUp()
{
    QVector<double> ms;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        MainWindow window;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::printf("window not exposed\n");
        QCoreApplication::processEvents();
        ms.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("start-up to shown window with 540 handles: first %.1f ms, median of 5 %.1f ms\n",
                ms.first(), median(ms));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir; // the window writes its INI files into the working directory
    QDir::setCurrent(dir.path());
    benchStartUp();
    benchPureRebuild("sweep order:", contour(false));
    benchPureRebuild("random order:", contour(true));
    benchDrag(false);
    benchDrag(true);
    return 0;
}
