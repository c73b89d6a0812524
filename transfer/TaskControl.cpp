#include "transfer/TaskControl.h"

#include <string.h>

#include "store/HistoryStore.h"
#include "store/ResumeRecords.h"
#include "transfer/AnsweringWait.h"
#include "transfer/HttpRequests.h"
#include "transfer/Pieces.h"
#include "transfer/TaskClaims.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskStop.h"
#include "transfer/TaskWindow.h"
#include "transfer/Transfer.h"
#include "util/PathText.h"
#include "util/TimeStamp.h"

namespace {

// How long a join waits before it asks the worker once more to stop.
const DWORD kJoinMilliseconds = 1000;

DownloadTask *SlotTask(int slot)
{
    return (slot >= 0 && slot < kSlotCount) ? gSlotTable.slots[slot].task : nullptr;
}

void CloseHandleOf(HANDLE &handle)
{
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

// Until no delivery is inside the segment: the receiver keeps busyEvent set
// while it works, which includes the host's progress callback when the
// delivery completes the task, so sent messages are answered meanwhile. A
// wait that fails (a handle no longer valid) ends the loop too: the request's
// Close, which follows, itself waits until no delivery runs.
void WaitWhileBusy(HANDLE busyEvent)
{
    while (busyEvent && WaitForSingleObject(busyEvent, 0) == WAIT_OBJECT_0)
        PauseAnswering(10);
}

// A delivery that entered just before its range's stop event was set gets
// this long to leave before the stopping side waits on it.
const DWORD kStopGraceMilliseconds = 32;

// Sets the stop event of a range that holds a request: from its next
// delivery on, nothing more is written. True when a delivery inside may
// still write and needs the grace: one of a finished range writes nothing.
bool TellToStop(TaskSegment &segment)
{
    if (!__atomic_load_n(&segment.request, __ATOMIC_ACQUIRE) || !segment.stopEvent)
        return false;
    SetEvent(segment.stopEvent);
    return !LoadWord(segment.finished);
}

// Stops the request of a segment or piece, whoever runs it: the component's
// deliveries of a range, or the worker's single-stream loop on segment 0.
// Which of the two it is needs no guess from serverMinorVersion, which the
// worker may be changing. A range already told to stop has had its grace,
// or needs none.
void StopRange(DownloadTask *task, TaskSegment &segment)
{
    if (!__atomic_load_n(&segment.request, __ATOMIC_ACQUIRE))
        return;
    if (segment.stopEvent) {
        if (WaitForSingleObject(segment.stopEvent, 0) == WAIT_TIMEOUT) {
            SetEvent(segment.stopEvent);
            Sleep(kStopGraceMilliseconds);
        }
        WaitWhileBusy(segment.busyEvent);
    }
    // Taken under the task's lock: the worker's stop of a stream that ended
    // short takes it too, and only the side that took it touches it again.
    if (WebRequest *request = TakeRangeRequest(task, segment)) {
        // A read waiting on a stalled server returns at once, and the stream
        // loop, which still holds the request, ends after it. Its done event
        // was created before the request was published; a range request finds
        // none, or the signalled one of an earlier stream.
        request->operations->Cancel(request);
        if (segment.streamDoneEvent)
            WaitAnswering(segment.streamDoneEvent, INFINITE);
        CloseAndGiveBack(request);
    }
    StoreWord(segment.state, SegmentStopped);
    // Closed while still set: a delivery that read the handle just before
    // sees it set, or sees the closed handle fail, and writes nothing.
    CloseHandleOf(segment.stopEvent);
    CloseHandleOf(segment.busyEvent);
}

void DestroyTask(int slot)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    CloseHandleOf(task->segments[0].streamDoneEvent);
    ResetPieces(task);
    ReleaseClaim(task->sectionClaim);
    ReleaseClaim(task->pathClaim);
    delete task;
    gSlotTable.slots[slot].task = nullptr;
}

void FileNameOf(const char *path, char *name)
{
    memcpy(name, path, kTextSize);
    LastComponent(name);
}

// A task-complete command that arrived inside a wait of another task
// operation comes back once that operation has returned to the message loop,
// so that nothing deletes a task an operation further up still works on.
void PostCompletionAgain(int slot)
{
    if (HWND window = FindTaskWindow())
        PostMessageA(window, WM_COMMAND, kCommandTaskComplete, slot);
}

// Puts the complete file of the slot's task into place and ends the task.
// Crash-safe in this order: the file's bytes reach the disk, the record says
// "all bytes in", the file is renamed, and the record is blanked only once
// the file is in place. A host that ends between any two steps leaves the
// file in place, or a record that the next host finalizes without fetching
// again, or (between the rename and the blanking) a record that the next
// host blanks. A rename that fails keeps the record too. The flush waits
// for the disk, not the network: the worker flushed up to a second ago.
void PutIntoPlace(int slot)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    char finalPath[kTextSize];
    bool named = FinalPathOf(task->tempPath, finalPath);
    HaltTask(task);
    FlushTaskFile(task);
    int section = TaskSection(*task);
    // On the disk before the rename: after a power loss the next host must
    // still see the record that lets it recognise the file in place.
    if (named)
        SaveResumeRecord(*task, section, LockWait::UntilFree, Durability::OnDisk);
    ReleaseFile(task);
    bool placed = named && MoveFileExA(task->tempPath, finalPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (placed || !named)
        ClearResumeRecord(section);
    if (placed) {
        char name[kTextSize], now[32];
        FileNameOf(finalPath, name);
        LocalTimeStamp(now);
        WriteHistoryRecord(name, now, task->totalSize, HistoryFinished);
    }
    DestroyTask(slot);
}

// Finalizes the slot's task if it announced itself complete and all its bytes
// are in; true when the slot was emptied. The command carries only a slot,
// and it may have outlived the task that posted it: a quit or a delete closes
// that task before the queue is pumped, and a new task can take the slot.
bool FinalizeIfComplete(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task || !LoadWord(task->announced) || !AllBytesIn(*task))
        return false;
    PutIntoPlace(slot);
    return true;
}

}  // namespace

