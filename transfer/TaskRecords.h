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
// The worker saves the record itself once this much more is flushed, so that
// a kill on a fast line costs no more than this (or the gap below) however
// the window's period falls...
const ULONGLONG kRecordRefreshBytes = 16ull << 20;
// ...but not more often than this: at local disk speeds the settings file
// would otherwise be rewritten dozens of times a second.
const DWORD kRecordRefreshGapMs = 500;

// On the task's worker, between any two of its steps that may take a while
// (a read, an open, a look at the ranges): flushes the file when due
// (FlushTaskFileWhenDue), so that what a record may claim keeps up with what
// came in, and saves the record when kRecordRefreshBytes more were flushed
// since the worker last saved it, or when a period passed and no window
// does it (a download a host starts before its InitDownload). A record whose
// file another update holds waits for the next turn.
void KeepRecordCurrent(DownloadTask *task);

// Makes a running task of each record no live task uses, one per free slot
// in slot order, each continuing its segments from its stored offsets;
// returns how many records were loaded. Records beyond the free slots wait
// in the file for a later restore.
int RestoreTasks(ProgressCallback progressCallback);
