// RavlixHost.exe started as a separate process, the way a user or a script
// starts it, with its output collected in a file.
#pragma once

#include <windows.h>

#include <string>

class HostRun {
public:
    // Starts RavlixHost.exe (beside the test program) with arguments.
    explicit HostRun(const std::string &arguments);
    // Starts the host program at programPath (a host of the other
    // architecture, beside its own DLLs) with arguments.
    HostRun(const std::string &programPath, const std::string &arguments);
    ~HostRun();
    HostRun(const HostRun &) = delete;
    HostRun &operator=(const HostRun &) = delete;

    bool started() const { return process_ != nullptr; }
    bool Running() const;
    // Waits for the host to end by itself; its exit code.
    DWORD Wait();
    // Ends the host at once, as a crash or the task manager would.
    void Kill();
    // Everything the host has printed so far.
    std::string Output() const;

private:
    HANDLE process_ = nullptr;
    std::string outputPath_;
};

// Bytes the resume record of section FILE<n> in the settings file says are in.
long RecordedBytes(int section);
