// Names that Windows would turn into a device, another folder or another
// file are refused (host names, records) or made safe (URL names).
#include <gtest/gtest.h>
#include <string.h>
#include <wchar.h>

#include "tests/support/DoubleByteCodePage.h"
#include "util/NameRules.h"
#include "util/TextSize.h"

namespace {

bool SafeElement(const wchar_t *element)
{
    return IsSafeNameElement(element, wcslen(element));
}

std::string HostName(const char *given)
{
    char name[260];
    if (!HostFileName(given, name, sizeof(name)))
        return "<refused>";
    return name;
}

std::wstring MadeSafe(const wchar_t *element, size_t capacity = 64)
{
    wchar_t buffer[64];
    wcscpy(buffer, element);
    MakeSafeNameElement(buffer, capacity);
    return buffer;
}

TEST(NameRules, DeviceNamesInAnyCaseWithOrWithoutExtension)
{
    const wchar_t *devices[] = {L"CON", L"con", L"Prn.txt", L"aux.tar.gz", L"NUL", L"nul .bin", L"COM1", L"com9.log",
                                L"LPT1", L"lpt5.x", L"COM0", L"CONIN$", L"conout$.txt", L"COM\u00B9"};
    for (const wchar_t *device : devices)
        EXPECT_FALSE(SafeElement(device)) << device;
    const wchar_t *ordinary[] = {L"CONSOLE", L"COM10", L"LPT", L"xcon", L"con_", L"nul_.txt", L"COMA", L"a.con"};
    for (const wchar_t *name : ordinary)
        EXPECT_TRUE(SafeElement(name)) << name;
}

TEST(NameRules, ElementsWindowsWouldShortenOrRefuse)
{
    const wchar_t *unsafe[] = {L"", L".", L"..", L".. ", L"a.", L"a ", L"a. . ", L"a:b", L"a*b", L"a?b", L"a|b",
                               L"a\"b", L"a<b", L"a>b", L"a\tb"};
    for (const wchar_t *name : unsafe)
        EXPECT_FALSE(SafeElement(name)) << name;
    EXPECT_TRUE(SafeElement(L".hidden"));
    EXPECT_TRUE(SafeElement(L"a b.txt"));
    EXPECT_TRUE(SafeElement(L"\u4E2D\u6587"));
}

TEST(NameRules, RelativeNamesStayInsideTheFolder)
{
    EXPECT_TRUE(IsSafeRelativeName(L"sub/new.bin"));
    EXPECT_TRUE(IsSafeRelativeName(L"a/b/c.bin"));
    const wchar_t *unsafe[] = {L"sub/.. /x.txt", L"sub/../x.txt", L"/x.txt", L"a//b", L"sub/", L"sub\\x",
                               L"sub/CON/x", L"x/nul.txt", L"sub./x"};
    for (const wchar_t *name : unsafe)
        EXPECT_FALSE(IsSafeRelativeName(name)) << name;
}

TEST(NameRules, HostNamesWithABackslashGiveTheirLastComponent)
{
    EXPECT_EQ("f.bin", HostName("C:\\dir\\f.bin"));
    EXPECT_EQ("f.bin", HostName("\\x\\f.bin"));
    EXPECT_EQ("f.bin", HostName("\\f.bin"));
    EXPECT_EQ("new.bin", HostName("old\\new.bin"));
    EXPECT_EQ("c.bin", HostName("a/b\\c.bin"));
    EXPECT_EQ("sub/new.bin", HostName("sub/new.bin"));
    // What is left must still be safe.
    const char *refused[] = {"dir\\", "C:\\dir\\CON", "x\\nul.txt", "x\\a.", "x\\..", "/abs.bin", "C:f.bin",
                             "sub/.. /x.txt"};
    for (const char *given : refused)
        EXPECT_EQ("<refused>", HostName(given)) << given;
}

TEST(NameRules, TemporaryPathsOfRecords)
{
    // The folder is the user's, as Windows resolves it; only the name the
    // plug-in composed is checked.
    const char *safe[] = {"C:\\down/a.bin.hhh",           "two.hhh",       "D:\\Down\\\\x.bin.hhh",
                          "\\\\server\\share\\x.hhh",     "\\down\\x.hhh", "sub/x.bin.hhh",
                          "C:\\down\\..\\other\\x.hhh", "D:dir/x.hhh",   "D:\\Down \\x.hhh"};
    for (const char *path : safe)
        EXPECT_TRUE(IsSafeTemporaryPath(path)) << path;
    const char *unsafe[] = {"C:\\Windows\\system.ini",  // not a temporary file
                            "C:\\down\\a.bin",          // no ".hhh"
                            "C:\\down\\.hhh",           // the folder itself
                            "C:\\down\\a.bin.HHH",      // not what the plug-in writes
                            "C:\\down\\CON.hhh",        "C:\\down\\nul.txt.hhh", "C:\\down\\a..hhh",
                            "C:\\down\\a .hhh",         "C:\\down\\a*b.hhh",     "C:x.hhh",
                            "\\\\.\\pipe\\x.hhh",      // the devices' namespace, no folder
                            "\\\\?\\C:\\x.hhh",        ""};
    for (const char *path : unsafe)
        EXPECT_FALSE(IsSafeTemporaryPath(path)) << path;
}

TEST(NameRules, MakeSafeReplacesOnlyWhatIsUnsafe)
{
    EXPECT_EQ(L"CON_.txt", MadeSafe(L"CON.txt"));
    EXPECT_EQ(L"nul_", MadeSafe(L"nul"));
    EXPECT_EQ(L"com1_.tar.gz", MadeSafe(L"com1.tar.gz"));
    EXPECT_EQ(L"a.bin_", MadeSafe(L"a.bin."));
    EXPECT_EQ(L"a__", MadeSafe(L"a. "));
    EXPECT_EQ(L"a_b_c", MadeSafe(L"a:b|c"));
    EXPECT_EQ(L"index.html", MadeSafe(L""));
    EXPECT_EQ(L"index.html", MadeSafe(L"..."));
    EXPECT_EQ(L"____", MadeSafe(L"... "));
    EXPECT_EQ(L"plain.bin", MadeSafe(L"plain.bin"));
    // No room for one more character: the device name's end is replaced.
    EXPECT_EQ(L"CO_", MadeSafe(L"CON", 4));
    for (const wchar_t *name : {L"CON.txt", L"a. ", L"lpt1", L"x:y."})
        EXPECT_TRUE(SafeElement(MadeSafe(name).c_str())) << name;
}

// The rules read ANSI names through UTF-16: a character whose second byte
// is that of "\\" neither cuts a host's name nor makes it a path.
using DoubleByteNameRules = testing_support::DoubleByteCodePage;

TEST_F(DoubleByteNameRules, HostNamesAndRecordsKeepSuchCharactersWhole)
{
    const std::string b = WithBackslashByte();
    EXPECT_EQ(b + ".bin", HostName((b + ".bin").c_str()));
    EXPECT_EQ(b + ".bin", HostName(("C:\\dir" + b + "\\" + b + ".bin").c_str()));
    EXPECT_EQ("sub" + b + "/x" + b, HostName(("sub" + b + "/x" + b).c_str()));
    EXPECT_TRUE(IsSafeTemporaryPath(("C:\\" + b + "\\" + b + ".hhh").c_str()));
    EXPECT_FALSE(IsSafeTemporaryPath(("C:\\" + b + "\\CON.hhh").c_str()));
}

// The final path of a temporary file is its path without ".hhh": only a
// path that ends in the suffix after some name has one, so that nothing the
// plug-in did not make is ever renamed over a file.
TEST(FinalPathOf, DropsTheSuffixOfANamedTemporaryFileOnly)
{
    struct Case {
        const char *tempPath;
        const char *finalPath;  // null: none
    } cases[] = {
        {"C:\\down\\a.bin.hhh", "C:\\down\\a.bin"},
        {"C:\\down/sub/a.hhh", "C:\\down/sub/a"},
        {"a.bin.HHH", "a.bin"},          // the suffix is matched as Windows matches names
        {"a.bin.hhh.hhh", "a.bin.hhh"},  // one suffix only
        {"C:\\down\\.hhh", nullptr},     // the folder itself
        {"C:\\down/.hhh", nullptr},
        {".hhh", nullptr},
        {"C:\\down\\a.bin", nullptr},
        {"C:\\down\\a.bin.hh", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        char finalPath[kTextSize] = "unchanged";
        bool named = FinalPathOf(c.tempPath, finalPath);
        EXPECT_EQ(c.finalPath != nullptr, named) << c.tempPath;
        if (c.finalPath && named) {
            EXPECT_EQ(std::string(c.finalPath), finalPath) << c.tempPath;
        }
    }
}

}  // namespace
