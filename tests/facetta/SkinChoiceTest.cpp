// The choice of skin and face outlives the engine: it is kept where the
// plug-in's SkinQuery says, "kelmora.ini" (in the Windows directory) section
// "SKINDLOAD", and a new engine's Init takes it up again. The shipped skins
// are found in the test program's folder, as the plug-in's host folder.
#include <gtest/gtest.h>

#include "facetta/EngineHarness.h"

namespace {

const char kFile[] = "kelmora.ini";
const char kSection[] = "SKINDLOAD";
const char kAbsent[] = "\x01(absent)";

std::string SettingsPath()
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, sizeof(folder));
    return std::string(folder) + "\\" + kFile;
}

// Puts the section's two keys back as they were before the test, and removes
// the file if the test made it.
class SkinChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        fileExisted_ = GetFileAttributesA(SettingsPath().c_str()) != INVALID_FILE_ATTRIBUTES;
        savedSkin_ = Read("SKIN", kAbsent);
        savedFace_ = Read("FACE", kAbsent);
        char sections[4096];
        GetPrivateProfileSectionNamesA(sections, sizeof(sections), kFile);
        for (const char *name = sections; *name; name += strlen(name) + 1)
            sectionExisted_ = sectionExisted_ || lstrcmpiA(name, kSection) == 0;
    }

    void TearDown() override
    {
        if (!fileExisted_) {
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);  // flushes the cached copy
            DeleteFileA(SettingsPath().c_str());
            return;
        }
        if (!sectionExisted_) {
            WritePrivateProfileStringA(kSection, nullptr, nullptr, kFile);
            return;
        }
        WritePrivateProfileStringA(kSection, "SKIN", savedSkin_ == kAbsent ? nullptr : savedSkin_.c_str(), kFile);
        WritePrivateProfileStringA(kSection, "FACE", savedFace_ == kAbsent ? nullptr : savedFace_.c_str(), kFile);
    }

    static std::string Read(const char *key, const char *fallback)
    {
        char value[MAX_PATH];
        GetPrivateProfileStringA(kSection, key, fallback, value, sizeof(value), kFile);
        return value;
    }

private:
    std::string savedSkin_, savedFace_;
    bool fileExisted_ = false;
    bool sectionExisted_ = false;
};

bool SameRect(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != FALSE;
}

TEST_F(SkinChoice, SkinAndFaceComeBackWithANewEngine)
{
    RECT received;
    std::vector<COLORREF> picture;
    {
        EngineHandle engine;
        ASSERT_EQ(1, engine.Init(PluginSkinQuery()));
        // The second shipped skin in name order is Ticket; its second face is
        // the wide Strip.
        ASSERT_EQ(1, engine.SelectSkin(2));
        ASSERT_EQ(1, engine.Command(CommandNextFace, 0));
        EXPECT_EQ("Ticket", Read("SKIN", ""));
        EXPECT_EQ("1", Read("FACE", ""));
        received = engine.ElementRect(ElementReceivedText);
        picture = engine.Rendering(110, 40);
    }
    EngineHandle again;
    ASSERT_EQ(1, again.Init(PluginSkinQuery()));
    EXPECT_TRUE(SameRect(received, again.ElementRect(ElementReceivedText)));
    EXPECT_EQ(picture, again.Rendering(110, 40));
}

TEST_F(SkinChoice, TheBuiltInSkinsSecondFaceComesBackToo)
{
    std::vector<COLORREF> day;
    {
        EngineHandle engine;
        ASSERT_EQ(1, engine.Init(PluginSkinQuery()));
        ASSERT_EQ(1, engine.SelectSkin(1));
        ASSERT_EQ(1, engine.SelectSkin(0));
        EXPECT_EQ("", Read("SKIN", "?"));
        EXPECT_EQ("0", Read("FACE", ""));
        std::vector<COLORREF> night = engine.Rendering(70, 70);
        ASSERT_EQ(1, engine.Command(CommandNextFace, 0));
        day = engine.Rendering(70, 70);
        EXPECT_NE(night, day);
    }
    EngineHandle again;
    ASSERT_EQ(1, again.Init(PluginSkinQuery()));
    EXPECT_EQ(day, again.Rendering(70, 70));
}

TEST_F(SkinChoice, AnOutOfRangeSelectionChangesNothing)
{
    EngineHandle engine;
    ASSERT_EQ(1, engine.Init(PluginSkinQuery()));
    ASSERT_EQ(1, engine.SelectSkin(1));
    std::vector<COLORREF> aurora = engine.Rendering(70, 70);
    EXPECT_EQ(0, engine.SelectSkin(99));
    EXPECT_EQ(aurora, engine.Rendering(70, 70));
    EXPECT_EQ("Aurora", Read("SKIN", ""));
}

TEST_F(SkinChoice, ARememberedSkinThatIsGoneGivesTheBuiltInOne)
{
    WritePrivateProfileStringA(kSection, "SKIN", "NoSuchSkin", kFile);
    WritePrivateProfileStringA(kSection, "FACE", "5", kFile);
    EngineHandle engine;
    ASSERT_EQ(1, engine.Init(PluginSkinQuery()));
    EngineHandle reference;
    TestSkinQuery noSettings{ProgramFolder() + "skins\\", ""};
    ASSERT_EQ(1, reference.Init(&noSettings));
    EXPECT_EQ(reference.Rendering(70, 70), engine.Rendering(70, 70));
}

}  // namespace
