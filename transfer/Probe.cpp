#include "transfer/Probe.h"

#include <string.h>

#include "transfer/HttpRequests.h"
#include "transfer/ResponseHeader.h"
#include "transfer/TaskFailure.h"
#include "transfer/TaskStop.h"

WebRequest *Probe(DownloadTask *task, ProbedVersion *version)
{
    WebRequest *request = NewRequest();
    if (!request)
        return nullptr;
    if (!BeginOpening(task, request)) {
        GiveBack(request);
        return nullptr;
    }
    int opened = request->operations->Open(request, task->url, task->proxy, nullptr, 0, nullptr, nullptr);
    EndOpening(task);
    if (!opened) {
        NoteRequestFailure(task, request->operations->LastError(request),
                           request->operations->GetResponseHeader(request));
        GiveBack(request);
        return nullptr;
    }
    const char *header = request->operations->GetResponseHeader(request);
    ULONGLONG totalSize = header ? ParseContentLength(header) : 0;
    if (totalSize == 0 || StopRequested(*task)) {
        TaskFailure noSize = {};
        noSize.kind = FailureNoSize;
        NoteFailure(task, noSize);
        CloseAndGiveBack(request);
        return nullptr;
    }
    version->digest = FileDigest{};
    if (ParseAnswerDigest(header, &version->digest) == DigestConflict) {
        TaskFailure twoDigests = {};
        twoDigests.kind = FailureDigest;
        NoteFailure(task, twoDigests);
        CloseAndGiveBack(request);
        return nullptr;
    }
    StoreWord(task->totalSize, totalSize);
    task->serverMinorVersion = ParseMinorVersion(header);
    ParseValidator(header, version->validator, kTextSize);
    return request;
}
