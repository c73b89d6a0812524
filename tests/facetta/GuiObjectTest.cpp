// A long run of the plug-in's repaint against the engine leaves as many GDI
// and USER objects as it found. Wine's GetGuiResources answers 0 for both, so
// the counts are taken by making objects until the system refuses: GDI
// handles per process, USER handles from the wineserver's table, which every
// process shares (hence this program runs alone).
#include <gtest/gtest.h>

#include <string>

#include "facetta/EngineHarness.h"

namespace {

// How many more GDI objects this process can make.
int GdiObjectsLeft()
{
    std::vector<HRGN> made;
    made.reserve(70000);
    while (HRGN region = CreateRectRgn(0, 0, 1, 1))
        made.push_back(region);
    for (HRGN region : made)
        DeleteObject(region);
    return static_cast<int>(made.size());
}

// How many more USER objects can be made.
int UserObjectsLeft()
{
    std::vector<HMENU> made;
    made.reserve(70000);
    while (HMENU menu = CreateMenu())
        made.push_back(menu);
    for (HMENU menu : made)
        DestroyMenu(menu);
    return static_cast<int>(made.size());
}

void DispatchPending()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

LPARAM At(POINT point)
{
    return MAKELPARAM(point.x, point.y);
}

POINT Centre(const RECT &rect)
{
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return centre;
}

// Hover, press and release a button, leave, and repaint the whole window.
void Handle(EngineHandle &engine, SkinWindow &window)
{
    HWND hwnd = window.hwnd();
    POINT button = Centre(engine.ElementRect(CommandPreviousTask));
    PostMessageA(hwnd, WM_MOUSEMOVE, 0, At(button));
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, At(button));
    PostMessageA(hwnd, WM_LBUTTONUP, 0, At(button));
    PostMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    PostMessageA(hwnd, WM_MOUSELEAVE, 0, 0);
    InvalidateRect(hwnd, nullptr, FALSE);
    DispatchPending();
    UpdateWindow(hwnd);
    window.commands.clear();
}

// One tick of the plug-in's 100 ms repaint, with the element states it sets.
void Repaint(EngineHandle &engine, SkinWindow &window, int tick)
{
    std::string received = std::to_string(tick) + "Kb";
    DrawSizeText(engine, window.hwnd(), engine.ElementRect(ElementReceivedText), received.c_str());
    DrawSizeText(engine, window.hwnd(), engine.ElementRect(ElementTotalText), "100000Kb");
    engine.SetElementState(ElementTaskNumber, tick % 3, 1);
    engine.SetElementState(ElementPausedState, tick & 1, 1);
    engine.SetElementState(ElementRunningState, tick & 2, 1);
}

TEST(GuiObjects, AHundredThousandRepaintsLeaveTheCountsAlone)
{
    EngineHandle engine;
    TestSkinQuery query{ProgramFolder() + "skins\\", ""};
    ASSERT_EQ(1, engine.Init(&query));
    SkinWindow window(engine, 600, 100);
    // Every path once, so that whatever the system keeps after a first use
    // is kept before counting.
    for (int selector : {1, 2, 0}) {
        ASSERT_EQ(1, engine.SelectSkin(selector));
        for (int tick = 0; tick < 6; ++tick) {
            engine.Command(CommandNextFace, 0);
            Repaint(engine, window, tick);
            Handle(engine, window);
        }
    }
    ASSERT_EQ(1, engine.SelectSkin(0));
    int gdiBefore = GdiObjectsLeft();
    int userBefore = UserObjectsLeft();

    for (int tick = 1; tick <= 100000; ++tick) {
        Repaint(engine, window, tick);
        if (tick % 100 == 0)
            Handle(engine, window);
        if (tick % 5000 == 0) {
            ASSERT_EQ(1, engine.Command(CommandNextFace, 0));
        }
        if (tick % 20000 == 0) {
            ASSERT_EQ(1, engine.SelectSkin(tick / 20000 % 3));
        }
    }
    ASSERT_EQ(1, engine.SelectSkin(0));
    Handle(engine, window);

    EXPECT_GT(gdiBefore, 1000);
    EXPECT_EQ(gdiBefore, GdiObjectsLeft());
    EXPECT_EQ(userBefore, UserObjectsLeft());
}

}  // namespace
