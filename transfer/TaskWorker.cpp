#include "transfer/TaskRecords.h"
#include "transfer/HttpRequests.h"
#include "transfer/Resplit.h"
#include "transfer/Segmentation.h"
#include "transfer/TaskFailure.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskStop.h"
#include "transfer/YieldProbe.h"
#include "util/ThreadStack.h"

namespace {

// A paused task goes on over a new probe, which shows whether the server
// still has the version of the file the offsets describe: segments go on
// from their counts if so and start over from byte 0 if not, and a single
// stream starts from byte 0 anyway.
TransferOutcome ResumePaused(DownloadTask *task)
{
    if (task->fileHandle && task->serverMinorVersion <= 0)
        return StreamOverNewProbe(task);
    return FreshStart(task);
}

// The stream ended early: not a completion. The task stops, keeps its
// temporary file and its record, and a start fetches it again: the window's
// timer makes one (RecoverStalledTasks), or the user.
void StopShortTask(DownloadTask *task)
{
    if (WebRequest *request = TakeSegmentRequest(task, 0))
        CloseAndGiveBack(request);
    FlushTaskFile(task);
    ReleaseFile(task);
    StoreWord(task->endedShort, 1);
    StoreWord(task->state, TaskIdle);
    SaveResumeRecord(*task, TaskSection(*task));
}

// Carries out what the transfer's outcome asks of the task.
void Conclude(DownloadTask *task, TransferOutcome outcome)
{
    switch (outcome) {
    case TransferIssued:
        if (!StopRequested(*task)) {
            StoreWord(task->state, TaskDownloading);
            HelpRanges(task);
        }
        break;
    case TransferShort:
        if (!StopRequested(*task))
            StopShortTask(task);
        break;
    case TransferFailed:
        if (!StopRequested(*task))
            StoreWord(task->state, TaskIdle);
        break;
    case TransferCompleted:  // finalizing may already have deleted the task
    case TransferStopped:    // the stopping side owns the task
        break;
    }
}

DWORD WINAPI ResumeMain(void *argument)
{
    ReleaseUnusedStack();
    DownloadTask *task = static_cast<DownloadTask *>(argument);
    Conclude(task, ResumePaused(task));
    return 0;
}

}  // namespace

int StartWorker(DownloadTask *task)
{
    // Fresh start or resume is decided here, and the task reads as
    // downloading from now on: a pause that comes while the worker still
    // probes stops it, instead of finding a paused task and leaving the
    // worker to go on.
    LONG before = LoadWord(task->state);
    NoteYieldServer(task->url, task->proxy);
    ClearFailure(task);
    StoreWord(task->endedShort, 0);
    // Every start hashes the file anew, from byte 0.
    StoreWord(task->digestDue, 0);
    StoreWord(task->verdict, VerdictNone);
    StoreWord(task->state, TaskDownloading);
    task->threadHandle = CreateThread(nullptr, 0, before == TaskPaused ? ResumeMain : WorkerMain, task, 0, nullptr);
    if (!task->threadHandle)
        StoreWord(task->state, before);
    return task->threadHandle ? 1 : 0;
}

DWORD WINAPI WorkerMain(void *argument)
{
    ReleaseUnusedStack();
    DownloadTask *task = static_cast<DownloadTask *>(argument);
    Conclude(task, FreshStart(task));
    return 0;
}
