// Unfinished downloads in the settings file, one section FILE<n> each, so that
// they outlive the host process and resume from their byte offsets.
#pragma once

#include <windows.h>

#include "Ravlix.h"

class DownloadTask;

// Sections FILE1 .. FILE<kResumeSectionLimit> may hold records. A section is
// used by one live task at a time; more sections than slots let records wait
// while three other tasks run.
const int kResumeSectionLimit = 9;

// Writes the task's record into FILE<section>: OFFSET0.., MULTHREAD, URLNAME,
// DESTNAME, PROXY, VALIDATOR. A section below 1 has no record.
void SaveResumeRecord(const DownloadTask &task, int section);

// Blanks FILE<section>: every key stays, with "0" or an empty value.
void ClearResumeRecord(int section);

// Fills the images of free slots from the sections holding records that no
// live task (in any process) uses; returns how many it filled. Records that
// find no free slot stay where they are.
int LoadResumeRecords();

// Turns every loaded image into a running task; returns the load's count.
int RestoreTasks(ProgressCallback progressCallback);

// Claims a section for a new task: the lowest one that holds no record and no
// live task uses. Returns the claim (null if none) and the section number.
HANDLE ClaimFreeResumeSection(int *section);
