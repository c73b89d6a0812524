// The 32-bit and the 64-bit plug-in share their files: a download that one
// host's plug-in leaves unfinished (paused, or killed mid-transfer) is
// restored by the other architecture's host from the same settings file and
// temporary file, and finishes byte for byte the same as the source. Runs in
// the 64-bit prefix, where the 32-bit host runs beside the 64-bit one as on
// 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string>

#include "HostRun.h"
#include "peers/PeerFiles.h"
#include "tests/support/GeneratedBytes.h"
#include "tests/support/IniText.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TaskHost.h"

using namespace testing_support;

namespace {

const WPARAM kPauseAll = 40002;
const unsigned long long kSourceSize = 64u << 20;

std::string HostOf64BitBuild()
{
    return testing_support::ProgramFolder() + "RavlixHost.exe";
}

std::string HostOf32BitBuild()
{
    const char *path = getenv("RAVLIX_X86_HOST");
    return path ? path : "";
}

class CrossArchitectureResumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The scripts tried the 32-bit loader and found that this machine
        // runs no 32-bit programs: the 32-bit host cannot start here at all.
        const char *no32 = getenv("RAVLIX_NO_32BIT_REASON");
        if (no32 && *no32)
            GTEST_SKIP() << "needs the 32-bit host, and " << no32;
        DeleteFileA(SettingsFilePath().c_str());
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "ravlix-cross-architecture";
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(FileExists(HostOf32BitBuild())) << "the 32-bit build's host is missing: " << HostOf32BitBuild();
    }

    void TearDown() override { DeleteFileA(SettingsFilePath().c_str()); }

    std::string PathOf(const std::string &name) const { return folder + "\\" + name; }

    // The first host fetches from a paced server until the resume
    // record counts 4 MB, is paused through its window or not, and is killed;
    // the second host restores the record and finishes the file.
    void HandOver(const std::string &firstHost, const std::string &secondHost, bool pauseFirst)
    {
        const std::string name = "crossed.bin";
        DeleteFileA(PathOf(name).c_str());
        DeleteFileA((PathOf(name) + ".hhh").c_str());
        std::string url = PacedUrl(kSourceSize);
        std::string download = "--connections 4 --name " + name + " " + url;
        long handedOver = 0;
        {
            HostRun first(firstHost, "--folder \"" + folder + "\" " + download);
            ASSERT_TRUE(first.started()) << firstHost;
            HWND window = nullptr;
            ASSERT_TRUE(TaskHost::PumpUntil([&window] {
                window = FindWindowA("VexaDownLoad", nullptr);
                return window && RecordedBytes(1) > 4000000;
            }, 120000)) << first.Output();
            if (pauseFirst) {
                PostMessageA(window, WM_COMMAND, kPauseAll, 0);
                TaskHost::PumpUntil([] { return false; }, 3000);
                long paused = RecordedBytes(1);
                TaskHost::PumpUntil([] { return false; }, 2000);
                EXPECT_EQ(paused, RecordedBytes(1)) << "the paused download still moves";
            }
            first.Kill();
            handedOver = RecordedBytes(1);
        }
        EXPECT_GT(handedOver, 4000000);
        EXPECT_TRUE(FileExists(PathOf(name) + ".hhh"));
        EXPECT_FALSE(FileExists(PathOf(name)));

        // The restored task already fetches the URL, so the host's own request is a duplicate (code 2).
        HostRun second(secondHost, "--exit-when-done " + download);
        ASSERT_TRUE(second.started()) << secondHost;
        // A host that did not restore the record may stop at a dialog about the temporary file.
        ASSERT_TRUE(TaskHost::PumpUntil([&second] { return !second.Running(); }, 120000)) << second.Output();
        EXPECT_EQ(0u, second.Wait()) << second.Output();
        EXPECT_NE(std::string::npos, second.Output().find("code 2")) << second.Output();
        EXPECT_EQ("", DifferenceFromGenerated(PathOf(name), 0, kSourceSize, kSourceSize));
    }

    std::string folder;
};

TEST_F(CrossArchitectureResumeTest, DownloadPausedBy32BitPluginFinishesIn64BitOne)
{
    HandOver(HostOf32BitBuild(), HostOf64BitBuild(), true);
}

TEST_F(CrossArchitectureResumeTest, DownloadKilledIn64BitPluginFinishesIn32BitOne)
{
    HandOver(HostOf64BitBuild(), HostOf32BitBuild(), false);
}

}  // namespace
