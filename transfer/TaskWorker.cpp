#include "store/ResumeRecords.h"
#include "transfer/HttpRequests.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskStop.h"
#include "transfer/Transfer.h"

namespace {

// A paused task goes on over a new probe, which shows whether the server
// still has the version of the file the offsets describe: segments go on
// from their counts if so and start over from byte 0 if not, and a single
// stream starts from byte 0 anyway.
TransferOutcome ResumePaused(DownloadTask *task)
{
    if (task->viewBase && task->serverMinorVersion <= 0)
        return StreamOverNewProbe(task);
    return FreshStart(task);
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
