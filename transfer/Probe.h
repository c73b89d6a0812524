// The request that opens every run of a task.
#pragma once

#include "components/WebRequest.h"

class DownloadTask;

// Opens a request without extra headers and reads totalSize,
// serverMinorVersion and the validator (ETag or Last-Modified) from its
// header. Returns the open request, its body unread, or null.
WebRequest *Probe(DownloadTask *task, char *validator);
