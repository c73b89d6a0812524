// The pieces of a task: ranges cut off the end of a segment (or of another
// piece) and fetched by a connection that finished its own range. A piece's
// bytes join its segment's count once everything between them is in; until
// then the stored record keeps them as pieces of the segment (PIECES<n>).
#pragma once

#include "transfer/DownloadTask.h"

// One past the last byte of segment i's fixed range.
ULONGLONG SegmentRangeEnd(const ResumeRecord &record, int i);

// Empties the piece table for a new run, closing the events the last one left.
// No piece request may be open: the stop that ended that run closed them.
void ResetPieces(DownloadTask *task);

// A new run of the same version after a stop in this process: the last
// run's pieces keep their bytes. A complete one waits to join its segment as
// before; one with bytes still to come is queued (prepared, without a
// request), for the worker to open from where it stopped once a connection
// is free. The stop that ended that run closed their requests.
void QueuePieces(DownloadTask *task);

// Whether the range is a piece queued by QueuePieces and not opened yet.
bool Queued(const TaskSegment &range);

// Under the task's lock: every complete piece that continues a segment whose
// bytes are all in up to it joins that segment (its length and count grow by
// the piece's, the piece counts nothing from then on), and a segment whose
// fixed range is whole reads as idle. Totals do not change.
void FoldPieces(DownloadTask *task);

// Under the task's lock, once the range holds its length: it reads as
// finished (one never cut is idle now; a cut segment stays running until its
// pieces are in, which the fold tells) and the pieces are folded. True when
// then every byte of the download is in: the download is complete when every
// segment holds its whole fixed range, the pieces taken off it joined, which
// counts each byte once, whatever pieces were handed back or fetched again.
bool FinishRange(DownloadTask *task, TaskSegment &range);

// Under the task's lock: the bytes of range index (a segment's i, a piece's
// kMaxSegments + p; a restored segment has no index yet) that a saved record
// may claim, those from its first byte that a flush took to the disk.
ULONGLONG FlushedBytes(const DownloadTask &task, int index);

// Under the task's lock: what a saved record keeps beyond the segments'
// offsets, the flushed bytes of every piece, by segment and ascending, pieces
// that touch joined. Returns how many ranges it wrote into out (room for
// kMaxStoredPieces).
int FlushedPieces(const DownloadTask &task, StoredPiece *out);

// At the first run of a restored task that knows the file's length and
// still has the version its record is of, before its segments are issued:
// the record's pieces become the piece table, as a stop in this process
// would have left it. A segment ends where its first piece begins; a
// complete piece waits to join it, and the bytes after each piece, up to
// the next or the end of the segment's fixed range, are that piece's to
// fetch, queued. The pieces of a segment that do not lie beyond its offset
// within its fixed range are not taken: the record is wrong there. Pieces
// that continue a segment join it at once. Either way the record's pieces
// are used up.
void TakeRecordPieces(DownloadTask *task);

// Bytes of the segments and pieces, under the task's lock so that no fold is
// seen half done.
ULONGLONG ReceivedRangeBytes(const DownloadTask &task);

// Visits the task's ranges: its used segments, then the pieces of this run
// (their count read as the walk reaches them).
template <typename Task, typename Visit>
void ForEachRange(Task &task, Visit visit)
{
    int count = UsedSegmentCount(task);
    for (int i = 0; i < count; ++i)
        visit(task.segments[i]);
    int pieces = LoadWord(task.pieceCount);
    for (int p = 0; p < pieces; ++p)
        visit(task.pieces[p]);
}

// Whether holds is true of any of the task's ranges, walked in the same
// order; the walk stops at the first.
template <typename Task, typename Predicate>
bool AnyRange(Task &task, Predicate holds)
{
    int count = UsedSegmentCount(task);
    for (int i = 0; i < count; ++i) {
        if (holds(task.segments[i]))
            return true;
    }
    int pieces = LoadWord(task.pieceCount);
    for (int p = 0; p < pieces; ++p) {
        if (holds(task.pieces[p]))
            return true;
    }
    return false;
}
