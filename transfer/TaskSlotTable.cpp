#include "transfer/TaskSlotTable.h"

#include <string.h>

#include "transfer/Pieces.h"

TaskSlotTable gSlotTable;

void ClearSlotTable()
{
    memset(&gSlotTable, 0, sizeof(gSlotTable));
}

ULONGLONG ReceivedBytes(int slot)
{
    const DownloadTask *task = SlotTask(slot);
    return task ? ReceivedRangeBytes(*task) : 0;
}

ULONGLONG TotalBytes(int slot)
{
    const DownloadTask *task = SlotTask(slot);
    return task ? LoadWord(task->totalSize) : 0;
}
