// read-zones, write-zones and verify: all 64 channels through the session's zone
// transfers, the zones read kept in a zone set in memory.
#include "clirun.h"
#include "commands.h"
#include "scannersession.h"
#include "sessionwait.h"
#include "zoneblock.h"
#include "zonefilecheck.h"
#include "zonefingerprint.h"
#include "zoneread.h"
#include "zoneset.h"
#include "zonestoretext.h"
#include "zonewrite.h"

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

// Why a zone transfer stopped, in the words of a script's log.
QString transferFailure(CliRun &run, const SessionFailure &failure, const QString &what)
{
    if (failure.kind == SessionFailure::PortLost)
        return QStringLiteral("the port failed (%1) while waiting for %2")
            .arg(run.session().portError(), what);
    return QStringLiteral("no answer within %1 ms to %2").arg(failure.waitedMs).arg(what);
}

// The full write the window's upload starts: the begin request, then every channel of
// the channels given, each on the previous one's acknowledgement.
bool writeAllChannels(CliRun &run, const QVector<ZoneChannelRecord> &channels, QString *error)
{
    ZoneWrite *write = run.session().zoneWrite();
    write->setTimeout(run.options().timeoutMs);
    QVector<QByteArray> blocks;
    for (int channel = 0; channel < channels.size(); ++channel)
        blocks.append(encodeZoneBlock(channel, channels.at(channel)));
    bool finished = false;
    bool failed = false;
    SessionFailure failure;
    QObject guard;
    QObject::connect(write, &ZoneWrite::progress, &guard, [&](int channel) {
        run.progress().show("writing zones: channel", channel + 1, kZoneChannelCount);
    });
    QObject::connect(write, &ZoneWrite::finished, &guard, [&]() { finished = true; });
    QObject::connect(write, &ZoneWrite::failed, &guard, [&](const SessionFailure &f) {
        failure = f;
        failed = true;
    });
    if (!write->start(blocks)) {
        failure.step = REQUEST_BEGIN_AREA_WRITE;
        failure.index = 0;
        failure.kind = SessionFailure::PortLost;
        failed = true;
    }
    run.wait().until([&]() { return finished || failed; }, -1, false);
    run.progress().finish();
    if (finished)
        return true;
    if (failure.kind == SessionFailure::Refused)
        *error = failure.step == REQUEST_BEGIN_AREA_WRITE
                     ? QStringLiteral("the scanner refused to start the zone write (status %1)")
                           .arg(failure.status)
                     : QStringLiteral("the scanner refused zone channel %1 (status %2)")
                           .arg(failure.index)
                           .arg(failure.status);
    else if (failure.kind == SessionFailure::Unconfirmed)
        *error = QStringLiteral("zone channel %1 did not read back as it was sent, %2 times")
                     .arg(failure.index)
                     .arg(kStepAttempts);
    else if (failure.step == REQUEST_READ_AREA)
        *error = transferFailure(
            run, failure, QStringLiteral("the read-back of zone channel %1").arg(failure.index));
    else
        *error = transferFailure(run, failure,
                                 failure.index <= 0
                                     ? QStringLiteral("the start of the zone write (begin "
                                                      "request or channel 0)")
                                     : QStringLiteral("zone channel %1").arg(failure.index));
    return false;
}

// Reads the scanner's zones back and names the channels that differ from the file as it
// was written (not from its encoding, which would hide a value the block cannot carry).
// verify prints both fingerprints first, so that a report can be matched to the scanner
// and to the file whatever the comparison says.
int compareWithScanner(CliRun &run, const QVector<ZoneChannelRecord> &expected,
                       const QString &shownName, bool printFingerprints)
{
    QString error;
    ZoneSet scanner;
    if (!readAllChannels(run, &scanner, &error))
        return run.deviceFailure(error);
    if (printFingerprints) {
        ZoneSet file;
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            file.setChannel(channel, expected.at(channel));
        const QString onScanner = QString::fromLatin1(zoneSetFingerprint(scanner));
        const QString inFile = QString::fromLatin1(zoneSetFingerprint(file));
        printOut(formatFields({{QStringLiteral("fingerprint"), onScanner, onScanner},
                               {QStringLiteral("file-fingerprint"), inFile, inFile}},
                              run.options().json));
    }
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

// One channel at a time, each asked for when the
// previous one has arrived; then the answer to the request that ends a full read, which
// the session sends.
bool readAllChannels(CliRun &run, ZoneSet *zones, QString *error)
{
    ScannerSession &session = run.session();
    ZoneRead *read = session.zoneRead();
    read->setTimeout(run.options().timeoutMs);
    *zones = ZoneSet();
    bool finished = false;
    bool closed = false;
    SessionFailure failure;
    QString done;
    QObject guard;
    // The read hands on only the channel it asked for, in order.
    QObject::connect(
        read, &ZoneRead::channelReceived, &guard, [&](int channel, const ZoneChannelRecord &areas) {
            zones->setChannel(channel, areas);
            run.progress().show("reading zones: channel", channel + 1, kZoneChannelCount);
        });
    QObject::connect(read, &ZoneRead::finished, &guard, [&]() { finished = true; });
    QObject::connect(read, &ZoneRead::failed, &guard, [&](const SessionFailure &f) {
        failure = f;
        closed = true;
    });
    QObject::connect(&session, &ScannerSession::sendMainRequestResult, &guard,
                     [&](RequestType type, const QString &text) {
                         if (type == REQUEST_READ_AREAS_DONE && done.isNull())
                             done = text;
                     });
    read->start();
    run.wait().until([&]() { return finished || closed; }, -1, false);
    run.progress().finish();
    if (!finished) {
        *error = transferFailure(run, failure,
                                 QStringLiteral("the read of zone channel %1").arg(failure.index));
        return false;
    }
    if (!run.wait().until([&]() { return !done.isNull(); }, run.options().timeoutMs)) {
        *error = run.wait().failure(SessionWait::requestName(REQUEST_READ_AREAS_DONE));
        return false;
    }
    return true;
}

int runReadZones(CliRun &run)
{
    const QString shownName = run.options().operands.value(0);
    // Checked and opened first, so that a refused or unwritable target stops the run
    // before anything is sent; the file appears whole at the end or not at all.
    QString path;
    if (const int status = run.outputTarget(shownName, {}, &path))
        return status;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return run.usageError(
            QStringLiteral("cannot write %1: %2").arg(shownName, out.errorString()));
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
    return compareWithScanner(run, channels, run.options().operands.value(0), false);
}

int runVerify(CliRun &run)
{
    QVector<ZoneChannelRecord> channels;
    if (const int status = readUserZoneFile(run, &channels))
        return status;
    if (!run.connect())
        return ExitDeviceFailure;
    return compareWithScanner(run, channels, run.options().operands.value(0), true);
}
