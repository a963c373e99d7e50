#include "firmwaretransfer.h"
#include "framecodec.h"
#include "requesttable.h"
#include "workerthread.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// The worker's side of a firmware transfer, with the test as the bootloader on the
// master end of a pseudo-terminal.
class TestFirmwareWorker : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_files.isValid());
        QVERIFY(::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0);
        termios raw;
        QVERIFY(::tcgetattr(m_slave, &raw) == 0);
        ::cfmakeraw(&raw);
        QVERIFY(::tcsetattr(m_slave, TCSANOW, &raw) == 0);
        QVERIFY(::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) == 0);
        m_port = new QSerialPort(QString::fromLocal8Bit(::ptsname(m_master)));
        QVERIFY(m_port->open(QIODevice::ReadWrite));
        m_worker = new WorkerThread(m_port);
        m_progress.clear();
        m_wire.clear();
        connect(m_worker, &WorkerThread::writeFirmwareDataProgress, this,
                [this](int index, int total) {
                    m_progress << QStringLiteral("%1/%2").arg(index).arg(total);
                });
        m_worker->start();
        QVERIFY(m_worker->wait(5000));
    }

    void cleanup()
    {
        m_port->close();
        delete m_worker;
        delete m_port;
        ::close(m_master);
        ::close(m_slave);
    }

    void acknowledgementsDriveTheChunks()
    {
        const QByteArray image = bytes(1100, 1);
        m_worker->onFirmwareWriteData(file("a.bin", image));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(take(), chunkFrame(firmwareChunk(image, i)));
            acknowledge(0);
            QTRY_COMPARE(m_progress.size(), i + 1);
        }
        QCOMPARE(m_progress, (QStringList{"0/2", "1/2", "2/2"}));
        expectSilence();
        // The digest of the whole image rides on the verification request.
        m_worker->onRequestType(REQUEST_FIRMWARE_VERIFY, QString());
        QCOMPARE(take(), requestFrame(REQUEST_FIRMWARE_VERIFY, QString(), firmwareDigest(image)));
    }

    void strayAndRefusedAcknowledgementsMoveNothing()
    {
        acknowledge(0); // nothing is being sent
        QTest::qWait(100);
        const QByteArray image = bytes(1500, 2);
        m_worker->onFirmwareWriteData(file("a.bin", image));
        QCOMPARE(take(), chunkFrame(firmwareChunk(image, 0)));
        acknowledge(3); // refused
        expectSilence();
        QCOMPARE(m_progress, QStringList());
    }

    void everyStartBeginsAtChunkZero()
    {
        const QByteArray first = bytes(2000, 3);
        m_worker->onFirmwareWriteData(file("first.bin", first));
        QCOMPARE(take(), chunkFrame(firmwareChunk(first, 0)));
        acknowledge(0);
        QCOMPARE(take(), chunkFrame(firmwareChunk(first, 1)));

        // Stopped half-way; the next start uses the file it names, from the beginning.
        const QByteArray second = bytes(700, 4);
        m_worker->onFirmwareWriteData(file("second.bin", second));
        QCOMPARE(take(), chunkFrame(firmwareChunk(second, 0)));
        acknowledge(0);
        QCOMPARE(take(), chunkFrame(firmwareChunk(second, 1)));

        // A file that cannot be read sends nothing and drops the transfer in progress.
        m_worker->onFirmwareWriteData(m_files.filePath("missing.bin"));
        acknowledge(0);
        expectSilence();
        QCOMPARE(m_progress, (QStringList{"0/3", "0/1"}));
    }

private:
    static QByteArray bytes(int size, int seed)
    {
        QByteArray b(size, '\0');
        for (int i = 0; i < size; ++i)
            b[i] = char(i * seed + i / 512);
        return b;
    }

    QString file(const QString &name, const QByteArray &content)
    {
        QFile f(m_files.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qWarning() << "cannot write" << f.fileName();
        return f.fileName();
    }

    static QByteArray chunkFrame(const QByteArray &chunk)
    {
        QByteArray frame(kFrameBufferSize, '\0');
        frame.resize(
            encodeFrame(frame.data(), REQUEST_FIRMWARE_DATA, chunk.constData(), chunk.size()));
        return frame;
    }

    void acknowledge(quint16 status)
    {
        const QByteArray reply = buildReplyFrame(REQUEST_FIRMWARE_DATA, status, QByteArray());
        QCOMPARE(::write(m_master, reply.constData(), size_t(reply.size())), ssize_t(reply.size()));
    }

    // The next request frame the worker wrote.
    QByteArray take()
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            char chunk[8192];
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n > 0)
                m_wire.append(chunk, int(n));
            if (m_wire.size() >= 4 && m_wire.size() >= readLe16(m_wire.constData() + 2)) {
                const int length = readLe16(m_wire.constData() + 2);
                const QByteArray frame = m_wire.left(length);
                m_wire.remove(0, length);
                return frame;
            }
        }
        return m_wire;
    }

    void expectSilence()
    {
        QTest::qWait(200);
        char c;
        QCOMPARE(::read(m_master, &c, 1), ssize_t(-1));
        QCOMPARE(m_wire.toHex(), QByteArray());
    }

    QTemporaryDir m_files;
    int m_master = -1;
    int m_slave = -1;
    QSerialPort *m_port = nullptr;
    WorkerThread *m_worker = nullptr;
    QStringList m_progress;
    QByteArray m_wire;
};

QTEST_GUILESS_MAIN(TestFirmwareWorker)
#include "tst_firmwareworker.moc"
