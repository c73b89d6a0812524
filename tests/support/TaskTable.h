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

// A URL whose connection is refused at once: the worker fails quickly.
const char kUnreachableUrl[] = "http://127.0.0.1:9/file.bin";

// Waits until the slot's worker has ended.
inline bool WorkerEnded(int slot, DWORD milliseconds = 30000)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    return task && task->threadHandle && WaitForSingleObject(task->threadHandle, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace testing_support
