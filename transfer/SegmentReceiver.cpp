// Runs on the HTTP component's threads, one delivery at a time per segment,
// segments of one task in parallel. Never blocks: its only waits are
// zero-time tests of the segment's stop event.

#include "transfer/DownloadTask.h"
#include "transfer/Transfer.h"

namespace {

bool Signalled(HANDLE event)
{
    return WaitForSingleObject(event, 0) != WAIT_TIMEOUT;  // a failed wait counts as signalled
}

// Writes count bytes at the segment's write position through the file handle
// and advances it; false when the file did not take them all. A view of the
// whole file would take address space in proportion to its size. Bytes the
// file took are in the system's cache and outlive this process, so received
// may count them at once. Segments write disjoint ranges, so only the advance
// of the counters needs the lock.
bool WriteInto(DownloadTask *task, TaskSegment &segment, const void *bytes, DWORD count)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(segment.writePos);
    at.OffsetHigh = static_cast<DWORD>(segment.writePos >> 32);
    DWORD written = 0;
    if (!WriteFile(task->fileHandle, bytes, count, &written, &at) || written != count)
        return false;
    EnterCriticalSection(&task->lock);
    segment.writePos += count;
    StoreWord(segment.received, segment.received + count);
    LeaveCriticalSection(&task->lock);
    return true;
}

}  // namespace

void __stdcall transfer::ReceiveCallback(void *context, const void *bytes, unsigned count)
{
    TaskSegment *segment = static_cast<TaskSegment *>(context);
    if (!segment || !segment->owner)
        return;
    DownloadTask *task = segment->owner;

    // Entry handshake with the stopping side: busy is set before the segment
    // is touched, and stop is tested on both sides of setting it, so once a
    // stop has seen busy clear no delivery is inside and none enters.
    if (!segment->stopEvent || Signalled(segment->stopEvent) || !segment->busyEvent)
        return;
    SetEvent(segment->busyEvent);
    if (Signalled(segment->stopEvent)) {
        ResetEvent(segment->busyEvent);
        return;
    }

    if (LoadWord(segment->finished) == 1) {
        ResetEvent(segment->busyEvent);
        return;
    }
    ULONGLONG received = segment->received;
    ULONGLONG length = segment->length;
    if (received < length) {
        // bytes past the end are dropped
        DWORD take = count < length - received ? count : static_cast<DWORD>(length - received);
        if (take > 0 && !WriteInto(task, *segment, bytes, take)) {
            // A full disk, say: the segment stops where its file ends being
            // right, and a later start goes on from there.
            SetEvent(segment->stopEvent);
            StoreWord(segment->state, SegmentStopped);
            ResetEvent(segment->busyEvent);
            return;
        }
        if (received + take >= length)
            StoreWord(segment->finished, 1);
    } else {
        StoreWord(segment->finished, 1);
    }
    if (segment->received >= length && LoadWord(segment->state) != SegmentIdle)
        StoreWord(segment->state, SegmentIdle);

    if (CompletedBytes(*task) >= task->totalSize)
        AnnounceCompletion(task);
    ResetEvent(segment->busyEvent);
}
