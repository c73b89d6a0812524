#include "transfer/Resplit.h"

#include "transfer/DigestCheck.h"
#include "transfer/HttpRequests.h"
#include "transfer/Pieces.h"
#include "transfer/ResplitPolicy.h"
#include "transfer/Segmentation.h"
#include "transfer/SpeedGate.h"
#include "transfer/TaskLock.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskStop.h"

namespace {

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
    return MeasuredRate(LoadWord(range.received) - extent.startReceived, elapsed, known);
}

ULONGLONG BytesLeft(const TaskSegment &range)
{
    return LoadWord(range.length) - LoadWord(range.received);
}

// What the policy is told of a fetching range.
RangeFigures FiguresOf(DownloadTask *task, const TaskSegment &range, DWORD now)
{
    const RangeExtent &extent = ExtentOf(*task, range);
    RangeFigures figures = {};
    figures.left = BytesLeft(range);
    ULONGLONG end = extent.first + LoadWord(range.length);
    figures.cuttable = end > extent.reservedEnd ? end - extent.reservedEnd : 0;
    figures.rate = RateOf(range, extent, now, &figures.rateKnown);
    // A capped range's rate is the cap's share, not its connection's: no
    // range is helped, cut or taken for slow on it.
    if (SpeedGateHolds(now))
        figures.rateKnown = false;
    figures.measuredMs = now - extent.startTick;
    return figures;
}

int FetchingCount(DownloadTask *task)
{
    int running = 0;
    ForEachRange(*task, [&](TaskSegment &range) { running += Fetching(range) ? 1 : 0; });
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
// later, those after them tell the policy whether the server sent a burst.
// Only the worker writes the run's figures.
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
    if (task->run.burstBytes)
        return;
    if (!extent.stoodStill && StillAfterBurst(extent.earlyBytes, bytes - extent.earlyBytes, now - extent.earlyTick)) {
        extent.stoodStill = 1;
        // The answers' bursts, which a request of no more than one gets at once.
        if (++task->run.stillAnswers >= kStillWitnesses) {
            task->run.burstBytes = extent.earlyBytes;
            task->run.heldRate = 0;
        }
        return;
    }
    if (bytes <= extent.earlyBytes)
        return;
    ULONGLONG heldRate;
    if (BurstSeen(extent.earlyBytes, extent.earlyTick - extent.startTick, bytes - extent.earlyBytes,
                  now - extent.earlyTick, &heldRate)) {
        task->run.burstBytes = extent.earlyBytes;
        task->run.heldRate = heldRate;
    }
}

