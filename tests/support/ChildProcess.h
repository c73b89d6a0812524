// Helper programs that a test runs beside itself. ChildProcess is one started
// with a command line, killed at once when the test says so or when it goes
// out of scope.
// Its output goes to a file of its own ("child-output.txt" in the temporary
// folder), never to the test's: under Wine a killed process may linger a
// while at the Unix level, and one holding the test's output pipe would keep
// CTest waiting after the test has ended.
#pragma once

#include <windows.h>

#include <stdio.h>

#include <string>

namespace testing_support {

inline std::string TempFilePath(const std::string &name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    return std::string(temp) + name;
}

// A file a child can inherit as its output: appended to, or made anew.
// INVALID_HANDLE_VALUE when it cannot be opened.
inline HANDLE OpenInheritableFile(const std::string &path, bool append)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    return CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inheritable, append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
}

// Starts commandLine with the given inheritable standard handles (null for
// none). Under Wine a start of a 64-bit helper has failed twice in runs of
// the whole suite, but never in 3,800 starts in a row on their own; so a
// failed start is tried again, twice, and each failure is told on stderr with
// its error code.
inline bool StartWithHandles(std::string commandLine, HANDLE input, HANDLE output, HANDLE error,
                             PROCESS_INFORMATION *child)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, child))
            return true;
        fprintf(stderr, "starting %s failed (attempt %d): error %lu\n", commandLine.c_str(), attempt,
                GetLastError());
        if (attempt == 3)
            return false;
        Sleep(100);
    }
}

class ChildProcess {
public:
    explicit ChildProcess(std::string commandLine)
    {
        HANDLE output = OpenInheritableFile(TempFilePath("child-output.txt"), true);
        started = StartWithHandles(commandLine, nullptr, output, output, &process_);
        if (output != INVALID_HANDLE_VALUE)
            CloseHandle(output);
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
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
            fprintf(stderr, "a killed helper process did not end within 10 s\n");
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
