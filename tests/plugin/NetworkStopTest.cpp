// The window's commands while a download's host name does not resolve:
// under tests/peers/private-names.sh every unknown name waits 30 s on a DNS
// server that never answers. Pause, Delete, Quit and ReleaseDownload must
// not wait for it: each returns at once, and the window answers meanwhile.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Ravlix.h"
#include "host/RavlixLibrary.h"
#include "res/ResourceIds.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/IniText.h"
#include "tests/support/TaskHost.h"

using namespace testing_support;

namespace {

// Far below the resolver's 30 s and the stop's 15 s last resort, and well
// above what a stop takes on a loaded machine.
const DWORD kPromptMs = 3000;

void __cdecl IgnoreProgress(int, int, int) {}

HWND PluginWindow()
{
    return FindWindowA("VexaDownLoad", nullptr);
}

// How long step takes, printed beside its name.
template <typename Step>
DWORD Timed(const char *name, Step step)
{
    DWORD began = GetTickCount();
    step();
    DWORD took = GetTickCount() - began;
    printf("%s: %lu ms\n", name, took);
    return took;
}

// Lets the worker reach its name resolution.
void LetTheWorkerResolve()
{
    TaskHost::PumpUntil([] { return false; }, 500);
}

TEST(HangingName, EveryStopReturnsAtOnce)
{
    DeleteFileA(SettingsFilePath().c_str());
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + "ravlix-hanging";
    CreateDirectoryA(folder.c_str(), nullptr);
    WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", (folder + "\\").c_str(), "KELMORA.ini");
    RavlixLibrary api;
    std::string error;
    ASSERT_TRUE(api.Load(&error)) << error;
    DownloadController *controller = api.create();
    ASSERT_EQ(1, api.init(controller, IgnoreProgress, 0));
    const char *url = "http://hang.ravlix.test/f.bin";

    ASSERT_EQ(1, api.start(controller, url, "", "hang.bin", 3));
    LetTheWorkerResolve();
    EXPECT_LT(Timed("pause", [] { SendMessageA(PluginWindow(), WM_COMMAND, IDM_PAUSE_TASK1, 0); }), kPromptMs);

    SendMessageA(PluginWindow(), WM_COMMAND, IDM_START_TASK1, 0);
    LetTheWorkerResolve();
    EXPECT_LT(Timed("delete", [] { SendMessageA(PluginWindow(), WM_COMMAND, IDM_DELETE_TASK1, 0); }), kPromptMs);

    ASSERT_EQ(1, api.start(controller, url, "", "hang.bin", 3));
    LetTheWorkerResolve();
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDC_CONFIRM_OK); });
        EXPECT_LT(Timed("quit", [] { SendMessageA(PluginWindow(), WM_COMMAND, IDM_QUIT, 0); }), kPromptMs);
        EXPECT_TRUE(driver.found());
    }
    EXPECT_EQ(url, ProfileValue(SettingsFilePath(), "FILE1", "URLNAME"));

    // The next start restores the task, which resolves the name again.
    EXPECT_EQ(0, api.init(controller, nullptr, 0));
    LetTheWorkerResolve();
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDC_CONFIRM_OK); });
        EXPECT_LT(Timed("release", [&] { api.release(controller); }), kPromptMs);
        EXPECT_TRUE(driver.found());
    }
    EXPECT_EQ(nullptr, PluginWindow());
    FreeLibrary(api.module);
    DeleteFileA(SettingsFilePath().c_str());
}

}  // namespace
