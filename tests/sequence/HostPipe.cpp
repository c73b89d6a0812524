#include "HostPipe.h"

#include <stdio.h>

#include "tests/support/ChildProcess.h"

namespace {

// A pipe whose far end the child inherits and whose near end it does not.
bool InheritablePipe(HANDLE *read, HANDLE *write, bool childReads)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    if (!CreatePipe(read, write, &inherit, 1 << 16))
        return false;
    SetHandleInformation(childReads ? *write : *read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void CloseIfOpen(HANDLE &handle)
{
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

}  // namespace

bool HostPipe::Start(const std::string &program)
{
    Kill();
    HANDLE childInput = nullptr, childOutput = nullptr;
    if (!InheritablePipe(&childInput, &input_, true) || !InheritablePipe(&output_, &childOutput, false))
        return false;
    // Its standard error (Wine's own complaints too) goes to a file, not into the answers.
    HANDLE errors = testing_support::OpenInheritableFile(testing_support::TempFilePath("sequence-host-errors.txt"), true);
    PROCESS_INFORMATION child = {};
    bool started = testing_support::StartWithHandles("\"" + program + "\"", childInput, childOutput, errors, &child);
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (errors != INVALID_HANDLE_VALUE)
        CloseHandle(errors);
    if (!started) {
        Close();
        return false;
    }
    CloseHandle(child.hThread);
    process_ = child.hProcess;
    std::string line;
    return ReadLine(&line, GetTickCount() + 30000) && line == "ready";
}

bool HostPipe::Send(const std::string &line)
{
    std::string text = line + "\n";
    DWORD written = 0;
    return input_ && WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

bool HostPipe::ReadLine(std::string *line, DWORD deadline)
{
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            *line = pending_.substr(0, end);
            if (!line->empty() && (*line)[line->size() - 1] == '\r')
                line->erase(line->size() - 1);
            pending_.erase(0, end + 1);
            return true;
        }
        DWORD available = 0;
        if (!output_ || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available > 0) {
            char buffer[4096];
            DWORD count = 0;
            if (!ReadFile(output_, buffer, available < sizeof(buffer) ? available : sizeof(buffer), &count, nullptr))
                return false;
            pending_.append(buffer, count);
            continue;
        }
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return false;
        Sleep(5);
    }
}

bool HostPipe::Await(std::string *answer, std::vector<std::string> *events, DWORD timeoutMs)
{
    DWORD deadline = GetTickCount() + timeoutMs;
    std::string line;
    while (ReadLine(&line, deadline)) {
        if (line.compare(0, 2, "ok") == 0 || line == "held" || line.compare(0, 5, "error") == 0) {
            *answer = line;
            return true;
        }
        events->push_back(line);
    }
    return false;
}

bool HostPipe::AwaitEvent(const std::string &prefix, std::vector<std::string> *events, DWORD timeoutMs)
{
    DWORD deadline = GetTickCount() + timeoutMs;
    std::string line;
    while (ReadLine(&line, deadline)) {
        events->push_back(line);
        if (line.compare(0, prefix.size(), prefix) == 0)
            return true;
    }
    return false;
}

void HostPipe::Kill()
{
    if (process_) {
        TerminateProcess(process_, 9);
        if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0)
            fprintf(stderr, "a killed host did not end within 10 s\n");
    }
    Close();
}

void HostPipe::Close()
{
    CloseIfOpen(process_);
    CloseIfOpen(input_);
    CloseIfOpen(output_);
    pending_.clear();
}

bool HostPipe::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}
