#include "transfer/SegmentReceiver.h"

// Runs on the HTTP component's threads, one delivery at a time per range (a
// segment or a piece), ranges of one task in parallel. Never blocks for
// long: it waits for the task's lock, which its holders keep for a few
// counter updates, and at the speed cap's gate, which the range's stop ends
// at once.

#include "components/WebRequest.h"
#include "transfer/DigestCheck.h"
#include "transfer/DownloadTask.h"
#include "transfer/Pieces.h"
#include "transfer/SpeedGate.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskLock.h"

namespace {

// A full disk, say: the range stops where its file ends being right, and a
// later start goes on from there.
void StopOnFailedWrite(DownloadTask *task, TaskSegment *range)
{
    SignalRangeStop(task, *range);
    StoreWord(range->state, SegmentStopped);
}

}  // namespace

void SignalRangeStop(DownloadTask *task, TaskSegment &range)
{
    __atomic_store_n(&ExtentOf(*task, range).stopSignalled, 1, __ATOMIC_SEQ_CST);
    if (range.stopEvent)
        SetEvent(range.stopEvent);
}

bool RangeStopSignalled(DownloadTask &task, const TaskSegment &range)
{
    return __atomic_load_n(&ExtentOf(task, range).stopSignalled, __ATOMIC_SEQ_CST) != 0;
}

void __stdcall transfer::ReceiveCallback(void *context, const void *bytes, unsigned count)
{
    TaskSegment *range = static_cast<TaskSegment *>(context);
    if (!range || !range->owner)
        return;
    DownloadTask *task = range->owner;

    // Entry handshake with the stopping side: busy is set before the range
    // is touched, and stop is tested on both sides of setting it, so once a
    // stop has seen busy clear no delivery is inside and none enters. Stop is
    // tested on its word, not on the event: a wait on an event is a call into
    // the system, which under Wine also gives up the processor whenever the
    // event is clear, and these two came with every delivery.
    if (!range->stopEvent || !range->busyEvent || RangeStopSignalled(*task, *range))
        return;
    SetEvent(range->busyEvent);
    // The stopping side sets the word, then tests busy: one of the two sees the other.
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
    if (RangeStopSignalled(*task, *range)) {
        ResetEvent(range->busyEvent);
        return;
    }
    if (LoadWord(range->finished) == 1) {
        ResetEvent(range->busyEvent);
        return;
    }

    // The worker may cut the range's end while this delivery writes: what to
    // write is decided under the lock and reserved, and a cut never falls
    // below the reservation, so no byte past the cut is written. Ranges write
    // disjoint bytes, so the write itself needs no lock.
    RangeExtent &extent = ExtentOf(*task, *range);
    ULONGLONG at;
    DWORD take;
    {
        TaskLock lock(task);
        at = range->writePos;
        ULONGLONG left = range->length - range->received;
        take = count < left ? count : static_cast<DWORD>(left);
        extent.reservedEnd = at + take;
    }

    if (take > 0 && WriteAt(task, at, bytes, take) != take) {
        {
            TaskLock lock(task);
            extent.reservedEnd = range->writePos;
        }
        StopOnFailedWrite(task, range);
        ResetEvent(range->busyEvent);
        return;
    }

    bool done, complete = false;
    {
        TaskLock lock(task);
        range->writePos += take;
        StoreWord(range->received, range->received + take);
        done = range->received >= range->length;
        if (done)
            complete = FinishRange(task, *range);
    }

    // The rest of a cut range's answer belongs to the piece taken off it, and
    // the rest of the probe's answer to the segments after the first: the
    // connection ends instead of carrying bytes nobody writes. Its Close comes
    // from the stopping side, which waits for this delivery to end first.
    if (done && (LoadWord(extent.cut) || LoadWord(extent.runsPast))) {
        if (WebRequest *request = __atomic_load_n(&range->request, __ATOMIC_ACQUIRE))
            request->operations->Cancel(request);
    }
    if (complete)
        AnnounceWhenChecked(task);
    // Held here, the component reads no further on this connection. The
    // range's last bytes count against the cap but are not held: nothing
    // more comes on it.
    if (done)
        ReserveAtSpeedGate(take);
    else
        PassSpeedGate(take, range->stopEvent, [&] { return RangeStopSignalled(*task, *range); });
    ResetEvent(range->busyEvent);
}
