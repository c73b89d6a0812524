// The window at the display's scale, through the exports with the real skin
// engine. CTest runs these cases at 96 DPI and again, through
// tests/support/at-dpi.sh, on displays of 144 and 192 DPI: a DPI-aware
// thread gets a window, hit areas, size texts and dialog pictures at the
// display's scale, an unaware one today's 70 x 70 window (the system scales
// it), and a per-monitor-aware one follows a move to a monitor of another
// scale (WM_DPICHANGED).
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <memory>
#include <string>

#include "res/ResourceIds.h"
#include "tests/plugin/ExportsTest.h"
#include "tests/facetta/EngineHarness.h"
#include "tests/facetta/ScreenShot.h"
#include "tests/peers/PeerFiles.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/IniText.h"
#include "tests/support/TaskHost.h"
#include "tests/support/TooltipText.h"

using namespace testing_support;

namespace {

// The built-in skin at 96 DPI: its size, its next-face button and its text
// area for the received size.
const int kFaceSide = 70;
const RECT kNextFaceButton = {53, 4, 66, 17};
const RECT kReceivedText = {15, 22, 64, 35};

int Scaled(int length, UINT dpi)
{
    return MulDiv(length, static_cast<int>(dpi), 96);
}

RECT Scaled(const RECT &rect, UINT dpi)
{
    return {Scaled(rect.left, dpi), Scaled(rect.top, dpi), Scaled(rect.right, dpi), Scaled(rect.bottom, dpi)};
}

UINT ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The calling thread's DPI awareness for as long as the object lives.
class ThreadAwareness {
public:
    explicit ThreadAwareness(INT_PTR context)
    {
        HMODULE user32 = GetModuleHandleA("user32.dll");
        set_ = reinterpret_cast<Set>(reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
        previous_ = set_ ? set_(reinterpret_cast<HANDLE>(context)) : nullptr;
    }
    ~ThreadAwareness()
    {
        if (previous_)
            set_(previous_);
    }
    bool ok() const { return previous_ != nullptr; }

private:
    typedef HANDLE(WINAPI *Set)(HANDLE);
    Set set_;
    HANDLE previous_;
};

const INT_PTR kUnaware = -1;
const INT_PTR kPerMonitorAware = -3;
const INT_PTR kPerMonitorAwareV2 = -4;

UINT DpiOfWindow(HWND window)
{
    typedef UINT(WINAPI * ForWindow)(HWND);
    auto forWindow = reinterpret_cast<ForWindow>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    return forWindow ? forWindow(window) : 0;
}

SIZE ClientSize(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

int ChosenFace()
{
    return GetPrivateProfileIntA("SKINDLOAD", "FACE", -1, SettingsFilePath().c_str());
}

// The rows of area (relative to both shots) where shot differs from blank:
// how tall the drawn text is; 0 when nothing was drawn.
int InkHeight(const ScreenShot &shot, const ScreenShot &blank, const RECT &area)
{
    int first = -1, last = -1;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (shot.At(x, y) != blank.At(x, y)) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

class DisplayScaleTest : public ExportsTest {
protected:
    void SetUp() override
    {
        // Without the display the launcher was asked for, these cases would
        // quietly test 96 DPI again.
        if (const char *wanted = getenv("RAVLIX_TEST_DPI")) {
            ASSERT_EQ(static_cast<UINT>(atoi(wanted)), ScreenDpi());
        }
        ExportsTest::SetUp();
        if (HasFatalFailure())
            return;
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "ravlix-scale";
        CreateDirectoryA(folder.c_str(), nullptr);
        WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", (folder + "\\").c_str(), "KELMORA.ini");
        // Out of the way of the window, which docks at the top left.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    }

    // A click on the client point of window, with the real pointer; then
    // the pointer goes away again, so that no tooltip covers the window.
    static void Click(HWND window, POINT client)
    {
        ClientToScreen(window, &client);
        ClickAt(client);
        TaskHost::PumpUntil([] { return false; }, 300);
        MovePointerTo({GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1});
    }

    static POINT Centre(const RECT &rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

    static ScreenShot Shot(HWND window, const char *name = nullptr)
    {
        TaskHost::PumpUntil([] { return false; }, 400);  // a few repaints of the size texts
        ScreenShot shot;
        EXPECT_TRUE(shot.Take(ScreenArea(window), name)) << shot.failure();
        return shot;
    }

    std::string folder;
};

TEST_F(DisplayScaleTest, AnAwareWindowItsButtonsTextsAndDialogsFollowTheDisplay)
{
    UINT dpi = ScreenDpi();
    HWND window = InitWindow();
    ASSERT_NE(nullptr, window);
    SIZE size = ClientSize(window);
    EXPECT_EQ(Scaled(kFaceSide, dpi), size.cx);
    EXPECT_EQ(Scaled(kFaceSide, dpi), size.cy);

    // The next-face button where the display's scale puts it; then where it
    // is at 96 DPI, which at a larger scale is no button any more.
    Click(window, Centre(Scaled(kNextFaceButton, dpi)));
    EXPECT_TRUE(TaskHost::PumpUntil([] { return ChosenFace() == 1; }, 3000)) << ChosenFace();
    Click(window, Centre(kNextFaceButton));
    TaskHost::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(dpi == 96 ? 0 : 1, ChosenFace());

    // The size texts of a paused download, against the same face without them.
    ScreenShot blank = Shot(window);
    DeleteFileA((folder + "\\scale.bin").c_str());
    DeleteFileA((folder + "\\scale.bin.hhh").c_str());
    ASSERT_EQ(1, api.start(controller, PeerUrl("RAVLIX_NGINX_PORT", "/trickle/f67108864.bin").c_str(), "",
                           "scale.bin", 1));
    ASSERT_TRUE(TaskHost::PumpUntil([window] { return TooltipTextOfWindow(window).find(" KB/s") != std::string::npos; }, 20000))
        << TooltipTextOfWindow(window);
    SendMessageA(window, WM_COMMAND, IDM_PAUSE_TASK1, 0);
    char name[64];
    wsprintfA(name, "plugin-window-at-%d-percent", Scaled(100, dpi));
    ScreenShot texts = Shot(window, name);
    RECT area = Scaled(kReceivedText, dpi);
    int ink = InkHeight(texts, blank, area);
    // At 96 DPI the 12-pixel digits fill about two thirds of the 13-pixel area;
    // a font left at 12 pixels would fill a third of it at 192.
    EXPECT_GE(ink * 2, area.bottom - area.top) << "text " << ink << " pixels tall in an area of "
                                               << area.bottom - area.top;

    // The Setting dialog's Browse picture is 32 pixels at 96 DPI.
    int browseWidth = 0;
    wsprintfA(name, "setting-dialog-at-%d-percent", Scaled(100, dpi));
    {
        DialogDriver driver([&browseWidth, &name](const SeenDialog &dialog) {
            Sleep(300);  // the dialog draws itself
            RECT frame;
            GetWindowRect(dialog.window, &frame);
            ScreenShot shot;
            EXPECT_TRUE(shot.Take(frame, name)) << shot.failure();
            HWND button = GetDlgItem(dialog.window, IDC_BROWSE);
            HBITMAP picture = reinterpret_cast<HBITMAP>(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
            BITMAP description = {};
            if (picture && GetObjectA(picture, sizeof(description), &description))
                browseWidth = description.bmWidth;
            DialogDriver::Press(dialog, IDCANCEL);
        });
        SendMessageA(window, WM_COMMAND, IDM_SETTING, 0);
    }
    EXPECT_EQ(Scaled(32, dpi), browseWidth);
    SendMessageA(window, WM_COMMAND, IDM_DELETE_TASK1, 0);
}

TEST_F(DisplayScaleTest, AnUnawareThreadGetsTheWindowOf96Dpi)
{
    ThreadAwareness unaware(kUnaware);
    if (!unaware.ok())
        GTEST_SKIP() << "no thread DPI awareness on this system";
    HWND window = InitWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(96u, DpiOfWindow(window));
    SIZE size = ClientSize(window);
    EXPECT_EQ(kFaceSide, size.cx);
    EXPECT_EQ(kFaceSide, size.cy);
}

// Windows suggests where the window goes on the other monitor; the window
// takes that place and the face's size at the new scale, and its buttons
// are where the new scale puts them.
TEST_F(DisplayScaleTest, APerMonitorWindowFollowsAMoveToAnotherScale)
{
    // Version 2 where the system has it (Wine 8 has the first only).
    ThreadAwareness perMonitor(kPerMonitorAwareV2);
    std::unique_ptr<ThreadAwareness> firstVersion;
    if (!perMonitor.ok())
        firstVersion.reset(new ThreadAwareness(kPerMonitorAware));
    if (!perMonitor.ok() && !firstVersion->ok())
        GTEST_SKIP() << "no per-monitor DPI awareness on this system";
    UINT dpi = ScreenDpi();
    HWND window = InitWindow();
    ASSERT_NE(nullptr, window);
    UINT other = dpi * 2;
    RECT suggested = {100, 120, 100 + Scaled(kFaceSide, other), 120 + Scaled(kFaceSide, other)};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(100, frame.left);
    EXPECT_EQ(120, frame.top);
    EXPECT_EQ(Scaled(kFaceSide, other), ClientSize(window).cx);
    Click(window, Centre(Scaled(kNextFaceButton, other)));
    EXPECT_TRUE(TaskHost::PumpUntil([] { return ChosenFace() == 1; }, 3000)) << ChosenFace();

    suggested = {40, 30, 40 + Scaled(kFaceSide, dpi), 30 + Scaled(kFaceSide, dpi)};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(Scaled(kFaceSide, dpi), ClientSize(window).cx);
    Click(window, Centre(Scaled(kNextFaceButton, dpi)));
    EXPECT_TRUE(TaskHost::PumpUntil([] { return ChosenFace() == 0; }, 3000)) << ChosenFace();
}

}  // namespace
