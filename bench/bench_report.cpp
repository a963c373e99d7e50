// The commissioning report at its largest: 64 channels, 540 vertices in every area, written
// to a PDF as the window and areascan-cli write it. Prints the time of each run (plan,
// drawing and the safe file write together), the pages and bytes, and the process's peak
// resident memory. Figures only; speed is judged by whoever reads them. Run it headless:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_report [runs]

#include "filtersettings.h"
#include "reportcatalogue.h"
#include "zonereport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace {

// A scan-like contour per area: one vertex per half degree over the field of view, a
// different radius for every channel and area, so no two pages are alike.
ZoneAreaRecord fullArea(int channel, int area)
{
    ZoneAreaRecord a;
    a.regionType = 1;
    a.onDelay = quint8(channel % 51);
    a.offDelay = quint8((channel + area) % 51);
    a.hysteresis = quint8(area * 10);
    a.detectableSize = quint8(channel % 11);
    a.points.reserve(kMaxZonePoints);
    const double base = 2000 + 2500 * area + 30 * channel;
    for (int i = 0; i < kMaxZonePoints; ++i) {
        const double angle = qDegreesToRadians(-45 + i * 0.5);
        const double r = base + 600 * std::sin(5 * angle + channel);
        a.points.append(QPoint(int(r * std::cos(angle)), int(r * std::sin(angle))));
    }
    return a;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    installReportCatalogue(&app);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const long startRss = peakRssKb();

    ZoneReportData data;
    data.model = QStringLiteral("KP-21D");
    data.manufacturer = QStringLiteral("Veltrona");
    data.serialNumber = QStringLiteral("KP2100417");
    data.lot = QStringLiteral("L2024-07");
    data.firmwareVersion = QStringLiteral("V3.4.1");
    data.createdAt = QDateTime::currentDateTime();
    for (int i = 0; i < filterSettings().size(); ++i)
        data.settings.append(i);
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            data.zones.setArea(c, k, fullArea(c, k));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QVector<double> ms;
    QVector<double> cpuMs;
    int pages = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuSeconds();
        const ZoneReport report(data);
        QString error;
        if (writeReportFile(report, path, &error) != ReportFileResult::Written) {
            std::fprintf(stderr, "report not written: %s\n", qPrintable(error));
            return 1;
        }
        ms.append(timer.nsecsElapsed() / 1e6);
        cpuMs.append((cpuSeconds() - cpuStart) * 1000);
        pages = report.pageCount();
        std::printf("run %d: %.0f ms (%.0f ms of processor time)\n", run + 1, ms.last(),
                    cpuMs.last());
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    // On a shared machine the processor time says what the report costs; the elapsed time
    // adds what other processes took meanwhile.
    std::printf("report, 64 channels x 3 areas x 540 vertices: %d pages, %.1f MB; "
                "elapsed median %.0f ms, worst %.0f ms; processor median %.0f ms, worst %.0f ms; "
                "%d runs\n",
                pages, QFileInfo(path).size() / 1e6, ms[ms.size() / 2], ms.last(),
                cpuMs[cpuMs.size() / 2], cpuMs.last(), runs);
    std::printf("peak resident memory: %.1f MB (%.1f MB before the first report)\n",
                peakRssKb() / 1024.0, startRss / 1024.0);
    return 0;
}
