#include "simbootloader.h"

#include "requesttype.h"

#include <QCryptographicHash>

namespace simbootloader {

bool isFirmwareRequest(quint16 type)
{
    switch (type) {
    case REQUEST_FIRMWARE_BEGIN:
    case REQUEST_FIRMWARE_DATA:
    case REQUEST_FIRMWARE_END:
    case REQUEST_FIRMWARE_VERIFY:
    case REQUEST_FIRMWARE_COMMIT:
        return true;
    default:
        return false;
    }
}

bool answer(DeviceState &s, const SimOptions &o, quint16 type, const QByteArray &payload,
            bool refuse, quint16 &status, QByteArray &reply)
{
    const auto md5 = [](const QByteArray &bytes) {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    };
    switch (type) {
    case REQUEST_FIRMWARE_BEGIN:
        if (!refuse) {
            s.firmwareImage.clear();
            s.firmwareChunks = 0;
            s.firmwareVerified = false;
            s.firmwareHung = false;
        }
        return true;
    case REQUEST_FIRMWARE_DATA: {
        if (s.firmwareHung)
            return false;
        const int index = s.firmwareChunks;
        if (refuse || index == o.refuseFirmwareChunk) {
            if (status == 0)
                status = 1;
            return true;
        }
        // A chunk carries no index: whatever arrives is the next piece of the image, a
        // chunk the PC sends again because it missed the acknowledgement included. Only
        // the digest check before the commit can tell that piece is there twice.
        s.firmwareImage.append(payload);
        ++s.firmwareChunks;
        if (index == o.dropFirmwareChunk) {
            s.firmwareHung = true;
            return false;
        }
        return true;
    }
    case REQUEST_FIRMWARE_END:
        return true;
    case REQUEST_FIRMWARE_VERIFY:
        s.firmwareVerified = !refuse && !o.failFirmwareVerify && md5(s.firmwareImage) == payload;
        reply = QByteArray(1, char(s.firmwareVerified ? 1 : 0));
        return true;
    case REQUEST_FIRMWARE_COMMIT:
        if (refuse)
            return true;
        if (!s.firmwareVerified) {
            status = 1;
            return true;
        }
        s.committedFirmwareMd5 = md5(s.firmwareImage);
        s.nextFirmwareVersion = versionOf(s.firmwareImage);
        ++s.firmwareCommits;
        s.firmwareImage.clear();
        s.firmwareChunks = 0;
        s.firmwareVerified = false;
        return true;
    default:
        return false;
    }
}

QByteArray versionOf(const QByteArray &image)
{
    static const QByteArray marker("VERSION=");
    const int at = image.indexOf(marker);
    if (at < 0)
        return QCryptographicHash::hash(image, QCryptographicHash::Md5).toHex().left(6).toUpper();
    QByteArray version;
    for (int i = at + marker.size(); i < image.size() && version.size() < 6; ++i) {
        const char c = image.at(i);
        if (c == '\0' || c == ' ' || c == '\n' || c == '\r')
            break;
        version.append(c);
    }
    return version;
}

} // namespace simbootloader
