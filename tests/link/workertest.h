#pragma once

// What the worker's tests share: a real serial port on the slave end of a pseudo-terminal
// with a worker on it, the test playing the scanner on the master end, every result the
// worker reports written down as a line; and the frames the scanner sends.
#include "framecodec.h"
#include "requesttable.h"
#include "scanframe.h"
#include "testsupport.h"
#include "workerthread.h"
#include "zoneblock.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSettings>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace workertest {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QByteArray reply(quint16 type, quint16 status, const QByteArray &payload = QByteArray())
{
    return buildReplyFrame(type, status, payload);
}

inline QByteArray scanFrame(int sector, uchar erro = 0, uchar output = 0, uchar input = 0)
{
    ScanState state;
    state.sector = uchar(sector);
    state.erro = erro;
    state.output = output;
    state.input = input;
    QVector<ushort> ranges, intensities;
    for (int i = 0; i < kPointsPerScanFrame; ++i) {
        ranges.append(ushort(sector * 100 + i));
        intensities.append(ushort(i));
    }
    return buildScanFrame(state, ranges, intensities);
}

inline QByteArray damaged(QByteArray frame)
{
    frame[frame.size() / 2] = char(frame[frame.size() / 2] ^ 0x01);
    return frame;
}

// Set up anew for each test (init() and cleanup() of the test class call setUp() and
// tearDown()).
class WorkerFixture
{
protected:
    void setUp()
    {
        m_dir = std::make_unique<TempWorkingDir>();
        QVERIFY(::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0);
        termios raw;
        QVERIFY(::tcgetattr(m_slave, &raw) == 0);
        ::cfmakeraw(&raw);
        QVERIFY(::tcsetattr(m_slave, TCSANOW, &raw) == 0);
        QVERIFY(::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) == 0);

        m_port = new QSerialPort;
        m_port->setPortName(QString::fromLocal8Bit(::ptsname(m_master)));
        m_port->setBaudRate(921600);
        QVERIFY2(m_port->open(QIODevice::ReadWrite), qPrintable(m_port->errorString()));

        m_worker = new WorkerThread(m_port);
        m_results.clear();
        QObject::connect(m_worker, &WorkerThread::sendMainRequestResult, &m_context,
                         [this](RequestType t, const QString &v) {
                             m_results << QStringLiteral("main %1 %2").arg(int(t), 0, 16).arg(v);
                         });
        QObject::connect(m_worker, &WorkerThread::sendApdRequestTypeResult, &m_context,
                         [this](RequestType t, const QString &v) {
                             m_results << QStringLiteral("apd %1 %2").arg(int(t), 0, 16).arg(v);
                         });
        QObject::connect(m_worker, &WorkerThread::sendSettingsRequestTypeResult, &m_context,
                         [this](RequestType t, const QString &v) {
                             m_results
                                 << QStringLiteral("settings %1 %2").arg(int(t), 0, 16).arg(v);
                         });
        QObject::connect(m_worker, &WorkerThread::sendViewRequestTypeResult, &m_context,
                         [this](RequestType t, const QString &v) {
                             m_results << QStringLiteral("view %1 %2").arg(int(t), 0, 16).arg(v);
                         });
        QObject::connect(m_worker, &WorkerThread::sendReadCurArea, &m_context,
                         [this](int i) { m_results << QStringLiteral("read area %1").arg(i); });
        QObject::connect(m_worker, &WorkerThread::sendWriteCurArea, &m_context,
                         [this](int i) { m_results << QStringLiteral("write area %1").arg(i); });
        QObject::connect(
            m_worker, &WorkerThread::writeFirmwareDataProgress, &m_context,
            [this](int i, int n) { m_results << QStringLiteral("firmware %1 %2").arg(i).arg(n); });
        QObject::connect(m_worker, &WorkerThread::sendAcknowledgement, &m_context,
                         [this](RequestType t, int status) {
                             m_results
                                 << QStringLiteral("ack %1 %2").arg(int(t), 0, 16).arg(status);
                         });
        m_worker->start();
        QVERIFY(m_worker->wait(5000));
    }

    void tearDown()
    {
        if (m_port)
            m_port->close();
        delete m_worker;
        m_worker = nullptr;
        delete m_port;
        m_port = nullptr;
        ::close(m_master);
        ::close(m_slave);
        m_dir.reset();
    }

    // Writes bytes as the scanner, letting the event loop run whenever the pty is full.
    void feed(const QByteArray &bytes)
    {
        int done = 0;
        QElapsedTimer timer;
        timer.start();
        while (done < bytes.size() && timer.elapsed() < 10000) {
            const ssize_t n =
                ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += int(n);
            else
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        QCOMPARE(done, bytes.size());
    }

    // Reads what the worker sent, waiting until count bytes have arrived (or a timeout).
    QByteArray take(int count, int timeoutMs = 5000)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < count && timer.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            char chunk[8192];
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n > 0)
                got.append(chunk, int(n));
        }
        return got;
    }

    // Nothing more arrives on the wire.
    void expectSilence() { QCOMPARE(take(1, 200).toHex(' '), QByteArray()); }

    // Waits until the worker has taken in everything fed so far: a probe answer sent last
    // comes back as the last result, so anything that was to come before it has come.
    void settle()
    {
        const int before = m_results.size();
        feed(reply(REQUEST_CONNECT, 0x5E77));
        QTRY_VERIFY(m_results.size() > before && m_results.last() == "main e 24183");
        m_results.removeLast();
        int pending = 0;
        QVERIFY(::ioctl(m_slave, FIONREAD, &pending) == 0);
        QCOMPARE(pending, 0);
    }

    QStringList results() const { return m_results; }

    // Each test runs in a folder of its own.
    std::unique_ptr<TempWorkingDir> m_dir;
    int m_master = -1;
    int m_slave = -1;
    QSerialPort *m_port = nullptr;
    WorkerThread *m_worker = nullptr;
    QStringList m_results;
    QObject m_context; // the worker's reports end with the fixture
};

} // namespace workertest
