// The plug-in as a host drives it, through the exports of the built
// Ravlix.dll only: the window's life from InitDownload to ReleaseDownload and
// whole downloads from nginx, with pictures of the window while they run.
// Before windows.h, which would otherwise bring the old winsock.h.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <initializer_list>
#include <string>

#include "Ravlix.h"
#include "host/RavlixLibrary.h"
#include "netquill/ScriptedServer.h"
#include "peers/PeerFiles.h"
#include "res/ResourceIds.h"
#include "tests/facetta/ScreenShot.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/IniText.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TaskHost.h"
#include "tests/support/TooltipText.h"

using namespace testing_support;

namespace {

volatile LONG gCompletions = 0;
volatile LONG gWrongArguments = 0;

void __cdecl CountCompletion(int a, int b, int c)
{
    if (a != 0 || b != 1 || c != 0)
        InterlockedIncrement(&gWrongArguments);
    InterlockedIncrement(&gCompletions);
}

class WindowLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(SettingsFilePath().c_str());
        std::string error;
        ASSERT_TRUE(api.Load(&error)) << error;
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "ravlix-window";
        CreateDirectoryA(folder.c_str(), nullptr);
        WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", (folder + "\\").c_str(), "KELMORA.ini");
        gCompletions = 0;
        gWrongArguments = 0;
    }

    void TearDown() override
    {
        FreeLibrary(api.module);
        DeleteFileA(SettingsFilePath().c_str());
    }

    std::string PathOf(const char *name) const { return folder + "\\" + name; }

    int Start(DownloadController *controller, const std::string &url, const char *name, int connections)
    {
        DeleteFileA(PathOf(name).c_str());
        DeleteFileA((PathOf(name) + ".hhh").c_str());
        return api.start(controller, url.c_str(), "", name, connections);
    }

    // The downloaded file equals the peer's file of that name.
    void ExpectSameBytes(const char *peerName, const char *name)
    {
        std::string expected;
        ASSERT_TRUE(ReadPeerFile(peerName, &expected));
        EXPECT_TRUE(FileContents(PathOf(name)) == expected) << name << " differs from " << peerName;
    }

    static HWND PluginWindow() { return FindWindowA("VexaDownLoad", nullptr); }

    // The text of the plug-in window's tooltip, through the tooltip's own messages.
    static std::string TooltipText() { return TooltipTextOfWindow(PluginWindow(), "<no tooltip>"); }

    static bool TooltipHolds(const char *part) { return TooltipText().find(part) != std::string::npos; }

    // A picture of the window with its tooltip shown, the cursor resting on the window.
    static void TooltipPicture(const char *name)
    {
        RECT area = ScreenArea(PluginWindow(), 6);
        SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
        HWND tooltip = nullptr;
        TaskHost::PumpUntil(
            [&tooltip] {
                tooltip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr);
                return tooltip && IsWindowVisible(tooltip);
            },
            3000);
        RECT tip;
        if (tooltip && IsWindowVisible(tooltip) && GetWindowRect(tooltip, &tip))
            UnionRect(&area, &area, &tip);
        ScreenShot shot;
        EXPECT_TRUE(shot.Take(area, name)) << shot.failure();
        SetCursorPos(0, 0);
    }

    // What a download that did not end left behind: which of its files are
    // there at what size, and the resume records that the window keeps fresh.
    std::string DescribeDownloads(std::initializer_list<const char *> names) const
    {
        std::string text = "completions " + std::to_string(gCompletions) + "\n";
        for (const char *name : names) {
            for (const std::string &path : {PathOf(name), PathOf(name) + ".hhh"}) {
                WIN32_FILE_ATTRIBUTE_DATA data;
                text += path + ": ";
                text += GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)
                            ? std::to_string(data.nFileSizeLow) + " bytes\n"
                            : "absent\n";
            }
        }
        return text + "KELMORA.ini:\n" + ReadWholeFile(SettingsFilePath());
    }

    static void Picture(const char *name)
    {
        ScreenShot shot;
        EXPECT_TRUE(shot.Take(ScreenArea(PluginWindow(), 6), name)) << shot.failure();
    }

    RavlixLibrary api;  // the sample host's table of the exports
    std::string folder;
};

