// Faces at a display scale: which art a face is drawn from, how its layout
// scales, and what the engine shows of a skin folder with and without art
// drawn for the scale (the engine learns the scale from WM_DPICHANGED).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "facetta/EngineHarness.h"
#include "facetta/FaceScale.h"
#include "facetta/FileSkin.h"

namespace {

bool Same(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != FALSE;
}

struct ArtCase {
    int wanted;
    std::vector<int> shipped;
    int chosen;
};

TEST(FaceScale, TheArtForTheScaleElseTheLargestBelowIt)
{
    const ArtCase cases[] = {
        {100, {}, 100},         {150, {}, 100},         {150, {150, 200}, 150}, {175, {150, 200}, 150},
        {200, {150}, 150},      {300, {150, 200}, 200}, {125, {200}, 100},      {200, {125, 200, 300}, 200},
        {75, {}, 100},          {75, {150}, 100},
    };
    for (const ArtCase &c : cases)
        EXPECT_EQ(c.chosen, ChooseArtPercent(c.wanted, c.shipped.data(), static_cast<int>(c.shipped.size())))
            << c.wanted << " with " << c.shipped.size() << " sets";
}

TEST(FaceScale, EdgesScaleOneByOneToTheNearestPixel)
{
    struct {
        RECT rect;
        int percent;
        RECT scaled;
    } cases[] = {
        {{15, 22, 64, 35}, 100, {15, 22, 64, 35}},
        {{15, 22, 64, 35}, 150, {23, 33, 96, 53}},  // 22.5 and 52.5 round up
        {{15, 22, 64, 35}, 200, {30, 44, 128, 70}},
        {{53, 4, 66, 17}, 125, {66, 5, 83, 21}},
        // Neighbours stay neighbours: the right edge of one is the left of the next.
        {{0, 0, 7, 7}, 150, {0, 0, 11, 11}},
        {{7, 7, 14, 14}, 150, {11, 11, 21, 21}},
    };
    for (const auto &c : cases) {
        RECT scaled = ScaleRect(c.rect, c.percent);
        EXPECT_TRUE(Same(scaled, c.scaled)) << c.rect.left << "," << c.rect.top << " at " << c.percent
                                                   << ": " << scaled.left << "," << scaled.top << ","
                                                   << scaled.right << "," << scaled.bottom;
    }
}

const COLORREF kLeft = RGB(200, 30, 30);
const COLORREF kRight = RGB(30, 30, 200);
const COLORREF kArt200 = RGB(30, 160, 60);
const COLORREF kFrames[2] = {RGB(250, 250, 0), RGB(0, 250, 250)};
const COLORREF kFrames200[2] = {RGB(120, 0, 120), RGB(0, 120, 0)};

// A 40 x 30 face, left half and right half in two colours, with a text
// area, a two-frame element and a button; at 200 % it ships its own art.
class ScaledSkinFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string folder = temp.path() + "scaled\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        WriteTextFile(folder + "skin.ini",
                      "[Skin]\r\nFaces=1\r\n"
                      "[Face1]\r\nBackground=back.bmp\r\nElement51503=2,2,30,12\r\n"
                      "Element51500=30,18,6,6,state.bmp\r\nButton50052=1,20,10,8\r\n"
                      "[Face1.200]\r\nBackground=back-200.bmp\r\nElement51500=state-200.bmp\r\n");
        WriteBitmap(folder + "back.bmp", 40, 30, [](int x, int) { return x < 20 ? kLeft : kRight; });
        WriteBitmap(folder + "state.bmp", 12, 6, [](int x, int) { return kFrames[x / 6]; });
        WriteBitmap(folder + "back-200.bmp", 80, 60, [](int, int) { return kArt200; });
        WriteBitmap(folder + "state-200.bmp", 24, 12, [](int x, int) { return kFrames200[x / 12]; });
        ASSERT_EQ(1, engine.Init(&query));
        ASSERT_EQ(1, engine.SelectSkin(1));
    }

    void MoveToDpi(UINT dpi) { engine.HandleMessage(nullptr, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0); }

    TempFolder temp;
    TestSkinQuery query{temp.path(), temp.path() + "choice.ini"};
    EngineHandle engine;
};

