// The temporary file behind a task: created or reopened at the download's
// length. Segments and the single stream write through its handle at their
// offsets; nothing maps it, so no address space grows with the file.
#pragma once

class DownloadTask;

// Opens tempPath at totalSize bytes; creates the last folder level first.
// offsetsValid tells whether the file existed with exactly that length, so
// that stored offsets may still describe it. Fails without making the file
// when the disk has no room for the rest of its length. A file this call
// created is removed again when it cannot be sized. Returns 1 on success.
int PrepareFile(DownloadTask *task, bool *offsetsValid);

// Closes the file, if open.
void ReleaseFile(DownloadTask *task);
