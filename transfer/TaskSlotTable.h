// The process-wide table of three task slots. Touched only on the thread that
// owns the floating window; workers and callbacks reach their task through
// their own pointers.
#pragma once

#include "transfer/DownloadTask.h"

const int kSlotCount = 3;

struct TaskSlot {
    DownloadTask *task;  // the live task, or null when the slot is free
};

struct TaskSlotTable {
    TaskSlot slots[kSlotCount];
};

extern TaskSlotTable gSlotTable;

// The slot's live task; null for a free slot or a number out of range.
inline DownloadTask *SlotTask(int slot)
{
    return (slot >= 0 && slot < kSlotCount) ? gSlotTable.slots[slot].task : nullptr;
}

// Forgets every slot's live task; the tasks themselves are not touched.
void ClearSlotTable();

// Bytes received by the slot's task; 0 for a free slot.
ULONGLONG ReceivedBytes(int slot);

// The slot's task's totalSize; 0 for a free slot.
ULONGLONG TotalBytes(int slot);
