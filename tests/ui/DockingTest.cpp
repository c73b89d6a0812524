// Docking on the 1024 x 768 test screen: the nearest edge, placement by dock
// style, the drag along the edges and the snap back into the desktop.
#include <gtest/gtest.h>

#include "store/SettingsFile.h"
#include "tests/ui/UiHarness.h"
#include "ui/Docking.h"

using namespace testing_support;

namespace {

class DockingTest : public FloatingWindowTest {
protected:
    void SetUp() override
    {
        FloatingWindowTest::SetUp();
        ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
        ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
        engine.buttonRect = {0, 0, 0, 0};  // no skin button under the presses
    }

    void WriteDock(const char *style, const char *left = "0", const char *top = "0")
    {
        WritePrivateProfileStringA(kDownloadSection, "DOCKSTYLE", style, kSettingsFile);
        WritePrivateProfileStringA(kDownloadSection, "DOCKLEFT", left, kSettingsFile);
        WritePrivateProfileStringA(kDownloadSection, "DOCKTOP", top, kSettingsFile);
    }

    POINT TopLeft() const
    {
        RECT rect = WindowRect();
        return {rect.left, rect.top};
    }

    void MoveTo(int x, int y) { SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }

    void DragTo(int x, int y)
    {
        SetCursorPos(x, y);
        SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, 0);
    }
};

#define EXPECT_AT(left, top)                 \
    do {                                     \
        POINT corner = TopLeft();            \
        EXPECT_EQ(left, corner.x) << "left"; \
        EXPECT_EQ(top, corner.y) << "top";   \
    } while (0)

TEST_F(DockingTest, NearestEdgeComparesRelativeDistances)
{
    EXPECT_EQ(EdgeBottom, NearestEdge(100, 700));
    EXPECT_EQ(EdgeTop, NearestEdge(512, 384));
    EXPECT_EQ(EdgeLeft, NearestEdge(10, 384));
    EXPECT_EQ(EdgeRight, NearestEdge(1010, 384));
    EXPECT_EQ(EdgeTop, NearestEdge(500, 5));
}

TEST_F(DockingTest, DockStylesPlaceTheWindow)
{
    RECT rect = WindowRect();
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    struct Case {
        const char *style;
        int x, y;
    } cases[] = {{"0", 0, 0}, {"1", 0, 768 - h}, {"2", 1024 - w, 0}, {"3", 1024 - w, 768 - h}};
    for (const Case &c : cases) {
        WriteDock(c.style, "300", "200");
        PlaceByDockStyle(window);
        EXPECT_AT(c.x, c.y);
        EXPECT_EQ(atoi(c.style), controller->dockStyle);
    }
    WriteDock("4", "300", "200");
    PlaceByDockStyle(window);
    EXPECT_AT(300, 200);
    EXPECT_EQ(4, controller->dockStyle);
}

TEST_F(DockingTest, SavedPositionOutsideTheScreenCountsAsZeroAndTheWindowStaysOnIt)
{
    WriteDock("4", "1025", "500");
    PlaceByDockStyle(window);
    EXPECT_AT(0, 500);
    WriteDock("4", "-5", "769");
    PlaceByDockStyle(window);
    EXPECT_AT(0, 0);
    // A position saved on the far sides (or edited there by hand) keeps the
    // whole window on the screen.
    RECT rect;
    GetWindowRect(window, &rect);
    WriteDock("4", "1024", "768");
    PlaceByDockStyle(window);
    EXPECT_AT(1024 - (rect.right - rect.left), 768 - (rect.bottom - rect.top));
}

TEST_F(DockingTest, UnknownStyleLeavesTheWindowAndIsKept)
{
    MoveTo(123, 234);
    WriteDock("7", "10", "10");
    PlaceByDockStyle(window);
    EXPECT_AT(123, 234);
    EXPECT_EQ(7, controller->dockStyle);
    WriteDock("-1");
    PlaceByDockStyle(window);
    EXPECT_AT(123, 234);
}

TEST_F(DockingTest, DragAcrossTheDiagonalJumpsToTheNewEdgeThenFollows)
{
    MoveTo(0, 300);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(35, 35));
    EXPECT_EQ(1, controller->dragging);
    EXPECT_EQ(window, GetCapture());
    EXPECT_EQ(35, controller->dragCursor.x);
    EXPECT_EQ(335, controller->dragCursor.y);
    controller->dragEdge = EdgeLeft;

    DragTo(200, 400);  // still nearest the left edge: slides down by 65
    EXPECT_EQ(EdgeLeft, controller->dragEdge);
    EXPECT_AT(0, 365);

    DragTo(900, 700);  // nearest the bottom now: flush against it, no jump along it
    EXPECT_EQ(EdgeBottom, controller->dragEdge);
    EXPECT_AT(0, 768 - 70);

    DragTo(950, 740);  // follows the cursor along the bottom
    EXPECT_EQ(EdgeBottom, controller->dragEdge);
    EXPECT_AT(50, 768 - 70);

    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(35, 35));
    EXPECT_EQ(0, controller->dragging);
    EXPECT_NE(window, GetCapture());
    EXPECT_AT(50, 768 - 70);
}

TEST_F(DockingTest, PressOnASkinButtonStartsNoDrag)
{
    engine.buttonRect = {30, 30, 40, 40};
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(35, 35));
    EXPECT_EQ(0, controller->dragging);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(1, controller->dragging);
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

TEST_F(DockingTest, ReleasePastTheRightAndBottomSnapsBackWithoutAPress)
{
    MoveTo(1000, 740);
    SendMessageA(window, WM_LBUTTONUP, 0, 0);
    EXPECT_AT(1024 - 70, 768 - 70);
    MoveTo(-20, -30);
    SendMessageA(window, WM_LBUTTONUP, 0, 0);
    EXPECT_AT(0, 0);
}

}  // namespace
