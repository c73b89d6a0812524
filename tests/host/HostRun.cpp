#include "HostRun.h"

#include <stdio.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TaskHost.h"


HostRun::HostRun(const std::string &arguments) : HostRun(testing_support::ProgramFolder() + "RavlixHost.exe", arguments)
{
}

HostRun::HostRun(const std::string &programPath, const std::string &arguments)
{
    static int serial = 0;
    outputPath_ = testing_support::TempFilePath("ravlix-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                std::to_string(++serial) + ".txt");
    HANDLE output = testing_support::OpenInheritableFile(outputPath_, false);
    if (output == INVALID_HANDLE_VALUE)
        return;
    PROCESS_INFORMATION child = {};
    if (testing_support::StartWithHandles("\"" + programPath + "\" " + arguments, nullptr, output, output, &child)) {
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
