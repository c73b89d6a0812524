// When a body that still arrives counts as stalled: a connection that
// brings less than a floor rate over a whole window, like curl's
// --speed-limit and --speed-time. Each byte resets the idle time-out, so a
// server that trickles a byte every few seconds would otherwise hold the
// connection for ever; past the floor the request reconnects instead, and a
// server that stays below it ends the request as timed out.
#pragma once

#include <windows.h>

// 1 KiB/s: below what any download a user waits for brings, far above a
// trickle. Over 30 s, so that a server that pauses for a few seconds (a
// disk spinning up, a congested moment) is not taken for a stalled one.
const unsigned kSpeedFloorBytesPerSecond = 1024;

enum SpeedVerdict {
    SpeedMeasuring,  // the window is still open
    SpeedEnough,     // a window closed at or above the floor; a new one began
    SpeedTooSlow,    // a window closed below the floor
};

class SpeedWindow {
public:
    SpeedWindow() : start_(0), bytes_(0) {}

    void Restart(DWORD now)
    {
        start_ = now;
        bytes_ = 0;
    }

    // Counts bytes that arrived at now, against a window of windowMs.
    SpeedVerdict Add(DWORD now, size_t bytes, DWORD windowMs);

    // The reader held the last piece for heldMs before it asked for the
    // next: that time is its own, not the server's (a reader that paces
    // itself to a speed cap reads no faster than the cap), and does not count.
    void Exclude(DWORD heldMs) { start_ += heldMs; }

private:
    DWORD start_;
    unsigned long long bytes_;
};
