// Where the floating window goes on the work areas of a few monitor layouts:
// the 1024 x 768 primary screen alone, a second monitor to its right, a
// 1280 x 1024 one to its left (negative coordinates), and the primary with a
// taskbar at the bottom or on the left. The window is 70 x 70 throughout.
#include <gtest/gtest.h>

#include "ui/MonitorPlacement.h"

namespace {

const RECT kPrimary = {0, 0, 1024, 768};
const RECT kRightOfPrimary = {1024, 0, 2048, 768};
const RECT kLeftOfPrimary = {-1280, 0, 0, 1024};
const RECT kTaskbarBottom = {0, 0, 1024, 728};
const RECT kTaskbarLeft = {40, 0, 1024, 768};
const SIZE kWindow = {70, 70};

TEST(MonitorPlacement, TheNearestEdgeIsTakenFromTheWorkAreaSides)
{
    struct Case {
        const char *what;
        RECT work;
        POINT point;
        int edge;
    } cases[] = {
        {"primary: 768 x 100 > 1024 x 68", kPrimary, {100, 700}, EdgeBottom},
        {"primary: the middle counts as top", kPrimary, {512, 384}, EdgeTop},
        {"primary: near the left", kPrimary, {10, 384}, EdgeLeft},
        {"primary: near the right", kPrimary, {1010, 384}, EdgeRight},
        {"primary: near the top", kPrimary, {500, 5}, EdgeTop},
        {"second to the right: its own bottom", kRightOfPrimary, {1124, 700}, EdgeBottom},
        {"second to the right: its own right", kRightOfPrimary, {2040, 384}, EdgeRight},
        {"second to the right: the seam is its left edge", kRightOfPrimary, {1030, 740}, EdgeLeft},
        {"second to the left: its own left", kLeftOfPrimary, {-1270, 500}, EdgeLeft},
        {"second to the left: the seam is its right edge", kLeftOfPrimary, {-5, 500}, EdgeRight},
        {"second to the left: its own bottom", kLeftOfPrimary, {-640, 1000}, EdgeBottom},
        {"taskbar at the bottom: the screen's middle is in the lower half", kTaskbarBottom, {512, 384}, EdgeBottom},
        {"taskbar at the bottom: the work area's middle counts as top", kTaskbarBottom, {512, 364}, EdgeTop},
        {"taskbar on the left: the screen's middle is in the left half", kTaskbarLeft, {512, 384}, EdgeLeft},
        {"taskbar on the left: the work area's middle counts as top", kTaskbarLeft, {532, 384}, EdgeTop},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.edge, EdgeNearestIn(c.work, c.point)) << c.what;
}

TEST(MonitorPlacement, SlidingKeepsTheWindowFlushAgainstTheWorkAreaEdge)
{
    struct Case {
        const char *what;
        RECT work;
        int edge, position;
        POINT corner;
    } cases[] = {
        {"primary, left", kPrimary, EdgeLeft, 365, {0, 365}},
        {"primary, right", kPrimary, EdgeRight, 365, {954, 365}},
        {"primary, top", kPrimary, EdgeTop, 50, {50, 0}},
        {"primary, bottom", kPrimary, EdgeBottom, 50, {50, 698}},
        {"primary, no edge: the top-left corner", kPrimary, 9, 50, {0, 0}},
        {"the position along the edge is not limited", kPrimary, EdgeBottom, 2000, {2000, 698}},
        {"second to the right, left", kRightOfPrimary, EdgeLeft, 300, {1024, 300}},
        {"second to the right, right", kRightOfPrimary, EdgeRight, 300, {1978, 300}},
        {"second to the right, bottom", kRightOfPrimary, EdgeBottom, 1500, {1500, 698}},
        {"second to the left, left", kLeftOfPrimary, EdgeLeft, 300, {-1280, 300}},
        {"second to the left, right", kLeftOfPrimary, EdgeRight, 300, {-70, 300}},
        {"second to the left, top", kLeftOfPrimary, EdgeTop, -600, {-600, 0}},
        {"second to the left, bottom", kLeftOfPrimary, EdgeBottom, -600, {-600, 954}},
        {"second to the left, no edge", kLeftOfPrimary, -1, 50, {-1280, 0}},
        {"taskbar at the bottom: above it", kTaskbarBottom, EdgeBottom, 50, {50, 658}},
        {"taskbar on the left: beside it", kTaskbarLeft, EdgeLeft, 300, {40, 300}},
    };
    for (const Case &c : cases) {
        POINT corner = FlushAgainstEdge(c.work, c.edge, kWindow, c.position);
        EXPECT_EQ(c.corner.x, corner.x) << c.what;
        EXPECT_EQ(c.corner.y, corner.y) << c.what;
    }
}

TEST(MonitorPlacement, AReleasedWindowIsBroughtBackInsideTheWorkArea)
{
    struct Case {
        const char *what;
        RECT work, window;
        POINT corner;
    } cases[] = {
        {"primary: inside stays", kPrimary, {300, 200, 370, 270}, {300, 200}},
        {"primary: past the right and bottom", kPrimary, {1000, 740, 1070, 810}, {954, 698}},
        {"primary: past the left and top", kPrimary, {-20, -30, 50, 40}, {0, 0}},
        {"primary: wider than the work area, its right side wins", kPrimary, {-10, 0, 1100, 70}, {-86, 0}},
        {"second to the right: past its right", kRightOfPrimary, {2000, 100, 2070, 170}, {1978, 100}},
        {"second to the right: across the seam", kRightOfPrimary, {1010, 100, 1080, 170}, {1024, 100}},
        {"second to the left: past its left and bottom", kLeftOfPrimary, {-1300, 990, -1230, 1060}, {-1280, 954}},
        {"second to the left: across the seam", kLeftOfPrimary, {-30, 10, 40, 80}, {-70, 10}},
        {"taskbar at the bottom: over it", kTaskbarBottom, {300, 700, 370, 770}, {300, 658}},
        {"taskbar on the left: over it", kTaskbarLeft, {10, 300, 80, 370}, {40, 300}},
    };
    for (const Case &c : cases) {
        POINT corner = KeptInside(c.work, c.window);
        EXPECT_EQ(c.corner.x, corner.x) << c.what;
        EXPECT_EQ(c.corner.y, corner.y) << c.what;
    }
}

TEST(MonitorPlacement, DockStylesUseTheWindowsWorkAreaAndTheSavedPointsMonitor)
{
    struct Case {
        const char *what;
        int style;
        RECT windowWork;
        POINT saved;
        RECT savedWork;
        bool placed;
        POINT corner;
    } cases[] = {
        {"primary, left top", DockLeftTop, kPrimary, {300, 200}, kPrimary, true, {0, 0}},
        {"primary, left bottom", DockLeftBottom, kPrimary, {300, 200}, kPrimary, true, {0, 698}},
        {"primary, right top", DockRightTop, kPrimary, {300, 200}, kPrimary, true, {954, 0}},
        {"primary, right bottom", DockRightBottom, kPrimary, {300, 200}, kPrimary, true, {954, 698}},
        {"primary, saved", DockAutoSave, kPrimary, {300, 200}, kPrimary, true, {300, 200}},
        {"primary, saved left past the width", DockAutoSave, kPrimary, {1025, 500}, kPrimary, true, {0, 500}},
        {"primary, saved left and top outside", DockAutoSave, kPrimary, {-5, 769}, kPrimary, true, {0, 0}},
        // The whole window ends inside the work area: a point saved on (or
        // hand-edited near) the right or bottom side takes off its size.
        {"primary, saved on the far sides", DockAutoSave, kPrimary, {1024, 768}, kPrimary, true, {954, 698}},
        {"primary, saved partly past the far sides", DockAutoSave, kPrimary, {1000, 740}, kPrimary, true, {954, 698}},
        {"primary, saved flush with the far sides", DockAutoSave, kPrimary, {954, 698}, kPrimary, true, {954, 698}},
        {"saved on the right side of the second", DockAutoSave, kPrimary, {2048, 300}, kRightOfPrimary, true,
         {1978, 300}},
        {"saved on a monitor that is gone", DockAutoSave, kPrimary, {2500, 100}, kPrimary, true, {0, 100}},
        {"saved on the second to the right", DockAutoSave, kPrimary, {1500, 200}, kRightOfPrimary, true, {1500, 200}},
        {"on the second to the right, right top", DockRightTop, kRightOfPrimary, {0, 0}, kPrimary, true, {1978, 0}},
        {"on the second to the left, left top", DockLeftTop, kLeftOfPrimary, {0, 0}, kPrimary, true, {-1280, 0}},
        {"on the second to the left, right bottom", DockRightBottom, kLeftOfPrimary, {0, 0}, kPrimary, true,
         {-70, 954}},
        {"saved on the second to the left", DockAutoSave, kPrimary, {-1000, 300}, kLeftOfPrimary, true, {-1000, 300}},
        {"saved below the second to the left", DockAutoSave, kPrimary, {-1000, 1100}, kLeftOfPrimary, true,
         {-1000, 0}},
        {"taskbar at the bottom, left bottom", DockLeftBottom, kTaskbarBottom, {0, 0}, kTaskbarBottom, true, {0, 658}},
        {"taskbar at the bottom, right bottom", DockRightBottom, kTaskbarBottom, {0, 0}, kTaskbarBottom, true,
         {954, 658}},
        {"taskbar at the bottom, saved on it", DockAutoSave, kTaskbarBottom, {300, 750}, kTaskbarBottom, true,
         {300, 0}},
        {"taskbar at the bottom, saved on its edge", DockAutoSave, kTaskbarBottom, {300, 728}, kTaskbarBottom, true,
         {300, 658}},
        {"taskbar on the left, left top", DockLeftTop, kTaskbarLeft, {0, 0}, kTaskbarLeft, true, {40, 0}},
        {"taskbar on the left, left bottom", DockLeftBottom, kTaskbarLeft, {0, 0}, kTaskbarLeft, true, {40, 698}},
        {"taskbar on the left, saved on it", DockAutoSave, kTaskbarLeft, {10, 300}, kTaskbarLeft, true, {40, 300}},
        {"unknown style 7", 7, kPrimary, {300, 200}, kPrimary, false, {-7777, -7777}},
        {"no style chosen", -1, kPrimary, {300, 200}, kPrimary, false, {-7777, -7777}},
    };
    for (const Case &c : cases) {
        POINT corner = {-7777, -7777};  // stays when the window is not placed
        EXPECT_EQ(c.placed, DockedPosition(c.style, kWindow, c.windowWork, c.saved, c.savedWork, &corner)) << c.what;
        EXPECT_EQ(c.corner.x, corner.x) << c.what;
        EXPECT_EQ(c.corner.y, corner.y) << c.what;
    }
}

}  // namespace
