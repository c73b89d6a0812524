#include "HostRun.h"

#include <stdio.h>

#include "tests/support/TaskHost.h"

std::string TestProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\') + 1);
}

HostRun::HostRun(const std::string &arguments) : HostRun(TestProgramFolder() + "RavlixHost.exe", arguments)
{
}

HostRun::HostRun(const std::string &programPath, const std::string &arguments)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    static int serial = 0;
    outputPath_ = std::string(temp) + "ravlix-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(++serial) + ".txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return;
    std::string command = "\"" + programPath + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION child = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        CloseHandle(child.hThread);
        process_ = child.hProcess;
    }
    CloseHandle(output);
}

HostRun::~HostRun()
{
    Kill();
    DeleteFileA(outputPath_.c_str());
}

bool HostRun::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD HostRun::Wait()
{
    DWORD code = 0xFFFFFFFF;
    if (!process_)
        return code;
    WaitForSingleObject(process_, INFINITE);
    GetExitCodeProcess(process_, &code);
    return code;
}

void HostRun::Kill()
{
    if (!process_)
        return;
    TerminateProcess(process_, 9);
    WaitForSingleObject(process_, INFINITE);
    CloseHandle(process_);
    process_ = nullptr;
}

std::string HostRun::Output() const
{
    return testing_support::FileContents(outputPath_);
}

long RecordedBytes(int section)
{
    std::string name = "FILE" + std::to_string(section);
    long sum = 0;
    for (int i = 0; i < 5; ++i)
        sum += GetPrivateProfileIntA(name.c_str(), ("OFFSET" + std::to_string(i)).c_str(), 0, "KELMORA.ini");
    return sum;
}
