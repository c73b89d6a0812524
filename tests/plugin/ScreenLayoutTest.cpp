// The window on a desktop of two monitors of 800 x 600 side by side, and on
// one monitor after the second is gone, through the exports with the real
// skin engine. tests/support/on-screens.sh gives each case its monitors
// (RAVLIX_TEST_SCREENS): a display server and a wineserver of their own.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "res/ResourceIds.h"
#include "tests/plugin/ExportsTest.h"
#include "tests/support/IniText.h"

using namespace testing_support;

namespace {

const RECT kFirst = {0, 0, 800, 600};
const RECT kSecond = {800, 0, 1600, 600};

void WriteDock(int style, int left, int top)
{
    std::string path = SettingsFilePath();
    WritePrivateProfileStringA("DOWNLOAD", "DOCKSTYLE", std::to_string(style).c_str(), path.c_str());
    WritePrivateProfileStringA("DOWNLOAD", "DOCKLEFT", std::to_string(left).c_str(), path.c_str());
    WritePrivateProfileStringA("DOWNLOAD", "DOCKTOP", std::to_string(top).c_str(), path.c_str());
}

RECT WindowRect(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

bool Inside(const RECT &rect, const RECT &area)
{
    return rect.left >= area.left && rect.top >= area.top && rect.right <= area.right && rect.bottom <= area.bottom;
}

std::string Describe(const RECT &rect)
{
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
           std::to_string(rect.bottom);
}

class ScreenLayoutTest : public ExportsTest {
protected:
    // A drag with the left button from the window's client point from, the
    // cursor passing through each screen point of path.
    static void Drag(HWND window, POINT from, std::initializer_list<POINT> path)
    {
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        for (POINT point : path) {
            SetCursorPos(point.x, point.y);
            SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, 0);
        }
        SendMessageA(window, WM_LBUTTONUP, 0, 0);
    }

};

typedef ScreenLayoutTest TwoScreens;
typedef ScreenLayoutTest OneScreenLeft;

TEST_F(TwoScreens, AWindowDroppedOnTheSecondScreenStaysAndDocksInItsCorners)
{
    ASSERT_EQ(2, GetSystemMetrics(SM_CMONITORS));
    WriteDock(0, 0, 0);
    HWND window = InitWindow();
    ASSERT_NE(nullptr, window);
    RECT rect = WindowRect(window);
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    EXPECT_EQ(0, rect.left);

    // Along the first screen's bottom, then over to the second's.
    Drag(window, {w / 2, h / 2}, {{400, 590}, {1200, 590}});
    rect = WindowRect(window);
    EXPECT_TRUE(Inside(rect, kSecond)) << Describe(rect);
    EXPECT_EQ(600, rect.bottom);
    // A press and release in place keeps it there.
    Drag(window, {w / 2, h / 2}, {});
    RECT after = WindowRect(window);
    EXPECT_TRUE(EqualRect(&rect, &after)) << Describe(after);

    // The corners are those of the screen the window is on.
    const struct {
        int style;
        POINT corner;
    } corners[] = {{3, {1600 - w, 600 - h}}, {0, {800, 0}}, {1, {800, 600 - h}}, {2, {1600 - w, 0}}};
    for (const auto &c : corners) {
        WriteDock(c.style, 0, 0);
        rect = WindowRect(InitWindow());
        EXPECT_EQ(c.corner.x, rect.left) << "style " << c.style;
        EXPECT_EQ(c.corner.y, rect.top) << "style " << c.style;
    }

    // A position saved on the second screen is taken as it is.
    WriteDock(4, 1000, 200);
    rect = WindowRect(InitWindow());
    EXPECT_EQ(1000, rect.left);
    EXPECT_EQ(200, rect.top);
}

// The same saved position once the second screen is gone: the window comes
// back onto the screen there is, at its left side as any position beyond
// the screen does.
TEST_F(OneScreenLeft, APositionSavedOnTheGoneScreenComesBackOntoThisOne)
{
    ASSERT_EQ(1, GetSystemMetrics(SM_CMONITORS));
    WriteDock(4, 1000, 200);
    HWND window = InitWindow();
    ASSERT_NE(nullptr, window);
    RECT rect = WindowRect(window);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(200, rect.top);
    EXPECT_TRUE(Inside(rect, kFirst)) << Describe(rect);
}

}  // namespace