void StopRequests(DownloadTask *task)
{
    RequestStop(task);
    // The worker adds no piece once the stop is marked; those it added stop
    // as segments do. Every range is told before any is waited for, so the
    // grace for deliveries already inside is paid once for the task rather
    // than once per range, and not at all when every range is in: a finished
    // download has several ranges still holding their requests, and a quit
    // stops every task.
    int count = UsedSegmentCount(*task);
    int pieces = LoadWord(task->pieceCount);
    bool grace = false;
    for (int i = 0; i < count; ++i)
        grace = TellToStop(task->segments[i]) || grace;
    for (int p = 0; p < pieces; ++p)
        grace = TellToStop(task->pieces[p]) || grace;
    if (grace)
        Sleep(kStopGraceMilliseconds);
    for (int i = 0; i < count; ++i)
        StopRange(task, task->segments[i]);
    // Read again: a piece the worker added meanwhile is stopped too.
    pieces = LoadWord(task->pieceCount);
    for (int p = 0; p < pieces; ++p)
        StopRange(task, task->pieces[p]);
    // Segments the stop kept from opening, and the unused ones of a single
    // stream, read as stopped too: the task as a whole is.
    for (int i = 0; i < count; ++i)
        StoreWord(task->segments[i].state, SegmentStopped);
    StoreWord(task->state, TaskPaused);
}

// No limit and no TerminateThread: once a stop is requested every wait of the
// worker is cancelled (its open, its read) or ends by itself (the host's
// callback), and its synchronous send of the task-complete command is
// answered by this very wait. A thread terminated inside the component or the
// host's callback would leave their locks held for good.
void JoinWorker(DownloadTask *task)
{
    if (!task->threadHandle)
        return;
    if (WaitAnswering(task->threadHandle, kJoinMilliseconds) == WAIT_TIMEOUT) {
        RequestStop(task);
        WaitAnswering(task->threadHandle, INFINITE);
    }
    CloseHandleOf(task->threadHandle);
}