// Looked at on every poll. Keeps the fastest rate any connection of the run
// has shown: by the time a connection is free, the fast ones it would be
// measured by have usually finished.
void NoteRates(DownloadTask *task, DWORD now)
{
    // Under the cap's pacing a connection stands still while it waits its
    // turn: that is no server's burst, and its rate no server's best.
    if (SpeedGateHolds(now))
        return;
    ForEachRange(*task, [&](TaskSegment &range) {
        if (!Fetching(range))
            return;
        RangeExtent &extent = ExtentOf(*task, range);
        bool known;
        ULONGLONG rate = RateOf(range, extent, now, &known);
        if (rate > task->run.bestRate)
            task->run.bestRate = rate;
        NoteBurst(task, range, extent, now);
    });
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

// Cuts the planned share off the end of the range as a new piece, under the
// lock so that its receiver sees the shorter length before another byte. The
// share is reckoned from what the range has left now: it went on receiving
// while the pieces before this one opened. The range never keeps less than
// what it is writing now. False when the range ended meanwhile or the piece
// would be too small to be worth a request.
bool CutPiece(DownloadTask *task, TaskSegment &range, const RangeFigures &figures, int sharing, TaskSegment *&piece)
{
    TaskLock lock(task);
    if (StopRequested(*task) || LoadWord(range.finished))
        return false;
    const RangeExtent &extent = ExtentOf(*task, range);
    ULONGLONG give = ShareOf(range.length - range.received, figures, task->run, sharing);
    ULONGLONG end = extent.first + range.length;
    ULONGLONG cut = end > give ? end - give : 0;
    if (cut < extent.reservedEnd)
        cut = extent.reservedEnd;
    return TakeTail(task, range, cut, piece);
}

// On a server that sends each new request a burst, ends the range's request
// where the policy says and queues the bytes after it as a new piece, for the
// next connection that comes free to ask for with a burst of its own. A
// request cut where it has written, with no write under way (one standing
// still until the server's next second), ends now, as its receiver would end
// it at its next delivery: its connection is the next piece's to use.
void QueueBeyondRequest(DownloadTask *task, TaskSegment &range, ULONGLONG requestStart)
{
    TaskLock lock(task);
    if (StopRequested(*task) || LoadWord(range.finished))
        return;
    RangeExtent &extent = ExtentOf(*task, range);
    ULONGLONG cut = BurstRequestEnd(requestStart, range.writePos, extent.first + range.length, task->run);
    if (cut < extent.reservedEnd)
        cut = extent.reservedEnd;
    TaskSegment *piece = nullptr;
    if (!TakeTail(task, range, cut, piece) || range.received < range.length || extent.reservedEnd != range.writePos)
        return;
    FinishRange(task, range);  // a piece was just queued: the download is not complete
    if (WebRequest *request = __atomic_load_n(&range.request, __ATOMIC_ACQUIRE))
        request->operations->Cancel(request);
}

void QueueBeyondRequests(DownloadTask *task)
{
    ForEachRange(*task, [&](TaskSegment &range) {
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

// After a range did not open: a refusal that bars help bars it for the rest
// of the run (the requests already open go on with the version they began
// with); after any other, the next is asked for after a while.
void HoldOffAfter(DownloadTask *task, int refusal)
{
    if (RefusalBarsHelp(refusal))
        StoreWord(task->run.helpBarred, 1);
    task->run.helpAfter = GetTickCount() + kHoldOffMilliseconds;
}

bool HelpHeldOff(const DownloadTask *task, DWORD now)
{
    return LoadWord(task->run.helpBarred) || static_cast<LONG>(now - task->run.helpAfter) < 0;
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
        if (task->run.burstBytes)
            QueueBeyondRequest(task, piece, piece.writePos);
        return RenewRangeEvents(piece, ExtentOf(*task, piece)) && OpenPieceFrom(task, piece, piece.writePos);
    }
    return false;
}

// Shares the range that needs longest among its own connection and every
// free one at once, rather than one helper per look: several connections
// that finish together would otherwise queue for the same range, each new
// piece unsplittable until its rate is known. Connections about to finish
// count among those it is shared by, their shares left with the range for
// the next look to hand out; the first to finish would otherwise take them
// all. First the plan of cuts, then each cut taken and its piece opened.
// False when nothing was handed out or a request did not open.
bool HandOutRange(DownloadTask *task, DWORD now)
{
    TaskSegment *ranges[kMaxSegments + kMaxPieces];
    RangeFigures figures[kMaxSegments + kMaxPieces];
    int fetching = 0, soonFree = 0;
    {
        // One consistent look: receivers move counts and write positions
        // under the lock.
        TaskLock lock(task);
        ForEachRange(*task, [&](TaskSegment &range) {
            if (!Fetching(range))
                return;
            ranges[fetching] = &range;
            figures[fetching] = FiguresOf(task, range, now);
            ++fetching;
        });
    }
    int chosen = RangeThatNeedsLongest(figures, fetching, task->run.setupMs);
    if (chosen < 0)
        return false;
    for (int i = 0; i < fetching; ++i) {
        if (i != chosen && FreeBeforeNextLook(figures[i].left, figures[i].rate))
            ++soonFree;
    }
    int freeNow = UsedSegmentCount(*task) - fetching;
    SharePlan plan = PlanShares(figures[chosen], task->run, freeNow, freeNow + soonFree);

    TaskSegment &range = *ranges[chosen];
    bool handedOut = false;
    for (int k = 0; k < plan.count && !StopRequested(*task); ++k) {
        LONG p = LoadWord(task->pieceCount);
        // The extent the piece will have: TakeTail gives pieces[p] the index kMaxSegments + p.
        if (p >= kMaxPieces || !RenewRangeEvents(task->pieces[p], task->extents[kMaxSegments + p]))
            break;
        TaskSegment *piece = nullptr;
        if (!CutPiece(task, range, figures[chosen], plan.shares[k].sharing, piece))
            continue;
        if (!OpenPieceFrom(task, *piece, ExtentOf(*task, *piece).first)) {
            ReturnPiece(task, range, *piece);
            return false;
        }
        handedOut = true;
    }
    return handedOut;
}

// When the worker looks again: see NextLookIn in the policy.
DWORD WaitBeforeNextLook(DownloadTask *task, DWORD now)
{
    LONG openedMs[kMaxSegments + kMaxPieces];
    int fetching = 0;
    ForEachRange(*task, [&](TaskSegment &range) {
        if (Fetching(range))
            openedMs[fetching++] = static_cast<LONG>(now - ExtentOf(*task, range).startTick);
    });
    return NextLookIn(openedMs, fetching, fetching < UsedSegmentCount(*task));
}

// Hands free connections what there is for them: first the pieces a last
// run left queued, then a share of the range that needs longest. Stops when
// every connection fetches, help is held off, or nothing could be handed out.
void HandOutToFreeConnections(DownloadTask *task)
{
    while (!StopRequested(*task) && FetchingCount(task) < UsedSegmentCount(*task) &&
           !HelpHeldOff(task, GetTickCount())) {
        // On a server that holds each request to a burst, every connection
        // wants a new piece about as fast as they open: this loop may run
        // for the whole download.
        KeepRecordCurrent(task);
        if (OpenQueuedPiece(task))
            continue;
        if (!HandOutRange(task, GetTickCount()))
            break;
    }
}

}  // namespace

void HelpRanges(DownloadTask *task)
{
    // Without a validator only the length tells that a new request reads the
    // same file, and a file replaced by one of the same length would be
    // stitched: such a server gets no requests beyond the task's segments.
    if (!task->validator[0])
        StoreWord(task->run.helpBarred, 1);
    StoreWord(task->helping, 1);
    DigestCheck check(task);
    while (!StopRequested(*task) && !LoadWord(task->announced)) {
        DWORD wait = WaitBeforeNextLook(task, GetTickCount());
        if (!task->wakeWorker || WaitForSingleObject(task->wakeWorker, wait) == WAIT_FAILED)
            Sleep(wait);
        KeepRecordCurrent(task);
        // Every byte in: the file is announced once it matches its digest,
        // or the window hears it does not; either way this run is over.
        if (LoadWord(task->digestDue)) {
            check.Conclude(CompletionCommand::Posted, nullptr);
            break;
        }
        check.Advance(kDigestLookMilliseconds);
        NoteRates(task, GetTickCount());
        ReleaseFinishedPieces(task);
        // Once help is barred no queued piece opens any more: nothing is queued.
        if (task->run.burstBytes && !LoadWord(task->run.helpBarred))
            QueueBeyondRequests(task);
        HandOutToFreeConnections(task);
    }
}
