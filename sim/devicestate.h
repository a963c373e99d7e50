#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QVector>
#include <QtGlobal>

// Zone memory geometry of the scanner: 64 channels of three areas, each area a shape
// of at most 540 vertices, moved one channel at a time as a 6508-byte block.
constexpr int kZoneChannels = 64;
constexpr int kZoneAreas = 3;
constexpr int kZoneMaxPoints = 540;
constexpr int kZoneAreaBlockSize = 9 + 4 * kZoneMaxPoints;          // 2169
constexpr int kZoneBlockSize = 1 + kZoneAreas * kZoneAreaBlockSize; // 6508

// One watched area of one channel, as the scanner stores it. Coordinates are
// millimetres in the scanner's frame (x to the right, y forward).
struct ZoneArea
{
    quint8 onDelay = 0;
    quint8 offDelay = 0;
    quint8 hysteresis = 0;
    quint8 detectableSize = 0;
    quint8 regionType = 0; // 0 none, 1 polygon, 2 arc, 3 rectangle
    quint16 dependScale = 0;
    QVector<QPoint> points; // at most kZoneMaxPoints; coordinates kept to 16 bits

    bool operator==(const ZoneArea &o) const;
    bool operator!=(const ZoneArea &o) const { return !(*this == o); }
};

// Everything the simulated scanner remembers. A plain value: copy it, change it and
// hand it back to the simulator. Text fields hold exactly their wire width (NUL-padded).
struct DeviceState
{
    DeviceState();

    // Identity, fixed-width texts.
    QByteArray ident;           // 5 bytes
    QByteArray serialNumber;    // 9 bytes
    QByteArray lotNumber;       // 9 bytes
    QByteArray firmwareVersion; // 6 bytes

    // Operating parameters.
    quint8 frequency = 25; // scans per second
    bool filterEnabled = true;
    quint8 filterStrength = 35;
    quint16 filterMinRange = 100;
    quint16 filterMaxRange = 20000;
    bool averageFilter = false;
    bool inputNormallyClosed = false;
    bool outputNormallyClosed = false;
    quint16 maskIntensity = 0;         // points weaker than this report no echo
    quint16 maskMinAngle = 10;         // half degrees; points outside the window report no echo
    quint16 maskMaxAngle = 529;        // half degrees
    bool mode = false;                 // 0x5510 / 0x5511
    QByteArray npnPnp;                 // 3 bytes, "NPN" or "PNP"
    quint8 currentArea[3] = {2, 7, 0}; // input group, current channel, reserved
    quint8 activeChannel = 0; // the input terminals' byte in every scan: the watched channel
    float floatValue = 23.5f;

    // Vendor parameters that the tool only moves.
    float param5500 = 1.25f;
    float param5501 = 0.5f;
    qint32 apd = 180;
    float param5504 = 3.75f;
    qint16 offsetDistance = 0;
    quint16 param5508 = 1200;
    quint16 param550C = 40;
    quint8 param550E = 3;
    quint16 param5512 = 500;
    bool paramFF00 = true;

    // 0 = application running, non-zero = bootloader running.
    quint8 deviceMode = 0;

    // Firmware transfer as seen by the bootloader.
    QByteArray firmwareImage;        // chunks received since the last begin
    int firmwareChunks = 0;          // chunks taken since the last begin
    bool firmwareVerified = false;   // the last verification matched
    bool firmwareHung = false;       // stopped answering chunks (the drop fault) until a begin
    QByteArray committedFirmwareMd5; // digest of the last committed image
    int firmwareCommits = 0;
    QByteArray nextFirmwareVersion; // version of the committed image, reported after a restart

    // Zone memory, channel-major: index channel * kZoneAreas + area.
    QVector<ZoneArea> zones;

    ZoneArea &zone(int channel, int area) { return zones[channel * kZoneAreas + area]; }
    const ZoneArea &zone(int channel, int area) const { return zones[channel * kZoneAreas + area]; }

    // The 6508-byte wire block of a channel (0..63); empty for other numbers.
    QByteArray zoneBlock(int channel) const;
    // Stores a wire block into the channel named by its first byte. Refuses blocks of
    // another size and channels beyond 63. Point counts above 540 are cut to 540.
    bool storeZoneBlock(const QByteArray &block);
};

// Pads or cuts a text to exactly width bytes, filling with NUL.
QByteArray fixedWidthText(const QByteArray &text, int width);

// Gives the scanner another serial number, as a replacement unit has: at most 9 bytes of
// UTF-8 without NUL, not empty. False, with the state unchanged and the reason in *error,
// for any other text.
bool setSerialNumber(DeviceState &state, const QString &serial, QString *error = nullptr);
