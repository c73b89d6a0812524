// The transfer of one task, on its worker thread and the HTTP component's
// threads: probe, file, segments or single stream, and completion.
#pragma once

#include <windows.h>

#include "components/WebRequest.h"

class DownloadTask;
struct ResumeRecord;
struct TaskSegment;

enum TransferOutcome {
    TransferFailed,     // nothing is transferring; the task is not complete
    TransferIssued,     // segment requests run; their data arrives in ReceiveCallback
    TransferCompleted,  // announced complete: the worker must not touch the task any more
    TransferStopped,    // a stop was requested; the stopping side owns the task
    TransferShort       // the body ended before totalSize bytes
};

const DWORD kSegmentedMinimum = 5000;  // smaller files are read in one piece
// A single stream's reads: as large as the component's receive buffer, so that
// one read and one write move whatever a receive brought.
const DWORD kStreamChunk = 1024 * 1024;

// Opens a request without extra headers and reads totalSize,
// serverMinorVersion and the validator (ETag or Last-Modified) from its
// header. Returns the open request, its body unread, or null.
WebRequest *Probe(DownloadTask *task, char *validator);

// Probe, file, and then the single stream or the segment requests. Also the
// resume of a paused segmented task: the probe shows whether the server still
// serves the version of the file its offsets describe (validator and length);
// if not, the task starts over from byte 0 on the version it finds.
TransferOutcome FreshStart(DownloadTask *task);

enum SegmentIssue {
    SegmentsLive,          // at least one segment runs, or all of them are complete
    SegmentsNone,          // no segment request could be opened
    SegmentsRangeRefused,  // a success answer that was not the range asked for
    SegmentsOtherVersion,  // an answer of another version of the file than the task's validator
};

// Splits the file into connectionCount ranges and opens one request each,
// with If-Range when the task has a validator. A refused range ends the
// requests already opened.
SegmentIssue IssueSegments(DownloadTask *task);

// Opens segment i's range request; 1 when it runs or was already complete.
// When the request failed, *refusal is its WebRequestError.
int OpenSegment(DownloadTask *task, int i, int *refusal);

// Opens the range request [start, last] for a segment or piece whose events
// are fresh, with If-Range when the task has a validator, and publishes it as
// the range's request; 1 when it runs. When the request failed, *refusal is
// its WebRequestError.
int OpenRange(DownloadTask *task, TaskSegment &range, ULONGLONG start, ULONGLONG last, int *refusal);

// New stop and busy events for a range about to be opened; false if the
// system gave none.
bool RenewRangeEvents(TaskSegment &range);

namespace transfer {
// Writes a delivered piece into the file (the context is the segment). A
// function of the ReceiveCallback type of the same name.
void __stdcall ReceiveCallback(void *context, const void *bytes, unsigned count);
}  // namespace transfer

// Reads a body of at most kSegmentedMinimum bytes to its end and writes it
// into the task's file from byte 0.
TransferOutcome ReadWhole(DownloadTask *task, WebRequest *request);

// Reads the body in chunks and writes it into the task's file from byte 0,
// until it ends, the file takes no more, or the task stops. The request
// belongs to the stream from here on.
TransferOutcome RunStream(DownloadTask *task, WebRequest *request);

// A fresh probe and one stream from byte 0 over it: for servers that refuse
// ranges and for paused single-stream tasks.
TransferOutcome StreamOverNewProbe(DownloadTask *task);

// Whether the received counts cover the whole file: segment 0 holds all of it
// (a single stream), or every segment holds exactly its range.
bool AllBytesIn(const ResumeRecord &record);

// Tells the host and posts the task-complete command, once per task.
void AnnounceCompletion(DownloadTask *task);
