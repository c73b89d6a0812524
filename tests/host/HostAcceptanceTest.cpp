// The host program end to end, as its users run it: RavlixHost.exe started as
// a process against nginx and Python's http.server, killed and started again,
// and paused and resumed through the floating window's commands. Every
// download is compared with its source byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "HostRun.h"
#include "peers/PeerFiles.h"
#include "tests/support/GeneratedBytes.h"
#include "tests/support/IniText.h"
#include "tests/support/TaskHost.h"

using namespace testing_support;

namespace {

const WPARAM kStartAll = 40001;
const WPARAM kPauseAll = 40002;

class HostAcceptanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(SettingsFilePath().c_str());
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "ravlix-host-acceptance";
        CreateDirectoryA(folder.c_str(), nullptr);
    }

    void TearDown() override { DeleteFileA(SettingsFilePath().c_str()); }

    std::string PathOf(const std::string &name) const { return folder + "\\" + name; }

    // The host's arguments for a run into this test's folder; removes what
    // an earlier run left under that name.
    std::string Arguments(const std::string &options, const std::string &name) const
    {
        DeleteFileA(PathOf(name).c_str());
        DeleteFileA((PathOf(name) + ".hhh").c_str());
        return "--folder \"" + folder + "\" " + options;
    }

    void ExpectSameBytes(const char *peerName, const std::string &name)
    {
        std::string expected;
        ASSERT_TRUE(ReadPeerFile(peerName, &expected));
        EXPECT_EQ("", Difference(PathOf(name), expected));
    }

    std::string folder;
};

TEST_F(HostAcceptanceTest, DownloadsFromNginxAndPythonAtOnce)
{
    std::string nginx = PeerUrl("RAVLIX_NGINX_PORT", "/slow/f67108864.bin");
    std::string python = PeerUrl("RAVLIX_PYTHON_PORT", "/f1048576.bin");
    Arguments("", "f1048576.bin");
    HostRun host(Arguments("--exit-when-done --connections 5 " + nginx + " " + python, "f67108864.bin"));
    ASSERT_TRUE(host.started());
    EXPECT_EQ(0u, host.Wait()) << host.Output();
    std::string output = host.Output();
    EXPECT_NE(std::string::npos, output.find("admitted " + nginx)) << output;
    EXPECT_NE(std::string::npos, output.find("admitted " + python)) << output;
    EXPECT_NE(std::string::npos, output.find("released: 2 of 2 downloads finished")) << output;
    ExpectSameBytes("f67108864.bin", "f67108864.bin");
    ExpectSameBytes("f1048576.bin", "f1048576.bin");
}

TEST_F(HostAcceptanceTest, FetchesThreeDownloadsFromNginxAtOnce)
{
    const char *names[] = {"f67108864.bin", "f1048576.bin", "f10007.bin"};
    std::string urls;
    for (const char *name : names) {
        Arguments("", name);
        urls += " " + PeerUrl("RAVLIX_NGINX_PORT", (std::string("/slow/") + name).c_str());
    }
    HostRun host(Arguments("--exit-when-done --connections 5" + urls, names[0]));
    ASSERT_TRUE(host.started());
    EXPECT_EQ(0u, host.Wait()) << host.Output();
    EXPECT_NE(std::string::npos, host.Output().find("released: 3 of 3 downloads finished")) << host.Output();
    for (const char *name : names)
        ExpectSameBytes(name, name);
}

