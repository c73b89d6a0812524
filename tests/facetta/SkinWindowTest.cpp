// The built-in skin in a real window on the X screen: what the screen shows
// (photographed with import) at known pixels, and what the real pointer's
// clicks, presses and hovering do.
#include <gtest/gtest.h>

#include <memory>

#include "facetta/DefaultSkin.h"
#include "facetta/EngineHarness.h"
#include "facetta/ScreenShot.h"

namespace {

constexpr COLORREF kColorKey = RGB(255, 0, 255);
const POINT kFarAway = {5, 5};

POINT Centre(const RECT &rect)
{
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return centre;
}

class BuiltInWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        MovePointerTo(kFarAway);
        ASSERT_NE(nullptr, engine.get());
        ASSERT_EQ(1, engine.Init(&query));
        window.reset(new SkinWindow(engine, 400, 300, DragsLikePlugin()));
    }

    virtual bool DragsLikePlugin() const { return false; }

    ScreenShot Shoot()
    {
        ScreenShot shot;
        EXPECT_TRUE(shot.Take(ScreenArea(window->hwnd()))) << shot.failure();
        return shot;
    }

    POINT OnScreen(int elementId) { return window->ToScreen(Centre(engine.ElementRect(elementId))); }

    void ExpectEachButtonToSendItsCommand()
    {
        for (int id : {CommandPreviousTask, CommandNextTask, CommandDiscardAll, CommandNextFace}) {
            window->commands.clear();
            ClickAt(OnScreen(id));
            ASSERT_TRUE(window->WaitForCommand(2000)) << id;
            PumpMessages(50);
            EXPECT_EQ(std::vector<int>{id}, window->commands);
        }
    }

    // No settings file: nothing the tests do is remembered.
    TestSkinQuery query{ProgramFolder() + "skins\\", ""};
    EngineHandle engine;
    std::unique_ptr<SkinWindow> window;
};

class DraggingWindow : public BuiltInWindow {
protected:
    bool DragsLikePlugin() const override { return true; }
};

TEST_F(BuiltInWindow, ShowsTheFaceWithItsCornersCutAway)
{
    const DefaultPalette &night = DefaultFacePalette(0);
    RECT received = engine.ElementRect(ElementReceivedText);
    RECT number = engine.ElementRect(ElementTaskNumber);
    ScreenShot shot = Shoot();
    EXPECT_EQ(night.panel, shot.At(received.left + 1, received.top + 1));
    EXPECT_EQ(night.badge, shot.At(number.left + 1, (number.top + number.bottom) / 2));
    // Outside the rounded outline the key colour never reaches the screen.
    EXPECT_NE(kColorKey, shot.At(0, 0));
    EXPECT_NE(night.border, shot.At(0, 0));
    HRGN outline = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(window->hwnd(), outline));
    EXPECT_FALSE(PtInRegion(outline, 0, 0));
    EXPECT_TRUE(PtInRegion(outline, 35, 35));
    DeleteObject(outline);
}

TEST_F(BuiltInWindow, StateElementsShowTheValuesSet)
{
    const DefaultPalette &night = DefaultFacePalette(0);
    RECT paused = engine.ElementRect(ElementPausedState);
    RECT running = engine.ElementRect(ElementRunningState);
    ScreenShot idle = Shoot();
    EXPECT_EQ(0, idle.Count(paused, night.pausedLit));
    EXPECT_EQ(0, idle.Count(running, night.runningLit));
    EXPECT_GT(idle.Count(paused, night.dim), 10);

    EXPECT_EQ(1, engine.SetElementState(ElementPausedState, 1, 1));
    EXPECT_EQ(1, engine.SetElementState(ElementRunningState, 2, 1));
    ScreenShot lit = Shoot();
    EXPECT_GT(lit.Count(paused, night.pausedLit), 10);
    EXPECT_GT(lit.Count(running, night.runningLit), 10);

    EXPECT_EQ(1, engine.SetElementState(ElementPausedState, 0, 1));
    ScreenShot again = Shoot();
    EXPECT_EQ(0, again.Count(paused, night.pausedLit));
    EXPECT_GT(again.Count(running, night.runningLit), 10);
}

TEST_F(BuiltInWindow, UnknownElementsAreRefused)
{
    RECT rect = {1, 2, 3, 4};
    EXPECT_EQ(0, engine.SetElementState(51600, 1, 1));
    EXPECT_EQ(0, engine.GetElementRect(51600, &rect));
    EXPECT_TRUE(IsRectEmpty(&rect));
    EXPECT_EQ(0, engine.GetElementRect(ElementReceivedText, nullptr));
}

