// A host that is killed in the middle of a download: the next host restores
// the task from the record its timer kept fresh, and the file ends
// byte-identical.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "peers/PeerFiles.h"
#include "store/ResumeRecords.h"
#include "tests/support/TaskHost.h"

using namespace testing_support;

namespace {

DWORD RecordedBytes(int section)
{
    char name[16];
    snprintf(name, sizeof(name), "FILE%d", section);
    DWORD sum = 0;
    for (int i = 0; i < 5; ++i) {
        char key[16];
        snprintf(key, sizeof(key), "OFFSET%d", i);
        sum += GetPrivateProfileIntA(name, key, 0, "KELMORA.ini");
    }
    return sum;
}

TEST(CrashResume, AKilledHostResumesFromItsLastRecord)
{
    std::string source;
    ASSERT_TRUE(ReadPeerFile("f67108864.bin", &source));
    TaskHost host;
    std::string command = "KillableHost.exe " + PeerUrl("RAVLIX_NGINX_PORT", "/slow/f67108864.bin") + " killed.bin 4";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    // The child's task takes the first free section.
    bool progressed = TaskHost::PumpUntil([] { return RecordedBytes(1) > 4000000; }, 60000);
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    ASSERT_TRUE(progressed);
    DWORD recorded = RecordedBytes(1);
    EXPECT_TRUE(FileExists(host.PathOf("killed.bin.hhh")));

    // The next host goes on over the fast location of the same file.
    WritePrivateProfileStringA("FILE1", "URLNAME", PeerUrl("RAVLIX_NGINX_PORT", "/f67108864.bin").c_str(),
                               "KELMORA.ini");
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    EXPECT_GE(ReceivedBytes(0), recorded);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_TRUE(FileContents(host.PathOf("killed.bin")) == source);
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE1", "MULTHREAD"));
}

}  // namespace
