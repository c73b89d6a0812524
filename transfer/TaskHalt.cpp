#include "transfer/TaskHalt.h"

#include <new>

#include "store/RecordClaims.h"
#include "store/ResumeRecords.h"
#include "transfer/AnsweringWait.h"
#include "transfer/HttpRequests.h"
#include "transfer/Pieces.h"
#include "transfer/SegmentReceiver.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskLock.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskStop.h"
#include "util/HandleClose.h"

namespace {

// How long a join waits before it asks the worker once more to stop.
const DWORD kJoinMilliseconds = 1000;

// The longest the user-interface thread waits for a task to stop. Every wait
// of a stop answers sent messages, and the component's opens and reads end
// within their own time-outs once cancelled, so only a host callback that
// waits for something else (an event, a lock its UI thread holds) can keep a
// worker or a delivery longer. Past this bound the task leaves its slot, its
// record kept, and a thread of its own finishes the stop whenever the
// callback returns; a thread terminated inside the callback or the component
// would leave their locks held for good.
const DWORD kLastResortMilliseconds = 15000;

// A stop's time limit: unbounded on a task's own finishing thread, the last
// resort on the user-interface thread.
class StopBound {
public:
    static StopBound Unbounded() { return StopBound(false, 0); }
    static StopBound LastResort() { return StopBound(true, GetTickCount() + kLastResortMilliseconds); }
    bool Passed() const { return bounded_ && Left() == 0; }
    DWORD Left() const
    {
        if (!bounded_)
            return INFINITE;
        LONG left = static_cast<LONG>(deadline_ - GetTickCount());
        return left > 0 ? static_cast<DWORD>(left) : 0;
    }

private:
    StopBound(bool bounded, DWORD deadline) : bounded_(bounded), deadline_(deadline) {}
    bool bounded_;
    DWORD deadline_;
};

// Until no delivery is inside the segment: the receiver keeps busyEvent set
// while it works, which includes the host's progress callback when the
// delivery completes the task, so sent messages are answered meanwhile. A
// wait that fails (a handle no longer valid) ends the loop too: the request's
// Close, which follows, itself waits until no delivery runs. False when the
// bound passed first.
bool WaitWhileBusy(HANDLE busyEvent, const StopBound &bound)
{
    while (busyEvent && WaitForSingleObject(busyEvent, 0) == WAIT_OBJECT_0) {
        if (bound.Passed())
            return false;
        PauseAnswering(10);
    }
    return true;
}

// Cancels the request a range holds without taking it: under the task's
// lock, under which the worker takes a stream's request before it closes it.
void CancelHeldRequest(DownloadTask *task, TaskSegment &segment)
{
    TaskLock lock(task);
    if (WebRequest *request = segment.request)
        request->operations->Cancel(request);
}

// A delivery that entered just before its range's stop event was set gets
// this long to leave before the stopping side waits on it.
const DWORD kStopGraceMilliseconds = 32;

// Sets the stop event of a range that holds a request: from its next
// delivery on, nothing more is written. True when a delivery inside may
// still write and needs the grace: one of a finished range writes nothing.
bool TellToStop(DownloadTask *task, TaskSegment &segment)
{
    if (!__atomic_load_n(&segment.request, __ATOMIC_ACQUIRE) || !segment.stopEvent)
        return false;
    // Told before, by a stop of every task: its grace was paid then.
    if (RangeStopSignalled(*task, segment))
        return false;
    SignalRangeStop(task, segment);
    return !LoadWord(segment.finished);
}

// Stops the request of a segment or piece, whoever runs it: the component's
// deliveries of a range, or the worker's single-stream loop on segment 0.
// Which of the two it is needs no guess from serverMinorVersion, which the
// worker may be changing. A range already told to stop has had its grace,
// or needs none. False when the bound passed with a delivery or the stream
// still inside: the request then stays with the range.
bool StopRange(DownloadTask *task, TaskSegment &segment, const StopBound &bound)
{
    if (!__atomic_load_n(&segment.request, __ATOMIC_ACQUIRE))
        return true;
    if (segment.stopEvent) {
        if (!RangeStopSignalled(*task, segment)) {
            SignalRangeStop(task, segment);
            PauseAnswering(kStopGraceMilliseconds);
        }
        if (!WaitWhileBusy(segment.busyEvent, bound))
            return false;
    }
    // A read waiting on a stalled server returns at once, and the stream
    // loop, which still holds the request, ends after it. Its done event was
    // created before the request was published; a range request finds none,
    // or the signalled one of an earlier stream.
    if (segment.streamDoneEvent) {
        CancelHeldRequest(task, segment);
        if (WaitAnswering(segment.streamDoneEvent, bound.Left()) == WAIT_TIMEOUT)
            return false;
    }
    // Taken under the task's lock: the worker's stop of a stream that ended
    // short takes it too, and only the side that took it touches it again.
    if (WebRequest *request = TakeRangeRequest(task, segment)) {
        request->operations->Cancel(request);
        CloseAndGiveBack(request);
    }
    StoreWord(segment.state, SegmentStopped);
    // Closed while still set: a delivery that read the handle just before
    // sees it set, or sees the closed handle fail, and writes nothing.
    CloseAndClear(segment.stopEvent);
    CloseAndClear(segment.busyEvent);
    return true;
}

// Stops every request of the task within the bound; false when one could not
// be stopped in time.
bool StopRequestsWithin(DownloadTask *task, const StopBound &bound)
{
    if (TellTaskToStop(task))
        PauseForStopGrace();
    // A second walk: a piece the worker added meanwhile is stopped too.
    if (AnyRange(*task, [&](TaskSegment &range) { return !StopRange(task, range, bound); }))
        return false;
    // Segments the stop kept from opening, and the unused ones of a single
    // stream, read as stopped too: the task as a whole is.
    int count = UsedSegmentCount(*task);
    for (int i = 0; i < count; ++i)
        StoreWord(task->segments[i].state, SegmentStopped);
    StoreWord(task->state, TaskPaused);
    return true;
}

// No TerminateThread: once a stop is requested every wait of the worker is
// cancelled (its open, its read) or ends by itself (the host's callback),
// and its synchronous send of the task-complete command is answered by this
// very wait.
bool JoinWorkerWithin(DownloadTask *task, const StopBound &bound)
{
    if (!task->threadHandle)
        return true;
    DWORD first = bound.Left() < kJoinMilliseconds ? bound.Left() : kJoinMilliseconds;
    if (WaitAnswering(task->threadHandle, first) == WAIT_TIMEOUT) {
        RequestStop(task);
        if (WaitAnswering(task->threadHandle, bound.Left()) == WAIT_TIMEOUT)
            return false;
    }
    CloseAndClear(task->threadHandle);
    return true;
}

// Stop, join, and stop what the worker opened meanwhile.
bool HaltWithin(DownloadTask *task, const StopBound &bound)
{
    return StopRequestsWithin(task, bound) && JoinWorkerWithin(task, bound) && StopRequestsWithin(task, bound);
}

// Closes what the task holds besides its requests and file, and deletes it.
void DisposeTask(DownloadTask *task)
{
    CloseAndClear(task->segments[0].streamDoneEvent);
    ResetPieces(task);
    ReleaseClaim(task->sectionClaim);
    ReleaseClaim(task->pathClaim);
    delete task;
}

struct HandedOver {
    DownloadTask *task;
    AfterStop after;
    HMODULE module;  // held, so that the plug-in stays loaded until the stop ends
};

// The whole stop, however long it takes, and what comes after it.
void EndHandedOver(DownloadTask *task, AfterStop after)
{
    HaltWithin(task, StopBound::Unbounded());
    ReleaseFile(task);
    if (after != AfterStop::KeepRecord)
        ClearResumeRecord(TaskSection(*task));
    if (after == AfterStop::ClearRecordAndFile)
        DeleteFileA(task->tempPath);
    DisposeTask(task);
}

DWORD WINAPI FinishStop(void *argument)
{
    HandedOver *handed = static_cast<HandedOver *>(argument);
    EndHandedOver(handed->task, handed->after);
    HMODULE module = handed->module;
    delete handed;
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool TellTaskToStop(DownloadTask *task)
{
    RequestStop(task);
    bool grace = false;
    ForEachRange(*task, [&](TaskSegment &range) { grace = TellToStop(task, range) || grace; });
    return grace;
}

void PauseForStopGrace()
{
    PauseAnswering(kStopGraceMilliseconds);
}

void StopRequests(DownloadTask *task)
{
    StopRequestsWithin(task, StopBound::Unbounded());
}

void CloseTask(DownloadTask *task)
{
    HaltWithin(task, StopBound::Unbounded());
    ReleaseFile(task);
}

bool JoinWorkerInTime(DownloadTask *task)
{
    return JoinWorkerWithin(task, StopBound::LastResort());
}

void DestroyTask(int slot)
{
    DisposeTask(gSlotTable.slots[slot].task);
    gSlotTable.slots[slot].task = nullptr;
}

// The stop of the slot's task did not end within the last-resort bound: the
// task leaves the window, and a thread of its own finishes the stop. Its
// record is saved now, from the bytes flushed so far, and kept unless the
// user asked it gone; its claims are held until the stop ends, so that no
// host restores it while its worker may still write. Where no such thread
// can be had, the stop goes on here without a limit.
void HandOver(int slot, AfterStop after)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    if (after == AfterStop::KeepRecord)
        SaveResumeRecord(*task, TaskSection(*task));
    HandedOver *handed = new (std::nothrow) HandedOver{task, after, nullptr};
    HANDLE thread = nullptr;
    if (handed && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                     reinterpret_cast<const char *>(&FinishStop), &handed->module)) {
        thread = CreateThread(nullptr, 0, FinishStop, handed, 0, nullptr);
        if (!thread)
            FreeLibrary(handed->module);
    }
    gSlotTable.slots[slot].task = nullptr;
    if (thread) {
        CloseHandle(thread);
        return;
    }
    delete handed;
    EndHandedOver(task, after);
}

bool HaltOrHandOver(int slot, AfterStop after)
{
    if (HaltWithin(gSlotTable.slots[slot].task, StopBound::LastResort()))
        return true;
    HandOver(slot, after);
    return false;
}