TEST_F(BuiltInWindow, TaskNumberShowsOneToThree)
{
    RECT number = engine.ElementRect(ElementTaskNumber);
    RECT inner = number;
    InflateRect(&inner, -2, -2);
    COLORREF badge = DefaultFacePalette(0).badge;
    std::vector<COLORREF> pictures[4];
    int ink[4];
    for (int value = 0; value < 4; ++value) {
        engine.SetElementState(ElementTaskNumber, value, 1);
        ScreenShot shot = Shoot();
        int area = (inner.right - inner.left) * (inner.bottom - inner.top);
        ink[value] = area - shot.Count(inner, badge);
        for (int y = number.top; y < number.bottom; ++y) {
            for (int x = number.left; x < number.right; ++x)
                pictures[value].push_back(shot.At(x, y));
        }
    }
    // Three different digits, of which "1" takes the least ink; values past
    // 2 keep showing "3".
    EXPECT_GT(ink[0], 5);
    EXPECT_LT(ink[0], ink[1]);
    EXPECT_LT(ink[0], ink[2]);
    EXPECT_NE(pictures[1], pictures[2]);
    EXPECT_EQ(pictures[2], pictures[3]);
}

int PixelsNotOf(HWND window, const RECT &rect, COLORREF colour)
{
    HDC dc = GetDC(window);
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x)
            count += GetPixel(dc, x, y) != colour;
    }
    ReleaseDC(window, dc);
    return count;
}

TEST_F(BuiltInWindow, RepaintRectRestoresTheBackgroundUnderTheText)
{
    const DefaultPalette &night = DefaultFacePalette(0);
    RECT received = engine.ElementRect(ElementReceivedText);
    DrawSizeText(engine, window->hwnd(), received, "1234Kb");
    ScreenShot text = Shoot();
    int area = (received.right - received.left) * (received.bottom - received.top);
    EXPECT_LT(text.Count(received, night.panel), area - 20);
    // The engine gave the window's own context the face's text colour.
    EXPECT_GT(text.Count(received, night.text), 20);
    EXPECT_EQ(night.panel, text.At(received.left + 1, received.top + 1));

    // Synchronously: the window shows the plain panel before any message is
    // dispatched.
    ASSERT_EQ(1, engine.RepaintRect(&received));
    EXPECT_EQ(0, PixelsNotOf(window->hwnd(), received, night.panel));
    EXPECT_EQ(area, Shoot().Count(received, night.panel));
}

TEST_F(BuiltInWindow, NextFaceCommandSwitchesFacesInTurn)
{
    RECT received = engine.ElementRect(ElementReceivedText);
    POINT panel = {received.left + 1, received.top + 1};
    EXPECT_EQ(1, engine.Command(CommandNextFace, 0));
    ScreenShot day = Shoot();
    EXPECT_EQ(DefaultFacePalette(1).panel, day.At(panel.x, panel.y));
    DrawSizeText(engine, window->hwnd(), received, "1234Kb");
    EXPECT_GT(Shoot().Count(received, DefaultFacePalette(1).text), 20);

    EXPECT_EQ(1, engine.Command(CommandNextFace, 0));
    EXPECT_EQ(DefaultFacePalette(0).panel, Shoot().At(panel.x, panel.y));
    EXPECT_EQ(0, engine.Command(CommandPreviousTask, 0));
}

TEST_F(BuiltInWindow, EachButtonSendsItsCommandWhenClicked)
{
    ExpectEachButtonToSendItsCommand();
}

TEST_F(DraggingWindow, ButtonsStillWorkWhenThePluginCapturesForADrag)
{
    ExpectEachButtonToSendItsCommand();
}

TEST_F(BuiltInWindow, PressesAwayFromTheButtonsSendNothing)
{
    ClickAt(OnScreen(ElementReceivedText));
    ClickAt(OnScreen(ElementTaskNumber));
    // Pressed on a button, released elsewhere: no click either.
    PressAt(OnScreen(CommandNextTask));
    MovePointerTo(OnScreen(ElementTotalText));
    ReleaseAt(OnScreen(ElementTotalText));
    PumpMessages(300);
    EXPECT_TRUE(window->commands.empty());
}

TEST_F(BuiltInWindow, ButtonsLightUpUnderThePointerAndWhenPressed)
{
    const DefaultPalette &night = DefaultFacePalette(0);
    RECT next = engine.ElementRect(CommandNextTask);
    EXPECT_GT(Shoot().Count(next, night.buttonFill), 20);

    MovePointerTo(OnScreen(CommandNextTask));
    ScreenShot hover = Shoot();
    EXPECT_GT(hover.Count(next, night.hoverFill), 20);
    EXPECT_EQ(0, hover.Count(next, night.buttonFill));

    PressAt(OnScreen(CommandNextTask));
    EXPECT_GT(Shoot().Count(next, night.pressedFill), 20);

    ReleaseAt(OnScreen(CommandNextTask));
    EXPECT_TRUE(window->WaitForCommand(2000));
    EXPECT_GT(Shoot().Count(next, night.hoverFill), 20);

    // Leaving the window (WM_MOUSELEAVE) puts the button back to normal.
    // The leave is noticed on a timer of the system's hover time.
    MovePointerTo(kFarAway);
    UINT hoverTime = 400;
    SystemParametersInfoA(SPI_GETMOUSEHOVERTIME, 0, &hoverTime, 0);
    PumpMessages(hoverTime + 200);
    ScreenShot left = Shoot();
    EXPECT_GT(left.Count(next, night.buttonFill), 20);
    EXPECT_EQ(0, left.Count(next, night.hoverFill));
}

}  // namespace
