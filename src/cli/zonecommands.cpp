// read-zones, write-zones and verify: all 64 channels through the worker's zone
// transfers, the zones read kept in a zone set in memory.
#include "clirun.h"
#include "commands.h"
#include "devicelink.h"
#include "workerthread.h"
#include "zoneblock.h"
#include "zonefilecheck.h"
#include "zoneset.h"
#include "zonestoretext.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

QString channelList(const QVector<int> &channels)
{
    QStringList numbers;
    for (int c : channels)
        numbers << QString::number(c);
    return (channels.size() == 1 ? QStringLiteral("channel ") : QStringLiteral("channels ")) +
           numbers.join(QStringLiteral(", "));
}

QString waitFailure(DeviceLink &link, const QString &what)
{
    if (link.portLost())
        return QStringLiteral("the port failed (%1) while waiting for %2")
            .arg(link.portError(), what);
    return QStringLiteral("no answer within %1 ms to %2").arg(link.timeoutMs()).arg(what);
}

// All 64 channels from the scanner into *zones, one at a time, each asked for when the
// previous one has arrived; then the request that ends a full read.
bool readAllChannels(CliRun &run, ZoneSet *zones, QString *error)
{
    DeviceLink &link = run.link();
    WorkerThread *worker = link.worker();
    *zones = ZoneSet();
    int stored = -1;
    bool arrived = false;
    QObject guard;
    // A block naming a channel beyond 63 is not kept; the check below names it.
    QObject::connect(worker, &WorkerThread::sendZoneChannel, &guard,
                     [zones](int channel, const ZoneChannelRecord &areas) {
                         if (channel >= 0 && channel < kZoneChannelCount)
                             zones->setChannel(channel, areas);
                     });
    QObject::connect(worker, &WorkerThread::sendReadCurArea, &guard, [&](int channel) {
        stored = channel;
        arrived = true;
    });
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        arrived = false;
        worker->onReadArea(channel);
        if (!link.waitFor([&]() { return arrived; }, link.timeoutMs())) {
            *error = waitFailure(link, QStringLiteral("the read of zone channel %1").arg(channel));
            return false;
        }
        if (stored != channel) {
            *error = QStringLiteral("asked for zone channel %1, the scanner sent channel %2")
                         .arg(channel)
                         .arg(stored);
            return false;
        }
        run.progress().show("reading zones: channel", channel + 1, kZoneChannelCount);
    }
    run.progress().finish();
    QString status;
    return link.ask(REQUEST_READ_AREAS_DONE, &status, error);
}

// The full write the window's upload starts: the begin request, then every channel of
// the channels given, each on the previous one's acknowledgement.
bool writeAllChannels(CliRun &run, const QVector<ZoneChannelRecord> &channels, QString *error)
{
    DeviceLink &link = run.link();
    WorkerThread *worker = link.worker();
    QVector<QByteArray> blocks;
    for (int channel = 0; channel < channels.size(); ++channel)
        blocks.append(encodeZoneBlock(channel, channels.at(channel)));
    worker->setZoneWriteBlocks(blocks);
    int acknowledged = -1;
    int refusedStatus = 0;
    RequestType refusedType = REQUEST_WRITE_AREA;
    int refusedChannel = -1;
    QObject guard;
    QObject::connect(worker, &WorkerThread::sendWriteCurArea, &guard,
                     [&](int channel) { acknowledged = channel; });
    QObject::connect(worker, &WorkerThread::sendTransferRefused, &guard,
                     [&](RequestType type, int status) {
                         refusedType = type;
                         refusedStatus = status;
                         refusedChannel = worker->nextZoneWriteChannel();
                     });
    link.send(REQUEST_BEGIN_AREA_WRITE);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        const bool done = link.waitFor(
            [&]() { return acknowledged >= channel || refusedStatus != 0; }, link.timeoutMs());
        if (refusedStatus != 0) {
            worker->abortZoneWrite();
            *error = refusedType == REQUEST_BEGIN_AREA_WRITE
                         ? QStringLiteral("the scanner refused to start the zone write "
                                          "(status %1)")
                               .arg(refusedStatus)
                         : QStringLiteral("the scanner refused zone channel %1 (status %2)")
                               .arg(refusedChannel)
                               .arg(refusedStatus);
            return false;
        }
        if (!done) {
            worker->abortZoneWrite();
            *error =
                waitFailure(link, channel == 0 ? QStringLiteral("the start of the zone write "
                                                                "(begin request or channel 0)")
                                               : QStringLiteral("zone channel %1").arg(channel));
            return false;
        }
        run.progress().show("writing zones: channel", channel + 1, kZoneChannelCount);
    }
    run.progress().finish();
    return true;
}

