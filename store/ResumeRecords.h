// Unfinished downloads in the settings file, one section FILE<n> each, so that
// they outlive the host process and resume from their byte offsets. This is
// the file's side only: which task is saved when, and how a loaded record
// becomes a running task again, is the engine's (transfer/TaskRecords.h).
#pragma once

#include <windows.h>

#include "store/StoredRecord.h"
#include "util/ProfileUpdate.h"

// Sections FILE1 .. FILE<kResumeSectionLimit> may hold records. A section is
// used by one live task at a time, and every live task has one: records
// that wait for a restore (while three tasks run, or in several hosts) take
// as many sections as they need. The limit only bounds a file made by hand.
const int kResumeSectionLimit = 999;

// Writes the record into FILE<record.section>: OFFSET0.., MULTHREAD,
// URLNAME, DESTNAME, PROXY, PROXYPASSWORD, VALIDATOR: a proxy's password is
// kept only in PROXYPASSWORD, protected for the user (PROXY holds the proxy
// text without it), and the key is empty without one. A section below 1 has
// no record. A
// caller that copied the record out of something other threads change holds
// ProfileUpdateLock from before the copy, so that of two writers the one
// that copied last also writes last. A record that a later change of the
// file relies on is written OnDisk. False when no place took the record.
bool WriteResumeRecord(const StoredRecord &record, Durability durability = Durability::Cached);

// Whether FILE<section> of the settings file holds a record of tempPath that
// claims bytes: one that a failed write left in place would describe the
// bytes of another version.
bool RecordClaimsBytes(int section, const char *tempPath);

// Blanks FILE<section>: every key stays, with "0" or an empty value. A copy
// of the same download left in the settings file's other place (see
// SettingsPlace) is retired with it.
void ClearResumeRecord(int section);

// A record read back for a restore, with the claims the load took on its
// section and its temporary file; the caller passes them on or releases them.
struct LoadedRecord {
    StoredRecord record;
    HANDLE sectionClaim;
    HANDLE pathClaim;
};

// Reads up to capacity records that no live task (in any process) uses, in
// section order; returns how many it read. Records in the settings file's
// other place are first moved into the file updates go to. Records beyond capacity stay
// where they are, for a later load. A record whose DESTNAME is not a safe
// temporary path (NameRules) is never loaded: a damaged or hand-made record
// must not put a file anywhere. A record of a download that a host put in
// place and ended before blanking is blanked and listed as finished.
int LoadResumeRecords(LoadedRecord *loaded, int capacity);

// Claims a section for a new task: the lowest one that holds no record and no
// live task uses. Returns the claim and the section number; null and -1 only
// when every section up to the limit is taken.
HANDLE ClaimFreeResumeSection(int *section);
