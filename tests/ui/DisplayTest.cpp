// The progress display: rotation over the tasks, the arrow commands, the
// skin element states, the size texts and the repaint's GDI and USER usage.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/DibPicture.h"
#include "tests/ui/UiHarness.h"
#include "ui/ProgressDisplay.h"

using namespace testing_support;

namespace {

// The pixels of rect in dc, as 32-bit words.
std::vector<DWORD> Pixels(HDC dc, const RECT &rect)
{
    DibPicture picture(dc, rect.right - rect.left, rect.bottom - rect.top);
    BitBlt(picture.dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, dc, rect.left, rect.top, SRCCOPY);
    return picture.Pixels();
}

// What the window shows in rect when text is drawn there over background, as
// the display draws it: the 12-pixel SimHei size font, right-aligned, centred.
std::vector<DWORD> Rendered(HDC dc, const RECT &rect, const std::vector<DWORD> &background, const char *text)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    DibPicture picture(dc, width, height);
    memcpy(picture.bits(), background.data(), background.size() * sizeof(DWORD));
    LOGFONTA description;
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
    description.lfHeight = 12;
    description.lfWeight = FW_NORMAL;
    description.lfItalic = description.lfUnderline = description.lfStrikeOut = FALSE;
    description.lfEscapement = description.lfOrientation = 0;
    memcpy(description.lfFaceName, "\xBA\xDA\xCC\xE5", 5);
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ previousFont = SelectObject(picture.dc(), font);
    SetBkMode(picture.dc(), TRANSPARENT);
    RECT box = {0, 0, width, height};
    DrawTextA(picture.dc(), text, lstrlenA(text), &box, DT_RIGHT | DT_VCENTER);
    std::vector<DWORD> pixels = picture.Pixels();
    SelectObject(picture.dc(), previousFont);
    DeleteObject(font);
    return pixels;
}

class DisplayTest : public FloatingWindowTest {
protected:
    // DisplayedTask after each of count rotation steps.
    std::vector<int> Rotate(int count)
    {
        std::vector<int> shown;
        for (int i = 0; i < count; ++i) {
            RotateDisplayedTask(window, WM_TIMER, kRotationTimer, 0);
            shown.push_back(gProcess.displayedTask);
        }
        return shown;
    }
};

TEST_F(DisplayTest, WindowSizeTextsHaveNoMegabytesBelowTwoGigabytes)
{
    const ULONGLONG below = 2147483647u;
    char text[260];
    WindowSizeText(1000, below, text, sizeof(text));
    EXPECT_STREQ("1000b", text);
    WindowSizeText(1001, below, text, sizeof(text));
    EXPECT_STREQ("1Kb", text);
    WindowSizeText(2500000, 2500000, text, sizeof(text));
    EXPECT_STREQ("2500Kb", text);
    WindowSizeText(0, below, text, sizeof(text));
    EXPECT_STREQ("0b", text);
    WindowSizeText(below, below, text, sizeof(text));
    EXPECT_STREQ("2147483Kb", text);
}

TEST_F(DisplayTest, DownloadsOfTwoGigabytesOrMoreShowBothSizesInMegabytes)
{
    char text[260];
    WindowSizeText(2147483648ull, 2147483648ull, text, sizeof(text));
    EXPECT_STREQ("2147Mb", text);
    WindowSizeText(500, 5368709127ull, text, sizeof(text));
    EXPECT_STREQ("0Mb", text);
    WindowSizeText(4294979641ull, 5368709127ull, text, sizeof(text));
    EXPECT_STREQ("4294Mb", text);
    WindowSizeText(5368709127ull, 5368709127ull, text, sizeof(text));
    EXPECT_STREQ("5368Mb", text);
    WindowSizeText(1ull << 40, 1ull << 40, text, sizeof(text));
    EXPECT_STREQ("1099511Mb", text);
}

