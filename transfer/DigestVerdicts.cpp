#include "transfer/DigestVerdicts.h"

#include <string.h>

#include "store/HistoryStore.h"
#include "transfer/AnsweringWait.h"
#include "transfer/Segmentation.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskHalt.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskWindow.h"

void TakeDigestVerdict(int slot, const char *mismatchReason)
{
    DownloadTask *task = SlotTask(slot);
    LONG verdict = task ? LoadWord(task->verdict) : VerdictNone;
    if (verdict != VerdictMismatch && verdict != VerdictUnreadable)
        return;
    // As the task-complete command: nothing is deleted under an operation
    // further up that still works on the task.
    if (InsideAnsweringWait()) {
        PostToTaskWindow(kCommandDigestVerdict, slot);
        return;
    }
    // The worker that gave the verdict has ended or is ending, and the
    // ranges are all in: the halt waits for no server.
    if (!HaltOrHandOver(slot, AfterStop::KeepRecord))
        return;
    StoreWord(task->verdict, VerdictNone);
    if (verdict == VerdictUnreadable) {
        StoreWord(task->state, TaskIdle);
        return;
    }
    // Not a byte of it can be trusted: none is claimed from here on.
    ForgetTaskBytes(task);
    if (!task->refetchedForDigest) {
        task->refetchedForDigest = 1;
        StoreWord(task->state, TaskPaused);
        StartTask(slot);
        return;
    }
    ReleaseFile(task);
    DeleteFileA(task->tempPath);
    StoreWord(task->state, TaskIdle);
    char name[kTextSize];
    FileNameOf(task->tempPath, name);
    WriteHistoryRecord(name, task->startTime, task->totalSize, HistoryDeleted, mismatchReason);
}

void TakeUnheardDigestVerdicts(const char *mismatchReason)
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        TakeDigestVerdict(slot, mismatchReason);
}
