// The decisions of the speed cap, as pure functions: no lock, no clock. Every
// delivery of every download reserves its bytes in one queue that drains at
// the cap's rate, and waits until the queue has drained up to its bytes.
// Reservations pass in the order they were made, so connections share the
// rate by what they read, and a connection that is stopped gives its place
// up. An idle queue keeps no credit: the rate holds from the first byte, not
// from after a burst.
#pragma once

#include <windows.h>

// A waiting delivery looks again this often: a cap changed meanwhile, or a
// stop, takes effect within it.
const DWORD kPaceSliceMilliseconds = 100;
// What a capped reader should take at a time: this long at its rate, so the
// server sees the window open steadily rather than once in a while...
const DWORD kPaceReadMilliseconds = 20;
// ...but never less than this, below which the reads' own cost would show.
const ULONGLONG kPaceMinRead = 2048;
// A cap counts as holding the downloads back while a delivery waited at it
// this recently: their rates then tell of the cap, not of the server.
const DWORD kPaceHoldMemoryMilliseconds = 1000;

struct PaceQueue {
    ULONGLONG reserved;    // bytes reserved since the start
    ULONGLONG drained;     // how many of them the rate has let through
    ULONGLONG lastMicros;  // when drained was last brought up to date
};

// Brings drained up to the time nowMicros at rate bytes per second (0: no
// cap, everything reserved has drained). Only the time the whole bytes
// drained took is counted, so no fraction of a byte is lost however often
// this is called; an idle queue (everything drained) starts its clock anew.
void DrainUntil(PaceQueue &queue, ULONGLONG nowMicros, ULONGLONG rate);

// Microseconds from nowMicros until the queue, brought up to date by
// DrainUntil, has drained up to position at rate (position: the reserved
// count just after a delivery's bytes); 0 once it has.
ULONGLONG MicrosecondsUntil(const PaceQueue &queue, ULONGLONG position, ULONGLONG rate, ULONGLONG nowMicros);

// A delivery that stops waiting leaves with `unpassed` of its bytes not yet
// drained: the queue lets as many through at once, so those behind it do
// not wait for bytes nobody takes.
void GiveUpPlace(PaceQueue &queue, ULONGLONG unpassed);

// The rate of two limits, either 0 for none: the lower of those set.
ULONGLONG LowerRate(ULONGLONG a, ULONGLONG b);

// How many bytes a reader should take at once at rate (0: no cap, limit).
ULONGLONG PacedReadSize(ULONGLONG rate, ULONGLONG limit);
