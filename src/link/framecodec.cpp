#include "framecodec.h"

quint16 frameChecksum(const char *bytes, int count)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < count; ++i) {
        quint8 x = quint8((crc >> 8) ^ quint8(bytes[i]));
        x ^= quint8(x >> 4);
        crc = quint16((crc << 8) ^ (quint16(x) << 12) ^ (quint16(x) << 5) ^ x);
    }
    return crc;
}
