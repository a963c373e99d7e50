#pragma once

#include "simrecording.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <QtGlobal>

// How the simulated scanner behaves on the wire. Everything except linkPath can also be
// changed while it runs; the fault options are what the tool's tests use to provoke
// errors.
struct SimOptions
{
    // Writes go out at the 921600-baud wire rate (92160 bytes/s); false writes as fast
    // as the pseudo-terminal takes them, for tests where timing does not matter.
    bool paced = true;
    // With paced: a line that was idle lends no credit in either direction, and the last
    // byte of every frame is handed over exactly when the line has carried it (not at the
    // next tick). Without it an idle line may carry a short burst at once, which is kinder
    // to slow test machines but lets a peer's delay hide in the next frame's head start.
    bool strictPacing = false;

    // When set, a symbolic link to the device is made here and removed on stop/unplug.
    QString linkPath;

    // Answers nothing at all (not even the connection probe) and streams no scans.
    bool silent = false;
    // The scan stream the scanner sends on its own while in application mode.
    bool scanStream = true;
    // The scanner holds its scan stream while it serves its zone memory (from a zone
    // request until shortly after the last one), so zone blocks have the line to
    // themselves; false keeps streaming and lets scans share the line with the blocks.
    bool pauseStreamForZones = true;

    // Reply types (and, with corruptScanFrames, the scan stream) sent with a bad
    // checksum; corruptShare spoils that share (0..1) of all outgoing frames at random.
    QSet<quint16> corruptTypes;
    bool corruptScanFrames = false;
    double corruptShare = 0.0;

    // Requests of these types are carried out but never answered.
    QSet<quint16> dropTypes;
    // Requests of these types are answered with the given status word; a non-zero
    // status also means the request was refused, so a set does not change the state.
    QHash<quint16, quint16> statusOverrides;

    // Every n-th scan frame of the stream goes out with a bad checksum (0: none), counted
    // from the first frame sent.
    int damageScanEvery = 0;
    // The error byte of the synthetic scan frames: each value in turn for errorByteScans
    // scans, then from the first again; empty sends 0 throughout (a healthy scanner).
    QVector<quint8> errorBytes;
    int errorByteScans = 25;

    // Share (0..1) of outgoing frames preceded by a few random bytes (never 0x5A, so
    // noise cannot fake a header).
    double garbageShare = 0.0;
    // Hands the output to the pseudo-terminal in small pieces of random size, with a
    // pause between them, so the reader sees frames cut at arbitrary places.
    bool splitWrites = false;

    // How long the scanner stays deaf after a restart or when entering its bootloader.
    int restartMs = 800;
    // Sector number of the first of the six scan frames of a scan. With 0 the points
    // cover -45 to 224.5 degrees, the field of view the tool draws its zones in.
    int firstSector = 0;
    // Entering the bootloader or restarting also hangs the terminal up for restartMs (the
    // tool's port sees an error and the device path goes away); the scanner comes back on
    // a new terminal behind linkPath. Without a link path it only goes deaf, so that the
    // tool can reopen it under the name it knows.
    bool hangUpOnRestart = false;
    // Bootloader faults, chunks counted from 0 after each firmware begin: refuse this
    // chunk (status 1, not kept), or keep it and hang: neither it nor any chunk after it
    // (a resend included) is acknowledged until the next begin; -1 for none.
    int refuseFirmwareChunk = -1;
    int dropFirmwareChunk = -1;
    // Zone memory faults, by the channel a block carries, every time it comes: refuse it
    // (status 1, not stored), or drop it (neither stored nor answered); -1 for none.
    int refuseZoneBlock = -1;
    int dropZoneBlock = -1;
    // The verification reports a mismatch whatever digest it is sent.
    bool failFirmwareVerify = false;