TEST_F(WindowLifecycleTest, SecondInitReturnsZeroAndKeepsTheWindow)
{
    DownloadController *controller = api.create();
    ASSERT_NE(nullptr, controller);
    EXPECT_EQ(1, api.init(controller, CountCompletion, 7));
    HWND window = PluginWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(0, api.init(controller, nullptr, 8));
    EXPECT_EQ(window, PluginWindow());
    api.release(controller);
    EXPECT_EQ(nullptr, PluginWindow());
    // The class went with the window: a second controller makes its own.
    controller = api.create();
    EXPECT_EQ(1, api.init(controller, CountCompletion, 7));
    EXPECT_NE(nullptr, PluginWindow());
    api.release(controller);
}

TEST_F(WindowLifecycleTest, QuitThenInitRestoresAndResumesTheTask)
{
    DownloadController *controller = api.create();
    ASSERT_EQ(1, api.init(controller, CountCompletion, 0));
    // One connection at 256 KB/s: about four seconds, so that Quit meets it
    // well before its end.
    ASSERT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/trickle/f1048576.bin"), "quit.bin", 1));
    TaskHost::PumpUntil([this] { return FileExists(PathOf("quit.bin.hhh")); });
    TaskHost::PumpUntil([] { return false; }, 700);
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDC_CONFIRM_OK); });
        SendMessageA(PluginWindow(), WM_COMMAND, IDM_QUIT, 0);
        EXPECT_TRUE(driver.found());
        EXPECT_EQ("Download Information", driver.seen().caption);
    }
    EXPECT_FALSE(IsWindowVisible(PluginWindow()));
    EXPECT_NE("<absent>", ProfileValue(SettingsFilePath(), "FILE1", "URLNAME"));

    EXPECT_EQ(0, api.init(controller, nullptr, 0));
    EXPECT_TRUE(IsWindowVisible(PluginWindow()));
    ASSERT_TRUE(TaskHost::PumpUntil([this] { return FileExists(PathOf("quit.bin")); }));
    ExpectSameBytes("f1048576.bin", "quit.bin");
    EXPECT_EQ(1, gCompletions);
    api.release(controller);
}

// A host may start a download before its InitDownload, or never show the
// window: the download's record is still kept fresh (by its worker, while no
// window's timer does), and ReleaseDownload puts the finished file in place.
TEST_F(WindowLifecycleTest, ADownloadStartedWithoutAWindowKeepsItsRecordFreshAndIsPutInPlace)
{
    DownloadController *controller = api.create();
    // One connection at 256 KB/s: about four seconds.
    ASSERT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/trickle/f1048576.bin"), "early.bin", 1));
    EXPECT_EQ(nullptr, PluginWindow());
    EXPECT_TRUE(TaskHost::PumpUntil([] { return atoll(RecordValue(1, "OFFSET0").c_str()) > 300000; }, 6000))
        << "the record still says " << RecordValue(1, "OFFSET0");
    // No InitDownload gave a callback to tell the end: the rest takes 3 s at most.
    TaskHost::PumpUntil([] { return false; }, 9000);
    api.release(controller);
    ExpectSameBytes("f1048576.bin", "early.bin");
    EXPECT_FALSE(FileExists(PathOf("early.bin.hhh")));
    EXPECT_EQ("0", RecordValue(1, "MULTHREAD"));
}

// A cap given through the export holds five connections at once and is kept
// for later starts; lifted while they run, it lets them finish.
TEST_F(WindowLifecycleTest, ACapHoldsFiveConnectionsUntilItIsLiftedWhileTheyRun)
{
    DownloadController *controller = api.create();
    ASSERT_EQ(1, api.setSpeedCap(controller, 256 * 1024));
    EXPECT_EQ("262144", ProfileValue(SettingsFilePath(), "DOWNLOAD", "SPEEDCAP"));
    ASSERT_EQ(1, api.init(controller, CountCompletion, 0));
    ASSERT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/f67108864.bin"), "capped.bin", 5));
    // Uncapped, the local nginx's 64 MiB take a second or two; capped, the
    // first reads and 256 KiB a second.
    TaskHost::PumpUntil([] { return false; }, 5000);
    EXPECT_FALSE(FileExists(PathOf("capped.bin")));
    long long claimed = 0;
    for (int i = 0; i < 5; ++i)
        claimed += atoll(RecordValue(1, ("OFFSET" + std::to_string(i)).c_str()).c_str());
    EXPECT_LT(claimed, 8ll << 20);
    ASSERT_EQ(1, api.setSpeedCap(controller, 0));
    EXPECT_TRUE(TaskHost::PumpUntil([this] { return FileExists(PathOf("capped.bin")); }, 60000))
        << DescribeDownloads({"capped.bin"});
    api.release(controller);
    ExpectSameBytes("f67108864.bin", "capped.bin");
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "DOWNLOAD", "SPEEDCAP"));
}

