#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include "tests/support/DoubleByteCodePage.h"
#include "util/PathText.h"
#include "util/SizeText.h"
#include "util/TextSearch.h"
#include "util/TimeStamp.h"

namespace {

std::string Cut(int (*cutter)(char *), const char *input, int *result = nullptr)
{
    char text[260];
    strcpy(text, input);
    int r = cutter(text);
    if (result)
        *result = r;
    return text;
}

TEST(LastComponent, TakesTheTextAfterTheLastSeparator)
{
    int result = -1;
    EXPECT_EQ("setup.exe", Cut(LastComponent, "http://host/pub/setup.exe", &result));
    EXPECT_EQ(1, result);
    EXPECT_EQ("new.bin", Cut(LastComponent, "old\\new.bin"));
    EXPECT_EQ("c", Cut(LastComponent, "a/b\\c"));
}

TEST(LastComponent, TrailingSeparatorGivesEmptyText)
{
    int result = -1;
    EXPECT_EQ("", Cut(LastComponent, "http://host/dir/", &result));
    EXPECT_EQ(1, result);
}

TEST(LastComponent, NeverExaminesPositionZero)
{
    int result = -1;
    EXPECT_EQ("/name", Cut(LastComponent, "/name", &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ("x", Cut(LastComponent, "x", &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ("", Cut(LastComponent, "", &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ("", Cut(LastComponent, "//", &result));
    EXPECT_EQ(1, result);
}

TEST(FolderPart, KeepsTheLastSeparator)
{
    int result = -1;
    EXPECT_EQ("D:\\Down/sub/", Cut(FolderPart, "D:\\Down/sub/a.bin.hhh", &result));
    EXPECT_EQ(1, result);
    EXPECT_EQ("/", Cut(FolderPart, "/a.bin"));
}

TEST(FolderPart, NoSeparatorEmptiesTheText)
{
    int result = -1;
    EXPECT_EQ("", Cut(FolderPart, "a.bin", &result));
    EXPECT_EQ(1, result);
    EXPECT_EQ("", Cut(FolderPart, "", &result));
    EXPECT_EQ(0, result);
}

TEST(EnsureTrailingSlash, AppendsAForwardSlashOnlyWhenMissing)
{
    char text[260];
    strcpy(text, "D:\\Down");
    EXPECT_EQ(1, EnsureTrailingSlash(text, sizeof(text)));
    EXPECT_STREQ("D:\\Down/", text);
    strcpy(text, "D:\\Down\\");
    EXPECT_EQ(1, EnsureTrailingSlash(text, sizeof(text)));
    EXPECT_STREQ("D:\\Down\\", text);
    strcpy(text, "E:/Files/");
    EXPECT_EQ(1, EnsureTrailingSlash(text, sizeof(text)));
    EXPECT_STREQ("E:/Files/", text);
    text[0] = '\0';
    EXPECT_EQ(0, EnsureTrailingSlash(text, sizeof(text)));
    EXPECT_STREQ("", text);
}

TEST(EnsureTrailingSlash, RefusesToOverflowAFullBuffer)
{
    char text[8];
    strcpy(text, "abcdefg");  // 7 characters and the terminator fill it
    EXPECT_EQ(0, EnsureTrailingSlash(text, sizeof(text)));
    EXPECT_STREQ("abcdefg", text);
    strcpy(text, "abcdef");
    EXPECT_EQ(1, EnsureTrailingSlash(text, sizeof(text)));
    EXPECT_STREQ("abcdef/", text);
}

TEST(HostFolder, IsTheFolderOfTheRunningExecutable)
{
    char folder[260];
    HostFolder(folder, sizeof(folder));
    char module[260];
    GetModuleFileNameA(nullptr, module, sizeof(module));
    size_t length = strlen(folder);
    ASSERT_GT(length, 0u);
    EXPECT_EQ('\\', folder[length - 1]);
    EXPECT_EQ(0, strncmp(folder, module, length));
    EXPECT_EQ(nullptr, strchr(module + length, '\\'));
}

TEST(HostFolder, CutsAfterTheLastBackslash)
{
    struct Case {
        const char *path, *folder;
    } cases[] = {{"E:\\Player\\host.exe", "E:\\Player\\"},
                 {"E:\\host.exe", "E:\\"},
                 {"\\\\server\\share\\h.exe", "\\\\server\\share\\"},
                 {"host.exe", "h"},  // no backslash after the first character
                 {"", ""}};
    for (const Case &c : cases) {
        char text[260];
        strcpy(text, c.path);
        CutToFolder(text, sizeof(text));
        EXPECT_STREQ(c.folder, text) << c.path;
    }
}

TEST(HostFolder, TinyBufferStaysTerminated)
{
    char folder[4] = {'x', 'x', 'x', 'x'};
    HostFolder(folder, sizeof(folder));
    EXPECT_LT(strlen(folder), sizeof(folder));
    char one[1] = {'x'};
    HostFolder(one, 1);
    EXPECT_EQ('\0', one[0]);
}

// Under a double-byte code page the second byte of a character may be that
// of "\\" (written B below): it is no separator.
class DoubleBytePaths : public testing_support::DoubleByteCodePage {
protected:
    // text with every "B" replaced by the character whose second byte is
    // that of "\\", and every "|" by the one whose second byte is that of "|".
    std::string Spell(const char *text) const
    {
        std::string out;
        for (const char *p = text; *p; ++p)
            out += *p == 'B' ? WithBackslashByte() : *p == '|' ? WithBarByte() : std::string(1, *p);
        return out;
    }
};

TEST_F(DoubleBytePaths, EnsureTrailingSlashAddsOneAfterAFolderEndingInSuchACharacter)
{
    struct Case {
        const char *folder, *expected;
    } cases[] = {{"C:\\B", "C:\\B/"}, {"B", "B/"},        {"C:\\dlB", "C:\\dlB/"}, {"C:\\B\\", "C:\\B\\"},
                 {"D:\\Down", "D:\\Down/"}, {"E:/B/", "E:/B/"}, {"C:\\|", "C:\\|/"}};
    for (const Case &c : cases) {
        char text[260];
        strcpy(text, Spell(c.folder).c_str());
        EXPECT_EQ(1, EnsureTrailingSlash(text, sizeof(text))) << c.folder;
        EXPECT_EQ(Spell(c.expected), text) << c.folder;
    }
}

TEST_F(DoubleBytePaths, CuttersSplitOnlyAtWholeSeparators)
{
    struct Case {
        int (*cutter)(char *);
        const char *text, *expected;
        int result;
    } cases[] = {
        {LastComponent, "C:\\dl\\B.bin", "B.bin", 1},
        {LastComponent, "C:\\dl\\xB.bin", "xB.bin", 1},
        {LastComponent, "http://host/B/|B", "|B", 1},
        {LastComponent, "B", "B", 0},  // one character: position 0 only
        {LastComponent, "BB", "BB", 0},
        {LastComponent, "B/x", "x", 1},
        {FolderPart, "C:\\B\\a.bin.hhh", "C:\\B\\", 1},
        {FolderPart, "C:\\dlB", "C:\\", 1},
        {FolderPart, "D:\\Down/subB/aB.bin.hhh", "D:\\Down/subB/", 1},
        {FolderPart, "B", "", 1},
        {FolderPart, "a.bin", "", 1},
    };
    for (const Case &c : cases) {
        int result = -1;
        EXPECT_EQ(Spell(c.expected), Cut(c.cutter, Spell(c.text).c_str(), &result)) << c.text;
        EXPECT_EQ(c.result, result) << c.text;
    }
}

TEST_F(DoubleBytePaths, HostFolderCutsAfterTheLastWholeBackslash)
{
    struct Case {
        const char *path, *folder;
    } cases[] = {{"C:\\B\\h.exe", "C:\\B\\"}, {"C:\\dir\\B.exe", "C:\\dir\\"}, {"C:\\Bh.exe", "C:\\"},
                 {"Bh.exe", "B"}, {"E:\\host.exe", "E:\\"}};
    for (const Case &c : cases) {
        char text[260];
        strcpy(text, Spell(c.path).c_str());
        CutToFolder(text, sizeof(text));
        EXPECT_EQ(Spell(c.folder), text) << c.path;
    }
}

TEST_F(DoubleBytePaths, EndsInSeparatorLooksAtTheLastWholeCharacter)
{
    std::string text = Spell("C:\\B\\B.hhh");
    EXPECT_TRUE(EndsInSeparator(text.c_str(), 3));
    EXPECT_FALSE(EndsInSeparator(text.c_str(), 5));
    EXPECT_TRUE(EndsInSeparator(text.c_str(), 6));
    EXPECT_FALSE(EndsInSeparator(text.c_str(), 8));
    EXPECT_FALSE(EndsInSeparator(text.c_str(), 0));
}

TEST(TextSearch, FoldsAsciiLettersOnly)
{
    EXPECT_EQ(1, StartsWithNoCase("CONTENT-LENGTH: 5", "content-length:"));
    EXPECT_EQ(1, StartsWithNoCase("abc", ""));
    EXPECT_EQ(0, StartsWithNoCase("Cont", "Content"));
    // Bytes above 127 are compared unchanged, not folded.
    EXPECT_EQ(0, StartsWithNoCase("\xC4", "\xE4"));
    EXPECT_EQ(1, StartsWithNoCase("\xC4x", "\xC4X"));
    // '@' (64) and '`' (96) are not letters.
    EXPECT_EQ(0, StartsWithNoCase("@", "`"));
}

TEST(TextSearch, FindsTheFirstMatchAnywhere)
{
    const char *header = "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 123\r\nContent-Length: 9\r\n";
    const char *found = FindNoCase(header, "content-length:");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(17, found - header);
    EXPECT_EQ(header, FindNoCase(header, "http/1."));
}

TEST(TextSearch, AKeyCutOffAtTheEndIsNotFound)
{
    EXPECT_EQ(nullptr, FindNoCase("HTTP/1.1 200 OK\r\nContent-Len", "Content-Length:"));
    EXPECT_EQ(nullptr, FindNoCase("", ""));
    EXPECT_EQ(nullptr, FindNoCase("", "x"));
}

TEST(SizeText, UnitBoundaries)
{
    struct Case {
        unsigned long long bytes;
        const char *text;
    } cases[] = {{0, "0b"},           {900, "900b"},          {1000, "1000b"},     {1001, "1Kb"},
                 {1999, "1Kb"},       {999999, "999Kb"},      {1000000, "1000Kb"}, {1000001, "1Mb"},
                 {2500000, "2Mb"},    {4294967295u, "4294Mb"}, {4294967296ull, "4294Mb"},
                 {5368709127ull, "5368Mb"}, {1ull << 40, "1099511Mb"}, {9223372036854775807ull, "9223372036854Mb"}};
    for (const Case &c : cases) {
        char out[16];
        SizeText(c.bytes, out);
        EXPECT_STREQ(c.text, out) << c.bytes;
    }
}

TEST(TimeStamp, PadsEverythingButTheYear)
{
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 3;
    time.wDay = 4;
    time.wHour = 5;
    time.wMinute = 6;
    time.wSecond = 59;
    char out[32];
    FormatTimeStamp(time, out);
    EXPECT_STREQ("2026-03-04 05:06", out);
    time.wYear = 987;
    time.wMonth = 12;
    time.wDay = 31;
    time.wHour = 23;
    time.wMinute = 59;
    FormatTimeStamp(time, out);
    EXPECT_STREQ("987-12-31 23:59", out);
}

TEST(TimeStamp, LocalTimeStampIsNow)
{
    char out[32];
    SYSTEMTIME before;
    GetLocalTime(&before);
    EXPECT_EQ(1, LocalTimeStamp(out));
    int year, month, day, hour, minute;
    ASSERT_EQ(5, sscanf(out, "%d-%d-%d %d:%d", &year, &month, &day, &hour, &minute));
    EXPECT_EQ(before.wYear, year);
    EXPECT_EQ(before.wMonth, month);
    EXPECT_EQ(16u, strlen(out));
}

}  // namespace
