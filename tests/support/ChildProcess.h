// A helper program that a test runs beside itself: started with a command
// line, killed at once when the test says so or when it goes out of scope.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

class ChildProcess {
public:
    explicit ChildProcess(std::string commandLine)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process_) != FALSE;
    }
    ~ChildProcess()
    {
        if (!started)
            return;
        Kill();
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Ends it as a crash or the task manager would, and waits until it is gone.
    void Kill()
    {
        if (!started)
            return;
        TerminateProcess(process_.hProcess, 9);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    bool Running() const { return started && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits for it to end by itself; its exit code, or 99 when it does not end.
    DWORD Finish(DWORD timeoutMs = 60000)
    {
        DWORD code = 99;
        if (started && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

    bool started = false;

private:
    PROCESS_INFORMATION process_ = {};
};

}  // namespace testing_support
