// zone-from-scan: a zone file whose one area is the polygon the last scans leave free,
// the scans taken from the scanner or from the start of a recording.
#include "clirun.h"
#include "commands.h"
#include "framecodec.h"
#include "pointstext.h"
#include "scanframe.h"
#include "scannersession.h"
#include "sessionwait.h"
#include "simrecording.h"
#include "zonediff.h"
#include "zonefilecheck.h"
#include "zonefromscan.h"
#include "zoneset.h"
#include "zonestoretext.h"

#include <QSaveFile>

namespace {

// The first count whole scans of a recording, each the six frames of one batch as the
// link hands them on; fewer when the recording holds fewer.
QVector<ScanSweep> recordedScans(const SimRecording &recording, int count)
{
    QVector<ScanSweep> scans;
    QVector<float> angles;
    QVector<ushort> ranges;
    QVector<ushort> intensities;
    int frameCount = 0;
    const int frames = int(recording.scanFrames.size() / kScanFrameSize);
    for (int i = 0; i < frames && scans.size() < count; ++i) {
        ScanState state;
        const ScanBatchStep step =
            addToScanBatch(recording.scanFrames.constData() + qint64(i) * kScanFrameSize,
                           kScanFrameSize, &frameCount, &state, &angles, &ranges, &intensities);
        if (!step.complete)
            continue;
        scans.append({std::exchange(angles, {}), std::exchange(ranges, {})});
        intensities.clear();
    }
    return scans;
}

// The next count scans the scanner sends, or fewer when it stops sending within the
// time-out.
QVector<ScanSweep> liveScans(CliRun &run, int count)
{
    QVector<ScanSweep> scans;
    QObject guard;
    QObject::connect(&run.session(), &ScannerSession::sendPointVec, &guard,
                     [&](const QVector<float> &angles, const QVector<ushort> &ranges) {
                         if (scans.size() < count)
                             scans.append({angles, ranges});
                         run.progress().show("taking scans:", scans.size(), count);
                     });
    int seen = -1;
    // Each scan must come within the time-out of the one before.
    while (scans.size() < count && scans.size() > seen) {
        seen = scans.size();
        run.wait().until([&]() { return scans.size() > seen; }, run.options().timeoutMs);
    }
    run.progress().finish();
    return scans;
}

QString areaName(int area)
{
    static const char *const names[] = {"attention", "warning", "alarm"};
    return QLatin1String(names[qBound(0, area, 2)]);
}

} // namespace

int runZoneFromScan(CliRun &run)
{
    const CliOptions &options = run.options();
    const QString shownName = options.operands.value(0);
    QString path;
    if (const int status =
            run.outputTarget(shownName, {options.recordingFile, options.zonesFile}, &path))
        return status;

    // The base, checked as every zone file from outside is.
    ZoneSet zones;
    if (!options.zonesFile.isEmpty()) {
        const ZoneFile base = readZoneFile(run.userPath(options.zonesFile));
        if (!base.ok())
            return run.usageError(describeZoneFileProblem(base.problem, options.zonesFile) +
                                  QStringLiteral("; nothing was written"));
        zones = zoneSetOf(base.channels);
    }

    QVector<ScanSweep> scans;
    if (!options.recordingFile.isEmpty()) {
        SimRecording recording;
        QString error;
        if (!loadSimRecording(run.userPath(options.recordingFile), &recording, &error))
            return run.usageError(
                QStringLiteral("%1: cannot be read: %2").arg(options.recordingFile, error));
        scans = recordedScans(recording, options.scans);
        if (scans.size() < options.scans)
            return run.usageError(
                QStringLiteral("%1 holds %2, fewer than the %3 asked for; nothing was written")
                    .arg(options.recordingFile,
                         countText(scans.size(), "whole scan", "whole scans"))
                    .arg(options.scans));
    } else {
        if (!run.connect())
            return ExitDeviceFailure;
        scans = liveScans(run, options.scans);
        if (scans.size() < options.scans)
            return run.deviceFailure(
                QStringLiteral("the scanner sent %1 within %2 ms of the last, not the %3 asked for")
                    .arg(countText(scans.size(), "scan", "scans"))
                    .arg(options.timeoutMs)
                    .arg(options.scans));
    }

    ZoneFromScanSettings settings;
    settings.margin = options.margin;
    settings.tolerance = options.tolerance;
    const ZoneFromScanResult zone = makeZoneFromScan(scans, settings);
    if (zone.vertices.isEmpty()) {
        const QString why =
            QStringLiteral("the scans hold no measurement in the field of view; nothing was "
                           "written");
        return options.recordingFile.isEmpty() ? run.deviceFailure(why) : run.usageError(why);
    }

    // The area keeps its numbers; its shape becomes the polygon, in the order the zone
    // store keeps polygons.
    ZoneAreaRecord area = zones.area(options.channel, options.area);
    area.regionType = 1;
    area.dependScale = 0;
    QVector<QPointF> points;
    for (const QPoint &v : zone.vertices)
        points.append(v);
    area.points.clear();
    for (const QPointF &p : storedPolygonOrder(points))
        area.points.append(p.toPoint());
    zones.setArea(options.channel, options.area, area);

    const QByteArray text = zoneFileText(zones);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
        return run.usageError(
            QStringLiteral("cannot write %1: %2").arg(shownName, out.errorString()));

    for (const NearEcho &e : zone.nearEchoes)
        run.warning(QStringLiteral("an echo at %1 mm in the direction %2 degrees lies nearer than "
                                   "the margin: the zone leaves that direction out")
                        .arg(e.range)
                        .arg(e.degrees, 0, 'f', 1));
    printOut(QStringLiteral("channel %1, %2 area: a polygon of %3 from %4 into %5\n")
                 .arg(options.channel)
                 .arg(areaName(options.area), countText(zone.vertices.size(), "vertex", "vertices"),
                      countText(scans.size(), "scan", "scans"), shownName));
    return ExitSuccess;
}