// The texts are read back from the window: its pixels against the same
// texts drawn over the same background.
TEST_F(DisplayTest, AFiveGigabyteDownloadIsDrawnInMegabytes)
{
    RECT received, total;
    engine.operations->GetElementRect(&engine, ElementReceivedText, &received);
    engine.operations->GetElementRect(&engine, ElementTotalText, &total);
    HDC dc = GetDC(window);
    // A white ground under the black texts; the recording engine paints none.
    FillRect(dc, &received, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FillRect(dc, &total, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    std::vector<DWORD> receivedBackground = Pixels(dc, received), totalBackground = Pixels(dc, total);

    PutTask(0, TaskDownloading, 5, SegmentRunning, "film.bin.hhh", 5368709127ull, 4294979641ull);
    DrawSizes(window);
    std::vector<DWORD> receivedShown = Pixels(dc, received), totalShown = Pixels(dc, total);
    EXPECT_TRUE(receivedShown == Rendered(dc, received, receivedBackground, "4294Mb"));
    EXPECT_TRUE(totalShown == Rendered(dc, total, totalBackground, "5368Mb"));
    // The comparison tells texts apart: neither wrapped nor thousands.
    EXPECT_FALSE(totalShown == Rendered(dc, total, totalBackground, "5368709Kb"));
    EXPECT_FALSE(receivedShown == Rendered(dc, received, receivedBackground, "12Mb"));
    ReleaseDC(window, dc);
}

TEST_F(DisplayTest, RotationWithThreeTasksSwingsBackAndForth)
{
    for (int slot = 0; slot < 3; ++slot)
        PutTask(slot, TaskDownloading, 1, SegmentRunning, "C:\\d\\a.bin.hhh");
    EXPECT_EQ((std::vector<int>{1, 2, 3, 2, 1, 2, 3}), Rotate(7));
}

TEST_F(DisplayTest, RotationWithTwoTasksAndWithOne)
{
    PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh");
    EXPECT_EQ((std::vector<int>{1, 1, 1}), Rotate(3));
    PutTask(1, TaskDownloading, 1, SegmentRunning, "b.hhh");
    // The cursor moved on to 2 after the last 1.
    EXPECT_EQ((std::vector<int>{2, 1, 2, 1}), Rotate(4));
}

TEST_F(DisplayTest, RotationCountsTasksNotSlots)
{
    PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh");
    PutTask(2, TaskPaused, 1, SegmentStopped, "c.hhh");
    EXPECT_EQ((std::vector<int>{1, 2, 1, 2}), Rotate(4));
    // Number 2 is the empty slot 1.
    EXPECT_EQ(1, engine.Last(ElementTaskNumber));
    EXPECT_EQ(0, engine.Last(ElementPausedState));
    EXPECT_EQ(0, engine.Last(ElementRunningState));
}

TEST_F(DisplayTest, NoTaskResetsTheRotation)
{
    gProcess.displayedTask = 3;
    gProcess.rotationCursor = 2;
    gProcess.rotationDirection = 0;
    EXPECT_EQ((std::vector<int>{1, 1}), Rotate(2));
    EXPECT_EQ(1, gProcess.rotationCursor);
    EXPECT_EQ(1, gProcess.rotationDirection);
    EXPECT_EQ(0, engine.Last(ElementTaskNumber));
    EXPECT_EQ(0, engine.Last(ElementPausedState));
    EXPECT_EQ(0, engine.Last(ElementRunningState));
}

TEST_F(DisplayTest, ArrowCommandsMoveWithinOneToThreeAndRotationGoesOnFromItsCursor)
{
    PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh");
    PutTask(1, TaskDownloading, 1, SegmentRunning, "b.hhh");
    EXPECT_EQ((std::vector<int>{1}), Rotate(1));
    SendMessageA(window, WM_COMMAND, CommandPreviousTask, 0);
    EXPECT_EQ(1, gProcess.displayedTask);
    SendMessageA(window, WM_COMMAND, CommandNextTask, 0);
    SendMessageA(window, WM_COMMAND, CommandNextTask, 0);
    SendMessageA(window, WM_COMMAND, CommandNextTask, 0);
    EXPECT_EQ(3, gProcess.displayedTask);
    EXPECT_EQ(2, engine.Last(ElementTaskNumber));  // the arrows refresh the elements
    SendMessageA(window, WM_COMMAND, CommandPreviousTask, 0);
    EXPECT_EQ(2, gProcess.displayedTask);
    EXPECT_EQ((std::vector<int>{2, 1}), Rotate(2));
}

TEST_F(DisplayTest, ElementStatesFollowTheDisplayedSlot)
{
    PutTask(0, TaskDownloading, 2, SegmentRunning, "a.hhh");
    PutTask(1, TaskPaused, 2, SegmentStopped, "b.hhh");
    PutTask(2, TaskIdle, 2, SegmentIdle, "c.hhh");
    struct Case {
        int displayed, paused, running;
    } cases[] = {{1, 0, 2}, {2, 1, 2}, {3, 1, 0}};
    for (const Case &c : cases) {
        gProcess.displayedTask = c.displayed;
        engine.states.clear();
        RefreshElementStates();
        ASSERT_EQ(3u, engine.states.size());
        EXPECT_EQ(ElementTaskNumber, engine.states[0].first);
        EXPECT_EQ(c.displayed - 1, engine.states[0].second);
        EXPECT_EQ(ElementPausedState, engine.states[1].first) << "51500 comes before 51501";
        EXPECT_EQ(c.paused, engine.states[1].second) << c.displayed;
        EXPECT_EQ(c.running, engine.states[2].second) << c.displayed;
    }
    RemoveTasks();
    gProcess.displayedTask = 2;
    RefreshElementStates();
    EXPECT_EQ(0, engine.Last(ElementPausedState));
    EXPECT_EQ(0, engine.Last(ElementRunningState));
}

TEST_F(DisplayTest, RepaintRefreshesElementsOnlyForDownloadingOrPausedTasks)
{
    PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh", 5000, 0);
    engine.states.clear();
    EXPECT_EQ(1, DrawSizes(window));
    EXPECT_EQ(2, engine.repaints);
    EXPECT_EQ(3u, engine.states.size());
    RemoveTasks();
    PutTask(0, TaskIdle, 1, SegmentIdle, "a.hhh", 5000, 100);
    engine.states.clear();
    DrawSizes(window);
    EXPECT_TRUE(engine.states.empty());
    EXPECT_EQ(4, engine.repaints);
}

TEST_F(DisplayTest, TimerMessagesRepaintWithoutReachingTheEngine)
{
    PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh", 5000, 1200);
    EXPECT_EQ(1, SendMessageA(window, WM_TIMER, kRepaintTimer, 0));
    EXPECT_EQ(2, engine.repaints);
}

TEST_F(DisplayTest, LongRunOfRepaintsKeepsGdiAndUserObjectCounts)
{
    PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh", 2500000, 1234567);
    StartDisplay(window);
    PumpFor(500);
    DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 2000; ++i)
        DrawSizes(window);
    PumpFor(1000);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi + 2);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user + 2);
    StopDisplay(window);
}

}  // namespace
