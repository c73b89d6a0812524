#include "transfer/StallRecovery.h"

#include "components/WebRequest.h"
#include "transfer/DownloadTask.h"
#include "transfer/Pieces.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskStop.h"
#include "transfer/Transfer.h"

namespace {

const LONG kMaxFruitlessRecoveries = 5;

bool SegmentStalled(const TaskSegment &segment)
{
    if (LoadWord(segment.finished) || LoadWord(segment.received) >= LoadWord(segment.length) ||
        LoadWord(segment.state) == SegmentPrepared)
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
    // Until the worker hands out pieces it is still opening segments.
    if (task->threadHandle && WaitForSingleObject(task->threadHandle, 0) == WAIT_TIMEOUT && !LoadWord(task->helping))
        return false;
    int count = UsedSegmentCount(*task);
    for (int i = 0; i < count; ++i) {
        if (SegmentStalled(task->segments[i]))
            return true;
    }
    // A piece whose connection failed, or that could not be opened once its
    // range had reached the cut: a new start fetches its bytes again.
    int pieces = LoadWord(task->pieceCount);
    for (int p = 0; p < pieces; ++p) {
        if (SegmentStalled(task->pieces[p]))
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
        ULONGLONG bytes = ReceivedRangeBytes(*task);
        if (bytes != task->bytesAtRecovery) {
            task->bytesAtRecovery = bytes;
            task->fruitlessRecoveries = 0;
        }
        PauseTask(slot);
        if (++task->fruitlessRecoveries <= kMaxFruitlessRecoveries)
            StartTask(slot);
    }
}
