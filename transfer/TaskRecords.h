// A task's resume record: copied out of the task under its lock and written
// to the settings file, and read back at a restore into new running tasks.
#pragma once

#include "Ravlix.h"
#include "transfer/DownloadTask.h"
#include "util/ProfileUpdate.h"

// Writes the task's record into FILE<section> (below 1: no record). A
// periodic save passes LockWait::SkipIfBusy. A segment's offset is its count
// as of the task's last flush of its file (flushed), never more than it
// holds. A record that a later change of the file relies on is saved OnDisk.
// False when the record was due and no place took it.
bool SaveResumeRecord(const DownloadTask &task, int section, LockWait wait = LockWait::UntilFree,
                      Durability durability = Durability::Cached);

// How often a running download's record is saved again, by the window's
// timer or, while there is no window, by the task's worker.
const DWORD kRecordRefreshPeriodMs = 2500;

// On the task's worker, as it flushes the file: saves the record when it is
// due and no window exists to do so, as for a download a host starts before
// its InitDownload. A record whose file another update holds waits a period.
void RefreshRecordWithoutWindow(DownloadTask *task);

// On the task's worker, between any two of its steps that may take a while
// (a read, an open, a look at the ranges): flushes the file when due
// (FlushTaskFileWhenDue), so that what a record may claim keeps up with what
// came in, and refreshes the record when no window does.
void KeepRecordCurrent(DownloadTask *task);

// Makes a running task of each record no live task uses, one per free slot
// in slot order, each continuing its segments from its stored offsets;
// returns how many records were loaded. Records beyond the free slots wait
// in the file for a later restore.
int RestoreTasks(ProgressCallback progressCallback);