// Reads the scanner's zones back and names the channels that differ from the file as it
// was written (not from its encoding, which would hide a value the block cannot carry).
int compareWithScanner(CliRun &run, const QVector<ZoneChannelRecord> &expected,
                       const QString &shownName)
{
    QString error;
    ZoneSet scanner;
    if (!readAllChannels(run, &scanner, &error))
        return run.deviceFailure(error);
    QVector<int> differ;
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        if (scanner.channel(channel) != expected.at(channel))
            differ.append(channel);
    }
    if (differ.isEmpty())
        return ExitSuccess;
    return run.deviceFailure(
        QStringLiteral("%1 on the scanner differ from %2").arg(channelList(differ), shownName));
}

// The zone file the user named, read and checked before anything else happens: its 64
// channels in *channels, or the usage status with the file, channel, area and key that
// are wrong (nothing has been sent then).
int readUserZoneFile(CliRun &run, QVector<ZoneChannelRecord> *channels)
{
    const QString shownName = run.options().operands.value(0);
    const ZoneFile file = readZoneFile(run.userPath(shownName));
    if (!file.ok())
        return run.usageError(describeZoneFileProblem(file.problem, shownName) +
                              QStringLiteral("; nothing was sent"));
    *channels = file.channels;
    return ExitSuccess;
}

} // namespace

int runReadZones(CliRun &run)
{
    const QString shownName = run.options().operands.value(0);
    // Opened first, so that an unwritable target stops the run before anything is sent;
    // the file appears whole at the end or not at all.
    QSaveFile out(run.userPath(shownName));
    if (QFileInfo(out.fileName()).isDir() || !out.open(QIODevice::WriteOnly))
        return run.usageError(QStringLiteral("cannot write %1: %2")
                                  .arg(shownName, QFileInfo(out.fileName()).isDir()
                                                      ? QStringLiteral("it is a directory")
                                                      : out.errorString()));
    if (!run.connect())
        return ExitDeviceFailure;
    QString error;
    ZoneSet zones;
    if (!readAllChannels(run, &zones, &error))
        return run.deviceFailure(error);
    // The file the zone store would be: every key of every area, in the store's layout.
    const QByteArray text = zoneFileText(zones);
    if (out.write(text) != text.size() || !out.commit())
        return run.usageError(
            QStringLiteral("cannot write %1: %2").arg(shownName, out.errorString()));
    return ExitSuccess;
}

int runWriteZones(CliRun &run)
{
    QVector<ZoneChannelRecord> channels;
    if (const int status = readUserZoneFile(run, &channels))
        return status;
    if (!run.connect())
        return ExitDeviceFailure;
    QString error;
    if (!writeAllChannels(run, channels, &error))
        return run.deviceFailure(error);
    return compareWithScanner(run, channels, run.options().operands.value(0));
}

int runVerify(CliRun &run)
{
    QVector<ZoneChannelRecord> channels;
    if (const int status = readUserZoneFile(run, &channels))
        return status;
    if (!run.connect())
        return ExitDeviceFailure;
    return compareWithScanner(run, channels, run.options().operands.value(0));
}
