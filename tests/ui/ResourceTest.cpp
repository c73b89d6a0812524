// The resource module: the language library's name and the code-page path
// through Ravlix936.dll, and the plug-in's own texts.
#include <gtest/gtest.h>

#include <string>

#include "res/ResourceIds.h"
#include "tests/support/DialogDriver.h"
#include "tests/ui/UiHarness.h"
#include "ui/ConfirmDialog.h"
#include "ui/ResourceModule.h"
#include "ui/ResourceText.h"
#include "util/PathText.h"

using namespace testing_support;

namespace {

std::string HostFolderText()
{
    char folder[MAX_PATH];
    HostFolder(folder, sizeof(folder));
    return folder;
}

TEST(ResourceModuleTest, LibraryNameCarriesTheCodePage)
{
    char path[MAX_PATH];
    LanguageLibraryPath(1252, path, sizeof(path));
    EXPECT_EQ(HostFolderText() + "Ravlix1252.dll", path);
    LanguageLibraryPath(936, path, sizeof(path));
    EXPECT_EQ(HostFolderText() + "Ravlix936.dll", path);
}

TEST(ResourceModuleTest, WithoutALibraryForTheCodePageThePluginServes)
{
    if (GetACP() == 936)
        GTEST_SKIP() << "this system's code page has its library";
    HMODULE fallback = GetModuleHandleA(nullptr);
    EXPECT_EQ(fallback, LoadResourceModule(fallback));
}

TEST(ResourceModuleTest, PluginTextsAreExact)
{
    HMODULE plugin = LoadLibraryExA("Ravlix.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, plugin);
    const char *expected[] = {nullptr, "Left Top", "Left Bottom", "Right Top", "Right Bottom", "Auto Save",
                              "Task1", "Task2", "Task3", "  All task will be paused,Are you sure?",
                              "  All unfinshed task will be delete,Are you sure?", "No task", "Downloading",
                              "Paused", "File name", "Size", "Status", "Time", "Finished",
                              "Task is full, please wait.", nullptr, "Tip", "Can not create dir.",
                              "file is already exist,do you want overwrite the file?"};
    for (int id = 1; id <= 23; ++id) {
        char text[260] = "";
        int length = LoadStringA(plugin, id, text, sizeof(text));
        if (expected[id])
            EXPECT_STREQ(expected[id], text) << id;
        else
            EXPECT_EQ(0, length) << id;
    }
    EXPECT_NE(nullptr, FindResourceA(plugin, MAKEINTRESOURCEA(IDM_CONTEXT), RT_MENU));
    EXPECT_NE(nullptr, FindResourceA(plugin, MAKEINTRESOURCEA(IDD_SETTING), RT_DIALOG));
    EXPECT_NE(nullptr, FindResourceA(plugin, MAKEINTRESOURCEA(IDD_CONFIRM), RT_DIALOG));
    EXPECT_NE(nullptr, FindResourceA(plugin, MAKEINTRESOURCEA(IDD_HISTORY), RT_DIALOG));
    EXPECT_NE(nullptr, FindResourceA(plugin, MAKEINTRESOURCEA(IDB_BROWSE), RT_BITMAP));
    EXPECT_NE(nullptr, FindResourceA(plugin, MAKEINTRESOURCEA(IDI_RAVLIX), RT_GROUP_ICON));
    EXPECT_NE(nullptr, FindResourceA(plugin, MAKEINTRESOURCEA(IDI_TASK), RT_GROUP_ICON));
    FreeLibrary(plugin);
}

std::string AnsiOf(const wchar_t *text)
{
    char ansi[256] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof(ansi), nullptr, nullptr);
    return ansi;
}

class ChineseResourceTest : public FloatingWindowTest {
protected:
    void SetUp() override
    {
        FloatingWindowTest::SetUp();
        char path[MAX_PATH];
        LanguageLibraryPath(936, path, sizeof(path));
        chinese = LoadLibraryA(path);
        ASSERT_NE(nullptr, chinese);
        saved = gProcess.resourceModule;
        gProcess.resourceModule = chinese;
    }

    void TearDown() override
    {
        gProcess.resourceModule = saved;
        FreeLibrary(chinese);
        FloatingWindowTest::TearDown();
    }

    HMODULE chinese = nullptr;
    HMODULE saved = nullptr;
};

TEST_F(ChineseResourceTest, StringsMenuAndDialogsComeFromTheLanguageLibrary)
{
    wchar_t text[64] = L"";
    LoadStringW(chinese, StringNoTask, text, 64);
    EXPECT_STREQ(L"\x6ca1\x6709\x4efb\x52a1", text);  // "no task"
    // In code page 936 the ANSI text is the GB2312 form of the same words.
    char ansi[64] = "";
    WideCharToMultiByte(936, 0, text, -1, ansi, sizeof(ansi), nullptr, nullptr);
    EXPECT_STREQ("\xc3\xbb\xd3\xd0\xc8\xce\xce\xf1", ansi);

    HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_CONTEXT));
    ASSERT_NE(nullptr, menu);
    GetMenuStringW(GetSubMenu(menu, 0), IDM_QUIT, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"\x9000\x51fa", text);  // "quit"
    DestroyMenu(menu);

    // The dialogs are ANSI windows: their texts are what the system's code
    // page makes of the library's words (GB2312 text under code page 936).
    char caption[64] = "", question[128] = "";
    DialogDriver driver([&](const SeenDialog &dialog) {
        GetWindowTextA(dialog.window, caption, sizeof(caption));
        GetDlgItemTextA(dialog.window, IDC_QUESTION, question, sizeof(question));
        DialogDriver::Press(dialog, IDC_CONFIRM_OK);
    });
    EXPECT_EQ(1, AskConfirmation(window, true));
    EXPECT_EQ(AnsiOf(L"\x4e0b\x8f7d\x4fe1\x606f"), caption);  // "download information"
    wchar_t deleteQuestion[128] = L"";
    LoadStringW(chinese, StringConfirmDelete, deleteQuestion, 128);
    EXPECT_EQ(0, wcsncmp(L"  \x6240\x6709", deleteQuestion, 4)) << "begins with two blanks";
    EXPECT_EQ(AnsiOf(deleteQuestion), question);
}

// The letters of a format's conversions ("%d%% of %s" gives "ds").
std::wstring Conversions(const wchar_t *format)
{
    std::wstring letters;
    for (const wchar_t *p = format; *p; ++p) {
        if (*p != L'%')
            continue;
        ++p;
        if (*p != L'%')
            letters += *p;
    }
    return letters;
}

// Every text of the tooltip and of the reasons is in both tables, translated.
TEST_F(ChineseResourceTest, TooltipAndReasonTextsAreInBothLanguages)
{
    for (int id = StringPercentOf; id <= StringFailedWithCode; ++id) {
        if (id > StringStoppedBecause && id < StringServerAnswered)
            continue;
        wchar_t english[128] = L"", translated[128] = L"";
        EXPECT_LT(0, LoadStringW(GetModuleHandleA(nullptr), id, english, 128)) << id;
        EXPECT_LT(0, LoadStringW(chinese, id, translated, 128)) << id;
        EXPECT_STRNE(english, translated) << id;
        // The same conversions in the same order, for the same arguments.
        EXPECT_EQ(Conversions(english), Conversions(translated)) << id;
    }
}

}  // namespace
