#pragma once

// What the tests of areascan-cli as a process share: running it in a folder, files of
// zones that differ in every area, firmware images, and a simulated scanner in this
// process for it to talk to, set up anew for each test.
#include "requesttype.h"
#include "simulatedscanner.h"
#include "simulatorhost.h"
#include "simzones.h"
#include "testsupport.h"
#include "zoneblock.h"
#include "zonestore.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

namespace clitest {

struct CliResult
{
    int code = -1;
    QString out;
    QString err;
};

inline CliResult runCli(const QString &dir, const QStringList &args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral(AREASCAN_CLI), args);
    CliResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("(still running after 60 s)");
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every area different: each parameter, shape type and vertex list depends on the
// channel and the area, one area holds the full 540 vertices, coordinates reach far
// into both signs.
inline ZoneAreaRecord sampleArea(int channel, int area)
{
    ZoneAreaRecord a;
    a.regionType = quint8((channel + area) % 4);
    a.onDelay = quint8((channel * 3 + area) % 51);
    a.offDelay = quint8((channel + 2 * area) % 51);
    a.hysteresis = quint8((channel + area) % 101);
    a.detectableSize = quint8((channel + area) % 11);
    a.dependScale = quint16(channel * 1000 + area * 7);
    const int n = channel == 17 && area == 2 ? kMaxZonePoints : (channel * 3 + area) % 9;
    for (int i = 0; i < n; ++i)
        a.points.append(
            QPoint(-20000 + channel * 300 + i * 50, (i % 2 ? -1 : 1) * (1000 + i * 37 + area)));
    return a;
}

inline void writeZoneFile(const QString &path, const std::function<ZoneAreaRecord(int, int)> &area)
{
    QSettings store(path, QSettings::IniFormat);
    for (int channel = 0; channel < kZoneChannelCount; ++channel) {
        ZoneChannelRecord record;
        for (int k = 0; k < kAreasPerChannel; ++k)
            record[k] = area(channel, k);
        writeStoredChannel(store, channel, record);
    }
    store.sync();
}

inline QByteArray firmwareImage(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 512 * 13);
    bytes.replace(100, 15, "VERSION=V9.9.9 ");
    return bytes;
}

inline QVector<quint16> frameTypes(const SimulatorHost &sim)
{
    QVector<quint16> types;
    for (const ReceivedFrame &f : sim.receivedFrames())
        types.append(f.type);
    return types;
}

} // namespace clitest

// Makes the input files of a row in the test's directory.
using MakeFiles = std::function<void(const QString &dir)>;

Q_DECLARE_METATYPE(SimOptions)
Q_DECLARE_METATYPE(MakeFiles)

// A working folder and a simulated scanner for each test (init() and cleanup() of the
// test class call setUp() and tearDown()).
class CliFixture
{
protected:
    void setUp()
    {
        m_dir = std::make_unique<TempWorkingDir>();
        m_sim = std::make_unique<SimulatorHost>();
    }
    void tearDown()
    {
        m_sim.reset();
        m_dir.reset();
    }

    bool startSim(const SimOptions &options = SimOptions())
    {
        SimOptions o = options;
        o.paced = false;
        QString error;
        const bool ok = m_sim->start(o, &error);
        if (!ok)
            qWarning() << error;
        return ok;
    }

    // Runs the tool on the simulator's port, unless the arguments name a port themselves
    // or ask for the report of a zone file, which needs none.
    clitest::CliResult cli(QStringList args)
    {
        if (!args.contains("--port") && !args.contains("--zones"))
            args = QStringList{"--port", m_sim->devicePath()} + args;
        return clitest::runCli(m_dir->path(), args);
    }

    std::unique_ptr<TempWorkingDir> m_dir;
    std::unique_ptr<SimulatorHost> m_sim;
};