TEST_F(HostAcceptanceTest, AKilledHostResumesWhenStartedAgain)
{
    const unsigned long long size = 64u << 20;
    std::string url = PacedUrl(size);
    std::string arguments = Arguments("--connections 4 --name killed.bin " + url, "killed.bin");
    long recorded = 0;
    {
        HostRun first(arguments);
        ASSERT_TRUE(first.started());
        // The window's timer keeps the record of a running download fresh.
        ASSERT_TRUE(TaskHost::PumpUntil([] { return RecordedBytes(1) > 4000000; }, 120000)) << first.Output();
        first.Kill();
        recorded = RecordedBytes(1);
    }
    EXPECT_TRUE(FileExists(PathOf("killed.bin.hhh")));
    EXPECT_FALSE(FileExists(PathOf("killed.bin")));

    // The next start restores the saved download, which then already fetches the URL.
    HostRun second("--exit-when-done --connections 4 --name killed.bin " + url);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(0u, second.Wait()) << second.Output();
    EXPECT_NE(std::string::npos, second.Output().find("code 2")) << second.Output();
    EXPECT_GT(recorded, 4000000);
    EXPECT_EQ("", DifferenceFromGenerated(PathOf("killed.bin"), 0, size, size));
}

// The cap one host was given holds the host that resumes its download after
// a kill, though that one was given none; a third lifts it, and the
// download ends whole.
TEST_F(HostAcceptanceTest, ACappedDownloadResumedAfterAKillHoldsTheCap)
{
    std::string url = PeerUrl("RAVLIX_NGINX_PORT", "/f67108864.bin");
    long recorded = 0;
    {
        HostRun first(Arguments("--limit 512k --connections 5 --name capped.bin " + url, "capped.bin"));
        ASSERT_TRUE(first.started());
        ASSERT_TRUE(TaskHost::PumpUntil([] { return RecordedBytes(1) > 1000000; }, 60000)) << first.Output();
        first.Kill();
        recorded = RecordedBytes(1);
    }
    EXPECT_EQ("524288", ProfileValue(SettingsFilePath(), "DOWNLOAD", "SPEEDCAP"));
    {
        HostRun second("--connections 5 --name capped.bin " + url);
        ASSERT_TRUE(second.started());
        // Uncapped, the local nginx's 64 MiB would be in place within a few
        // seconds; capped, the first reads and 512 KiB a second come.
        TaskHost::PumpUntil([] { return false; }, 6000);
        EXPECT_TRUE(second.Running()) << second.Output();
        EXPECT_FALSE(FileExists(PathOf("capped.bin")));
        EXPECT_LT(RecordedBytes(1), recorded + (8l << 20));
        second.Kill();
    }
    HostRun third("--exit-when-done --limit 0 --connections 5 --name capped.bin " + url);
    ASSERT_TRUE(third.started());
    EXPECT_EQ(0u, third.Wait()) << third.Output();
    ExpectSameBytes("f67108864.bin", "capped.bin");
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "DOWNLOAD", "SPEEDCAP"));
}

TEST_F(HostAcceptanceTest, PausesAndResumesThroughTheWindowsCommands)
{
    std::string url = PeerUrl("RAVLIX_NGINX_PORT", "/slow/f67108864.bin");
    HostRun host(Arguments("--exit-when-done --connections 5 --name paused.bin " + url, "paused.bin"));
    ASSERT_TRUE(host.started());
    HWND window = nullptr;
    ASSERT_TRUE(TaskHost::PumpUntil([&window, this] {
        window = FindWindowA("VexaDownLoad", nullptr);
        return window && FileExists(PathOf("paused.bin.hhh"));
    }, 60000)) << host.Output();

    PostMessageA(window, WM_COMMAND, kPauseAll, 0);
    // A paused download's record, refreshed every few seconds while it runs,
    // stops moving, and its file never completes.
    TaskHost::PumpUntil([] { return false; }, 3000);
    long paused = RecordedBytes(1);
    TaskHost::PumpUntil([] { return false; }, 3000);
    EXPECT_EQ(paused, RecordedBytes(1));
    EXPECT_TRUE(host.Running());
    EXPECT_FALSE(FileExists(PathOf("paused.bin")));

    PostMessageA(window, WM_COMMAND, kStartAll, 0);
    EXPECT_EQ(0u, host.Wait()) << host.Output();
    ExpectSameBytes("f67108864.bin", "paused.bin");
}

}  // namespace
