// Why a task's last start ended without a transfer: what the window tells the
// user of a download that stopped. The worker notes it where the start
// failed; the user-interface thread reads it under the task's lock.
#pragma once

#include <windows.h>

class DownloadTask;

enum FailureKind : LONG {
    FailureNone = 0,
    FailureRequest,  // the request failed: `error` is its WebRequestError, with the answer's status if any
    FailureNoSize,   // the server's answer gives no length, which a download needs
    FailureFile,     // the temporary file could not be made: `systemError` says why
    FailureDigest,   // the file fetched twice did not match its digest, or the server named two
};

struct TaskFailure {
    FailureKind kind;
    LONG error;        // FailureRequest: the component's WebRequestError
    LONG httpStatus;   // FailureRequest: the status of the answer that was refused, 0 if none came
    char phrase[48];   // its reason phrase as the server sent it (printable ASCII only)
    DWORD systemError; // FailureFile: the system's error code
};

// Worker: notes why the start failed. A failure noted after a stop was asked
// for is the stop's doing, not the server's, and is not kept.
void NoteFailure(DownloadTask *task, const TaskFailure &failure);
// A request that failed: its error, and the status line of the answer it refused.
void NoteRequestFailure(DownloadTask *task, int error, const char *header);
void NoteFileFailure(DownloadTask *task, DWORD systemError);
// Worker, as a start begins: no failure is current any more.
void ClearFailure(DownloadTask *task);
// User-interface thread: a copy, taken under the lock.
TaskFailure FailureOf(const DownloadTask &task);
