// The speed cap's gate, one for the whole process: every byte of every
// download passes it after it is written, and waits there while the cap
// holds the downloads back (transfer/PacePolicy.h says in what order). A
// reader that waits reads no further, so the server sees the connection's
// window close and slows, as it does for curl's --limit-rate.
#pragma once

#include <windows.h>

struct SpeedSettings;

// The user's settings, from now on: waiting deliveries take a change within
// kPaceSliceMilliseconds.
void ApplySpeedSettings(const SpeedSettings &settings);

// Bytes per second for all downloads together; 0 lifts the cap.
void SetGateCap(ULONGLONG bytesPerSecond);
// The background mode's rate (transfer/YieldProbe.h), below the cap where
// both hold; 0: none.
void SetGateYieldRate(ULONGLONG bytesPerSecond);
// Bytes that passed the gate since the start, while a cap or a yield rate held.
ULONGLONG SpeedGateReserved();

// Counts bytes that arrived and waits until the cap lets them through. Ends
// the wait early, giving its place up, once stopped() says so: it is asked
// every slice, and wake (a manual-reset event, may be null) cuts a slice
// short. False when it ended early.
template <typename Stopped> bool PassSpeedGate(ULONGLONG bytes, HANDLE wake, Stopped stopped);

// How many bytes a capped reader should take at once, at most limit.
ULONGLONG SpeedGateReadSize(ULONGLONG limit);

// Whether a delivery waited at the gate within kPaceHoldMemoryMilliseconds
// of now (a tick count): the downloads' rates then tell of the cap, not of
// their servers.
bool SpeedGateHolds(DWORD now);

// What PassSpeedGate is made of. Reserving returns the delivery's place in
// the queue, 0 when no cap holds it.
ULONGLONG ReserveAtSpeedGate(ULONGLONG bytes);
DWORD SpeedGateWait(ULONGLONG position);  // milliseconds to wait now; 0: passed
void LeaveSpeedGate(ULONGLONG position, ULONGLONG bytes);

template <typename Stopped> bool PassSpeedGate(ULONGLONG bytes, HANDLE wake, Stopped stopped)
{
    ULONGLONG position = ReserveAtSpeedGate(bytes);
    for (DWORD wait; position && (wait = SpeedGateWait(position)) != 0;) {
        if (stopped()) {
            LeaveSpeedGate(position, bytes);
            return false;
        }
        if (!wake || WaitForSingleObject(wake, wait) == WAIT_FAILED)
            Sleep(wait);
        else if (stopped()) {
            LeaveSpeedGate(position, bytes);
            return false;
        }
    }
    return true;
}
