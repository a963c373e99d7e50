// Costs of comparing zone sets and of the zone page's history: the comparison of two sets
// with 540 vertices in every one of the 192 areas (each area differing in its last vertex
// and a parameter, so that every list is walked to its end), and one undo or redo of an
// edit of a 540-vertex polygon on the real window, the events it posts included. Prints
// figures only. Run it offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_zonehistory

#include "studiorig.h"
#include "zonediff.h"
#include "zoneeditor.h"
#include "zoneset.h"
#include "zonestore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

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

void benchCompare()
{
    ZoneSet first;
    ZoneSet second;
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord a;
        for (int k = 0; k < kAreasPerChannel; ++k) {
            a[size_t(k)].regionType = 1;
            a[size_t(k)].points = fullPolygon(4000 + channel * 10 + k);
        }
        first.setChannel(channel, a);
        for (auto &area : a) {
            area.points.last() += QPoint(1, 0);
            area.onDelay = 3;
        }
        second.setChannel(channel, a);
    }
    QVector<double> ms;
    int found = 0;
    for (int run = 0; run < 30; ++run) {
        QElapsedTimer timer;
        timer.start();
        found = compareZoneSets(first, second).size();
        ms.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("compare two sets, 540 vertices in 192 areas (%d differences): "
                "median %.3f ms, max %.3f ms\n",
                found, median(ms), maxOf(ms));
}

void benchUndoRedo()
{
    StudioRig rig;
    {
        QSettings file(QStringLiteral("zones.ini"), QSettings::IniFormat);
        for (int channel = 0; channel < kZoneChannelCount; ++channel) {
            ZoneChannelRecord record;
            if (channel == 0) {
                record[0].regionType = 1;
                record[0].points = fullPolygon(5000);
            }
            writeStoredChannel(file, channel, record);
        }
    }
    rig.zoneFile = QStringLiteral("zones.ini");
    if (!rig.showOffline()) {
        std::printf("window not exposed\n");
        return;
    }
    MainWindow &window = *rig.window;
    Ui::MainWindow *ui = rig.ui();
    ui->loadSettingsBtn->click();
    ZoneEditor *editor = window.zoneEditor();
    if (editor->areaRecord(0).points.size() != 540) {
        std::printf("could not load the polygon\n");
        return;
    }
    // The edits taken back and done again: a shape button that drops the 540 vertices,
    // and a replaced record of 540 vertices.
    QTest::mouseClick(ui->rectangleBtn, Qt::LeftButton);
    AreaSettings moved = editor->areaRecord(0);
    moved.regionType = 1;
    for (const QPoint &p : fullPolygon(5200))
        moved.points.append(QPointF(p.x() / 10.0, -p.y() / 10.0));
    editor->replaceAreaRecord(0, moved);
    QUndoStack *history = editor->undoStack();
    QCoreApplication::processEvents();

    QVector<double> undoMs;
    QVector<double> redoMs;
    for (int run = 0; run < 40; ++run) {
        const bool back = run % 4 < 2;
        QElapsedTimer timer;
        timer.start();
        (back ? ui->actionUndo : ui->actionRedo)->trigger();
        QCoreApplication::processEvents();
        (back ? undoMs : redoMs).append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("undo of a 540-vertex polygon edit on the window: median %.3f ms, max %.3f ms\n",
                median(undoMs), maxOf(undoMs));
    std::printf("redo of a 540-vertex polygon edit on the window: median %.3f ms, max %.3f ms\n",
                median(redoMs), maxOf(redoMs));
    std::printf("(steps in the history: %d)\n", history->count());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    benchCompare();
    benchUndoRedo();
    return 0;
}