// Yielding measures the server's round trips beside the download and paces
// it by them: on a line nothing else uses, the download still ends, whole,
// and a release while the measuring thread runs leaves nothing behind.
TEST_F(WindowLifecycleTest, ADownloadThatYieldsToOtherTrafficEndsWhole)
{
    DownloadController *controller = api.create();
    ASSERT_EQ(1, api.setBackgroundMode(controller, 1));
    ASSERT_EQ(1, api.init(controller, CountCompletion, 0));
    ASSERT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/f67108864.bin"), "yielding.bin", 5));
    EXPECT_TRUE(TaskHost::PumpUntil([this] { return FileExists(PathOf("yielding.bin")); }, 120000))
        << DescribeDownloads({"yielding.bin"});
    api.release(controller);
    ExpectSameBytes("f67108864.bin", "yielding.bin");
    EXPECT_EQ("1", ProfileValue(SettingsFilePath(), "DOWNLOAD", "BACKGROUND"));
}

// ReleaseDownload during a download asks; either answer leaves the task
// saved and gone (its temporary file no longer open).
TEST_F(WindowLifecycleTest, ReleaseWhileDownloadingAsksAndSavesAfterOkAndAfterCancel)
{
    for (int button : {IDC_CONFIRM_OK, IDC_CONFIRM_CANCEL}) {
        DeleteFileA(SettingsFilePath().c_str());
        WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", (folder + "\\").c_str(), "KELMORA.ini");
        DownloadController *controller = api.create();
        ASSERT_EQ(1, api.init(controller, CountCompletion, 0));
        // At 256 KB/s this takes minutes: the release always meets it running.
        std::string url = PeerUrl("RAVLIX_NGINX_PORT", "/trickle/f67108864.bin");
        ASSERT_EQ(1, Start(controller, url, "release.bin", 1));
        TaskHost::PumpUntil([this] { return FileExists(PathOf("release.bin.hhh")); });
        TaskHost::PumpUntil([] { return false; }, 500);
        {
            DialogDriver driver([button](const SeenDialog &dialog) { DialogDriver::Press(dialog, button); });
            api.release(controller);
            EXPECT_TRUE(driver.found()) << button;
        }
        EXPECT_EQ(url, ProfileValue(SettingsFilePath(), "FILE1", "URLNAME")) << button;
        EXPECT_TRUE(DeleteFileA(PathOf("release.bin.hhh").c_str())) << "still open after " << button;
        EXPECT_EQ(nullptr, PluginWindow());
    }
}

TEST_F(WindowLifecycleTest, ThreeDownloadsFromNginxEndToEnd)
{
    std::string historyPath = testing_support::ProgramFolder(api.module) + "Vorazuvud.ini";
    DeleteFileA(historyPath.c_str());

    DownloadController *controller = api.create();
    ASSERT_EQ(1, api.init(controller, CountCompletion, 12345));
    EXPECT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/slow/f67108864.bin"), "big.bin", 5));
    EXPECT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/trickle/f1048576.bin"), "mid.bin", 3));
    EXPECT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/f10007.bin"), "small.bin", 2));
    TaskHost::PumpUntil([] { return false; }, 1500);
    Picture("plugin-window-downloading");
    TaskHost::PumpUntil([] { return false; }, 3000);
    Picture("plugin-window-rotated");
    ASSERT_TRUE(TaskHost::PumpUntil([this] {
        return gCompletions == 3 && FileExists(PathOf("big.bin")) && FileExists(PathOf("mid.bin")) &&
               FileExists(PathOf("small.bin"));
    })) << DescribeDownloads({"big.bin", "mid.bin", "small.bin"});
    TaskHost::PumpUntil([] { return false; }, 300);
    Picture("plugin-window-idle");
    EXPECT_EQ(0, gWrongArguments);
    ExpectSameBytes("f67108864.bin", "big.bin");
    ExpectSameBytes("f1048576.bin", "mid.bin");
    ExpectSameBytes("f10007.bin", "small.bin");
    std::string names;
    for (const char *section : {"FILE0", "FILE1", "FILE2"})
        names += ProfileValue(historyPath, section, "NAME") + ";";
    EXPECT_NE(std::string::npos, names.find("big.bin;"));
    EXPECT_NE(std::string::npos, names.find("mid.bin;"));
    EXPECT_NE(std::string::npos, names.find("small.bin;"));
    api.release(controller);
    EXPECT_EQ(nullptr, PluginWindow());
}

