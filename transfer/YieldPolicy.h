// The decisions of the background mode, as pure functions: no clock, no
// socket. Like LEDBAT (RFC 6817), the downloads yield to other traffic by
// the queueing delay they add: the least round trip to the server seen
// lately is the line's own, anything above it waits in a queue, and a queue
// means the line is full. Below the target the downloads' rate grows, fast
// while the queue is empty, as TCP's slow start does; above it the rate
// shrinks in proportion to the excess. The other traffic (the player's
// stream, a browser) then keeps its rate and waits at most the target more.
#pragma once

#include <windows.h>

// The queueing delay the downloads may add. LEDBAT's is at most 100 ms; far
// less here: a player's stream reads with a window of some 64 KB, which at
// 3 MB/s carries it over 20 ms of round trip and no more, and every sample
// is up to 100 ms late, so the queue swings well past the target (measured
// on a token bucket of 64 Mbit/s: at 25 ms the player lost a third of its
// rate for seconds).
const ULONGLONG kYieldTargetMicros = 10000;
// How often a round trip is measured and the rate set again.
const DWORD kYieldSampleMs = 100;
// The rate the downloads start at, and never fall below: a download that
// stood still could no longer tell a free line from a full one.
const ULONGLONG kYieldFirstRate = 1 << 20;
const ULONGLONG kYieldLeastRate = 32 * 1024;
// Growth and shrink per second at an empty queue and at twice the target;
// until the first queue is seen the rate grows faster, as TCP's slow start.
const ULONGLONG kYieldStartGrowthPercent = 200;
const ULONGLONG kYieldGrowthPercent = 100;
const ULONGLONG kYieldShrinkPercent = 100;
// The line's own round trip is the least of the last minutes, in buckets so
// that an old least falls out when a route changes.
const int kYieldBaseBuckets = 6;
const DWORD kYieldBaseBucketMs = 20000;
// The current round trip is the least of the last few: one late answer is
// no queue.
const int kYieldRecentSamples = 3;
// What the downloads passed is counted over this many samples (a second):
// their deliveries come in pieces of up to a few hundred kilobytes.
const int kYieldPassedSamples = 10;
// Without a round trip this long, the delay is not known: the downloads go
// at the cap alone rather than guess.
const DWORD kYieldBlindMs = 2000;

struct YieldState {
    ULONGLONG rate;  // bytes per second the downloads may take now
    ULONGLONG recent[kYieldRecentSamples];
    int recentCount;
    ULONGLONG baseMinima[kYieldBaseBuckets];  // 0: empty
    int bucket;
    DWORD bucketStart;
    ULONGLONG passedBytes[kYieldPassedSamples];
    DWORD passedMs[kYieldPassedSamples];
    int passedNext;
    bool queueSeen;  // the delay has reached the target at least once
};

// A state that knows nothing yet; now is a tick count.
YieldState FirstYieldState(DWORD now);

// Takes a round trip of rttMicros measured at now, sinceMs after the last
// sample, during which the downloads passed passedBytes, and returns the
// rate they may take until the next. The rate never exceeds twice what they
// passed over the last second (or the first rate): a rate the servers do
// not fill says nothing of the line, and one far above what runs would take
// seconds to come down once other traffic starts.
ULONGLONG NextYieldRate(YieldState &state, DWORD now, ULONGLONG rttMicros, DWORD sinceMs, ULONGLONG passedBytes);

// The queueing delay the state sees now, in microseconds.
ULONGLONG QueueingDelay(const YieldState &state);
