#include "transfer/DownloadTask.h"
#include "transfer/TaskWindow.h"
#include "transfer/Transfer.h"

DWORD CompletedBytes(const DownloadTask &task)
{
    DWORD sum = 0;
    int count = UsedSegmentCount(task);
    for (int i = 0; i < count; ++i) {
        const TaskSegment &segment = task.segments[i];
        if (__atomic_load_n(&segment.request, __ATOMIC_ACQUIRE) || LoadWord(segment.finished))
            sum += LoadWord(segment.received);
    }
    return sum;
}

bool AllBytesIn(const ResumeRecord &record)
{
    DWORD totalSize = LoadWord(record.totalSize);
    if (totalSize == 0)
        return false;
    if (LoadWord(record.segments[0].received) == totalSize)
        return true;
    int count = UsedSegmentCount(record);
    if (count == 0)
        return false;
    // The ranges as IssueSegments cuts them; the last takes the remainder.
    DWORD size = totalSize / count;
    for (int i = 0; i < count; ++i) {
        DWORD length = i == count - 1 ? totalSize - (count - 1) * size : size;
        if (LoadWord(record.segments[i].received) != length)
            return false;
    }
    return true;
}

void AnnounceCompletion(DownloadTask *task)
{
    // Two segments finishing together both see the sum complete, and a task
    // that is complete stays announced across a pause and a new start.
    if (InterlockedExchange(&task->announced, 1) != 0)
        return;
    if (task->progressCallback)
        task->progressCallback(0, 1, 0);
    // Posted: the component's thread never waits for the window.
    if (HWND window = FindTaskWindow())
        PostMessageA(window, WM_COMMAND, kCommandTaskComplete, task->slotIndex);
}
