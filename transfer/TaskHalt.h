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

// Marks the task's stop and tells every range it has, without waiting; the
// worker adds no piece once the stop is marked. Every range is told before
// any is waited for, so the grace for deliveries already inside is paid once
// rather than once per range, and not at all when every range is in: a
// finished download has several ranges still holding their requests. True
// when a delivery inside may still write and needs the grace. A halt that
// follows neither tells a told range again nor pays its grace again.
bool TellTaskToStop(DownloadTask *task);
// The grace TellTaskToStop asked for, sent messages answered meanwhile.
void PauseForStopGrace();

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
