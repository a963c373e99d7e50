#pragma once

// Finding frames in the bytes received so far. The receive loop keeps an offset into its
// buffer, asks nextFrame for the next step from that offset, advances by step.end(), and
// compacts the buffer once when it has to wait for more bytes. Every byte is looked at a
// bounded number of times, so the cost is linear in the input.

enum class FrameKind
{
    NeedMore, // no complete frame; bytes before start can be discarded
    Scan,     // a scan frame of the scan length (its checksum is not yet checked)
    BadScan,  // a scan header with an impossible length: counts as a bad scan frame
    Reply,    // a reply frame of sound length whose checksum holds
    // Only when asked for: the header of a whole reply of sound length whose checksum
    // fails, covering its two header bytes (the search goes on behind them as usual).
    DamagedReply,
};

struct FrameStep
{
    FrameKind kind;
    int start;  // offset of the frame (or of the bytes worth keeping) in the input
    int length; // frame bytes to consume from start; 0 for NeedMore
    int end() const { return start + length; }
};

// Looks for the next frame in data[0, size). Bytes that cannot begin a frame are
// skipped: anything before a 5A, a 5A not followed by FF or FB (our own request echo
// 5A FA included), and the header of a reply whose length is out of range or whose
// checksum fails (the search resumes two bytes further on, so a false header inside
// garbage never swallows the real frames behind it). A scan header with a length other
// than the scan length is reported as BadScan covering only its two header bytes. A
// trailing partial header or frame is kept: NeedMore's start points at it. With
// reportDamaged, a reply whose checksum fails is returned as DamagedReply rather than
// skipped silently, so that a transfer can ask again at once instead of waiting.
FrameStep nextFrame(const char *data, int size, bool reportDamaged = false);
