// Where a new download goes: the download folder and a file name that the
// name rules accept, and the claim that keeps every other live task, in
// this process or another, off its final and temporary files.
#pragma once

#include <windows.h>

#include "transfer/DownloadTask.h"

struct Destination {
    char folder[kTextSize];  // the download folder, ending in a separator
    char name[kTextSize];    // the file name inside it
    char path[kTextSize];    // folder and name: the file asked about when it exists
    bool nameFromUrl;        // no destination name was given
};

// Fills destination from the DESTNPATH setting (the host folder when it is
// empty) and the host's destination name or the URL; false to refuse.
bool ComposeDestination(const char *url, const char *destinationName, Destination *destination);

// The temporary path of a destination path: false when it does not fit the
// task's field or is no path a record may hold.
bool TemporaryPathOf(const char *path, char *tempPath);

// Claims the files of the destination and writes its path. When another
// live task uses them, a name taken from the URL gives way to "stem_2.ext",
// "stem_3.ext", ... (the first that exists nowhere on disk and no task
// uses); a name the host gave is refused. Null when nothing could be claimed.
HANDLE ClaimDestination(const Destination &destination, char *path);

// Claims the files of a path as it is, such as a Save-As choice; null when
// the path is refused or another live task uses them.
HANDLE ClaimPath(const char *path);
