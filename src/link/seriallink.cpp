#include "seriallink.h"

SerialLink::SerialLink(QObject *parent) : ScannerLink(parent), m_port(new QSerialPort(this))
{
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    connect(m_port, &QSerialPort::bytesWritten, this, &ScannerLink::bytesWritten);
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        emit errorOccurred(e);
        if (m_port->isOpen() && (e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
                                 e == QSerialPort::WriteError))
            emit failed(m_port->errorString());
    });
}

SerialLink::~SerialLink()
{
    m_port->close();
}

void SerialLink::configure(const QString &portName, int baud)
{
    m_name = portName;
    m_port->setPortName(portName);
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
}

ScannerLink::Opening SerialLink::open()
{
    return m_port->open(QIODevice::ReadWrite) ? Opening::Open : Opening::Failed;
}

void SerialLink::close()
{
    m_port->close();
}

void SerialLink::flush()
{
    if (m_port->isOpen())
        m_port->flush();
}
