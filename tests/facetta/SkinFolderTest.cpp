// Skin folders as a designer makes them: read as described, counted in name
// order, and when broken in any way replaced by the built-in skin.
#include <gtest/gtest.h>

#include "facetta/EngineHarness.h"

namespace {

const COLORREF kBackground = RGB(20, 90, 160);
const COLORREF kSecondFace = RGB(200, 180, 40);
const COLORREF kOtherSkin = RGB(90, 20, 60);
const COLORREF kFrames[3] = {RGB(250, 0, 0), RGB(0, 250, 0), RGB(0, 0, 250)};

const char kGoodDescription[] =
    "[Skin]\r\n"
    "Faces=2\r\n"
    "\r\n"
    "[Face1]\r\n"
    "Background=back.bmp\r\n"
    "TextColor=1,2,3\r\n"
    "Element51503=2,2,30,12\r\n"
    "Element51500=30,18,6,6,state.bmp\r\n"
    "Button50052=1,20,10,8\r\n"
    "; outside the host's ranges: never read\r\n"
    "Button40001=0,0,5,5\r\n"
    "Element51600=0,0,5,5\r\n"
    "\r\n"
    "[Face2]\r\n"
    "Background=second.bmp\r\n"
    "Element51503=1,1,20,10\r\n";

bool SameRect(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != FALSE;
}

class SkinFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeGoodSkin("a-good", kBackground);
        MakeSkin("B-bad-description", "\x01\x02\x7f not a description at all", false);
        MakeSkin("c-missing-picture", "[Skin]\r\nFaces=1\r\n[Face1]\r\nBackground=absent.bmp\r\n", false);
        MakeSkin("D-corrupt-picture", "[Skin]\r\nFaces=1\r\n[Face1]\r\nBackground=back.bmp\r\n", false);
        WriteTextFile(Folder("D-corrupt-picture") + "back.bmp", "BM\x10\x20 these are not pixels");
        MakeSkin("e-strip-too-low",
                 "[Skin]\r\nFaces=1\r\n[Face1]\r\nBackground=back.bmp\r\nElement51500=1,1,6,6,low.bmp\r\n", true);
        WriteBitmap(Folder("e-strip-too-low") + "low.bmp", 12, 5, [](int, int) { return kFrames[0]; });
        MakeSkin("f-element-outside", "[Skin]\r\nFaces=1\r\n[Face1]\r\nBackground=back.bmp\r\nElement51503=30,25,20,10\r\n",
                 true);
        // Placements whose right or bottom edge is past the largest int.
        MakeSkin("f2-button-overflow",
                 "[Skin]\r\nFaces=1\r\n[Face1]\r\nBackground=back.bmp\r\nButton50052=2147483647,0,1,8\r\n", true);
        MakeSkin("f3-element-overflow",
                 "[Skin]\r\nFaces=1\r\n[Face1]\r\nBackground=back.bmp\r\nElement51503=0,2147483600,5,100\r\n",
                 true);
        MakeSkin("f4-number-overflow",
                 "[Skin]\r\nFaces=1\r\n[Face1]\r\nBackground=back.bmp\r\nButton50052=4294967297,0,5,5\r\n", true);
        CreateDirectoryA(Folder("g-no-description").c_str(), nullptr);
        WriteTextFile(temp.path() + "h-not-a-folder.ini", "[Skin]\r\nFaces=1\r\n");
        MakeGoodSkin("Z-last", kOtherSkin);
        ASSERT_NE(nullptr, engine.get());
        ASSERT_EQ(1, engine.Init(&query));
    }

    std::string Folder(const char *name) { return temp.path() + name + "\\"; }

    void MakeSkin(const char *name, const std::string &description, bool withBackground)
    {
        CreateDirectoryA(Folder(name).c_str(), nullptr);
        WriteTextFile(Folder(name) + "skin.ini", description);
        if (withBackground)
            WriteBitmap(Folder(name) + "back.bmp", 40, 30, [](int, int) { return kBackground; });
    }

    void MakeGoodSkin(const char *name, COLORREF background)
    {
        MakeSkin(name, kGoodDescription, false);
        WriteBitmap(Folder(name) + "back.bmp", 40, 30, [background](int, int) { return background; });
        WriteBitmap(Folder(name) + "second.bmp", 50, 20, [](int, int) { return kSecondFace; });
        WriteBitmap(Folder(name) + "state.bmp", 18, 6, [](int x, int) { return kFrames[x / 6]; });
    }

    TempFolder temp;
    TestSkinQuery query{temp.path(), temp.path() + "choice.ini"};
    EngineHandle engine;
};

