// Everything that ends, interrupts or restarts a task. The command-level
// operations run on the user-interface thread and take a slot 0..2.
#pragma once

class DownloadTask;

// Task-level steps.
void StopRequests(DownloadTask *task);  // stops and gives back every request; the task becomes Paused
void JoinWorker(DownloadTask *task);    // waits for the worker thread and closes its handle
void HaltTask(DownloadTask *task);      // stop, join, and stop what the worker opened meanwhile
void CloseTask(DownloadTask *task);     // halt, then release the file
int SuspendTask(DownloadTask *task, int section);
void AbandonTask(DownloadTask *task, int section);

// Command-level operations.
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
