#include "transfer/Completion.h"

#include "transfer/DownloadTask.h"
#include "transfer/Segmentation.h"
#include "transfer/TaskWindow.h"

bool AllBytesIn(const ResumeRecord &record)
{
    ULONGLONG totalSize = LoadWord(record.totalSize);
    if (totalSize == 0)
        return false;
    if (LoadWord(record.segments[0].received) == totalSize)
        return true;
    int count = UsedSegmentCount(record);
    if (count == 0)
        return false;
    for (int i = 0; i < count; ++i) {
        if (LoadWord(record.segments[i].received) != SegmentLengthOf(totalSize, count, i))
            return false;
    }
    return true;
}

bool AnnounceCompletion(DownloadTask *task, CompletionCommand command, HANDLE streamDone)
{
    // Two segments finishing together both see the sum complete, and a task
    // that is complete stays announced across a pause and a new start.
    if (InterlockedExchange(&task->announced, 1) != 0)
        return false;
    if (task->progressCallback)
        task->progressCallback(0, 1, 0);
    HWND window = FindTaskWindow();
    LPARAM slot = task->slotIndex;
    if (command == CompletionCommand::Posted) {
        if (window)
            PostMessageA(window, WM_COMMAND, kCommandTaskComplete, slot);
        return true;
    }
    if (streamDone)
        SetEvent(streamDone);
    if (window)
        SendMessageA(window, WM_COMMAND, kCommandTaskComplete, slot);
    return true;
}
