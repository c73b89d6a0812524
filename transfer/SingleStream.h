// One stream from byte 0: small files, and servers that give no ranges.
#pragma once

#include <windows.h>

#include "components/WebRequest.h"
#include "transfer/TransferOutcome.h"

class DownloadTask;

// A single stream's reads: as large as the component's receive buffer, so that
// one read and one write move whatever a receive brought.
const DWORD kStreamChunk = 1024 * 1024;

// Reads a body of at most kSegmentedMinimum bytes to its end and writes it
// into the task's file from byte 0.
TransferOutcome ReadWhole(DownloadTask *task, WebRequest *request);

// Reads the body in chunks and writes it into the task's file from byte 0,
// until it ends, the file takes no more, or the task stops. The request
// belongs to the stream from here on.
TransferOutcome RunStream(DownloadTask *task, WebRequest *request);
