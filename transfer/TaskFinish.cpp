#include "transfer/TaskFinish.h"

#include <string.h>

#include "store/HistoryStore.h"
#include "store/ResumeRecords.h"
#include "transfer/AnsweringWait.h"
#include "transfer/Completion.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskHalt.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskWindow.h"
#include "util/NameRules.h"
#include "util/PathText.h"
#include "util/TimeStamp.h"

namespace {

// A task-complete command that arrived inside a wait of another task
// operation comes back once that operation has returned to the message loop,
// so that nothing deletes a task an operation further up still works on.
void PostCompletionAgain(int slot)
{
    PostToTaskWindow(kCommandTaskComplete, slot);
}

// Puts the complete file of the slot's task into place and ends the task;
// true when the slot was emptied. Crash-safe in this order: the file's
// bytes reach the disk, the record says "all bytes in", the file is renamed,
// and the record is blanked only once the file is in place. A host that ends
// between any two steps leaves the file in place, or a record that the next
// host finalizes without fetching again, or (between the rename and the
// blanking) a record that the next host blanks. The flush waits for the
// disk, not the network: the worker flushed at most 250 ms of bytes ago.
//
// A rename that fails (the player has the old file open, a folder holds the
// name) keeps the task in the window, complete and paused, with its record:
// the window's upkeep and a Start try the rename again, and nothing is
// fetched again. A retry finds the file closed and the record saved.
bool PutIntoPlace(int slot)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    char finalPath[kTextSize];
    bool named = FinalPathOf(task->tempPath, finalPath);
    if (!HaltOrHandOver(slot, AfterStop::KeepRecord))
        return true;
    int section = TaskSection(*task);
    // On the disk before the rename: after a power loss the next host must
    // still see the record that lets it recognise the file in place.
    if (named && task->fileHandle) {
        FlushTaskFile(task);
        SaveResumeRecord(*task, section, LockWait::UntilFree, Durability::OnDisk);
    }
    ReleaseFile(task);
    bool placed = named && MoveFileExA(task->tempPath, finalPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (named && !placed)
        return false;
    // The history first: a host killed between the two leaves the record,
    // and the next host, finding the file in place, blanks it and updates
    // the history's entry of that name. The other way round a kill lost the
    // finished download from the history.
    if (placed) {
        char name[kTextSize], now[32];
        FileNameOf(finalPath, name);
        LocalTimeStamp(now);
        WriteHistoryRecord(name, now, task->totalSize, HistoryFinished);
    }
    ClearResumeRecord(section);
    DestroyTask(slot);
    return true;
}

}  // namespace

void FileNameOf(const char *path, char *name)
{
    memcpy(name, path, kTextSize);
    LastComponent(name);
}

bool CompleteTask(int slot)
{
    DownloadTask *task = SlotTask(slot);
    return task && LoadWord(task->announced) && AllBytesIn(*task);
}

bool FinalizeIfComplete(int slot)
{
    return CompleteTask(slot) && PutIntoPlace(slot);
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

