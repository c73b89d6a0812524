// The request that opens every run of a task.
#pragma once

#include "components/WebRequest.h"
#include "transfer/DigestHeader.h"
#include "util/TextSize.h"

class DownloadTask;

// What a probe's answer says of the version of the file it is of.
struct ProbedVersion {
    char validator[kTextSize];  // ETag or Last-Modified, "" for none
    FileDigest digest;          // DigestNone: it names no usable digest
};

// Opens a request without extra headers and reads totalSize,
// serverMinorVersion and the version from its header. Returns the open
// request, its body unread, or null: a server that names two different
// digests of one algorithm has its download fail before a byte is written.
WebRequest *Probe(DownloadTask *task, ProbedVersion *version);