void HaltTask(DownloadTask *task)
{
    StopRequests(task);
    JoinWorker(task);
    // Whatever the worker opened before it saw the stop.
    StopRequests(task);
}

void CloseTask(DownloadTask *task)
{
    HaltTask(task);
    ReleaseFile(task);
}

// The flush waits for the disk, not the network, and for at most the
// bytes of the second since the worker's last flush.
int SuspendTask(DownloadTask *task, int section)
{
    HaltTask(task);
    FlushTaskFile(task);
    SaveResumeRecord(*task, section);
    return 1;
}

void AbandonTask(DownloadTask *task, int section)
{
    CloseTask(task);
    ClearResumeRecord(section);
}

void StartTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task || LoadWord(task->state) == TaskDownloading)
        return;
    // Complete and announced, paused before its command came: fetching it
    // again would announce nothing, and the host has been told.
    if (FinalizeIfComplete(slot))
        return;
    // A worker that ended by itself leaves its handle; a new start begins
    // without a pending stop.
    JoinWorker(task);
    StoreWord(task->stopRequested, 0);
    StartWorker(task);
}

void StartAllTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = SlotTask(slot);
        if (task && (LoadWord(task->state) == TaskIdle || LoadWord(task->state) == TaskPaused))
            StartTask(slot);
    }
}

void PauseTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task)
        return;
    if (LoadWord(task->state) == TaskDownloading) {
        StoreWord(task->segments[0].keepRunning, 0);
        SuspendTask(task, TaskSection(*task));
        StoreWord(task->state, TaskPaused);
    }
    task->resumeFlag = 1;
}

void PauseAllTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        PauseTask(slot);
}

void DeleteTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task)
        return;
    char name[kTextSize];
    FileNameOf(task->tempPath, name);
    WriteHistoryRecord(name, task->startTime, task->totalSize, HistoryDeleted);
    StoreWord(task->segments[0].keepRunning, 0);
    AbandonTask(task, TaskSection(*task));
    char tempPath[kTextSize];
    memcpy(tempPath, task->tempPath, sizeof(tempPath));
    DestroyTask(slot);
    DeleteFileA(tempPath);
}

void DeleteAllTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        DeleteTask(slot);
}

void FinalizeTask(int slot)
{
    // A single-stream worker waits in its synchronous send: let it go on, so
    // that it ends by itself instead of being waited for.
    ReplyMessage(0);
    if (!SlotTask(slot))
        return;
    if (InsideAnsweringWait()) {
        PostCompletionAgain(slot);
        return;
    }
    FinalizeIfComplete(slot);
}

void FinalizeUnheardCompletions()
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        FinalizeIfComplete(slot);
}

void DiscardAllTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = SlotTask(slot);
        if (!task)
            continue;
        StoreWord(task->segments[0].keepRunning, 0);
        HaltTask(task);
        // Announced before or while it was halted: the host has been told.
        if (FinalizeIfComplete(slot))
            continue;
        ReleaseFile(task);
        ClearResumeRecord(TaskSection(*task));
        DestroyTask(slot);
    }
}

int SaveAndCloseTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task)
        return 1;
    StoreWord(task->segments[0].keepRunning, 0);
    HaltTask(task);
    // Complete and announced (perhaps only while it was being closed), its
    // task-complete command still queued: the host has been told, so the file
    // goes into place now rather than being saved for a restore that would
    // complete (and announce) it again. Otherwise the record is saved once
    // the worker is gone, so that nothing it did last is missing from it.
    if (!FinalizeIfComplete(slot)) {
        FlushTaskFile(task);
        ReleaseFile(task);
        SaveResumeRecord(*task, TaskSection(*task));
        DestroyTask(slot);
    }
    return 1;
}

void RefreshResumeRecords()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = SlotTask(slot);
        if (task && LoadWord(task->state) == TaskDownloading && task->totalSize > 0)
            SaveResumeRecord(*task, TaskSection(*task), LockWait::SkipIfBusy);
    }
}