TEST_F(SkinFolders, AGoodSkinIsReadAsDescribed)
{
    ASSERT_EQ(1, engine.SelectSkin(1));
    EXPECT_TRUE(SameRect({2, 2, 32, 14}, engine.ElementRect(ElementReceivedText)));
    EXPECT_TRUE(SameRect({1, 20, 11, 28}, engine.ElementRect(CommandPreviousTask)));
    RECT rect;
    EXPECT_EQ(0, engine.GetElementRect(40001, &rect));
    EXPECT_EQ(0, engine.GetElementRect(51600, &rect));
    EXPECT_EQ(0, engine.GetElementRect(ElementTotalText, &rect));
    EXPECT_TRUE(IsRectEmpty(&rect));
    EXPECT_EQ(kBackground, engine.Rendering(40, 30)[25 * 40 + 20]);

    ASSERT_EQ(1, engine.Command(CommandNextFace, 0));
    EXPECT_TRUE(SameRect({1, 1, 21, 11}, engine.ElementRect(ElementReceivedText)));
    EXPECT_EQ(0, engine.GetElementRect(CommandPreviousTask, &rect));
    EXPECT_EQ(kSecondFace, engine.Rendering(50, 20)[15 * 50 + 40]);

    ASSERT_EQ(1, engine.Command(CommandNextFace, 0));
    EXPECT_TRUE(SameRect({2, 2, 32, 14}, engine.ElementRect(ElementReceivedText)));
}

TEST_F(SkinFolders, AStateElementShowsTheFrameOfItsValue)
{
    ASSERT_EQ(1, engine.SelectSkin(1));
    auto shown = [this] { return engine.Rendering(40, 30)[20 * 40 + 32]; };
    EXPECT_EQ(kFrames[0], shown());
    for (int value = 0; value < 3; ++value) {
        EXPECT_EQ(1, engine.SetElementState(ElementPausedState, value, 0));
        EXPECT_EQ(kFrames[value], shown()) << value;
    }
    engine.SetElementState(ElementPausedState, 7, 0);
    EXPECT_EQ(kFrames[2], shown());
    engine.SetElementState(ElementPausedState, -1, 0);
    EXPECT_EQ(kFrames[0], shown());
    // Values outlive a change of skin.
    engine.SetElementState(ElementPausedState, 1, 0);
    engine.SelectSkin(0);
    ASSERT_EQ(1, engine.SelectSkin(1));
    EXPECT_EQ(kFrames[1], shown());
}

TEST_F(SkinFolders, FoldersWithADescriptionCountInNameOrderIgnoringCase)
{
    // a-good, B-bad-description, c-missing-picture, D-corrupt-picture,
    // e-strip-too-low, f-element-outside, f2-button-overflow,
    // f3-element-overflow, f4-number-overflow, Z-last.
    EXPECT_EQ(1, engine.SelectSkin(1));
    EXPECT_EQ(kBackground, engine.Rendering(40, 30)[0]);
    EXPECT_EQ(1, engine.SelectSkin(10));
    EXPECT_EQ(kOtherSkin, engine.Rendering(40, 30)[0]);
    // Out of range: the current skin stays.
    EXPECT_EQ(0, engine.SelectSkin(11));
    EXPECT_EQ(0, engine.SelectSkin(-1));
    EXPECT_EQ(kOtherSkin, engine.Rendering(40, 30)[0]);
}

TEST_F(SkinFolders, EveryBrokenSkinFallsBackToTheBuiltInOne)
{
    EngineHandle reference;
    TestSkinQuery noSettings{temp.path(), ""};
    ASSERT_EQ(1, reference.Init(&noSettings));
    std::vector<COLORREF> builtIn = reference.Rendering(70, 70);
    for (int selector = 2; selector <= 9; ++selector) {
        ASSERT_EQ(1, engine.SelectSkin(1));
        EXPECT_EQ(0, engine.SelectSkin(selector)) << selector;
        EXPECT_TRUE(SameRect(reference.ElementRect(ElementReceivedText), engine.ElementRect(ElementReceivedText)))
            << selector;
        EXPECT_EQ(builtIn, engine.Rendering(70, 70)) << selector;
        char remembered[64];
        GetPrivateProfileStringA("SKINDLOAD", "SKIN", "?", remembered, sizeof(remembered),
                                 query.settingsFile.c_str());
        EXPECT_STREQ("", remembered) << selector;
    }
}

TEST_F(SkinFolders, WithoutASkinsFolderOnlyTheBuiltInSkinIsThere)
{
    EngineHandle lonely;
    TestSkinQuery nowhere{temp.path() + "absent\\", ""};
    ASSERT_EQ(1, lonely.Init(&nowhere));
    std::vector<COLORREF> builtIn = lonely.Rendering(70, 70);
    EXPECT_EQ(0, lonely.SelectSkin(1));
    EXPECT_EQ(builtIn, lonely.Rendering(70, 70));
    EXPECT_EQ(1, lonely.SelectSkin(0));

    // No SkinQuery at all.
    EngineHandle unasked;
    ASSERT_EQ(1, unasked.Init(nullptr));
    EXPECT_EQ(builtIn, unasked.Rendering(70, 70));
    EXPECT_EQ(0, unasked.SelectSkin(1));
}

}  // namespace
