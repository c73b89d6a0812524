// Tests that admit or restore tasks leave the slot table and the settings
// file as they found them.
#pragma once

#include <windows.h>

#include "tests/support/IniText.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskSlotTable.h"

namespace testing_support {

inline void ResetSettingsAndTasks()
{
    DiscardAllTasks();
    ClearSlotTable();
    DeleteFileA(SettingsFilePath().c_str());
}

// A task put into slot as admission would make it, without a file, thread
// or request: its record part cleared, then the path, connections and size
// given. The test deletes it, or DiscardAllTasks does.
inline DownloadTask *PutNewTask(int slot, const char *tempPath, int connections, ULONGLONG totalSize = 0)
{
    DownloadTask *task = new DownloadTask();
    task->ClearData();
    task->slotIndex = slot;
    lstrcpynA(task->tempPath, tempPath, kTextSize);
    task->connectionCount = connections;
    task->totalSize = totalSize;
    gSlotTable.slots[slot].task = task;
    return task;
}

// A URL whose connection is refused at once: the worker fails quickly.
const char kUnreachableUrl[] = "http://127.0.0.1:9/file.bin";

// Waits until the slot's worker has ended.
inline bool WorkerEnded(int slot, DWORD milliseconds = 30000)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    return task && task->threadHandle && WaitForSingleObject(task->threadHandle, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace testing_support