// The tooltip of a running download tells its speed and, a few seconds on,
// the time left; a paused one says so; one that the server refused says why.
TEST_F(WindowLifecycleTest, TheTooltipTellsSpeedTimeLeftAndWhyItStopped)
{
    DownloadController *controller = api.create();
    ASSERT_EQ(1, api.init(controller, CountCompletion, 0));
    // 256 KB/s over one connection: minutes for 64 MiB.
    ASSERT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/trickle/f67108864.bin"), "tip.bin", 1));
    EXPECT_TRUE(TaskHost::PumpUntil([] { return TooltipHolds(" left"); }, 20000)) << TooltipText();
    std::string running = TooltipText();
    EXPECT_EQ(0u, running.find("tip.bin\r\n")) << running;
    EXPECT_NE(std::string::npos, running.find("% of 64.0 MB\r\n")) << running;
    EXPECT_NE(std::string::npos, running.find(" KB/s\r\n")) << running;
    TooltipPicture("plugin-window-tooltip");

    SendMessageA(PluginWindow(), WM_COMMAND, IDM_PAUSE_TASK1, 0);
    EXPECT_TRUE(TaskHost::PumpUntil([] { return TooltipHolds("\r\nPaused"); }, 5000)) << TooltipText();
    EXPECT_FALSE(TooltipHolds("/s")) << TooltipText();
    SendMessageA(PluginWindow(), WM_COMMAND, IDM_DELETE_TASK1, 0);

    ASSERT_EQ(1, Start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/missing.bin"), "missing.bin", 3));
    EXPECT_TRUE(TaskHost::PumpUntil([] { return TooltipHolds("Stopped:"); }, 20000)) << TooltipText();
    EXPECT_EQ("missing.bin\r\nStopped: server answered 404 Not Found", TooltipText());
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDC_CONFIRM_OK); });
        api.release(controller);
    }
    EXPECT_EQ(nullptr, PluginWindow());
}

// A server that refuses one segment's range once: the window's own timer
// gets the task going again, and the file arrives whole.
TEST_F(WindowLifecycleTest, TheWindowRecoversADownloadWhoseRangeWasRefused)
{
    const std::string body = Pattern(3000000);
    ScriptedServer server([&body](ScriptedConnection &connection) {
        if (!connection.ReadRequest())
            return;
        unsigned long long first = 0, last = body.size() - 1;
        // The probe and segment 0 come first; segment 1's request is refused.
        if (connection.Index() == 2 || !connection.AskedRange(&first, &last)) {
            const char *status = connection.Index() == 2 ? "503 Service Unavailable" : "200 OK";
            std::string length = connection.Index() == 2 ? "0" : std::to_string(body.size());
            if (connection.Send(std::string("HTTP/1.1 ") + status + "\r\nContent-Length: " + length +
                                "\r\nConnection: close\r\n\r\n") &&
                connection.Index() != 2)
                connection.Send(body);
            return;
        }
        connection.Send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
                        std::to_string(last) + "/" + std::to_string(body.size()) +
                        "\r\nContent-Length: " + std::to_string(last - first + 1) +
                        "\r\nConnection: close\r\n\r\n");
        connection.Send(body.substr(first, last - first + 1));
    });
    DownloadController *controller = api.create();
    ASSERT_EQ(1, api.init(controller, CountCompletion, 0));
    ASSERT_EQ(1, Start(controller, server.Url("/refused.bin"), "refused.bin", 3));
    ASSERT_TRUE(TaskHost::PumpUntil([this] { return gCompletions == 1 && FileExists(PathOf("refused.bin")); },
                                    30000))
        << DescribeDownloads({"refused.bin"});
    EXPECT_TRUE(FileContents(PathOf("refused.bin")) == body);
    EXPECT_GE(server.Connections(), 5) << "segment 1 was asked for again";
    api.release(controller);
}

}  // namespace
