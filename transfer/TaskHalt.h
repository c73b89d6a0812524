// Halting a task: its requests stopped, its worker joined. The user-interface
// thread waits within a last-resort bound and answers sent messages meanwhile;
// past the bound a thread of its own finishes the stop.
#pragma once

class DownloadTask;

// Task-level steps, without a time limit.
void StopRequests(DownloadTask *task);  // stops and gives back every request; the task becomes Paused
void CloseTask(DownloadTask *task);     // stop, join the worker, stop what it opened meanwhile, release the file

// What becomes of a task's record and file once a stop handed over to a
// thread of its own has ended.
enum class AfterStop { KeepRecord, ClearRecord, ClearRecordAndFile };

// Tells every task in the slots that is downloading to stop, without
// waiting. A command that stops them all calls it first, so that its halts
// wait once for what is already inside (a host callback of a completion),
// not one after another while the tasks not yet halted go on and complete.
void TellDownloadingTasksToStop();

// Halts the slot's task within the last resort; false when it was handed
// over instead, and the slot is empty.
bool HaltOrHandOver(int slot, AfterStop after);

// The slot's task leaves the window and a thread of its own finishes its
// stop (see TaskHalt.cpp); the slot is empty afterwards.
void HandOver(int slot, AfterStop after);

// Joins a worker that ended or is ending, within the last resort; false
// when it did not end in time.
bool JoinWorkerInTime(DownloadTask *task);

// Closes what the slot's halted task holds besides its requests and file,
// deletes it and empties the slot.
void DestroyTask(int slot);
