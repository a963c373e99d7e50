#pragma once

#include <QByteArray>

// Firmware image arithmetic shared by the worker's transfer and the command-line tools.
// An image of S bytes travels as S / 512 full chunks followed by one last chunk of the
// remaining S % 512 bytes, which is empty when S is a multiple of 512: the bootloader
// takes a short (or empty) chunk as the end of the image.

constexpr int kFirmwareChunkSize = 512;

// Number of full 512-byte chunks: the index of the last chunk.
int firmwareFullChunkCount(qint64 imageSize);
// Size of the last chunk, 0 to 511.
int firmwareLastChunkSize(qint64 imageSize);
// Chunks sent for an image, the last (possibly empty) one included.
int firmwareChunkCount(qint64 imageSize);

// Chunk index of image: 512 bytes below the full count, the remainder at it, nothing
// beyond it or below 0.
QByteArray firmwareChunk(const QByteArray &image, int index);

// The raw 16-byte MD5 digest the bootloader checks the received image against.
QByteArray firmwareDigest(const QByteArray &image);

// Whole percent after chunk index of total (the full chunk count) was acknowledged,
// computed in single precision and truncated toward zero. An image below 512 bytes has a total
// of 0 and one chunk; its acknowledgement completes the transfer: 100.
int firmwareProgressPercent(int index, int total);
