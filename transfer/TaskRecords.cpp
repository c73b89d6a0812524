#include "transfer/TaskRecords.h"

#include <new>
#include <string.h>

#include "store/RecordClaims.h"
#include "store/ResumeRecords.h"
#include "transfer/Pieces.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskLock.h"
#include "transfer/TaskStop.h"
#include "transfer/TaskWindow.h"
#include "transfer/TaskSlotTable.h"
#include "util/TimeStamp.h"

namespace {

const char kDigestFromHost[] = "host";
const char kDigestFromServer[] = "server";

// The record's part of a new task: the segments continue from the stored
// offsets; everything else starts as in a new task.
void TakeRecord(DownloadTask *task, const LoadedRecord &loaded)
{
    const StoredRecord &record = loaded.record;
    task->ClearData();
    memcpy(task->url, record.url, sizeof(task->url));
    memcpy(task->tempPath, record.tempPath, sizeof(task->tempPath));
    memcpy(task->proxy, record.proxy, sizeof(task->proxy));
    memcpy(task->validator, record.validator, sizeof(task->validator));
    // Older records have no digest: such a download goes on unchecked, as before.
    LONG source = strcmp(record.digestFrom, kDigestFromHost) == 0     ? DigestFromHost
                  : strcmp(record.digestFrom, kDigestFromServer) == 0 ? DigestFromServer
                                                                      : DigestFromNobody;
    if (source != DigestFromNobody && DigestFromText(record.digest, &task->digest))
        task->digestSource = source;
    task->connectionCount = record.connectionCount;
    // What the record claims was on the disk when it was written: counted
    // as flushed, so that a save before this host's first flush (the
    // timer's refresh, a Pause or a Quit while the server is away) claims
    // it still. Its pieces wait for the probe, which tells the segments'
    // ranges.
    for (int i = 0; i < record.connectionCount; ++i)
        task->segments[i].received = task->extents[i].flushed = record.offsets[i];
    memcpy(task->recordPieces, record.pieces, sizeof(StoredPiece) * record.pieceCount);
    task->recordPieceCount = record.pieceCount;
    task->resumeFlag = 1;
    task->resumeSection = record.section;
    task->sectionClaim = loaded.sectionClaim;
    task->pathClaim = loaded.pathClaim;
}

}  // namespace

bool SaveResumeRecord(const DownloadTask &task, int section, LockWait wait, Durability durability)
{
    if (section < 1)
        return true;
    // Copied with the update's lock held, so that of two savers of one task
    // (the worker resetting the record, a refresh on the window's timer) the
    // one that copied last also writes last.
    ProfileUpdateLock held(wait);
    if (!held.held())
        return false;
    StoredRecord record = {};
    record.section = section;
    record.connectionCount = task.connectionCount;
    memcpy(record.url, task.url, sizeof(record.url));
    memcpy(record.tempPath, task.tempPath, sizeof(record.tempPath));
    memcpy(record.proxy, task.proxy, sizeof(record.proxy));
    {
        // The offsets and the validator they belong to, as one: the worker
        // resets them together when the server's file changed. A count is
        // claimed only as far as a flush took its bytes to the disk.
        TaskLock lock(&task);
        for (int i = 0; i < UsedSegmentCount(task); ++i)
            record.offsets[i] = FlushedBytes(task, i);
        record.pieceCount = FlushedPieces(task, record.pieces);
        memcpy(record.validator, task.validator, sizeof(record.validator));
        DigestToText(task.digest, record.digest, sizeof(record.digest));
        const char *from = task.digestSource == DigestFromHost     ? kDigestFromHost
                           : task.digestSource == DigestFromServer ? kDigestFromServer
                                                                   : "";
        strcpy(record.digestFrom, task.digest.algorithm != DigestNone ? from : "");
    }
    return WriteResumeRecord(record, durability);
}

void KeepRecordCurrent(DownloadTask *task)
{
    FlushTaskFileWhenDue(task);
    DWORD now = GetTickCount(), since = now - task->recordTick;
    // A new version starts the flushed bytes over.
    bool byBytes = task->flushBytes >= task->recordBytes + kRecordRefreshBytes || task->flushBytes < task->recordBytes;
    bool due = since >= kRecordRefreshPeriodMs ? byBytes || !FindTaskWindow() : byBytes && since >= kRecordRefreshGapMs;
    if (!due || StopRequested(*task))
        return;
    task->recordTick = now;
    task->recordBytes = task->flushBytes;
    SaveResumeRecord(*task, TaskSection(*task), LockWait::SkipIfBusy);
}

int RestoreTasks(ProgressCallback progressCallback)
{
    int freeSlots[kSlotCount];
    int freeCount = 0;
    for (int s = 0; s < kSlotCount; ++s) {
        if (!gSlotTable.slots[s].task)
            freeSlots[freeCount++] = s;
    }
    LoadedRecord loaded[kSlotCount];
    int count = LoadResumeRecords(loaded, freeCount);
    for (int i = 0; i < count; ++i) {
        DownloadTask *task = new (std::nothrow) DownloadTask();
        if (!task) {
            ReleaseClaim(loaded[i].sectionClaim);
            ReleaseClaim(loaded[i].pathClaim);
            continue;
        }
        int slot = freeSlots[i];
        gSlotTable.slots[slot].task = task;
        TakeRecord(task, loaded[i]);
        task->slotIndex = slot;
        task->state = TaskDownloading;
        task->progressCallback = progressCallback;
        LocalTimeStamp(task->startTime);
        StartWorker(task);
    }
    return count;
}
