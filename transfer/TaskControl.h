// The commands on a slot's task: start, pause, delete, and what a quit does.
// They run on the user-interface thread and take a slot 0..2.
#pragma once

// Command-level operations. Each waits for the task to stop for at most a
// last-resort bound; past it (a host callback that blocks on something other
// than a sent message) the task leaves its slot with its record kept (or
// cleared and its file deleted, for Delete), and a thread of its own
// finishes the stop when the callback returns.
void StartTask(int slot);
void StartAllTasks();
void PauseTask(int slot);
void PauseAllTasks();
// Tells every task that is downloading to stop, without waiting. A command
// that stops them all calls it first, so that its halts wait once for what is
// already inside (a host callback of a completion), not one after another
// while the tasks not yet halted go on and complete.
void TellDownloadingTasksToStop();
// reason: why the task had stopped, in the user's words, kept with its
// history record; null when it had not stopped on an error.
void DeleteTask(int slot, const char *reason = nullptr);
void DiscardAllTasks();
// Returns 1 whatever it did: the operation's documented result, which no
// caller reads.
int SaveAndCloseTask(int slot);

// Rewrites the resume records of the tasks that are downloading, so that a
// host that is killed resumes from a recent point. For a periodic timer: a
// record whose file another update holds is left for the next tick.
void RefreshResumeRecords();
