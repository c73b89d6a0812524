#include "transfer/TaskStop.h"

#include "components/WebRequest.h"

namespace {

struct TaskLock {
    explicit TaskLock(DownloadTask *task) : task(task) { EnterCriticalSection(&task->lock); }
    ~TaskLock() { LeaveCriticalSection(&task->lock); }
    TaskLock(const TaskLock &) = delete;
    TaskLock &operator=(const TaskLock &) = delete;
    DownloadTask *task;
};

}  // namespace

bool BeginOpening(DownloadTask *task, WebRequest *request)
{
    TaskLock lock(task);
    if (StopRequested(*task))
        return false;
    task->pendingRequest = request;
    return true;
}

void EndOpening(DownloadTask *task)
{
    TaskLock lock(task);
    task->pendingRequest = nullptr;
}

bool PublishSegmentRequest(DownloadTask *task, int i, WebRequest *request)
{
    TaskLock lock(task);
    if (StopRequested(*task))
        return false;
    task->segments[i].request = request;
    return true;
}

WebRequest *TakeSegmentRequest(DownloadTask *task, int i)
{
    TaskLock lock(task);
    WebRequest *request = task->segments[i].request;
    task->segments[i].request = nullptr;
    return request;
}

void RequestStop(DownloadTask *task)
{
    TaskLock lock(task);
    StoreWord(task->stopRequested, 1);
    StoreWord(task->segments[0].keepRunning, 0);
    if (task->pendingRequest)
        task->pendingRequest->operations->Cancel(task->pendingRequest);
}
