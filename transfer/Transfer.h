// The transfer of one task, on its worker thread and the HTTP component's
// threads: probe, file, segments or single stream, and completion.
#pragma once

#include <windows.h>

#include "components/WebRequest.h"

class DownloadTask;
struct ResumeRecord;

enum TransferOutcome {
    TransferFailed,     // nothing is transferring; the task is not complete
    TransferIssued,     // segment requests run; their data arrives in ReceiveCallback
    TransferCompleted,  // announced complete: the worker must not touch the task any more
    TransferStopped,    // a stop was requested; the stopping side owns the task
    TransferShort       // the body ended before totalSize bytes
};

const DWORD kSegmentedMinimum = 5000;  // smaller files are read in one piece
const DWORD kStreamChunk = 5000;

// Opens a request without extra headers and reads totalSize,
// serverMinorVersion and the validator (ETag or Last-Modified) from its
// header. Returns the open request, its body unread, or null.
WebRequest *Probe(DownloadTask *task, char *validator);

// Probe, file, and then the single stream or the segment requests.
TransferOutcome FreshStart(DownloadTask *task);

// Splits the file into connectionCount ranges and opens one request each;
// 1 when at least one segment runs or all of them are complete.
int IssueSegments(DownloadTask *task);

// Opens segment i's range request; 1 when it runs or was already complete.
int OpenSegment(DownloadTask *task, int i);

namespace transfer {
// Copies a delivered piece into the view (the context is the segment). A
// function of the ReceiveCallback type of the same name.
void __stdcall ReceiveCallback(void *context, const void *bytes, unsigned count);
}  // namespace transfer

// One read of a body of at most kSegmentedMinimum bytes, written into the
// task's file from byte 0.
TransferOutcome ReadWhole(DownloadTask *task, WebRequest *request);

// Reads the body in chunks and writes it into the task's file from byte 0,
// until it ends, the file takes no more, or the task stops. The request
// belongs to the stream from here on.
TransferOutcome RunStream(DownloadTask *task, WebRequest *request);

// A fresh probe and one stream from byte 0 over it: for servers that refuse
// ranges and for paused single-stream tasks.
TransferOutcome StreamOverNewProbe(DownloadTask *task);

// Bytes of segments that hold a request or are finished.
DWORD CompletedBytes(const DownloadTask &task);

// Whether the received counts cover the whole file: segment 0 holds all of it
// (a single stream), or every segment holds exactly its range.
bool AllBytesIn(const ResumeRecord &record);

// Tells the host and posts the task-complete command, once per task.
void AnnounceCompletion(DownloadTask *task);
