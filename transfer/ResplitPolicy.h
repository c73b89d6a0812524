// The decisions of re-splitting, as pure functions of measured figures: no
// lock, no clock, no task. The worker's mechanism (transfer/Resplit.cpp)
// measures the ranges, asks here which range to help, how to share it among
// free connections, whether the server sends each new request a burst and
// where such a request should end, then cuts under the task's lock (never
// below the write in progress), opens, gives back and folds.
#pragma once

#include <windows.h>

#include "store/StoredRecord.h"
#include "transfer/RunFigures.h"

// How often the worker looks for free connections: often enough to note the
// fast connections' rates before they finish, and seldom enough that
// connections finishing together are handed their shares in one look (one
// woken per finish would take the first's share too large). A stop wakes it
// at once.
const DWORD kPollMilliseconds = 50;
// A range's rate counts from when its answer's header was in, so the
// connection's setup is already behind it; this long is enough to tell a
// connection at a tenth of the others' rate, and short, because a piece
// landing on a slow connection cannot be helped before its rate is known.
const DWORD kMeasureMilliseconds = 150;
// A range is split only while its own connection needs longer than this many
// times what opening a request took in this run (connect, request, header: a
// few milliseconds here, tens to hundreds on real servers): the helper pays
// one opening before its first byte, and the gain must outweigh it...
const ULONGLONG kWorthSetups = 2;
// ...and never when it ends within this time anyway: the helper's gain is at
// most the time left.
const ULONGLONG kWorthMilliseconds = 200;
// A connection this many times slower than the helpers is slow.
const ULONGLONG kSlowFactor = 4;
// How many of the run's slowest request set-ups a rate must be measured over
// before a connection counts as slow: one still in slow start is not.
const DWORD kSlowProofSetups = 8;
// A slow connection keeps what it receives while this many requests open: the
// helper's request may not open, and the range then still has its bytes.
const ULONGLONG kSlowKeepOpenings = 2;
// The least a piece holds: below it a request's header and slow start are no
// longer small against its bytes.
const ULONGLONG kMinPiece = 256 * 1024;
// After a range did not open (refused connection, busy server), how long
// until the next is asked for: a server that turns away extra connections is
// not asked twenty times a second.
const DWORD kHoldOffMilliseconds = 1000;
// A server may send each new request a burst before it holds the request to
// a rate (nginx's limit_rate lets a second's worth through at once). A
// request's first look at its rate tells it: at least this many times the
// rate of the second after it, where a connection still in slow start shows
// the reverse.
const ULONGLONG kBurstFactor = 3;
// The least a first look must have brought to count as a burst: a burst
// smaller than a piece would not pay for the request that asks for it.
const ULONGLONG kMinBurst = kMinPiece;
// How long the held rate is measured after the first look.
const DWORD kHeldMilliseconds = 1000;
// A server may also grant each new request its rate a second at a time, the
// first second at once (nginx's limit_rate counts in whole seconds of its
// clock): an answer then brings a burst by its first look and next to
// nothing until the server's next second (the first look may fall just
// before the burst's last bytes). Standing still this long after a first
// look of a burst, bringing less than a kStillFraction of it, shows it, on
// kStillWitnesses answers of the run, where a connection that slows down
// keeps a good part of its rate: one alone
// may be a server that stalls, and every answer of a run that stalls at once
// after a burst is best asked again anyway. A download of a few seconds is
// over before the held rate could be measured, so on such a server each
// request asks for no more than its burst.
const DWORD kStillMilliseconds = 150;
const ULONGLONG kStillFraction = 32;
const LONG kStillWitnesses = 2;
// On such a server a request is asked for its burst and this long at the held
// rate: a new request's burst is then a good part of its bytes, while a
// connection opens no more than a request a second or so.
const ULONGLONG kBurstRequestMilliseconds = 1000;

// A range being fetched, as the policy sees it.
struct RangeFigures {
    ULONGLONG left;        // bytes its request still has to bring
    ULONGLONG cuttable;    // bytes above the write in progress: the most a cut can take
    ULONGLONG rate;        // bytes per second since its request opened
    bool rateKnown;        // measured over kMeasureMilliseconds at least
    DWORD measuredMs;      // how long the rate was measured over
};

