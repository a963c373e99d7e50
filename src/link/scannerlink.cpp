#include "scannerlink.h"

#include <QIODevice>

qint64 ScannerLink::bytesToWrite() const
{
    const QIODevice *d = device();
    return d && d->isOpen() ? d->bytesToWrite() : 0;
}

QString ScannerLink::errorString() const
{
    const QIODevice *d = device();
    return d ? d->errorString() : QString();
}

qint64 ScannerLink::clockUs() const
{
    return wallClockUs();
}
