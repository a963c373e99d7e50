#include "firmwaretransfer.h"

#include <QCryptographicHash>

int firmwareFullChunkCount(qint64 imageSize)
{
    return imageSize > 0 ? int(imageSize / kFirmwareChunkSize) : 0;
}

int firmwareLastChunkSize(qint64 imageSize)
{
    return imageSize > 0 ? int(imageSize % kFirmwareChunkSize) : 0;
}

int firmwareChunkCount(qint64 imageSize)
{
    return firmwareFullChunkCount(imageSize) + 1;
}

QByteArray firmwareChunk(const QByteArray &image, int index)
{
    const int full = firmwareFullChunkCount(image.size());
    if (index < 0 || index > full)
        return QByteArray();
    const int size = index < full ? kFirmwareChunkSize : firmwareLastChunkSize(image.size());
    return image.mid(index * kFirmwareChunkSize, size);
}

QByteArray firmwareDigest(const QByteArray &image)
{
    return QCryptographicHash::hash(image, QCryptographicHash::Md5);
}

int firmwareProgressPercent(int index, int total)
{
    if (total <= 0)
        return 100;
    // Truncated, never rounded: a line never claims more than has been acknowledged.
    return int(float(index) / float(total) * 100.0f);
}
