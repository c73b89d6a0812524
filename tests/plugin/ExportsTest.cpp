// The exports as a host reaches them: through LoadLibrary of the built
// Ravlix.dll, by their plain names, as the sample host resolves them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Ravlix.h"
#include "host/RavlixLibrary.h"
#include "tests/support/IniText.h"

using namespace testing_support;

namespace {

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(api.Load(&error)) << error;
    }

    void TearDown() override
    {
        if (api.module)
            FreeLibrary(api.module);
    }

    RavlixLibrary api;  // the sample host's table of the six exports
};

int gCallbackCalls = 0;

void __cdecl CountingCallback(int, int, int)
{
    ++gCallbackCalls;
}

TEST_F(ExportsTest, NullControllerDoesNothingAndReturnsZero)
{
    api.release(nullptr);
    EXPECT_EQ(0, api.init(nullptr, CountingCallback, 5));
    EXPECT_EQ(0, api.start(nullptr, "http://127.0.0.1/a.bin", "", nullptr, 1));
    EXPECT_EQ(0, api.nextFace(nullptr));
    EXPECT_EQ(0, api.changeSkin(nullptr, 1));
    EXPECT_EQ(0, api.setSpeedCap(nullptr, 1024));
    EXPECT_EQ(0, api.setBackgroundMode(nullptr, 1));
    EXPECT_EQ(0, gCallbackCalls);
}

// What the speed exports keep in the settings file, and what they refuse
// without changing anything.
TEST_F(ExportsTest, TheSpeedExportsKeepWhatTheyTakeAndRefuseTheRest)
{
    std::string settings = SettingsFilePath();
    DeleteFileA(settings.c_str());
    DownloadController *controller = api.create();
    ASSERT_NE(nullptr, controller);
    struct Case {
        bool cap;  // SetSpeedCap, else SetBackgroundMode
        int value;
        int result;
        const char *speedCap, *background;  // the keys after it
    } cases[] = {
        {true, 4 << 20, 1, "4194304", "0"},
        {true, -1, 0, "4194304", "0"},
        {false, 1, 1, "4194304", "1"},
        {false, 2, 0, "4194304", "1"},
        {false, -1, 0, "4194304", "1"},
        {true, 0x7FFFFFFF, 1, "2147483647", "1"},
        {true, 0, 1, "0", "1"},
        {false, 0, 1, "0", "0"},
    };
    for (const Case &c : cases) {
        int result = c.cap ? api.setSpeedCap(controller, c.value) : api.setBackgroundMode(controller, c.value);
        std::string call = std::string(c.cap ? "SetSpeedCap " : "SetBackgroundMode ") + std::to_string(c.value);
        EXPECT_EQ(c.result, result) << call;
        EXPECT_EQ(c.speedCap, ProfileValue(settings, "DOWNLOAD", "SPEEDCAP")) << call;
        EXPECT_EQ(c.background, ProfileValue(settings, "DOWNLOAD", "BACKGROUND")) << call;
    }
    api.release(controller);
    DeleteFileA(settings.c_str());
}

TEST_F(ExportsTest, CreateAndReleaseWithoutInit)
{
    DownloadController *controller = api.create();
    ASSERT_NE(nullptr, controller);
    EXPECT_EQ(1, api.changeSkin(controller, 2));  // no skin engine yet: changes nothing
    EXPECT_EQ(1, api.nextFace(controller));        // no window: the post goes nowhere
    api.release(controller);
    // No window, no dialog: nothing was left behind that blocks a second controller.
    controller = api.create();
    ASSERT_NE(nullptr, controller);
    api.release(controller);
}

TEST_F(ExportsTest, ManyControllersLeaveNoHandlesBehind)
{
    DWORD before = 0, after = 0;
    DownloadController *warm = api.create();
    api.release(warm);
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 200; ++i)
        api.release(api.create());
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LE(after, before + 2);
}

TEST_F(ExportsTest, ExportsAreUndecoratedCdecl)
{
    // A __cdecl call leaves the stack to the caller: calling through the
    // header's types with mismatched conventions would corrupt ESP here.
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(0, api.changeSkin(nullptr, i));
    EXPECT_EQ(nullptr, GetProcAddress(api.module, "_CreateDownload"));
    EXPECT_EQ(nullptr, GetProcAddress(api.module, "CreateDownload@0"));
}

}  // namespace
