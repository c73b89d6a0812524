#include "transfer/Pieces.h"

#include <string.h>

#include "transfer/Completion.h"
#include "transfer/TaskLock.h"
#include "util/HandleClose.h"

namespace {

TaskSegment *PieceAt(DownloadTask *task, int home, ULONGLONG offset)
{
    int count = LoadWord(task->pieceCount);
    for (int p = 0; p < count; ++p) {
        TaskSegment &piece = task->pieces[p];
        const RangeExtent &extent = ExtentOf(*task, piece);
        if (extent.home == home && extent.first == offset && LoadWord(piece.length) > 0)
            return &piece;
    }
    return nullptr;
}

}  // namespace

ULONGLONG SegmentRangeEnd(const ResumeRecord &record, int i)
{
    int count = UsedSegmentCount(record);
    return i == count - 1 ? record.totalSize : (i + 1) * record.segmentSize;
}

void ResetPieces(DownloadTask *task)
{
    TaskLock lock(task);
    for (TaskSegment &piece : task->pieces) {
        CloseAndClear(piece.stopEvent);
        CloseAndClear(piece.busyEvent);
        memset(&piece, 0, sizeof(piece));
    }
    memset(task->extents + kMaxSegments, 0, sizeof(RangeExtent) * kMaxPieces);
    StoreWord(task->pieceCount, 0);
    ResetRunFigures(task);
}

void QueuePieces(DownloadTask *task)
{
    TaskLock lock(task);
    int count = LoadWord(task->pieceCount);
    for (int p = 0; p < count; ++p) {
        TaskSegment &piece = task->pieces[p];
        if (piece.length == 0 || piece.received >= piece.length)
            continue;
        RangeExtent &extent = ExtentOf(*task, piece);
        piece.writePos = extent.first + piece.received;
        extent.reservedEnd = piece.writePos;
        StoreWord(piece.finished, 0);
        StoreWord(piece.state, SegmentPrepared);
    }
    // Rates and set-up times are measured again on this run's connections.
    ResetRunFigures(task);
}

bool Queued(const TaskSegment &range)
{
    return !__atomic_load_n(&range.request, __ATOMIC_ACQUIRE) && LoadWord(range.state) == SegmentPrepared &&
           !LoadWord(range.finished) && LoadWord(range.received) < LoadWord(range.length);
}

void FoldPieces(DownloadTask *task)
{
    int count = UsedSegmentCount(*task);
    for (int i = 0; i < count; ++i) {
        TaskSegment &segment = task->segments[i];
        RangeExtent &extent = ExtentOf(*task, segment);
        while (segment.received == segment.length) {
            TaskSegment *piece = PieceAt(task, i, extent.first + segment.length);
            if (!piece || piece->received != piece->length)
                break;
            ULONGLONG bytes = piece->length;
            StoreWord(piece->received, 0);
            StoreWord(piece->length, 0);
            StoreWord(piece->finished, 1);
            StoreWord(segment.length, segment.length + bytes);
            segment.writePos += bytes;
            extent.reservedEnd = segment.writePos;
            StoreWord(segment.received, segment.received + bytes);
        }
        if (extent.first + segment.received == SegmentRangeEnd(*task, i)) {
            StoreWord(segment.finished, 1);
            InterlockedCompareExchange(&segment.state, SegmentIdle, SegmentRunning);
        }
    }
}

bool FinishRange(DownloadTask *task, TaskSegment &range)
{
    StoreWord(range.finished, 1);
    if (!ExtentOf(*task, range).cut)
        InterlockedCompareExchange(&range.state, SegmentIdle, SegmentRunning);
    FoldPieces(task);
    return AllBytesIn(*task);
}

ULONGLONG ReceivedRangeBytes(const DownloadTask &task)
{
    TaskLock lock(&task);
    ULONGLONG sum = 0;
    ForEachRange(task, [&](const TaskSegment &range) { sum += LoadWord(range.received); });
    return sum;
}
