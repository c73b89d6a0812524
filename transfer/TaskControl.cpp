#include "transfer/TaskControl.h"

#include <string.h>

#include "store/HistoryStore.h"
#include "store/ResumeRecords.h"
#include "transfer/HttpRequests.h"
#include "transfer/TaskClaims.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskStop.h"
#include "util/PathText.h"
#include "util/TimeStamp.h"

namespace {

const DWORD kJoinMilliseconds = 1000;
// A worker whose every wait can be cancelled ends within moments of a stop;
// only a worker that is truly stuck is terminated, after this grace.
const DWORD kJoinGraceMilliseconds = 15000;

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

void StopSegment(DownloadTask *task, int i)
{
    TaskSegment &segment = task->segments[i];
    if (!segment.request)
        return;
    if (segment.stopEvent) {
        SetEvent(segment.stopEvent);
        Sleep(32);
        while (segment.busyEvent && WaitForSingleObject(segment.busyEvent, 10) != WAIT_TIMEOUT) {
        }
    }
    if (WebRequest *request = TakeSegmentRequest(task, i))
        CloseAndGiveBack(request);
    StoreWord(segment.state, SegmentStopped);
    // Closed while still set: a delivery that read the handle just before
    // sees it set, or sees the closed handle fail, and writes nothing.
    CloseHandleOf(segment.stopEvent);
    CloseHandleOf(segment.busyEvent);
}

void StopStream(DownloadTask *task)
{
    TaskSegment &stream = task->segments[0];
    if (!stream.request)
        return;
    // A read waiting on a stalled server returns at once.
    stream.request->operations->Cancel(stream.request);
    WaitForSingleObject(stream.streamDoneEvent, INFINITE);
    if (WebRequest *request = TakeSegmentRequest(task, 0))
        CloseAndGiveBack(request);
    StoreWord(stream.state, SegmentStopped);
}

void DestroyTask(int slot)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    CloseHandleOf(task->segments[0].streamDoneEvent);
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

}  // namespace

void StopRequests(DownloadTask *task)
{
    RequestStop(task);
    int count = UsedSegmentCount(*task);
    if (task->serverMinorVersion > 0) {
        for (int i = 0; i < count; ++i)
            StopSegment(task, i);
    } else {
        StopStream(task);
    }
    // Segments the stop kept from opening, and the unused ones of a single
    // stream, read as stopped too: the task as a whole is.
    for (int i = 0; i < count; ++i)
        StoreWord(task->segments[i].state, SegmentStopped);
    StoreWord(task->state, TaskPaused);
}

void JoinWorker(DownloadTask *task)
{
    if (!task->threadHandle)
        return;
    if (WaitForSingleObject(task->threadHandle, kJoinMilliseconds) != WAIT_OBJECT_0) {
        RequestStop(task);
        if (WaitForSingleObject(task->threadHandle, kJoinGraceMilliseconds) != WAIT_OBJECT_0) {
            DWORD exitCode;
            if (GetExitCodeThread(task->threadHandle, &exitCode))
                TerminateThread(task->threadHandle, exitCode);
        }
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

int SuspendTask(DownloadTask *task, int section)
{
    HaltTask(task);
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
    DownloadTask *task = SlotTask(slot);
    if (!task)
        return;
    char tempPath[kTextSize], finalPath[kTextSize], name[kTextSize], now[32];
    memcpy(tempPath, task->tempPath, sizeof(tempPath));
    memcpy(finalPath, tempPath, sizeof(finalPath));
    size_t length = strlen(finalPath);
    finalPath[length >= 4 ? length - 4 : 0] = '\0';
    FileNameOf(finalPath, name);
    LocalTimeStamp(now);
    WriteHistoryRecord(name, now, task->totalSize, HistoryFinished);
    CloseTask(task);
    // The record is written while a task runs, not only after a pause.
    ClearResumeRecord(TaskSection(*task));
    DestroyTask(slot);
    // One step: there is no moment without either file.
    MoveFileExA(tempPath, finalPath, MOVEFILE_REPLACE_EXISTING);
}

void DiscardAllTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = SlotTask(slot);
        if (!task)
            continue;
        if (LoadWord(task->announced)) {
            FinalizeTask(slot);
            continue;
        }
        StoreWord(task->segments[0].keepRunning, 0);
        CloseTask(task);
        ClearResumeRecord(TaskSection(*task));
        DestroyTask(slot);
    }
}

int SaveAndCloseTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task)
        return 1;
    // Complete and announced, its task-complete command still queued: the
    // host has been told, so the file goes into place now rather than being
    // saved for a restore that would complete (and announce) it again.
    if (LoadWord(task->announced)) {
        FinalizeTask(slot);
        return 1;
    }
    SaveResumeRecord(*task, TaskSection(*task));
    StoreWord(task->segments[0].keepRunning, 0);
    CloseTask(task);
    DestroyTask(slot);
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
