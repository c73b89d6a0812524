#include "transfer/TaskControl.h"

#include <string.h>

#include "store/HistoryStore.h"
#include "store/ResumeRecords.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskHalt.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"

void StartTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task || LoadWord(task->state) == TaskDownloading)
        return;
    // Complete and announced (paused before its command came, or its
    // rename refused): only the rename is left, and a refused one leaves
    // the task paused. Fetching it again would throw away every byte and
    // announce nothing; the host has been told.
    if (CompleteTask(slot)) {
        FinalizeIfComplete(slot);
        return;
    }
    // A worker that ended by itself leaves its handle; a new start begins
    // without a pending stop.
    if (!JoinWorkerInTime(task)) {
        HandOver(slot, AfterStop::KeepRecord);
        return;
    }
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
        if (!HaltOrHandOver(slot, AfterStop::KeepRecord))
            return;
        // The flush waits for the disk, not the network, and for at most
        // the bytes of the 250 ms since the worker's last flush.
        FlushTaskFile(task);
        SaveResumeRecord(*task, TaskSection(*task));
        StoreWord(task->state, TaskPaused);
    }
    task->resumeFlag = 1;
    // Paused by the user: the timer does not start it again.
    StoreWord(task->endedShort, 0);
}

void TellDownloadingTasksToStop()
{
    bool grace = false;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = SlotTask(slot);
        if (task && LoadWord(task->state) == TaskDownloading)
            grace = TellTaskToStop(task) || grace;
    }
    if (grace)
        PauseForStopGrace();
}

void PauseAllTasks()
{
    TellDownloadingTasksToStop();
    for (int slot = 0; slot < kSlotCount; ++slot)
        PauseTask(slot);
}

void DeleteTask(int slot, const char *reason)
{
    DownloadTask *task = SlotTask(slot);
    if (!task)
        return;
    char name[kTextSize];
    FileNameOf(task->tempPath, name);
    WriteHistoryRecord(name, task->startTime, task->totalSize, HistoryDeleted, reason);
    if (!HaltOrHandOver(slot, AfterStop::ClearRecordAndFile))
        return;
    ReleaseFile(task);
    ClearResumeRecord(TaskSection(*task));
    char tempPath[kTextSize];
    memcpy(tempPath, task->tempPath, sizeof(tempPath));
    DestroyTask(slot);
    DeleteFileA(tempPath);
}

void DiscardAllTasks()
{
    TellDownloadingTasksToStop();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = SlotTask(slot);
        if (!task)
            continue;
        if (!HaltOrHandOver(slot, CompleteTask(slot) ? AfterStop::KeepRecord : AfterStop::ClearRecord))
            continue;
        // Announced before or while it was halted: the host has been told.
        if (FinalizeIfComplete(slot))
            continue;
        // A complete file that could not be renamed keeps its record, which
        // the next host puts in place; anything else is discarded.
        if (!CompleteTask(slot))
            ClearResumeRecord(TaskSection(*task));
        ReleaseFile(task);
        DestroyTask(slot);
    }
}

int SaveAndCloseTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    if (!task)
        return 1;
    if (!HaltOrHandOver(slot, AfterStop::KeepRecord))
        return 1;
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
