// The temporary file behind a task: created or reopened at the download's
// length. Segments and the single stream write through its handle at their
// offsets; nothing maps it, so no address space grows with the file.
#pragma once

#include "transfer/DownloadTask.h"

// How often the worker flushes the file while data flows. A saved record
// claims no byte before a flush took it to the disk, so after a power loss
// a resume refetches at most this long's bytes plus a refresh period.
const DWORD kFlushPeriodMilliseconds = 250;

// Flushed sooner once this much came in since the last flush: on a fast
// line the disk then writes while the data still arrives, and the flush
// before the rename waits for little more than this (at 1 GB/s a quarter
// of a second held 250 MB, and that wait was a third of a local download).
const ULONGLONG kFlushBytes = 32ull << 20;

// Opens the temporary file when it is there at exactly totalSize bytes, or
// keeps it open when the last run left it open at that length: only such a
// file may hold bytes that stored offsets describe. False when it is
// missing or of another length; nothing is changed then.
bool OpenKeptFile(DownloadTask *task);

// Opens the temporary file when the task's counts say that every byte of it
// is in, of the length this run's probe found: a rename failed, or a pause
// came, after the last byte. A restored task, whose length no record keeps,
// is probed first.
bool OpenCompleteFile(DownloadTask *task);

// Creates the temporary file, or sets the one that is there to exactly
// totalSize bytes, after creating the last folder level. Whatever the file
// held no longer counts, so the caller has reset the task's record before.
// Fails without making the file when the disk has no room for the rest of
// its length; a file this call created is removed again when it cannot be
// sized. Returns 1 on success.
int PrepareFile(DownloadTask *task);

// Writes count bytes at offset through the file handle; returns how many
// the file took (0 when the write failed: a full disk, say). Bytes the file
// took are in the system's cache and outlive this process. Through the
// handle, not a view: a view would take address space in proportion to the
// file, and a page the disk cannot hold would fault inside the copy and end
// the host, where WriteFile merely fails. Any thread.
DWORD WriteAt(DownloadTask *task, ULONGLONG offset, const void *bytes, DWORD count);
// Reads count bytes at offset back; how many it read (fewer past the end or on failure).
DWORD ReadAt(DownloadTask *task, ULONGLONG offset, void *bytes, DWORD count);

// Flushes the file's bytes to the disk; the segments' counts taken before
// the flush become what records may claim. On the worker, or on the thread
// that stopped the worker.
void FlushTaskFile(DownloadTask *task);

// The worker's flush while data flows: once kFlushPeriodMilliseconds passed
// or kFlushBytes came in since the last one.
void FlushTaskFileWhenDue(DownloadTask *task);

// Closes the file, if open.
void ReleaseFile(DownloadTask *task);