TEST_F(ScaledSkinFolder, ArtShippedForTheScaleIsShownAsDrawn)
{
    MoveToDpi(192);
    EXPECT_TRUE(Same(engine.ElementRect(ElementReceivedText), {4, 4, 64, 28}));
    EXPECT_TRUE(Same(engine.ElementRect(CommandPreviousTask), {2, 40, 22, 56}));
    std::vector<COLORREF> shown = engine.Rendering(80, 60);
    EXPECT_EQ(kArt200, shown[10 * 80 + 5]);
    EXPECT_EQ(kArt200, shown[10 * 80 + 75]);
    EXPECT_EQ(kFrames200[0], shown[40 * 80 + 65]);
    engine.SetElementState(ElementPausedState, 1, 0);
    EXPECT_EQ(kFrames200[1], engine.Rendering(80, 60)[40 * 80 + 65]);
}

// At 150 % the skin has nothing better than its 100 % art: every pixel is
// one of the art's, none a blend of two.
TEST_F(ScaledSkinFolder, WithoutArtForTheScaleThePixelsAreRepeated)
{
    MoveToDpi(144);
    EXPECT_TRUE(Same(engine.ElementRect(ElementReceivedText), {3, 3, 48, 21}));
    std::vector<COLORREF> shown = engine.Rendering(60, 45);
    int left = 0, right = 0;
    for (COLORREF pixel : shown) {
        left += pixel == kLeft;
        right += pixel == kRight;
    }
    EXPECT_EQ(60 * 45 - 9 * 9, left + right);  // the element's 9 x 9 pixels aside
    EXPECT_EQ(kLeft, shown[0]);
    EXPECT_EQ(kRight, shown[59]);
    EXPECT_EQ(kFrames[0], shown[30 * 60 + 50]);

    // Back at 96 DPI the face is the art itself again.
    MoveToDpi(96);
    EXPECT_TRUE(Same(engine.ElementRect(ElementReceivedText), {2, 2, 32, 14}));
    EXPECT_EQ(kRight, engine.Rendering(40, 30)[20]);
}

// A set whose picture is not the face's size at its scale is a broken skin
// there, as any malformed picture is; at 96 DPI the set is not looked at.
TEST_F(ScaledSkinFolder, ArtOfTheWrongSizeFailsTheSkinAtItsScaleOnly)
{
    WriteBitmap(temp.path() + "scaled\\back-200.bmp", 79, 60, [](int, int) { return kArt200; });
    MoveToDpi(192);
    EXPECT_NE(kArt200, engine.Rendering(80, 60)[10 * 80 + 5]);
    EXPECT_EQ(0, engine.SelectSkin(1));
    MoveToDpi(96);
    EXPECT_EQ(1, engine.SelectSkin(1));
    EXPECT_EQ(kLeft, engine.Rendering(40, 30)[0]);
}


// Art of the wrong size would fail a shipped skin at its scale only, where
// no test at 96 DPI would see it.
TEST(ShippedSkins, LoadAtEveryScaleTheyShipArtFor)
{
    for (const char *name : {"Aurora", "Ticket"}) {
        std::string folder = ProgramFolder() + "skins\\" + name + "\\";
        for (int percent : {100, 125, 150, 175, 200, 300}) {
            std::unique_ptr<Skin> skin = LoadFileSkin(folder.c_str(), SkinIdRanges(), percent);
            ASSERT_NE(nullptr, skin) << name << " at " << percent;
            EXPECT_EQ(ScaleLength(70, percent), skin->faces[0].size.cx) << name << " at " << percent;
        }
    }
}

}  // namespace
