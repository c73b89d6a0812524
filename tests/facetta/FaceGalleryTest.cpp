// Every face of every skin, shown in a real window and photographed: what is
// on the screen is the engine's own picture of the face. The photographs stay
// in build/screenshots for people to judge the skins by.
#include <gtest/gtest.h>

#include <string>

#include "facetta/EngineHarness.h"
#include "facetta/ScreenShot.h"

namespace {

constexpr int kMargin = 8;

// Shows the face as the plug-in would in the middle of a download.
void StageFace(EngineHandle &engine, SkinWindow &window)
{
    engine.SetElementState(ElementTaskNumber, 1, 1);
    engine.SetElementState(ElementPausedState, 0, 1);
    engine.SetElementState(ElementRunningState, 2, 1);
    DrawSizeText(engine, window.hwnd(), engine.ElementRect(ElementReceivedText), "1234Kb");
    DrawSizeText(engine, window.hwnd(), engine.ElementRect(ElementTotalText), "5678Kb");
}

bool InsideAny(int x, int y, const RECT *rects, int count)
{
    POINT point = {x, y};
    for (int i = 0; i < count; ++i) {
        if (PtInRect(&rects[i], point))
            return true;
    }
    return false;
}

// Outside the text areas, each pixel of the window is the engine's pixel.
void ExpectScreenShowsRendering(EngineHandle &engine, SkinWindow &window, const std::string &name)
{
    RECT client;
    GetClientRect(window.hwnd(), &client);
    std::vector<COLORREF> rendering = engine.Rendering(client.right, client.bottom);
    ScreenShot shot;
    ASSERT_TRUE(shot.Take(ScreenArea(window.hwnd(), kMargin), name.c_str())) << shot.failure();
    RECT texts[2] = {engine.ElementRect(ElementReceivedText), engine.ElementRect(ElementTotalText)};
    HRGN outline = CreateRectRgn(0, 0, 0, 0);
    bool shaped = GetWindowRgn(window.hwnd(), outline) != ERROR;
    int compared = 0, different = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            if (InsideAny(x, y, texts, 2) || (shaped && !PtInRegion(outline, x, y)))
                continue;
            ++compared;
            different += shot.At(x + kMargin, y + kMargin) != rendering[y * client.right + x];
        }
    }
    DeleteObject(outline);
    EXPECT_GT(compared, client.right * client.bottom / 2) << name;
    EXPECT_EQ(0, different) << name << ": pixels differing from the engine's picture";
}

TEST(FaceGallery, EveryFaceOfEverySkinIsShownAsTheEngineDrawsIt)
{
    EngineHandle engine;
    TestSkinQuery query(ProgramFolder() + "skins\\", "");
    ASSERT_EQ(1, engine.Init(&query));
    SkinWindow window(engine, 400, 300);
    int skins = 0;
    for (int selector = 0; engine.SelectSkin(selector) == 1; ++selector) {
        ++skins;
        // Next-face commands come round to the first face again: a face whose
        // picture is the first one's ends the round.
        std::vector<COLORREF> first;
        for (int face = 0; face < 8; ++face) {
            PumpMessages(50);
            StageFace(engine, window);
            RECT client;
            GetClientRect(window.hwnd(), &client);
            std::vector<COLORREF> rendering = engine.Rendering(client.right, client.bottom);
            if (face > 0 && rendering == first)
                break;
            if (face == 0)
                first = rendering;
            ExpectScreenShowsRendering(engine, window,
                                       "skin" + std::to_string(selector) + "-face" + std::to_string(face));
            EXPECT_EQ(1, engine.Command(CommandNextFace, 0));
        }
    }
    // The built-in skin and the two shipped with the plug-in.
    EXPECT_GE(skins, 3);
}

}  // namespace
