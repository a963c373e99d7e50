// SimulatedScanner: what the scanner does with each request, and what it answers.

#include "simulatedscanner.h"

#include "requesttype.h"
#include "simbootloader.h"
#include "simframes.h"

#include <QtEndian>

#include <cstring>

namespace {

QByteArray u16Bytes(quint16 v)
{
    QByteArray a(2, '\0');
    qToLittleEndian<quint16>(v, a.data());
    return a;
}

QByteArray floatBytes(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, sizeof bits);
    QByteArray a(4, '\0');
    qToLittleEndian<quint32>(bits, a.data());
    return a;
}

} // namespace

// Carries out one request on m_state (the caller holds the lock) and fills in the reply.
// Returns false for codes the scanner does not know, which get no answer. A refused
// request (status override) answers but changes nothing.
bool SimulatedScanner::answer(const simframes::Request &r, bool refuse, quint16 &status,
                              QByteArray &payload)
{
    DeviceState &s = m_state;
    const QByteArray &p = r.payload;
    const uchar *pb = reinterpret_cast<const uchar *>(p.constData());
    bool fits = true;
    auto need = [&](int bytes) {
        fits = fits && p.size() >= bytes;
        return fits && !refuse;
    };
    auto setU8 = [&](quint8 &field) {
        if (need(1))
            field = pb[0];
    };
    auto setFlag = [&](bool &field) {
        if (need(2))
            field = qFromLittleEndian<quint16>(pb) != 0;
    };
    auto setU16 = [&](quint16 &field) {
        if (need(2))
            field = qFromLittleEndian<quint16>(pb);
    };
    auto setI16 = [&](qint16 &field) {
        if (need(2))
            field = qFromLittleEndian<qint16>(pb);
    };
    auto setFloat = [&](float &field) {
        if (need(4)) {
            const quint32 bits = qFromLittleEndian<quint32>(pb);
            std::memcpy(&field, &bits, sizeof field);
        }
    };
    auto byte = [](quint8 v) { return QByteArray(1, char(v)); };

    switch (r.type) {
    case REQUEST_CURRENT_AREA:
        payload = QByteArray(reinterpret_cast<const char *>(s.currentArea), 3);
        break;
    case REQUEST_DEVICE_IDENT:
        payload = fixedWidthText(s.ident, 5);
        break;
    case REQUEST_SERIAL_NUMBER:
        payload = fixedWidthText(s.serialNumber, 9);
        break;
    case REQUEST_LOT_NUMBER:
        payload = fixedWidthText(s.lotNumber, 9);
        break;
    case REQUEST_FIRMWARE_VERSION:
        payload = fixedWidthText(s.firmwareVersion, 6);
        break;
    case REQUEST_DEVICE_MODE:
        payload = byte(s.deviceMode);
        break;
    case REQUEST_GET_FLOAT_VALUE:
        payload = floatBytes(s.floatValue);
        break;
    case REQUEST_RESTART:
    case REQUEST_ENTER_BOOTLOADER:
        if (!refuse) {
            // The acknowledgement still leaves; then the scanner goes quiet while it boots.
            m_deafUntil = m_clock.nsecsElapsed() / 1e9 + m_options.restartMs / 1000.0;
            m_modeAfterRestart = r.type == REQUEST_ENTER_BOOTLOADER ? 1 : 0;
            m_hangUpPending = m_options.hangUpOnRestart && !m_linkedPath.isEmpty();
        }
        break;
    case REQUEST_READ_AREAS_DONE:
    case REQUEST_CONNECT:
    case REQUEST_SAVE_PARAMETERS:
    case REQUEST_BEGIN_AREA_WRITE:
    case REQUEST_SAVE_VENDOR_DATA:
        break;

    case REQUEST_GET_FREQUENCY:
        payload = byte(s.frequency);
        break;
    case REQUEST_SET_FREQUENCY:
        setU8(s.frequency);
        break;
    case REQUEST_GET_FILTER_ENABLE:
        payload = byte(s.filterEnabled);
        break;
    case REQUEST_SET_FILTER_ENABLE:
        setFlag(s.filterEnabled);
        break;
    case REQUEST_GET_FILTER_STRENGTH:
        payload = byte(s.filterStrength);
        break;
    case REQUEST_SET_FILTER_STRENGTH:
        setU8(s.filterStrength);
        break;
    case REQUEST_GET_FILTER_MIN_RANGE:
        payload = u16Bytes(s.filterMinRange);
        break;
    case REQUEST_SET_FILTER_MIN_RANGE:
        setU16(s.filterMinRange);
        break;
    case REQUEST_GET_FILTER_MAX_RANGE:
        payload = u16Bytes(s.filterMaxRange);
        break;
    case REQUEST_SET_FILTER_MAX_RANGE:
        setU16(s.filterMaxRange);
        break;
    case REQUEST_GET_AVERAGE_FILTER:
        payload = byte(s.averageFilter);
        break;
    case REQUEST_SET_AVERAGE_FILTER:
        setFlag(s.averageFilter);
        break;
    case REQUEST_GET_INPUT_NONC:
        payload = byte(s.inputNormallyClosed);
        break;
    case REQUEST_SET_INPUT_NONC:
        setFlag(s.inputNormallyClosed);
        break;
    case REQUEST_GET_OUTPUT_NONC:
        payload = byte(s.outputNormallyClosed);
        break;
    case REQUEST_SET_OUTPUT_NONC:
        setFlag(s.outputNormallyClosed);
        break;
    case REQUEST_GET_MASK_INTENSITY:
        payload = u16Bytes(s.maskIntensity);
        break;
    case REQUEST_SET_MASK_INTENSITY:
        setU16(s.maskIntensity);
        break;
    case REQUEST_GET_MASK_MIN_ANGLE:
        payload = u16Bytes(s.maskMinAngle);
        break;
    case REQUEST_SET_MASK_MIN_ANGLE:
        setU16(s.maskMinAngle);
        break;
    case REQUEST_GET_MASK_MAX_ANGLE:
        payload = u16Bytes(s.maskMaxAngle);
        break;
    case REQUEST_SET_MASK_MAX_ANGLE:
        setU16(s.maskMaxAngle);
        break;

    case REQUEST_READ_AREA:
        if (p.isEmpty() || pb[0] >= kZoneChannels)
            return false; // no such channel: the scanner keeps quiet
        payload = s.zoneBlock(pb[0]);
        break;
    case REQUEST_WRITE_AREA: {
        const int channel = p.isEmpty() ? -1 : pb[0];
        if (channel >= 0 && channel == m_options.dropZoneBlock)
            return false; // lost in the scanner: neither stored nor answered
        if (channel >= 0 && channel == m_options.refuseZoneBlock && status == 0)
            status = 1;
        if (status == 0 && !refuse && !s.storeZoneBlock(p))
            status = 1;
        break;
    }

    case REQUEST_GET_PARAM_5500:
        payload = floatBytes(s.param5500);
        break;
    case REQUEST_GET_PARAM_5501:
        payload = floatBytes(s.param5501);
        break;
    case REQUEST_GET_APD:
        payload = u16Bytes(quint16(s.apd));
        break;
    case REQUEST_SET_APD:
        if (need(4))
            s.apd = qFromLittleEndian<qint32>(pb);
        break;
    case REQUEST_GET_PARAM_5504:
        payload = floatBytes(s.param5504);
        break;
    case REQUEST_SET_PARAM_5505:
        setFloat(s.param5504);
        payload = floatBytes(s.param5504);
        break;
    case REQUEST_GET_OFFSET_DISTANCE:
        payload = u16Bytes(quint16(s.offsetDistance));
        break;
    case REQUEST_SET_OFFSET_DISTANCE:
        setI16(s.offsetDistance);
        break;
    case REQUEST_GET_PARAM_5508:
        payload = u16Bytes(s.param5508);
        break;
    case REQUEST_SET_PARAM_5509:
        setU16(s.param5508);
        break;
    case REQUEST_GET_PARAM_550C:
        payload = u16Bytes(s.param550C);
        break;
    case REQUEST_SET_PARAM_550D:
        setU16(s.param550C);
        break;
    case REQUEST_GET_PARAM_550E:
        payload = byte(s.param550E);
        break;
    case REQUEST_SET_PARAM_550F:
        setU8(s.param550E);
        break;
    case REQUEST_GET_MODE:
        payload = byte(s.mode);
        break;
    case REQUEST_SET_MODE:
        setFlag(s.mode);
        break;
    case REQUEST_GET_PARAM_5512:
        payload = u16Bytes(s.param5512);
        break;
    case REQUEST_SET_PARAM_5513:
        setU16(s.param5512);
        break;
    case REQUEST_GET_NPN_PNP:
        payload = fixedWidthText(s.npnPnp, 3);
        break;
    case REQUEST_SET_NPN_PNP:
        if (need(1))
            s.npnPnp = fixedWidthText(p, 3);
        break;
    case REQUEST_GET_PARAM_FF00:
        payload = byte(s.paramFF00);
        break;
    case REQUEST_SET_PARAM_FF01:
        setFlag(s.paramFF00);
        break;

    case REQUEST_FIRMWARE_BEGIN:
    case REQUEST_FIRMWARE_DATA:
    case REQUEST_FIRMWARE_END:
    case REQUEST_FIRMWARE_VERIFY:
    case REQUEST_FIRMWARE_COMMIT:
        return simbootloader::answer(s, m_options, r.type, p, refuse, status, payload);

    default:
        return false;
    }
    if (!fits && status == 0)
        status = 1; // a set whose payload is too short is refused
    return true;
}
