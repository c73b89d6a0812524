#include "store/ResumeRecords.h"
#include "transfer/HttpRequests.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskStop.h"
#include "transfer/Transfer.h"

namespace {

// A paused task goes on where it stopped: segments from their counts over
// the still open file, a single stream from byte 0 over a new probe.
TransferOutcome ResumePaused(DownloadTask *task)
{
    if (!task->fileHandle)
        return FreshStart(task);
    if (task->serverMinorVersion <= 0)
        return StreamOverNewProbe(task);
    if (!IssueSegments(task)) {
        ReleaseFile(task);
        return StopRequested(*task) ? TransferStopped : TransferFailed;
    }
    return TransferIssued;
}

// The stream ended early: not a completion. The task stops, keeps its
// temporary file and its record, and a start fetches it again.
void StopShortTask(DownloadTask *task)
{
    if (WebRequest *request = TakeSegmentRequest(task, 0))
        CloseAndGiveBack(request);
    ReleaseFile(task);
    StoreWord(task->state, TaskIdle);
    SaveResumeRecord(*task, TaskSection(*task));
}

}  // namespace

int StartWorker(DownloadTask *task)
{
    task->threadHandle = CreateThread(nullptr, 0, WorkerMain, task, 0, nullptr);
    return task->threadHandle ? 1 : 0;
}

DWORD WINAPI WorkerMain(void *argument)
{
    DownloadTask *task = static_cast<DownloadTask *>(argument);
    TransferOutcome outcome = LoadWord(task->state) == TaskPaused ? ResumePaused(task) : FreshStart(task);
    switch (outcome) {
    case TransferIssued:
        if (!StopRequested(*task))
            StoreWord(task->state, TaskDownloading);
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
    return 0;
}
