// Costs of zone editing at production scale on the real window: one channel of three
// 540-vertex areas copied over the other 63 channels (the store written and the step kept
// for undo included), and one zoom step with the three areas and their 540 handles shown,
// timed until the view has painted in the event loop. Prints figures only. Run it
// offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_zoneediting

#include "lgraphicsview.h"
#include "studiorig.h"
#include "zoneeditor.h"
#include "zoneset.h"
#include "zonestore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QVector<QPoint> fullPolygon(int radius)
{
    QVector<QPoint> points;
    for (int i = 0; i < 540; ++i) {
        const double a = -0.7 + 4.5 * i / 539.0;
        points.append(QPoint(int(radius * std::cos(a)), int(radius * std::sin(a))));
    }
    return points;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double maxOf(const QVector<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

// Quits its loop once the watched widget has painted.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QEventLoop *loop) : loop(loop) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Posted now, run once the paint has returned.
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, loop, &QEventLoop::quit);
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop *loop;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    StudioRig rig;
    {
        QSettings file(QStringLiteral("zones.ini"), QSettings::IniFormat);
        for (int channel = 0; channel < kZoneChannelCount; ++channel) {
            ZoneChannelRecord record;
            if (channel == 0)
                for (int k = 0; k < 3; ++k) {
                    record[size_t(k)].regionType = 1;
                    record[size_t(k)].points = fullPolygon(3000 + 1500 * k);
                }
            writeStoredChannel(file, channel, record);
        }
    }
    rig.zoneFile = QStringLiteral("zones.ini");
    if (!rig.showOffline()) {
        std::printf("window not exposed\n");
        return 1;
    }
    MainWindow &window = *rig.window;
    Ui::MainWindow *ui = rig.ui();
    ui->loadSettingsBtn->click();
    ZoneEditor *editor = window.zoneEditor();
    for (int k = 0; k < 3; ++k)
        if (editor->areaRecord(k).points.size() != 540) {
            std::printf("could not load the polygons\n");
            return 1;
        }
    LGraphicsView *view = ui->areaMonitorGraphicsView;
    view->resetView();
    QCoreApplication::processEvents();

    QVector<int> others;
    for (int c = 1; c < kZoneChannelCount; ++c)
        others.append(c);
    QVector<double> copyMs;
    for (int run = 0; run < 20; ++run) {
        QElapsedTimer timer;
        timer.start();
        editor->copyChannelOver(others);
        QCoreApplication::processEvents();
        copyMs.append(timer.nsecsElapsed() / 1e6);
        if (editor->undoStack()->canUndo())
            ui->actionUndo->trigger();
        QCoreApplication::processEvents();
    }
    std::printf("copy one channel of 3 x 540 vertices over 63 channels, store and undo step "
                "included: median %.1f ms, max %.1f ms\n",
                median(copyMs), maxOf(copyMs));

    QEventLoop loop;
    PaintWatch watch(&loop);
    view->viewport()->installEventFilter(&watch);
    QVector<double> zoomMs;
    for (int run = 0; run < 40; ++run) {
        QAction *step = (run / 5) % 2 == 0 ? ui->actionZoomIn : ui->actionZoomOut;
        QElapsedTimer timer;
        timer.start();
        step->trigger();
        loop.exec();
        zoomMs.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("one zoom step with 3 x 540 vertices and 540 handles shown, until painted: "
                "median %.2f ms, max %.2f ms\n",
                median(zoomMs), maxOf(zoomMs));
    // The same paint without a zoom, for what the step itself adds.
    QVector<double> paintMs;
    for (int run = 0; run < 40; ++run) {
        QElapsedTimer timer;
        timer.start();
        view->viewport()->update();
        loop.exec();
        paintMs.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("the same view painted again without a zoom: median %.2f ms, max %.2f ms\n",
                median(paintMs), maxOf(paintMs));
    return 0;
}
