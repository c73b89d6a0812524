#include "transfer/TaskStop.h"

#include "components/WebRequest.h"
#include "transfer/TaskLock.h"

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

bool PublishRangeRequest(DownloadTask *task, TaskSegment &range, WebRequest *request)
{
    TaskLock lock(task);
    if (StopRequested(*task))
        return false;
    __atomic_store_n(&range.request, request, __ATOMIC_RELEASE);
    return true;
}

WebRequest *TakeRangeRequest(DownloadTask *task, TaskSegment &range)
{
    TaskLock lock(task);
    WebRequest *request = range.request;
    __atomic_store_n(&range.request, nullptr, __ATOMIC_RELEASE);
    return request;
}

void RequestStop(DownloadTask *task)
{
    TaskLock lock(task);
    StoreWord(task->stopRequested, 1);
    StoreWord(task->segments[0].keepRunning, 0);
    if (task->pendingRequest)
        task->pendingRequest->operations->Cancel(task->pendingRequest);
    if (task->wakeWorker)
        SetEvent(task->wakeWorker);
}
