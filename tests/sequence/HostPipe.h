// The sequence test's side of SequenceHost.exe: starts it with a pipe for its
// commands and one for its answers, waits for an answer with a time limit,
// and kills it as a crash or the task manager would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class HostPipe {
public:
    HostPipe() = default;
    ~HostPipe() { Kill(); }
    HostPipe(const HostPipe &) = delete;
    HostPipe &operator=(const HostPipe &) = delete;

    // Starts the program (a path beside the test program) and waits for its "ready".
    bool Start(const std::string &program);
    bool Send(const std::string &line);
    // Reads lines until one that starts with "ok", "held" or "error" and
    // returns it in answer; the lines before it (callbacks, slow messages,
    // dialogs) are appended to events. False when none came within timeoutMs
    // or the host ended.
    bool Await(std::string *answer, std::vector<std::string> *events, DWORD timeoutMs);
    // Reads lines, all appended to events, until one that starts with
    // prefix; false when none came within timeoutMs.
    bool AwaitEvent(const std::string &prefix, std::vector<std::string> *events, DWORD timeoutMs);
    // Ends it at once and waits until it is gone.
    void Kill();
    bool Running() const;

private:
    bool ReadLine(std::string *line, DWORD deadline);
    void Close();

    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;   // our end of the host's standard input
    HANDLE output_ = nullptr;  // our end of the host's standard output
    std::string pending_;
};
