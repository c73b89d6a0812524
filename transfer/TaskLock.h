// Holds a task's lock for a scope.
#pragma once

#include "transfer/DownloadTask.h"

struct TaskLock {
    explicit TaskLock(const DownloadTask *task) : task(task) { EnterCriticalSection(&task->lock); }
    ~TaskLock() { LeaveCriticalSection(&task->lock); }
    TaskLock(const TaskLock &) = delete;
    TaskLock &operator=(const TaskLock &) = delete;
    const DownloadTask *task;
};
