// read-zones, write-zones and verify: all 64 channels through the worker's zone
// transfers, with the zone store of the private working directory as the hand-over.
#include "clirun.h"
#include "commands.h"
#include "devicelink.h"
#include "workerthread.h"
#include "zoneblock.h"
#include "zonestore.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>

#include <algorithm>

namespace {

const char *areaName(int area)
{
    static const char *const names[] = {"attention", "warning", "alarm"};
    return names[qBound(0, area, 2)];
}

// The whole of a file the user named, read once before anything else happens; messages
// name it as the user did.
bool readUserFile(const QString &path, const QString &shownName, QByteArray *bytes, QString *error)
{
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("%1 is a directory").arg(shownName);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(shownName, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(shownName, file.errorString());
        return false;
    }
    return true;
}

bool writeFile(const QString &name, const QByteArray &bytes, QString *error)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        *error =
            QStringLiteral("cannot write the working copy %1: %2").arg(name, file.errorString());
        return false;
    }
    return true;
}

// Whether a zone file (already copied into the working directory as storeName) can go
// to the scanner as it is: an INI file with zone channels in it, no area over the block's
// 540 points, no coordinate outside 16 bits. shownName names the user's file.
bool checkZoneFile(const QString &storeName, const QString &shownName, QString *error)
{
    QSettings store(storeName, QSettings::IniFormat);
    if (store.status() != QSettings::NoError) {
        *error = QStringLiteral("%1 is not a zone file: it cannot be read as INI").arg(shownName);
        return false;
    }
    // An INI file without a single channel would write 64 empty channels over the
    // scanner's zones: almost certainly the wrong file.
    static const QRegularExpression channel(QStringLiteral("^Channel\\d+$"));
    const QStringList groups = store.childGroups();
    if (std::none_of(groups.begin(), groups.end(),
                     [](const QString &g) { return channel.match(g).hasMatch(); })) {
        *error = QStringLiteral("%1 is not a zone file: it holds no zone channels").arg(shownName);
        return false;
    }
    const UnsendableArea problem = findUnsendableArea(store);
    if (problem.reason == UnsendableArea::TooManyPoints) {
        *error = QStringLiteral("%1: channel %2, %3 area has %4 points; the scanner holds at "
                                "most %5")
                     .arg(shownName)
                     .arg(problem.channel)
                     .arg(QLatin1String(areaName(problem.area)))
                     .arg(problem.pointCount)
                     .arg(kMaxZonePoints);
        return false;
    }
    if (problem.reason == UnsendableArea::CoordinateTooLarge) {
        *error = QStringLiteral("%1: channel %2, %3 area has a coordinate outside -32768 to "
                                "32767 mm")
                     .arg(shownName)
                     .arg(problem.channel)
                     .arg(QLatin1String(areaName(problem.area)));
        return false;
    }
    return true;
}

// The 64 blocks a store file makes on the wire: what was sent, or what came back.
QVector<QByteArray> storeBlocks(const QString &storeName)
{
    QSettings store(storeName, QSettings::IniFormat);
    QVector<QByteArray> blocks;
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        blocks.append(encodeZoneBlock(channel, readStoredChannel(store, channel)));
    return blocks;
}

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

// All 64 channels from the scanner into the working store, one at a time, each asked
// for when the previous one is stored; then the request that ends a full read.
bool readAllChannels(CliRun &run, QString *error)
{
    DeviceLink &link = run.link();
    WorkerThread *worker = link.worker();
    QFile::remove(zoneStoreFileName());
    int stored = -1;
    bool arrived = false;
    QObject guard;
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
// the working store on the previous one's acknowledgement.
bool writeAllChannels(CliRun &run, QString *error)
{
    DeviceLink &link = run.link();
    WorkerThread *worker = link.worker();
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

// Reads the scanner's zones back and names the channels whose blocks differ from sent.
int compareWithScanner(CliRun &run, const QVector<QByteArray> &sent, const QString &shownName)
{
    QString error;
    if (!readAllChannels(run, &error))
        return run.deviceFailure(error);
    const QVector<QByteArray> received = storeBlocks(zoneStoreFileName());
    QVector<int> differ;
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        if (received.at(channel) != sent.at(channel))
            differ.append(channel);
    }
    if (differ.isEmpty())
        return ExitSuccess;
    return run.deviceFailure(
        QStringLiteral("%1 on the scanner differ from %2").arg(channelList(differ), shownName));
}

// A zone file the user named, copied into the working directory under storeName and
// checked there. The usage status when it cannot be used (nothing has been sent then).
int stageZoneFile(CliRun &run, const QString &storeName)
{
    const QString shownName = run.options().operands.value(0);
    QByteArray bytes;
    QString error;
    if (!readUserFile(run.userPath(shownName), shownName, &bytes, &error))
        return run.usageError(error);
    if (!run.enterWorkDir())
        return ExitDeviceFailure;
    if (!writeFile(storeName, bytes, &error))
        return run.deviceFailure(error);
    if (!checkZoneFile(storeName, shownName, &error))
        return run.usageError(error + QStringLiteral("; nothing was sent"));
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
    if (!readAllChannels(run, &error))
        return run.deviceFailure(error);
    QFile store(zoneStoreFileName());
    if (!store.open(QIODevice::ReadOnly))
        return run.deviceFailure(QStringLiteral("the zone store was not written"));
    out.write(store.readAll());
    if (!out.commit())
        return run.usageError(
            QStringLiteral("cannot write %1: %2").arg(shownName, out.errorString()));
    return ExitSuccess;
}

int runWriteZones(CliRun &run)
{
    // The worker sends from the working store, so the file becomes that store.
    if (const int status = stageZoneFile(run, zoneStoreFileName()))
        return status;
    const QVector<QByteArray> sent = storeBlocks(zoneStoreFileName());
    if (!run.connect())
        return ExitDeviceFailure;
    QString error;
    if (!writeAllChannels(run, &error))
        return run.deviceFailure(error);
    return compareWithScanner(run, sent, run.options().operands.value(0));
}

int runVerify(CliRun &run)
{
    const QString expected = QStringLiteral("expected.ini");
    if (const int status = stageZoneFile(run, expected))
        return status;
    const QVector<QByteArray> sent = storeBlocks(expected);
    if (!run.connect())
        return ExitDeviceFailure;
    return compareWithScanner(run, sent, run.options().operands.value(0));
}
