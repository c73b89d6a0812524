// The download history: one record per file name in "Vorazuvud.ini" beside
// the host executable, sections FILE0, FILE1, ... without gaps. Where the
// host's folder cannot be written, the file is kept in the user's own folder
// instead (util/ProfilePlace.h), and the one beside the host is only read.
#pragma once

enum HistoryStatus {
    HistoryFinished = 0,
    HistoryDeleted = 4
};

const int kHistoryCapacity = 1000;  // section names carry at most three digits

// A record as listed: name, time, status and size texts.
struct HistoryRecord {
    char name[260];
    char time[260];
    char status[60];
    char size[60];
    char reason[260];  // why a deleted download had stopped; "" when it had not on an error
};

// The history file's full path: the one records are written to.
void HistoryFilePath(char *buffer, int bufferSize);
// The other place's file, read after the first; "" without one.
void OtherHistoryFilePath(char *buffer, int bufferSize);

// True with the index of the record named name (case-insensitive); false with
// the index where a new record goes (the first empty NAME).
bool FindHistoryRecord(const char *name, int *index);

// Creates the record for name (NAME, TIME, SIZE, STATUS in that order) or
// updates its STATUS only; REASON follows, the reason text for a download
// deleted after it stopped on an error, and goes otherwise. In a full store the oldest record (FILE0) goes and
// the others move up one section, so that the new one is FILE999. Returns 1
// whatever the profile calls did: the documented result (their failures are
// not detected), which no caller reads.
int WriteHistoryRecord(const char *name, const char *time, unsigned long long size, int status,
                       const char *reason = nullptr);

// Reads FILE<index>; false when the record is not listable (missing fields,
// or deleted without a reason: a deleted download is listed only when it
// had stopped on an error, with that reason).
bool ReadHistoryRecord(HistoryRecord *record, int index);
// The same, of the history file at file.
bool ReadHistoryRecordIn(const char *file, HistoryRecord *record, int index);
