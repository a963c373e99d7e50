// Zone from scan over one second of scans (25 scans of 540 points) of a room with a post
// and noisy ranges, at the defaults (100 mm margin, 20 mm tolerance) and with a wide
// margin, whose echoes each reach over more directions. Prints the median and the worst
// of the runs; speed is judged by whoever reads them.
//   bench_zonefromscan [runs, default 200]

#include "zonefromscan.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A room of 9 m by 8.5 m around the scanner with a round post, 8 mm of noise.
double roomRange(double deg)
{
    const double a = deg * M_PI / 180.0;
    const double dx = std::cos(a), dy = std::sin(a);
    double best = 1e9;
    if (dx > 1e-9)
        best = std::min(best, 5000 / dx);
    if (dx < -1e-9)
        best = std::min(best, -4000 / dx);
    if (dy > 1e-9)
        best = std::min(best, 6000 / dy);
    if (dy < -1e-9)
        best = std::min(best, -2500 / dy);
    const double px = 1500, py = 3000, r = 200;
    const double along = dx * px + dy * py;
    const double disc = along * along - (px * px + py * py) + r * r;
    if (disc >= 0 && along - std::sqrt(disc) > 0)
        best = std::min(best, along - std::sqrt(disc));
    return best;
}

QVector<ScanSweep> oneSecond()
{
    QRandomGenerator rng(3);
    QVector<ScanSweep> scans;
    for (int s = 0; s < 25; ++s) {
        ScanSweep sweep;
        for (int i = 0; i < 540; ++i) {
            const double a = -45.0 + i * 0.5;
            sweep.angles.append(float(a));
            // Now and then a direction without an echo.
            const bool echo = rng.bounded(50) != 0;
            sweep.ranges.append(echo ? ushort(roomRange(a) + rng.bounded(17) - 8) : ushort(0));
        }
        scans.append(sweep);
    }
    return scans;
}

void run(const char *name, const QVector<ScanSweep> &scans, const ZoneFromScanSettings &settings,
         int runs)
{
    QVector<double> ms;
    int vertices = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        vertices = zoneFromScan(scans, settings).size();
        ms.append(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s median %.2f ms, worst %.2f ms over %d runs (%d vertices)\n", name,
                ms.at(ms.size() / 2), ms.last(), runs, vertices);
}

} // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const QVector<ScanSweep> scans = oneSecond();
    run("25 scans, defaults", scans, ZoneFromScanSettings(), runs);
    ZoneFromScanSettings wide;
    wide.margin = 1000;
    run("25 scans, 1000 mm margin", scans, wide, runs);
    ZoneFromScanSettings exact;
    exact.tolerance = 0;
    run("25 scans, no tolerance", scans, exact, runs);
    return 0;
}
