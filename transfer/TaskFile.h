// The temporary file behind a task: created or reopened at the download's
// length and mapped whole, so that received bytes are copied straight into place.
#pragma once

class DownloadTask;

// Opens tempPath at totalSize bytes and maps it; creates the last folder
// level first. offsetsValid tells whether the file existed with exactly that
// length, so that stored offsets may still describe it. A file this call
// created is removed again when the mapping fails. Returns 1 on success.
int PrepareFile(DownloadTask *task, bool *offsetsValid);

// Unmaps the view and closes the mapping and the file, each if present.
void ReleaseFile(DownloadTask *task);
