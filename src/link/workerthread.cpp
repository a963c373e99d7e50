#include "workerthread.h"

#include "framecodec.h"

#include <QSerialPort>

WorkerThread::WorkerThread(QSerialPort *port)
    : QThread(nullptr), port(port), scanHeader("\x5A\xFF", 2), replyHeader("\x5A\xFB", 2),
      saveTarget(QStringLiteral("0"))
{
}

WorkerThread::~WorkerThread() = default;

void WorkerThread::run()
{
    connect(port, &QSerialPort::readyRead, this, &WorkerThread::readData);
}

void WorkerThread::readData() {}
void WorkerThread::onRequestType(RequestType, QString) {}
void WorkerThread::onReadArea(int) {}
void WorkerThread::onWriteAreaData() {}
void WorkerThread::onFirmwareWriteData(QString) {}
void WorkerThread::parseReplyFrame(const char *, int) {}
void WorkerThread::parseScanFrame(const char *, int) {}
void WorkerThread::writeFrame(quint16, const QByteArray &) {}
