#include "transfer/Pieces.h"

#include <string.h>

#include <algorithm>

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

// The record's pieces of segment i, ascending and apart (as they were read),
// become pieces of the table: see TakeRecordPieces.
void TakeSegmentPieces(DownloadTask *task, int i, const StoredPiece *stored, int count)
{
    TaskSegment &segment = task->segments[i];
    ULONGLONG start = i * task->segmentSize, end = SegmentRangeEnd(*task, i);
    if (stored[0].first < start + segment.received || stored[count - 1].end > end ||
        task->pieceCount + count > kMaxPieces)
        return;
    RangeExtent &extent = ExtentOf(*task, segment);
    StoreWord(extent.cut, 1);
    StoreWord(segment.length, stored[0].first - start);
    for (int k = 0; k < count; ++k) {
        LONG p = task->pieceCount;
        TaskSegment &piece = task->pieces[p];
        piece.owner = task;
        piece.index = kMaxSegments + p;
        piece.length = (k + 1 < count ? stored[k + 1].first : end) - stored[k].first;
        piece.received = stored[k].end - stored[k].first;
        piece.writePos = stored[k].end;
        piece.finished = piece.received == piece.length;
        // One with bytes to come is queued by the run (QueuePieces).
        piece.state = SegmentIdle;
        RangeExtent &taken = ExtentOf(*task, piece);
        taken.home = i;
        taken.first = stored[k].first;
        taken.reservedEnd = piece.writePos;
        taken.flushed = piece.received;
        StoreWord(task->pieceCount, p + 1);
    }
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
    task->recordPieceCount = 0;
    ResetRunFigures(task);
}

void TakeRecordPieces(DownloadTask *task)
{
    TaskLock lock(task);
    int stored = task->recordPieceCount;
    task->recordPieceCount = 0;
    // A run without a validator hands out no pieces, so opens none either.
    if (stored == 0 || !task->validator[0])
        return;
    int count = UsedSegmentCount(*task);
    // A restored task's segments are placed when they are issued, just after
    // this: the fold below needs them placed now.
    for (int i = 0; i < count; ++i) {
        task->segments[i].index = i;
        task->extents[i].first = i * task->segmentSize;
    }
    for (int at = 0; at < stored;) {
        int first = at;
        LONG i = task->recordPieces[at].segment;
        while (at < stored && task->recordPieces[at].segment == i)
            ++at;
        if (i >= 0 && i < count)
            TakeSegmentPieces(task, i, task->recordPieces + first, at - first);
    }
    FoldPieces(task);
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
            // Flushed bytes stay claimable where the segment's all were.
            RangeExtent &joined = ExtentOf(*task, *piece);
            if (extent.flushed == segment.received && joined.flushed == bytes)
                extent.flushed += bytes;
            joined.flushed = 0;
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

ULONGLONG FlushedBytes(const DownloadTask &task, int index)
{
    ULONGLONG received = LoadWord(RangeAt(task, index).received), flushed = task.extents[index].flushed;
    return flushed < received ? flushed : received;
}

int FlushedPieces(const DownloadTask &task, StoredPiece *out)
{
    int count = 0, pieces = LoadWord(task.pieceCount);
    for (int p = 0; p < pieces; ++p) {
        const TaskSegment &piece = task.pieces[p];
        ULONGLONG bytes = LoadWord(piece.length) ? FlushedBytes(task, kMaxSegments + p) : 0;
        if (bytes == 0)
            continue;
        const RangeExtent &extent = task.extents[kMaxSegments + p];
        out[count++] = StoredPiece{extent.home, extent.first, extent.first + bytes};
    }
    std::sort(out, out + count, [](const StoredPiece &a, const StoredPiece &b) {
        return a.segment != b.segment ? a.segment < b.segment : a.first < b.first;
    });
    int kept = 0;
    for (int k = 0; k < count; ++k) {
        StoredPiece *last = kept > 0 ? &out[kept - 1] : nullptr;
        if (last && last->segment == out[k].segment && last->end == out[k].first)
            last->end = out[k].end;
        else
            out[kept++] = out[k];
    }
    return kept;
}

ULONGLONG ReceivedRangeBytes(const DownloadTask &task)
{
    TaskLock lock(&task);
    ULONGLONG sum = 0;
    ForEachRange(task, [&](const TaskSegment &range) { sum += LoadWord(range.received); });
    return sum;
}
