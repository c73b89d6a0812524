// The hand-over between a stopping side (the user-interface thread) and the
// worker. The worker publishes each request it is opening, under the task's
// lock and only while no stop was requested; the stopping side marks the stop
// and cancels that request under the same lock. So a stop either finds the
// request and cancels it, or the worker sees the stop and opens nothing.
#pragma once

#include "transfer/DownloadTask.h"

// Worker: publishes request as the one being opened; false if a stop came first.
bool BeginOpening(DownloadTask *task, WebRequest *request);
void EndOpening(DownloadTask *task);

// Worker: stores request as the range's (a segment or a piece) under the
// lock; false if a stop came first.
bool PublishRangeRequest(DownloadTask *task, TaskSegment &range, WebRequest *request);

// Worker and stopping side: removes and returns the range's request, or null.
WebRequest *TakeRangeRequest(DownloadTask *task, TaskSegment &range);

inline WebRequest *TakeSegmentRequest(DownloadTask *task, int i)
{
    return TakeRangeRequest(task, task->segments[i]);
}

// Stopping side: no further transfer starts, the single-stream loop ends
// after its current read, and a request being opened is cancelled.
void RequestStop(DownloadTask *task);

inline bool StopRequested(const DownloadTask &task)
{
    return LoadWord(task.stopRequested) != 0;
}
