// diff: what differs between two zone files, or between a zone file and the scanner's
// zones, one line per difference on standard output.
#include "clirun.h"
#include "commands.h"
#include "sessionwait.h"
#include "zonediff.h"
#include "zonefilecheck.h"

namespace {

// Unlike the other commands, a difference is the answer "1" here, as diff(1) has it; a
// scanner that cannot be read leaves nothing to compare with, like a file that cannot.
constexpr int kDiffEqual = 0;
constexpr int kDiffDifferent = 1;
constexpr int kDiffUnusable = 2;

bool readSide(CliRun &run, const QString &shownName, ZoneSet *zones)
{
    const ZoneFile file = readZoneFile(run.userPath(shownName));
    if (!file.ok()) {
        run.usageError(describeZoneFileProblem(file.problem, shownName));
        return false;
    }
    *zones = zoneSetOf(file.channels);
    return true;
}

} // namespace

int runDiff(CliRun &run)
{
    const QStringList &files = run.options().operands;
    ZoneSet first;
    ZoneSet second;
    QString secondName = files.value(1);
    if (!readSide(run, files.value(0), &first))
        return kDiffUnusable;
    if (files.size() > 1) {
        if (!readSide(run, secondName, &second))
            return kDiffUnusable;
    } else {
        // The scanner's zones stand where the second file would: the lines are those of
        // diff FILE SCANNER.ini for a file that holds what the scanner holds. The scanner
        // is named by its serial number, so that a saved comparison says which one it was.
        if (!run.connect())
            return kDiffUnusable;
        QString serial;
        QString error;
        if (!run.wait().ask(REQUEST_SERIAL_NUMBER, &serial, &error) ||
            !readAllChannels(run, &second, &error)) {
            run.deviceFailure(error);
            return kDiffUnusable;
        }
        secondName = QStringLiteral("scanner %1").arg(serial);
    }
    const QVector<ZoneDifference> differences = compareZoneSets(first, second);
    if (differences.isEmpty())
        return kDiffEqual;
    // Which side is which, as diff -u names them: each line gives the first side's value,
    // then the second's.
    QString lines = QStringLiteral("--- %1\n+++ %2\n").arg(files.value(0), secondName);
    for (const ZoneDifference &d : differences)
        lines += describeZoneDifference(d) + QLatin1Char('\n');
    printOut(lines);
    return differences.isEmpty() ? kDiffEqual : kDiffDifferent;
}
