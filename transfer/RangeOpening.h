// Opening a range's request without holding up the task's bookkeeping. An
// open waits for the server's answer, and a server that holds requests back
// (nginx's limit_req queues each past its rate) keeps it waiting for
// seconds; a worker that opened a piece after every burst spent most of its
// time there, so the file was not flushed and the record not refreshed for
// ten seconds while 50 MB came in.
#pragma once

#include "components/WebRequest.h"

class DownloadTask;
struct TaskSegment;

// Opens request (the range's, with its request text's extra header lines)
// and delivers its answer to the range, as WebRequest's Open does. On the
// worker: the open runs on a thread of the system's pool, and the worker
// flushes the file and refreshes the record when they are due meanwhile. A
// stop cancels the open (the task's pendingRequest), so the wait ends with
// it. Where the pool takes no work, the open runs here. Returns Open's
// result; 0 and otherFile set when the answer names another digest than
// the first answer of the task's version did (its request closed then).
int OpenKeepingRecord(DownloadTask *task, WebRequest *request, const char *header, TaskSegment &range,
                      bool *otherFile);
