// When a task is complete, and telling the host so.
#pragma once

class DownloadTask;
struct ResumeRecord;

// Whether the received counts cover the whole file: segment 0 holds all of it
// (a single stream), or every segment holds exactly its range.
bool AllBytesIn(const ResumeRecord &record);

// Tells the host and posts the task-complete command, once per task.
void AnnounceCompletion(DownloadTask *task);
