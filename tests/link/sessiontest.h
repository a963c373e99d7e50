#pragma once

// What the tests of the scanner session share: a simulated scanner whose zones differ in
// every area of every channel, the blocks and records of its zones, firmware images, quick
// options, and how a procedure ended.
#include "devicestate.h"
#include "scannersession.h"
#include "sessionfailure.h"
#include "simoptions.h"
#include "simulatorhost.h"
#include "simzones.h"
#include "testsupport.h"
#include "workerthread.h"
#include "zoneblock.h"

#include <QCryptographicHash>
#include <QObject>

#include <memory>

namespace sessiontest {

// Every area of every channel different, so a channel stored in the wrong place shows.
inline DeviceState scannerZones()
{
    DeviceState state;
    for (int channel = 0; channel < kZoneChannels; ++channel) {
        for (int k = 0; k < kZoneAreas; ++k) {
            ZoneArea &a = state.zone(channel, k);
            a = ZoneArea();
            a.regionType = quint8(1 + (channel + k) % 3);
            a.onDelay = quint8(channel % 51);
            a.dependScale = quint16(channel * 100 + k);
            for (int i = 0; i < (channel + k) % 7; ++i)
                a.points.append(QPoint(channel * 10 - i, k * 1000 + i * 3));
        }
    }
    return state;
}

// The channel's records as the tool keeps them.
inline ZoneChannelRecord recordOf(const DeviceState &state, int channel)
{
    return toolChannel(state, channel);
}

inline QVector<QByteArray> blocksOf(const DeviceState &state)
{
    QVector<QByteArray> blocks;
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        blocks.append(encodeZoneBlock(channel, recordOf(state, channel)));
    return blocks;
}

inline QByteArray image(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 512 * 13);
    return bytes;
}

inline QByteArray md5(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

// The channel of a zone request, -1 for a request without payload.
inline int firstByte(const QByteArray &payload)
{
    return payload.isEmpty() ? -1 : quint8(payload.at(0));
}

inline SimOptions quick()
{
    SimOptions o;
    o.paced = false;
    o.scanStream = false;
    o.seed = 5;
    o.restartMs = 100;
    return o;
}

// How a procedure ended, as its signals said.
struct Outcome
{
    int finished = 0;
    int failed = 0;
    SessionFailure failure;
    bool over() const { return finished + failed > 0; }

    template <class Procedure> void watch(Procedure *p)
    {
        QObject::connect(p, &Procedure::finished, &context, [this]() { ++finished; });
        QObject::connect(p, &Procedure::failed, &context, [this](const SessionFailure &f) {
            ++failed;
            failure = f;
        });
    }

private:
    QObject context; // the connections end with the outcome
};

// A working folder, a simulated scanner holding scannerZones() and a session for each
// test (init() and cleanup() of the test class call setUp() and tearDown()).
class SessionFixture
{
protected:
    void setUp()
    {
        m_dir = std::make_unique<TempWorkingDir>();
        m_sim = std::make_unique<SimulatorHost>();
        m_sim->setState(scannerZones());
        m_session = std::make_unique<ScannerSession>();
    }
    void tearDown()
    {
        m_session.reset();
        m_sim.reset();
        m_dir.reset();
    }

    // The simulated scanner started, the session's port opened on it and its worker there.
    bool connectSession(const SimOptions &options = quick())
    {
        if (!m_sim->start(options) || !m_session->open(m_sim->devicePath(), 921600))
            return false;
        return waitUntil([this]() { return m_session->worker() != nullptr; }, 3000);
    }

    // The frames of a type the scanner received, those for one channel when payloadByte
    // is given.
    int countOf(quint16 type, int payloadByte = -1) const
    {
        int n = 0;
        for (const ReceivedFrame &f : m_sim->receivedFrames())
            n += f.type == type && (payloadByte < 0 || firstByte(f.payload) == payloadByte);
        return n;
    }

    std::unique_ptr<TempWorkingDir> m_dir;
    std::unique_ptr<SimulatorHost> m_sim;
    std::unique_ptr<ScannerSession> m_session;
};

} // namespace sessiontest
