// Two host processes on one machine: a host killed in the middle of a
// download is resumed by the next one from the record its timer kept fresh;
// hosts running at once never finalize or restore each other's tasks.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "peers/PeerFiles.h"
#include "store/RecordClaims.h"
#include "store/ResumeRecords.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TaskHost.h"
#include "transfer/TaskRecords.h"

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

// A second host process: KillableHost.exe with the given arguments.
ChildProcess OtherHost(const std::string &arguments)
{
    return ChildProcess("KillableHost.exe " + arguments);
}

TEST(HostProcess, AKilledHostResumesFromItsLastRecord)
{
    std::string source;
    ASSERT_TRUE(ReadPeerFile("f67108864.bin", &source));
    TaskHost host;
    ChildProcess other = OtherHost(PeerUrl("RAVLIX_NGINX_PORT", "/slow/f67108864.bin") + " killed.bin 4");
    ASSERT_TRUE(other.started);
    // The child's task takes the first free section.
    bool progressed = TaskHost::PumpUntil([] { return RecordedBytes(1) > 4000000; }, 60000);
    other.Kill();
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
    EXPECT_EQ("", Difference(host.PathOf("killed.bin"), source));
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE1", "MULTHREAD"));
}

TEST(HostProcess, AnotherHostNeverFinalizesOurTaskNorWeTheirs)
{
    std::string small;
    ASSERT_TRUE(ReadPeerFile("f10007.bin", &small));
    TaskHost host;
    std::string theirs = host.PathOf("theirs.bin.hhh");
    DeleteFileA(theirs.c_str());
    ChildProcess other = OtherHost(PacedUrl(64u << 20) + " theirs.bin 2");
    ASSERT_TRUE(other.started);
    // Until the other host's task holds its temporary file. Its worker creates
    // the file after admission has claimed it; a probe of the claim before
    // then could take it away from that admission.
    ASSERT_TRUE(TaskHost::PumpUntil(
        [&theirs] {
            if (!FileExists(theirs))
                return false;
            HANDLE claim = ClaimTempPath(theirs.c_str());
            ReleaseClaim(claim);
            return claim == nullptr;
        },
        30000))
        << "the other host never held its file";

    // Our completion goes to our own window only: the other host's partial
    // file is never renamed into place, and ours is.
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(PeerUrl("RAVLIX_NGINX_PORT", "/f10007.bin"), "ours.bin", 3));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("ours.bin"), small));
    Sleep(500);
    EXPECT_TRUE(other.Running()) << "the other host ended";
    EXPECT_FALSE(FileExists(host.PathOf("theirs.bin")));
    EXPECT_TRUE(FileExists(host.PathOf("theirs.bin.hhh")));
    // The same file cannot be admitted twice, across processes either.
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, host.Start(PeerUrl("RAVLIX_NGINX_PORT", "/f5000.bin"), "theirs.bin", 1));
    other.Kill();
    DeleteFileA(host.PathOf("theirs.bin.hhh").c_str());
}

TEST(HostProcess, ARecordRestoredByOneHostIsNotRestoredByAnother)
{
    TaskHost host;
    WritePrivateProfileStringA("FILE2", "MULTHREAD", "2", "KELMORA.ini");
    WritePrivateProfileStringA("FILE2", "URLNAME", PeerUrl("RAVLIX_NGINX_PORT", "/slow/f67108864.bin").c_str(),
                               "KELMORA.ini");
    WritePrivateProfileStringA("FILE2", "DESTNAME", host.PathOf("shared.bin.hhh").c_str(), "KELMORA.ini");
    ChildProcess other = OtherHost("--restore");
    ASSERT_TRUE(other.started);
    ASSERT_TRUE(TaskHost::PumpUntil([] { return RecordedBytes(2) > 0; }, 30000));
    EXPECT_EQ(0, RestoreTasks(host.controller.progressCallback));
    EXPECT_TRUE(TaskHost::AllSlotsEmpty());
    // Once that host is gone, the record is free to restore.
    other.Kill();
    LoadedRecord loaded[kSlotCount];
    ASSERT_EQ(1, LoadResumeRecords(loaded, kSlotCount));
    ReleaseClaim(loaded[0].sectionClaim);
    ReleaseClaim(loaded[0].pathClaim);
    DeleteFileA(host.PathOf("shared.bin.hhh").c_str());
}

}  // namespace
