// A task's run: the probe's answer, the file, and then the segment requests
// or one stream.
#pragma once

#include <windows.h>

#include "transfer/TransferOutcome.h"

class DownloadTask;
struct RangeExtent;
struct TaskSegment;
struct WebRequest;

const DWORD kSegmentedMinimum = 5000;  // smaller files are read in one piece

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
// with If-Range when the task has a validator. The probe's open request, its
// body unread, carries the first segment when that one needs every byte from
// byte 0; it is closed otherwise. A refused range ends the requests already
// opened.
SegmentIssue IssueSegments(DownloadTask *task, WebRequest *probe);

// Opens segment i's range request; 1 when it runs or was already complete.
// When the request failed, *refusal is its WebRequestError.
int OpenSegment(DownloadTask *task, int i, int *refusal);

// Opens the range request [start, last] for a segment or piece whose events
// are fresh, with If-Range when the task has a validator, and publishes it as
// the range's request; 1 when it runs. When the request failed, *refusal is
// its WebRequestError.
int OpenRange(DownloadTask *task, TaskSegment &range, ULONGLONG start, ULONGLONG last, int *refusal);

// New stop and busy events for a range about to be opened, its stop word
// (extent.stopSignalled) cleared with them; false if the system gave none.
bool RenewRangeEvents(TaskSegment &range, RangeExtent &extent);

// A halted task's bytes are not the file's (they did not match its digest):
// none is claimed from here on, its offsets, pieces and validator reset as
// for a new version and its record saved so, on the disk, before anything
// is written again. The next start fetches the file from byte 0.
void ForgetTaskBytes(DownloadTask *task);

// A fresh probe and one stream from byte 0 over it: for servers that refuse
// ranges and for paused single-stream tasks.
TransferOutcome StreamOverNewProbe(DownloadTask *task);
