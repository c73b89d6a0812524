// A lock for state the whole process shares (the speed gate's queue, the
// background mode's thread), made in place by its constructor: a critical
// section must not be copied once it is made. Meant to be a function's
// static, which C++ makes once whatever thread comes first; never deleted,
// so that a thread still running at the module's unload finds it whole.
#pragma once

#include <windows.h>

class ProcessLock {
public:
    ProcessLock() { InitializeCriticalSection(&section_); }
    ProcessLock(const ProcessLock &) = delete;
    ProcessLock &operator=(const ProcessLock &) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds a ProcessLock for its scope.
class ProcessLockHold {
public:
    explicit ProcessLockHold(ProcessLock &lock) : lock_(lock) { lock_.Enter(); }
    ~ProcessLockHold() { lock_.Leave(); }
    ProcessLockHold(const ProcessLockHold &) = delete;
    ProcessLockHold &operator=(const ProcessLockHold &) = delete;

private:
    ProcessLock &lock_;
};
