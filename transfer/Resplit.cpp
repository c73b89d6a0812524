#include "transfer/Resplit.h"

#include "transfer/HttpRequests.h"
#include "transfer/Pieces.h"
#include "transfer/Segmentation.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskLock.h"
#include "transfer/TaskStop.h"

namespace {

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
// A range is split only while its own connection needs longer than twice
// what opening a request took in this run (connect, request, header: a few
// milliseconds here, tens to hundreds on real servers), and never when it
// ends within this time anyway: the helper's gain is at most the time left.
const ULONGLONG kWorthMilliseconds = 200;
// A connection this many times slower than the helpers is slow.
const ULONGLONG kSlowFactor = 4;
// How many of the run's slowest request set-ups a rate must be measured over
// before a connection counts as slow.
const DWORD kSlowProofSetups = 8;
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
// How long the held rate is measured after the first look.
const DWORD kHeldMilliseconds = 1000;
// On such a server a request is asked for its burst and this long at the held
// rate: a new request's burst is then a good part of its bytes, while a
// connection opens no more than a request a second or so.
const ULONGLONG kBurstRequestMilliseconds = 1000;

// A range with a request that has bytes to come. The request itself is not
// asked anything: a stopping side may be closing and giving it back meanwhile.
// One that failed counts as fetching until stall recovery restarts the task,
// and is the first to be helped, its connection having the lowest rate. A
// range cut at what it had written has nothing to come, even while its
// connection, which will bring no byte it keeps, has not yet ended.
bool Fetching(const TaskSegment &range)
{
    return __atomic_load_n(&range.request, __ATOMIC_ACQUIRE) && !LoadWord(range.finished) &&
           LoadWord(range.received) < LoadWord(range.length);
}

// Bytes per second since the range's request was opened; 0 while unknown.
ULONGLONG RateOf(const TaskSegment &range, const RangeExtent &extent, DWORD now, bool *known)
{
    // Signed: a range opened after now was taken reads as just opened.
    LONG elapsed = static_cast<LONG>(now - extent.startTick);
    *known = elapsed >= static_cast<LONG>(kMeasureMilliseconds);
    if (!*known)
        return 0;
    return (LoadWord(range.received) - extent.startReceived) * 1000 / elapsed;
}

// How long the range's own connection still needs for its bytes at rate.
ULONGLONG MillisecondsLeft(const TaskSegment &range, ULONGLONG rate)
{
    ULONGLONG left = LoadWord(range.length) - LoadWord(range.received);
    return rate > 0 ? left * 1000 / rate : ~0ull;
}

template <typename Visit>
void ForEachRange(DownloadTask *task, Visit visit)
{
    int count = UsedSegmentCount(*task);
    for (int i = 0; i < count; ++i)
        visit(task->segments[i]);
    int pieces = LoadWord(task->pieceCount);
    for (int p = 0; p < pieces; ++p)
        visit(task->pieces[p]);
}

int FetchingCount(DownloadTask *task)
{
    int running = 0;
    ForEachRange(task, [&](TaskSegment &range) { running += Fetching(range) ? 1 : 0; });
    return running;
}

// A finished piece's connection has ended; its request goes back now rather
// than at the stop, so the finished ones hold no buffers. Taken under the
// lock, so a stopping side that comes too finds none and leaves it alone.
void ReleaseFinishedPieces(DownloadTask *task)
{
    int pieces = LoadWord(task->pieceCount);
    for (int p = 0; p < pieces && !StopRequested(*task); ++p) {
        TaskSegment &piece = task->pieces[p];
        if (LoadWord(piece.finished) && __atomic_load_n(&piece.request, __ATOMIC_ACQUIRE)) {
            if (WebRequest *request = TakeRangeRequest(task, piece))
                CloseAndGiveBack(request);
        }
    }
}

// A range's first look counts the bytes its request has brought; a second
// later, those after them give the rate the server holds it to. A first look
// at least kBurstFactor times as fast, over at least a piece's bytes, shows a
// server that sends each new request a burst.
void NoteBurst(DownloadTask *task, const TaskSegment &range, RangeExtent &extent, DWORD now)
{
    ULONGLONG bytes = LoadWord(range.received) - extent.startReceived;
    if (!extent.earlyCounted) {
        if (static_cast<LONG>(now - extent.startTick) >= static_cast<LONG>(kMeasureMilliseconds)) {
            extent.earlyBytes = bytes;
            extent.earlyTick = now;
            extent.earlyCounted = 1;
        }
        return;
    }
    DWORD heldFor = now - extent.earlyTick;
    if (task->burstBytes || heldFor < kHeldMilliseconds || extent.earlyBytes < kMinPiece || bytes <= extent.earlyBytes)
        return;
    ULONGLONG held = (bytes - extent.earlyBytes) * 1000 / heldFor;
    ULONGLONG early = extent.earlyBytes * 1000 / (extent.earlyTick - extent.startTick);
    if (held > 0 && early >= kBurstFactor * held) {
        task->burstBytes = extent.earlyBytes;
        task->heldRate = held;
    }
}

// Looked at on every poll. Keeps the fastest rate any connection of the run
// has shown: by the time a connection is free, the fast ones it would be
// measured by have usually finished.
void NoteRates(DownloadTask *task, DWORD now)
{
    ForEachRange(task, [&](TaskSegment &range) {
        if (!Fetching(range))
            return;
        RangeExtent &extent = ExtentOf(*task, range);
        bool known;
        ULONGLONG rate = RateOf(range, extent, now, &known);
        if (rate > task->bestRate)
            task->bestRate = rate;
        NoteBurst(task, range, extent, now);
    });
}

struct Choice {
    TaskSegment *range = nullptr;
    ULONGLONG rate = 0;
    ULONGLONG leftMs = 0;  // how long its own connection still needs
    DWORD measuredMs = 0;  // how long its rate was measured over
};

// The fetching range whose own connection would still take longest over the
// bytes it has left, if that is long enough for a helper to gain: on an even
// server the one with the most bytes left, on an uneven one perhaps a smaller
// range behind a slow connection.
Choice LargestRange(DownloadTask *task, DWORD now)
{
    Choice choice;
    ForEachRange(task, [&](TaskSegment &range) {
        if (!Fetching(range))
            return;
        bool known;
        ULONGLONG rate = RateOf(range, ExtentOf(*task, range), now, &known);
        ULONGLONG left = LoadWord(range.length) - LoadWord(range.received);
        if (!known || left <= kMinPiece)
            return;
        ULONGLONG leftMs = MillisecondsLeft(range, rate);
        ULONGLONG worth = 2ull * task->setupMs > kWorthMilliseconds ? 2ull * task->setupMs : kWorthMilliseconds;
        if (leftMs < worth || leftMs <= choice.leftMs)
            return;
        choice.range = &range;
        choice.rate = rate;
        choice.leftMs = leftMs;
        choice.measuredMs = now - ExtentOf(*task, range).startTick;
    });
    return choice;
}

// The segment whose fixed range holds the range.
int HomeOf(DownloadTask &task, const TaskSegment &range)
{
    return range.index < kMaxSegments ? range.index : ExtentOf(task, range).home;
}

// Under the task's lock, so that the range's receiver sees the shorter
// length before another byte: the range's bytes from cut to its end become a
// new piece of the same segment's range, prepared without a request.
// Nothing is taken below a piece's worth, or when the slots are used up.
bool TakeTail(DownloadTask *task, TaskSegment &range, ULONGLONG cut, TaskSegment *&piece)
{
    RangeExtent &extent = ExtentOf(*task, range);
    LONG p = task->pieceCount;
    ULONGLONG end = extent.first + range.length;
    if (p >= kMaxPieces || end < cut + kMinPiece)
        return false;
    piece = &task->pieces[p];
    piece->owner = task;
    piece->index = kMaxSegments + p;
    piece->writePos = cut;
    piece->length = end - cut;
    piece->received = 0;
    piece->finished = 0;
    piece->state = SegmentPrepared;
    RangeExtent &taken = ExtentOf(*task, *piece);
    taken.home = HomeOf(*task, range);
    taken.first = cut;
    taken.reservedEnd = cut;
    taken.cut = 0;
    StoreWord(range.length, cut - extent.first);
    StoreWord(extent.cut, 1);
    StoreWord(task->pieceCount, p + 1);
    return true;
}

// Cuts the next piece off the end of the chosen range, under the lock so that
// its receiver sees the shorter length before another byte. With `helpers`
// connections still to be given a piece of it, the range's bytes left are
// shared so that all of them, the range's own at its own rate and the helpers
// at the best rate seen, would finish together (halves for one helper on an
// even server). A connection at a fraction of the helpers' rate keeps only
// what it receives while a request opens, twice over: its share would be
// small anyway, and any error in its rate (the first write of an answer
// comes at once) would fall on the download's last moments. It then ends,
// and the next request in its place may well be fast; should the helper's
// request not open, the range is still short of the cut and takes its bytes
// back. A connection counts as slow only once its rate was measured over
// several request set-ups, so that one still in slow start is not. The
// range never keeps less than what it is writing now. False when the piece
// would be too small to be worth a request.
bool CutPiece(DownloadTask *task, const Choice &choice, int helpers, TaskSegment *&piece)
{
    TaskLock lock(task);
    TaskSegment &range = *choice.range;
    RangeExtent &extent = ExtentOf(*task, range);
    if (StopRequested(*task) || LoadWord(range.finished))
        return false;
    ULONGLONG left = range.length - range.received;
    ULONGLONG helper = task->bestRate > choice.rate ? task->bestRate : choice.rate;
    ULONGLONG give = helper == 0 ? left / (helpers + 1)
                                 : static_cast<ULONGLONG>(static_cast<double>(left) * helper /
                                                          (choice.rate + static_cast<double>(helpers) * helper));
    if (choice.rate * kSlowFactor < helper && choice.measuredMs >= kSlowProofSetups * task->setupMs) {
        DWORD openMs = task->setupMs > kPollMilliseconds ? task->setupMs : kPollMilliseconds;
        ULONGLONG keep = choice.rate * 2 * openMs / 1000;
        give = left > keep ? (left - keep) / helpers : 0;
    }
    ULONGLONG cut = extent.first + range.length - give;
    if (cut < extent.reservedEnd)
        cut = extent.reservedEnd;
    return TakeTail(task, range, cut, piece);
}

// Where the range's request should end on a server that sends each new
// request a burst: past its burst and kBurstRequestMilliseconds at the held
// rate from where it began, and at least that long past where it is. The
// bytes after it are queued as a new piece, for the next connection that
// comes free to ask for with a burst of its own.
void QueueBeyondRequest(DownloadTask *task, TaskSegment &range, ULONGLONG requestStart)
{
    TaskLock lock(task);
    if (StopRequested(*task) || LoadWord(range.finished))
        return;
    RangeExtent &extent = ExtentOf(*task, range);
    ULONGLONG held = task->heldRate * kBurstRequestMilliseconds / 1000;
    ULONGLONG cut = requestStart + task->burstBytes + held;
    if (cut < range.writePos + held)
        cut = range.writePos + held;
    if (cut < extent.reservedEnd)
        cut = extent.reservedEnd;
    TaskSegment *piece = nullptr;
    TakeTail(task, range, cut, piece);
}

void QueueBeyondRequests(DownloadTask *task)
{
    ForEachRange(task, [&](TaskSegment &range) {
        if (Fetching(range)) {
            const RangeExtent &extent = ExtentOf(*task, range);
            QueueBeyondRequest(task, range, extent.first + extent.startReceived);
        }
    });
}

// The piece's request did not open: while the range it came from is still
// short of the cut, that range simply fetches the bytes again as before. If
// it has reached the cut, the piece stays unfetched, which stall recovery sees.
// A request that opened and was then refused by a stop may have written some
// of the piece's bytes meanwhile: the range fetches them again, and the piece
// counts none of them.
void ReturnPiece(DownloadTask *task, TaskSegment &range, TaskSegment &piece)
{
    TaskLock lock(task);
    if (LoadWord(range.finished) || ExtentOf(*task, range).first + range.length != ExtentOf(*task, piece).first)
        return;
    StoreWord(range.length, range.length + piece.length);
    StoreWord(piece.received, 0);
    StoreWord(piece.length, 0);
    StoreWord(piece.finished, 1);
}

// After a range did not open. The server now holds another version, or
// serves no ranges: every range asked for from now on would be refused the
// same way, while the requests already open go on with the version they
// began with. Anything else is tried again after a while.
void HoldOffAfter(DownloadTask *task, int refusal)
{
    if (refusal == WebRequestFileChanged || refusal == WebRequestRangeRefused)
        StoreWord(task->helpBarred, 1);
    task->helpAfter = GetTickCount() + kHoldOffMilliseconds;
}

bool HelpHeldOff(const DownloadTask *task, DWORD now)
{
    return LoadWord(task->helpBarred) || static_cast<LONG>(now - task->helpAfter) < 0;
}

// Opens the piece's request from start to the piece's end; its events are
// fresh. When it does not open, help is held off.
bool OpenPieceFrom(DownloadTask *task, TaskSegment &piece, ULONGLONG start)
{
    int refusal = WebRequestOk;
    if (OpenRange(task, piece, start, ExtentOf(*task, piece).first + piece.length - 1, &refusal))
        return true;
    HoldOffAfter(task, refusal);
    return false;
}

// Opens a piece carried over from the last run from where it stopped; they
// go to free connections before anything new is cut. One that does not open
// is left without a request, which stall recovery sees. False when none was
// opened.
bool OpenQueuedPiece(DownloadTask *task)
{
    int pieces = LoadWord(task->pieceCount);
    for (int p = 0; p < pieces; ++p) {
        TaskSegment &piece = task->pieces[p];
        if (!Queued(piece))
            continue;
        if (task->burstBytes)
            QueueBeyondRequest(task, piece, piece.writePos);
        return RenewRangeEvents(piece) && OpenPieceFrom(task, piece, piece.writePos);
    }
    return false;
}

// Fetching ranges other than the chosen one whose connections will be free
// before the next look.
int SoonFree(DownloadTask *task, const Choice &choice, DWORD now)
{
    int soon = 0;
    ForEachRange(task, [&](TaskSegment &range) {
        bool known;
        ULONGLONG rate = Fetching(range) && &range != choice.range ? RateOf(range, ExtentOf(*task, range), now, &known) : 0;
        if (rate > 0 && MillisecondsLeft(range, rate) < kPollMilliseconds)
            ++soon;
    });
    return soon;
}

// Shares the range that needs longest among its own connection and every
// free one at once, rather than one helper per look: several connections
// that finish together would otherwise queue for the same range, each new
// piece unsplittable until its rate is known. Connections about to finish
// count among those it is shared by, their shares left with the range for
// the next look to hand out; the first to finish would otherwise take them
// all. Fewer helpers when the shares would be too small. False when nothing
// was handed out or a request did not open.
bool HandOutRange(DownloadTask *task, DWORD now)
{
    Choice choice = LargestRange(task, now);
    if (!choice.range)
        return false;
    bool handedOut = false;
    int helpers = UsedSegmentCount(*task) - FetchingCount(task);
    int sharing = helpers + SoonFree(task, choice, now);
    while (helpers > 0 && !StopRequested(*task)) {
        LONG p = LoadWord(task->pieceCount);
        if (p >= kMaxPieces || !RenewRangeEvents(task->pieces[p]))
            break;
        TaskSegment *piece = nullptr;
        bool cut = CutPiece(task, choice, sharing, piece);
        --sharing;
        if (!cut) {
            --helpers;
            continue;
        }
        if (!OpenPieceFrom(task, *piece, ExtentOf(*task, *piece).first)) {
            ReturnPiece(task, *choice.range, *piece);
            return false;
        }
        handedOut = true;
        --helpers;
    }
    return handedOut;
}

// How long the worker may wait before it looks again: the poll, or less
// while a connection is free and a range's rate becomes known sooner, since
// that range may be the one to share.
DWORD NextLookIn(DownloadTask *task, DWORD now)
{
    DWORD wait = kPollMilliseconds;
    if (FetchingCount(task) >= UsedSegmentCount(*task))
        return wait;
    ForEachRange(task, [&](TaskSegment &range) {
        if (!Fetching(range))
            return;
        LONG elapsed = static_cast<LONG>(now - ExtentOf(*task, range).startTick);
        LONG toKnow = static_cast<LONG>(kMeasureMilliseconds) - elapsed;
        if (toKnow >= 0 && static_cast<DWORD>(toKnow) + 1 < wait)
            wait = static_cast<DWORD>(toKnow) + 1;
    });
    return wait;
}

}  // namespace

void HelpRanges(DownloadTask *task)
{
    // Without a validator only the length tells that a new request reads the
    // same file, and a file replaced by one of the same length would be
    // stitched: such a server gets no requests beyond the task's segments.
    if (!task->validator[0])
        StoreWord(task->helpBarred, 1);
    StoreWord(task->helping, 1);
    while (!StopRequested(*task) && !LoadWord(task->announced)) {
        DWORD wait = NextLookIn(task, GetTickCount());
        if (!task->wakeWorker || WaitForSingleObject(task->wakeWorker, wait) == WAIT_FAILED)
            Sleep(wait);
        FlushTaskFileWhenDue(task);
        NoteRates(task, GetTickCount());
        ReleaseFinishedPieces(task);
        // Once help is barred no queued piece opens any more: nothing is queued.
        if (task->burstBytes && !LoadWord(task->helpBarred))
            QueueBeyondRequests(task);
        while (!StopRequested(*task) && FetchingCount(task) < UsedSegmentCount(*task) &&
               !HelpHeldOff(task, GetTickCount()) && (OpenQueuedPiece(task) || HandOutRange(task, GetTickCount()))) {
        }
    }
}
