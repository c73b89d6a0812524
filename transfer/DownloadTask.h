// A download in memory: the task with its five byte ranges (segments).
#pragma once

#include <stddef.h>
#include <windows.h>

#include "Ravlix.h"
#include "store/StoredRecord.h"
#include "transfer/DigestChoice.h"
#include "transfer/RunFigures.h"
#include "transfer/TaskFailure.h"

struct WebRequest;
class DownloadTask;

// Ranges taken over by connections that finished their own, per run of a
// task; a record keeps as many.
const int kMaxPieces = kMaxStoredPieces;

enum TaskState : LONG {
    TaskIdle = 0,         // not transferring: no segment request could be opened
    TaskDownloading = 1,  // also the state of a new or restored task before its worker runs
    TaskPaused = 2
};

enum SegmentState : LONG {
    SegmentIdle = 0,      // no request, or all of the segment's bytes are in
    SegmentRunning = 1,
    SegmentStopped = 2,
    SegmentPrepared = 4   // request object created, not yet opened
};

// What the worker found when it hashed the whole file (transfer/DigestCheck.h).
enum DigestVerdict : LONG {
    VerdictNone = 0,       // not hashed yet, or the window has dealt with it
    VerdictMatch = 1,
    VerdictMismatch = 2,   // for the window: fetch the file again, or give up on it
    VerdictUnreadable = 3  // the file could not be read back: for the window, as a file failure
};

enum AggregateStatusCode {
    AggregateNothingActive = 0,
    AggregateAllRunning = 1,
    AggregateAllStopped = 2,
    AggregateMixed = 4
};

// One byte range of a task: one of its segments, or a piece of a segment's
// range that another connection took over (index kMaxSegments and up). The
// fields that cross threads (state, received, length, finished, keepRunning)
// are whole aligned words; read and write them with LoadWord and StoreWord.
// writePos, received and length change under the task's lock.
struct TaskSegment {
    ULONGLONG writePos;     // file offset of the segment's next byte
    ULONGLONG received;     // bytes of this segment written so far, contiguous from its first byte
    ULONGLONG length;       // bytes in this segment; shrinks when a piece is taken off its end
    LONG state;             // SegmentState
    WebRequest *request;
    DownloadTask *owner;    // the receive callback finds its task through it
    LONG index;             // 0..4
    LONG keepRunning;       // segment 0: the single-stream loop goes on while 1
    HANDLE streamDoneEvent; // segment 0: manual-reset, set when the single-stream loop has ended
    HANDLE stopEvent;       // manual-reset: set means the callback delivers nothing more
    HANDLE busyEvent;       // manual-reset: set while a callback works inside the segment
    LONG finished;          // 1 once length bytes are written
};

// What a range's re-splitting needs besides its record, kept beside the
// records so that their layout stays the resume image's. Changed under the
// task's lock.
struct RangeExtent {
    ULONGLONG first;         // file offset of the range's first byte
    ULONGLONG reservedEnd;   // end of the write in progress: a cut never falls below it
    ULONGLONG startReceived; // received when the request was opened, for its rate
    DWORD startTick;         // when the request was opened
    ULONGLONG earlyBytes;    // bytes of its first look at the rate, for a burst at the start
    DWORD earlyTick;         // when they were counted
    LONG earlyCounted;       // 1 once they were
    LONG stoodStill;         // 1 once it stood still after them (StillAfterBurst)
    LONG home;               // a piece: the segment whose fixed range holds it
    LONG cut;                // 1 once a piece was taken off the end: the request stops at length
    LONG runsPast;           // 1: the request asked for more than the range (the probe's whole-file
                             // answer carries segment 0) and stops at length as a cut one does
    LONG stopSignalled;      // 1 once the range's stop event is set (SignalRangeStop); cleared
                             // with the range's new events
    ULONGLONG flushed;       // received as of the last flush of the file: what a saved record may
                             // claim, since those bytes are on the disk, not only in the system's
                             // cache. Changed under the task's lock, never above received
};

// The task's data part, exactly what a slot keeps as its resume image.
struct ResumeRecord {
    char url[kTextSize];
    char tempPath[kTextSize];  // destination + ".hhh"
    char proxy[kTextSize];
    LONG connectionCount;      // 1..5
    LONG serverMinorVersion;   // 1 for HTTP/1.1; 0 for HTTP/1.0 or unknown
    ULONGLONG totalSize;       // Content-Length of the probe; 0 until probed
    LONG resumeFlag;           // 1: segments continue from their received counts
    ULONGLONG segmentSize;     // totalSize / connectionCount
    LONG slotIndex;            // 0..2
    LONG resumeSection;        // n of the settings section FILE<n> restored from; 0 if admitted
    LONG state;                // TaskState
    char startTime[kTextSize];
    TaskSegment segments[kMaxSegments];
};

// The live task. The handles belong to it and are closed by the task
// operations before it is deleted; the destructor only deletes the lock.
class DownloadTask : public ResumeRecord {
public:
    DownloadTask();
    virtual ~DownloadTask();
    DownloadTask(const DownloadTask &) = delete;
    DownloadTask &operator=(const DownloadTask &) = delete;

    // Zeroes the data part (url through segments).
    void ClearData();

    HANDLE fileHandle;          // the temporary file; non-null once it is prepared
    HANDLE threadHandle;
    ProgressCallback progressCallback;
    // Serialises the advance of a segment's write position and counters, and
    // a change of the validator with them; a record writer copies them under it.
    mutable CRITICAL_SECTION lock;

