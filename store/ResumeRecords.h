// Unfinished downloads in the settings file, one section FILE<n> each, so that
// they outlive the host process and resume from their byte offsets.
#pragma once

#include <windows.h>

#include "Ravlix.h"
#include "util/ProfileUpdate.h"

class DownloadTask;

// Sections FILE1 .. FILE<kResumeSectionLimit> may hold records. A section is
// used by one live task at a time, and every live task has one: records
// that wait for a restore (while three tasks run, or in several hosts) take
// as many sections as they need. The limit only bounds a file made by hand.
const int kResumeSectionLimit = 999;

// Writes the task's record into FILE<section>: OFFSET0.., MULTHREAD, URLNAME,
// DESTNAME, PROXY, VALIDATOR. A section below 1 has no record. A periodic
// save passes LockWait::SkipIfBusy. A segment's offset is its count as of
// the task's last flush of its file (flushed), never more than it holds.
// A record that a later change of the file relies on is saved OnDisk.
void SaveResumeRecord(const DownloadTask &task, int section, LockWait wait = LockWait::UntilFree,
                      Durability durability = Durability::Cached);

// Blanks FILE<section>: every key stays, with "0" or an empty value.
void ClearResumeRecord(int section);

// Fills the images of free slots from the sections holding records that no
// live task (in any process) uses, in section order; returns how many it
// filled. Records that find no free slot stay where they are. A record whose
// DESTNAME is not a safe temporary path (NameRules) is never restored: a
// damaged or hand-made record must not put a file anywhere.
int LoadResumeRecords();

// Turns every loaded image into a running task; returns the load's count.
int RestoreTasks(ProgressCallback progressCallback);

// Claims a section for a new task: the lowest one that holds no record and no
// live task uses. Returns the claim and the section number; null and -1 only
// when every section up to the limit is taken.
HANDLE ClaimFreeResumeSection(int *section);
