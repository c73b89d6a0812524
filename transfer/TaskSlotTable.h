// The process-wide table of three task slots. Touched only on the thread that
// owns the floating window; workers and callbacks reach their task through
// their own pointers.
#pragma once

#include "transfer/DownloadTask.h"

const int kSlotCount = 3;

// What the load of a resume record hands to the restore besides the image.
struct LoadedRecord {
    LONG present;               // the image holds a record to restore
    char validator[kTextSize];  // ETag or Last-Modified stored with it
    HANDLE sectionClaim;        // claims taken by the load, passed on to the task
    HANDLE pathClaim;
};

struct TaskSlot {
    ResumeRecord image;  // written by the load of resume records, read by the restore
    DownloadTask *task;  // the live task, or null when the slot is free
    LoadedRecord loaded;
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

// Zeroes every slot's image and live-task pointer; tasks are not touched.
// Claims a load left behind are released.
void ClearSlotTable();

// Bytes received by the slot's task; 0 for a free slot.
ULONGLONG ReceivedBytes(int slot);

// The slot's task's totalSize; 0 for a free slot.
ULONGLONG TotalBytes(int slot);
