#include "transfer/TaskFailure.h"

#include <string.h>

#include "transfer/TaskLock.h"
#include "transfer/TaskStop.h"

namespace {

// The status code and reason phrase of "HTTP/1.x NNN Phrase\r\n...", the
// phrase cut to what fits and to printable ASCII.
LONG ParseStatusLine(const char *header, char *phrase, size_t capacity)
{
    phrase[0] = '\0';
    if (!header || strncmp(header, "HTTP/", 5) != 0)
        return 0;
    const char *p = strchr(header, ' ');
    if (!p)
        return 0;
    ++p;
    LONG status = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 3; ++p, ++digits)
        status = status * 10 + (*p - '0');
    if (digits != 3)
        return 0;
    while (*p == ' ')
        ++p;
    size_t n = 0;
    for (; *p >= 0x20 && *p < 0x7F && n + 1 < capacity; ++p)
        phrase[n++] = *p;
    phrase[n] = '\0';
    return status;
}

}  // namespace

void NoteFailure(DownloadTask *task, const TaskFailure &failure)
{
    TaskLock lock(task);
    if (!StopRequested(*task))
        task->failure = failure;
}

void NoteRequestFailure(DownloadTask *task, int error, const char *header)
{
    TaskFailure failure = {};
    failure.kind = FailureRequest;
    failure.error = error;
    failure.httpStatus = ParseStatusLine(header, failure.phrase, sizeof(failure.phrase));
    NoteFailure(task, failure);
}

void NoteFileFailure(DownloadTask *task, DWORD systemError)
{
    TaskFailure failure = {};
    failure.kind = FailureFile;
    failure.systemError = systemError;
    NoteFailure(task, failure);
}

void ClearFailure(DownloadTask *task)
{
    TaskLock lock(task);
    task->failure = TaskFailure();
}

TaskFailure FailureOf(const DownloadTask &task)
{
    TaskLock lock(&task);
    return task.failure;
}