    // The cable is pulled once unplugAfter more requests of unplugType have come in (each
    // is counted down as it arrives; 0 never): the reply to the last one still goes out,
    // nothing after it is heard, and the terminal closes as in unplug(). A new terminal
    // comes replugMs later (-1: never); with linkPath the tool finds it under that name.
    quint16 unplugType = 0;
    int unplugAfter = 0;
    int replugMs = -1;

    // One-off faults on the line, each for the after-th request of its type from now on
    // (counted down as they arrive; spent at 0): the request arrives damaged and is
    // ignored, its answer is lost on the way back (the request is carried out), or its
    // answer arrives with a bad checksum.
    struct LineFault
    {
        enum Kind
        {
            DamagedRequest,
            LostAnswer,
            DamagedAnswer,
        };
        Kind kind = LostAnswer;
        quint16 type = 0;
        int after = 0;
    };
    QVector<LineFault> lineFaults;

    // Late answers, each for the after-th request of its type from now on (counted down as
    // the requests are answered; spent at 0): the request is carried out at once and its
    // answer leaves ms later. Answers due meanwhile wait behind it, as they would behind a
    // scanner still busy with the first.
    struct AnswerDelay
    {
        quint16 type = 0;
        int after = 0;
        int ms = 0;
    };
    QVector<AnswerDelay> answerDelays;

    // With scan frames in it, the scan stream is this recording instead of the synthetic
    // room: its frames as they were recorded (sectors, inputs and outputs included), at
    // their recorded pace, and with replayLoop from its start again after the last. The
    // stream's pauses and a reader that falls behind hold the replay where it is rather
    // than skip frames. Requests are still answered from the simulator's own state.
    SimRecording replay;
    bool replayLoop = false;

    // Seed for noise, garbage and fault decisions; 0 picks one at random.
    quint32 seed = 0;
};

// The fault options of areascan-sim, each added to o from its text; false with a reason
// in *error for a text that does not read. Request types are decimal or 0x-prefixed hex.
//   refuse "TYPE=STATUS"       answer requests of TYPE with STATUS (refused, nothing changes)
//   drop "TYPE"                carry requests of TYPE out, never answer them
//   unplug "TYPE:N" or "TYPE:N:MS"  pull the cable after the N-th request of TYPE, back MS later
//   line fault "KIND:TYPE:N"   KIND damage-request, lose-answer or damage-answer, for the
//                              N-th request of TYPE
bool addRefusalOption(SimOptions &o, const QString &text, QString *error);
bool addDropOption(SimOptions &o, const QString &text, QString *error);
bool setUnplugOption(SimOptions &o, const QString &text, QString *error);
bool addLineFaultOption(SimOptions &o, const QString &text, QString *error);
//   delay "TYPE:N:MS"          answer the N-th request of TYPE MS milliseconds late
bool addAnswerDelayOption(SimOptions &o, const QString &text, QString *error);
//   error bytes "V1,V2,...[@SCANS]"  the error byte's values in turn, each for SCANS scans
bool setErrorBytesOption(SimOptions &o, const QString &text, QString *error);
//   a zone channel 0 to 63, or a firmware chunk index from 0
bool setZoneBlockOption(int &option, const QString &text, QString *error);
bool setFirmwareChunkOption(int &option, const QString &text, QString *error);

// One request frame as the simulated scanner received it.
struct ReceivedFrame
{
    qint64 msecs = 0;       // since the simulator started, when the frame was whole
    qint64 firstByteNs = 0; // since the simulator started, when its first byte came in
    quint16 type = 0;
    QByteArray payload;
    QByteArray raw; // the whole frame, header to checksum
    bool checksumOk = false;
};

// One reply as the simulated scanner sent it, timed on the same clock as ReceivedFrame.
struct SentReply
{
    quint16 type = 0;
    quint16 status = 0;
    int size = 0;
    qint64 queuedNs = 0;    // answered: the frame was put on the line
    qint64 lastByteNs = -1; // its last byte was handed to the terminal; -1 not yet
    bool damaged = false;   // sent with a bad checksum
};
