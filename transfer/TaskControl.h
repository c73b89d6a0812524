// Everything that ends, interrupts or restarts a task. The command-level
// operations run on the user-interface thread and take a slot 0..2.
#pragma once

class DownloadTask;

// Task-level steps, without a time limit.
void StopRequests(DownloadTask *task);  // stops and gives back every request; the task becomes Paused
void CloseTask(DownloadTask *task);     // stop, join the worker, stop what it opened meanwhile, release the file

// Command-level operations. Each waits for the task to stop for at most a
// last-resort bound; past it (a host callback that blocks on something other
// than a sent message) the task leaves its slot with its record kept (or
// cleared and its file deleted, for Delete), and a thread of its own
// finishes the stop when the callback returns.
void StartTask(int slot);
void StartAllTasks();
void PauseTask(int slot);
void PauseAllTasks();
void DeleteTask(int slot);
void DeleteAllTasks();
void FinalizeTask(int slot);  // the task-complete command
// For a periodic timer: puts in place every task that announced itself
// complete while no floating window existed to hear it (a host that starts
// downloads before InitDownload), whose task-complete command never came.
void FinalizeUnheardCompletions();
void DiscardAllTasks();
int SaveAndCloseTask(int slot);

// Rewrites the resume records of the tasks that are downloading, so that a
// host that is killed resumes from a recent point. For a periodic timer: a
// record whose file another update holds is left for the next tick.
void RefreshResumeRecords();
