#include "zonefingerprint.h"

#include "zoneset.h"

#include <QCryptographicHash>

QByteArray zoneSetFingerprint(const ZoneSet &zones)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    for (int channel = 0; channel < kZoneChannelCount; ++channel)
        md5.addData(zones.block(channel));
    return md5.result().toHex();
}
