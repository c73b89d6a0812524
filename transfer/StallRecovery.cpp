#include "transfer/StallRecovery.h"

#include "components/WebRequest.h"
#include "transfer/DownloadTask.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskStop.h"
#include "transfer/Transfer.h"

namespace {

const LONG kMaxFruitlessRecoveries = 5;

ULONGLONG SegmentBytes(const DownloadTask &task)
{
    ULONGLONG sum = 0;
    int count = UsedSegmentCount(task);
    for (int i = 0; i < count; ++i)
        sum += LoadWord(task.segments[i].received);
    return sum;
}

bool SegmentStalled(const TaskSegment &segment)
{
    if (LoadWord(segment.finished) || LoadWord(segment.received) >= segment.length)
        return false;
    WebRequest *request = __atomic_load_n(&segment.request, __ATOMIC_ACQUIRE);
    if (!request)
        return true;  // its request failed to open
    // A write into the file failed, or the component gave up on the server.
    return LoadWord(segment.state) == SegmentStopped || request->operations->LastError(request) != WebRequestOk;
}

}  // namespace

bool TaskStalled(DownloadTask *task)
{
    if (!task || LoadWord(task->state) != TaskDownloading || task->serverMinorVersion <= 0 ||
        task->totalSize < kSegmentedMinimum || !task->fileHandle || LoadWord(task->announced) || StopRequested(*task))
        return false;
    // While the worker runs it is still opening segments.
    if (task->threadHandle && WaitForSingleObject(task->threadHandle, 0) == WAIT_TIMEOUT)
        return false;
    int count = UsedSegmentCount(*task);
    for (int i = 0; i < count; ++i) {
        if (SegmentStalled(task->segments[i]))
            return true;
    }
    return false;
}

void RecoverStalledTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = gSlotTable.slots[slot].task;
        if (!TaskStalled(task))
            continue;
        ULONGLONG bytes = SegmentBytes(*task);
        if (bytes != task->bytesAtRecovery) {
            task->bytesAtRecovery = bytes;
            task->fruitlessRecoveries = 0;
        }
        PauseTask(slot);
        if (++task->fruitlessRecoveries <= kMaxFruitlessRecoveries)
            StartTask(slot);
    }
}
