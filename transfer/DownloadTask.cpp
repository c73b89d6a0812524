#include "transfer/DownloadTask.h"

#include <string.h>

DownloadTask::DownloadTask()
    : ResumeRecord(), fileHandle(nullptr), threadHandle(nullptr), progressCallback(nullptr), preparedSize(0),
      stopRequested(0), announced(0), pendingRequest(nullptr), sectionClaim(nullptr), pathClaim(nullptr),
      validator{}, bytesAtRecovery(0), fruitlessRecoveries(0), endedShort(0), pieces{}, extents{}, pieceCount(0), helping(0),
      run(),
      wakeWorker(CreateEventA(nullptr, FALSE, FALSE, nullptr)), flushTick(0), flushBytes(0), recordTick(0), recordBytes(0),
      failure(), recordPieces{}, recordPieceCount(0), digest(), digestSource(DigestFromNobody), serverDigest(),
      digestDue(0), verdict(VerdictNone), refetchedForDigest(0)
{
    for (TaskSegment &segment : segments)
        segment.state = SegmentIdle;
    InitializeCriticalSection(&lock);
}

DownloadTask::~DownloadTask()
{
    if (wakeWorker)
        CloseHandle(wakeWorker);
    DeleteCriticalSection(&lock);
}

void DownloadTask::ClearData()
{
    ResumeRecord &data = *this;
    memset(&data, 0, sizeof(data));
}

void ResetRunFigures(DownloadTask *task)
{
    RunFigures &run = task->run;
    run.bestRate = 0;
    run.setupMs = 0;
    run.helpAfter = GetTickCount();
    StoreWord(run.helpBarred, 0);
    run.burstBytes = 0;
    run.heldRate = 0;
    run.stillAnswers = 0;
}

// Segments beyond the five records never count, whatever connectionCount says.
int UsedSegmentCount(const ResumeRecord &record)
{
    LONG count = record.connectionCount;
    if (count <= 0)
        return 0;
    return count > kMaxSegments ? kMaxSegments : static_cast<int>(count);
}

int AggregateStatus(const DownloadTask &task)
{
    int count = UsedSegmentCount(task);
    bool allIdle = true, allStopped = true, allRunning = true;
    for (int i = 0; i < count; ++i) {
        LONG state = LoadWord(task.segments[i].state);
        allIdle = allIdle && state == SegmentIdle;
        allStopped = allStopped && state == SegmentStopped;
        allRunning = allRunning && state == SegmentRunning;
    }
    if (count == 0 || allIdle)
        return AggregateNothingActive;
    if (allStopped)
        return AggregateAllStopped;
    if (allRunning)
        return AggregateAllRunning;
    return AggregateMixed;
}
