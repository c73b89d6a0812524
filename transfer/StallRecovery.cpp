#include "transfer/StallRecovery.h"

#include "components/WebRequest.h"
#include "transfer/DownloadTask.h"
#include "transfer/Pieces.h"
#include "transfer/Segmentation.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskStop.h"

namespace {

const LONG kMaxFruitlessRecoveries = 5;

// Whether the worker is still in its loop of handing out ranges, able to
// open a queued piece: it is, unless it ended or no range may be asked for
// any more in this run.
bool WorkerOpensQueued(DownloadTask *task)
{
    return LoadWord(task->helping) && !LoadWord(task->run.helpBarred) && task->threadHandle &&
           WaitForSingleObject(task->threadHandle, 0) == WAIT_TIMEOUT;
}

// Every range with bytes missing is fetching them, or queued for a worker
// that will open it; any other range makes the task stalled, so that no
// state leaves bytes that nobody fetches.
bool RangeStalled(DownloadTask *task, const TaskSegment &range)
{
    if (LoadWord(range.finished) || LoadWord(range.received) >= LoadWord(range.length))
        return false;
    WebRequest *request = __atomic_load_n(&range.request, __ATOMIC_ACQUIRE);
    if (!request)  // queued, or its request failed to open
        return LoadWord(range.state) != SegmentPrepared || !WorkerOpensQueued(task);
    // Opened just now: it reads as running in a moment.
    if (LoadWord(range.state) == SegmentPrepared)
        return false;
    // A write into the file failed, or the component gave up on the server.
    return LoadWord(range.state) == SegmentStopped || request->operations->LastError(request) != WebRequestOk;
}

}  // namespace

bool TaskStalled(DownloadTask *task)
{
    if (!task || LoadWord(task->state) != TaskDownloading || task->serverMinorVersion <= 0 ||
        task->totalSize < kSegmentedMinimum || !task->fileHandle || LoadWord(task->announced) || StopRequested(*task))
        return false;
    // Until the worker hands out pieces it is still opening segments.
    if (task->threadHandle && WaitForSingleObject(task->threadHandle, 0) == WAIT_TIMEOUT && !LoadWord(task->helping))
        return false;
    // Pieces too: one whose connection failed, that could not be opened once
    // its range had reached the cut, or that waits for a worker that opens
    // no more. A new start fetches their bytes again.
    return AnyRange(*task, [&](const TaskSegment &range) { return RangeStalled(task, range); });
}

void RecoverStalledTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = gSlotTable.slots[slot].task;
        bool endedShort = task && LoadWord(task->state) == TaskIdle && LoadWord(task->endedShort);
        if (!endedShort && !TaskStalled(task))
            continue;
        ULONGLONG bytes = ReceivedRangeBytes(*task);
        if (bytes != task->bytesAtRecovery) {
            task->bytesAtRecovery = bytes;
            task->fruitlessRecoveries = 0;
        }
        if (endedShort && task->fruitlessRecoveries >= kMaxFruitlessRecoveries)
            continue;
        bool again = ++task->fruitlessRecoveries <= kMaxFruitlessRecoveries;
        // A stream that ended short has nothing running to stop.
        if (!endedShort)
            PauseTask(slot);
        // A pause that could not stop the task in time handed it to a
        // thread of its own, which frees it: it is no longer ours to touch.
        if (again && SlotTask(slot) == task)
            StartTask(slot);
    }
}