    ULONGLONG preparedSize;     // length the temporary file was prepared at
    LONG stopRequested;         // set by a stopping side: the worker starts no further transfer
    LONG announced;             // completion is announced once per task
    WebRequest *pendingRequest; // the request the worker is opening, under lock, so a stop can cancel it
    HANDLE sectionClaim;        // this task's resume section, held while it lives
    HANDLE pathClaim;           // its temporary file, held while it lives
    char validator[kTextSize];  // ETag or Last-Modified of the file the stored offsets describe
    ULONGLONG bytesAtRecovery;  // segment bytes in when the task last recovered from a stall
    LONG fruitlessRecoveries;   // recoveries in a row that brought no byte
    LONG endedShort;            // 1: a single stream ended before its last byte and waits for the
                                // window's timer to start it again; cleared by every start
    // Taken-over ranges of this run: entries below pieceCount are in use, each
    // opened once; the worker adds them, under lock, and stops at the limit.
    TaskSegment pieces[kMaxPieces];
    RangeExtent extents[kMaxSegments + kMaxPieces];  // by the range's index
    LONG pieceCount;
    LONG helping;               // 1 while the worker hands out ranges: it opens no segment any more
    RunFigures run;             // what this run learnt of the server; reset by ResetRunFigures
    HANDLE wakeWorker;          // auto-reset: set when a stop is asked, so the helping worker ends at once
    DWORD flushTick;            // when the worker last flushed the file
    ULONGLONG flushBytes;       // the ranges' bytes as of that flush
    DWORD recordTick;           // when the worker last saved the record (KeepRecordCurrent)
    ULONGLONG recordBytes;      // flushBytes as of that save
    TaskFailure failure;        // why the last start failed; under lock (TaskFailure.h)
    // The pieces a restored record kept beyond its offsets, until the first
    // run that knows the file's length takes them (TakeRecordPieces); a new
    // version empties them with the piece table.
    StoredPiece recordPieces[kMaxStoredPieces];
    LONG recordPieceCount;
    // What the file's bytes must hash to, and who said so; none when neither
    // the host nor the server did. Set before the worker starts, or by the
    // worker's probe; the record keeps both.
    FileDigest digest;
    LONG digestSource;          // DigestSource
    // What the first answer of this version said, to hold each later answer
    // to it (one that says otherwise is of another file); DigestNone if it
    // said nothing usable. The worker's alone.
    FileDigest serverDigest;
    LONG digestDue;             // 1 once every byte is in and the file waits for its hash
    LONG verdict;               // DigestVerdict: the worker's last word, until the window takes it
    LONG refetchedForDigest;    // 1 once a mismatch made the task fetch the file again from byte 0
};

inline RangeExtent &ExtentOf(DownloadTask &task, const TaskSegment &range)
{
    return task.extents[range.index];
}

// The range whose extent is extents[index]: segment index, or piece index - kMaxSegments.
inline TaskSegment &RangeAt(DownloadTask &task, int index)
{
    return index < kMaxSegments ? task.segments[index] : task.pieces[index - kMaxSegments];
}

inline const TaskSegment &RangeAt(const DownloadTask &task, int index)
{
    return index < kMaxSegments ? task.segments[index] : task.pieces[index - kMaxSegments];
}

// The settings section that holds the task's resume record.
inline int TaskSection(const DownloadTask &task)
{
    return task.resumeSection != 0 ? task.resumeSection : task.slotIndex + 1;
}

// Whole-word access for fields shared between threads.
inline LONG LoadWord(const LONG &word)
{
    return __atomic_load_n(&word, __ATOMIC_ACQUIRE);
}

inline DWORD LoadWord(const DWORD &word)
{
    return __atomic_load_n(&word, __ATOMIC_ACQUIRE);
}

// 64-bit fields are 8-byte aligned (see the checks below), which makes these
// single loads and stores on i686 too, never two halves.
inline ULONGLONG LoadWord(const ULONGLONG &word)
{
    return __atomic_load_n(&word, __ATOMIC_ACQUIRE);
}

inline void StoreWord(LONG &word, LONG value)
{
    __atomic_store_n(&word, value, __ATOMIC_RELEASE);
}

inline void StoreWord(DWORD &word, DWORD value)
{
    __atomic_store_n(&word, value, __ATOMIC_RELEASE);
}

inline void StoreWord(ULONGLONG &word, ULONGLONG value)
{
    __atomic_store_n(&word, value, __ATOMIC_RELEASE);
}

static_assert(alignof(ULONGLONG) == 8 && offsetof(TaskSegment, received) % 8 == 0 &&
                  offsetof(ResumeRecord, totalSize) % 8 == 0 && sizeof(TaskSegment) % 8 == 0,
              "shared 64-bit counters must not straddle an 8-byte boundary");

// Forgets what the last run learnt of the server: a new run starts, and the
// first hand-out may come at once.
void ResetRunFigures(DownloadTask *task);

// The segments a task uses: connectionCount, kept within 0..5.
int UsedSegmentCount(const ResumeRecord &record);

// 0 nothing active, 1 all running, 2 all stopped, 4 mixed; over the first
// connectionCount segments.
int AggregateStatus(const DownloadTask &task);

// Starts the task's worker on a new thread: the resume of a paused task, or
// else WorkerMain. The task reads as Downloading from then on. 1 when the
// thread was created.
int StartWorker(DownloadTask *task);

// The fresh start of a task.
DWORD WINAPI WorkerMain(void *task);
