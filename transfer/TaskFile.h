// The temporary file behind a task: created or reopened at the download's
// length. Segments write through its handle at their offsets; a small file is
// also mapped whole for the single stream.
#pragma once

class DownloadTask;

// Opens tempPath at totalSize bytes, and maps it when it is small; creates
// the last folder level first. offsetsValid tells whether the file existed
// with exactly that length, so that stored offsets may still describe it.
// Fails without making the file when the disk has no room for the rest of its
// length. A file this call created is removed again when it cannot be sized
// or mapped. Returns 1 on success.
int PrepareFile(DownloadTask *task, bool *offsetsValid);

// Unmaps the view and closes the mapping and the file, each if present.
void ReleaseFile(DownloadTask *task);
