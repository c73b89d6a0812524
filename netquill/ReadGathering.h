// How long to let a body gather before its next read. Under Wine every read
// and every wait is a round trip to the wineserver, so a body that arrives
// slower than it is read, in the pieces the server writes (64 KiB or less),
// costs a read and a wait per piece. Pausing before the next read lets the
// socket gather a larger piece for the same round trips. A read that found
// its bytes waiting (the reader is behind) never pauses, and the pause
// never holds more than a small part of the receive window, so the sender
// is never kept waiting for it.
#pragma once

#include <stddef.h>

// Each read should bring about a quarter of the caller's buffer...
const size_t kGatherBufferDivisor = 4;
// ...and no more than an eighth of the socket's receive window.
const size_t kGatherWindowDivisor = 8;
// Shorter pauses save nothing; longer ones would show in the window's
// speed and delay a cut range's end.
const unsigned kGatherMinMs = 2;
const unsigned kGatherMaxMs = 20;

// The pause in milliseconds before the next read, given the bytes the last
// read brought and the microseconds they took to come (from the end of the
// pause before that read to its return, without the time the caller spent
// on the piece before), the caller's buffer capacity and the socket's fixed
// receive window in bytes (0: the system tunes the window, which a pause
// could keep small, so there is none).
unsigned GatherPauseMs(size_t lastRead, unsigned long long arrivalMicros, size_t capacity, int receiveWindow);

// A reader that takes its pieces slower than they come (one that paces
// itself to a speed cap) gets them in pieces of about this long at its pace,
// so that the socket is read, and the sender's window opens, steadily; a
// piece it holds for minutes would let the server give up on the connection.
const unsigned kReaderPaceMs = 20;
// The least such a piece holds: smaller reads would cost more than they pace.
const size_t kReaderPaceMinRead = 2048;

// How much the next read may bring, given the last piece handed to the
// reader, how long it held it before it asked for more, and the limit that
// piece was read under, within capacity. A reader that paced itself and
// then takes one piece quickly (a cap's queue that had just run empty) gets
// twice the last limit, not the whole buffer at once: one quick piece would
// otherwise open the window to megabytes that the line then carries in one
// burst, ahead of everyone else's traffic.
size_t ReadLimitAtReaderPace(size_t lastPiece, unsigned heldMs, size_t lastLimit, size_t capacity);