// Bytes per second of bytes brought in elapsedMs since a request opened; 0
// and not known while that is shorter than kMeasureMilliseconds (a range
// opened after the moment asked about reads as just opened).
ULONGLONG MeasuredRate(ULONGLONG bytes, LONG elapsedMs, bool *known);

// How long a connection needs for left bytes at rate; "for ever" at rate 0.
ULONGLONG MillisecondsLeft(ULONGLONG left, ULONGLONG rate);

// The range whose own connection would still take longest over the bytes it
// has left, among those where a helper would gain (a known rate, more than a
// piece left, longer left than opening a request twice over): on an even
// server the one with the most bytes left, on an uneven one perhaps a
// smaller range behind a slow connection. -1 when none is worth helping.
int RangeThatNeedsLongest(const RangeFigures *ranges, int count, DWORD setupMs);

// Whether a connection at rate is slow beside helpers at helperRate: a
// fraction of their rate, measured over several of the run's set-ups.
bool ConnectionIsSlow(ULONGLONG rate, ULONGLONG helperRate, DWORD measuredMs, DWORD setupMs);

// The bytes the next helper takes off the end of a range with left bytes,
// shared among its own connection and `sharing` others, so that all of them,
// the range's own at its rate and the helpers at the best rate seen, would
// finish together: halves for one helper on an even server, equal shares
// while no rate is known. A slow connection keeps only what it receives
// while kSlowKeepOpenings requests open: its share would be small anyway,
// and any error in its rate (the first write of an answer comes at once)
// would fall on the download's last moments.
ULONGLONG ShareOf(ULONGLONG left, const RangeFigures &range, const RunFigures &run, int sharing);

// How a range is shared out among the connections free now: one share per
// helper, in the order they are cut, each reckoned among `sharing` others.
struct PlannedShare {
    int sharing;      // connections besides the range's own that this share is reckoned among
    ULONGLONG bytes;  // its bytes as the range stands now
};

struct SharePlan {
    int count;
    PlannedShare shares[kMaxSegments];
};

// Shares the range among its own connection and `sharing` others, of which
// the first `helpers` are free now (the rest finish before the next look,
// and their shares stay with the range for it). A share that the write in
// progress leaves no room for is shortened; one below a piece is not cut,
// and the next helper's share is reckoned among one fewer. The range goes
// on receiving while each share's request opens, so each cut reckons its
// share again from what is left then (ShareOf with the planned `sharing`).
SharePlan PlanShares(const RangeFigures &range, const RunFigures &run, int helpers, int sharing);

// Whether a request whose first look (at kMeasureMilliseconds or so) found
// earlyBytes in earlyMs, and laterBytes in the laterMs after it, shows a
// server that sends each new request a burst: the first look at least
// kBurstFactor times the later rate, over at least kMinBurst. Sets heldRate
// to the later rate when it does.
bool BurstSeen(ULONGLONG earlyBytes, DWORD earlyMs, ULONGLONG laterBytes, DWORD laterMs, ULONGLONG *heldRate);

// Whether an answer whose first look found earlyBytes, and which brought
// laterBytes in the stillMs since, stands still after a burst.
bool StillAfterBurst(ULONGLONG earlyBytes, ULONGLONG laterBytes, DWORD stillMs);

// Where a request that began at requestStart and writes at writePos should
// end on a server that sends bursts: past its burst and
// kBurstRequestMilliseconds at the held rate from where it began, and at
// least that long past where it is. On a server that grants its rate a
// second at a time (no held rate known), the bytes from requestStart to
// rangeEnd go in equal requests of a burst at most, none past where it is: a
// request just over a burst would wait a second for its last bytes.
ULONGLONG BurstRequestEnd(ULONGLONG requestStart, ULONGLONG writePos, ULONGLONG rangeEnd, const RunFigures &run);

// Whether a connection with left bytes at rate is free before the next look.
bool FreeBeforeNextLook(ULONGLONG left, ULONGLONG rate);

// How long the worker may wait before it looks again, given how long ago
// each fetching range's request opened: the poll, or, while a connection is
// free, just until a range's rate becomes known, since that range may be
// the one to share.
DWORD NextLookIn(const LONG *openedMs, int count, bool connectionFree);

// Whether a range refused with this WebRequest error bars every further
// range of the run: the server now holds another version, or serves no
// ranges. Anything else is tried again after kHoldOffMilliseconds.
bool RefusalBarsHelp(int refusal);
