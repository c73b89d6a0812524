#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/DoubleByteCodePage.h"
#include "util/UrlFileName.h"

namespace {

std::string NameOf(const char *url)
{
    char name[260];
    EXPECT_TRUE(FileNameFromUrl(url, name, sizeof(name))) << url;
    return name;
}

TEST(FileNameFromUrl, LastPathElementWithoutQueryOrFragment)
{
    EXPECT_EQ("setup.exe", NameOf("http://host/pub/setup.exe"));
    EXPECT_EQ("get", NameOf("http://host/get?file=a/b.zip"));
    EXPECT_EQ("page.html", NameOf("http://host/page.html#part/2"));
    EXPECT_EQ("host", NameOf("http://host"));
    EXPECT_EQ("host", NameOf("http://host?x=1"));
}

TEST(FileNameFromUrl, PercentDecodedAndMadeSafe)
{
    EXPECT_EQ("my file.zip", NameOf("http://host/my%20file.zip"));
    EXPECT_EQ("a_b.txt", NameOf("http://host/a%2Fb.txt"));
    EXPECT_EQ("a_b.txt", NameOf("http://host/a%5cb.txt"));
    EXPECT_EQ("_x_y", NameOf("http://host/%3Ax*y?z"));  // "?" starts the query
    EXPECT_EQ("_x_y_z____.bin", NameOf("http://host/:x*y%3Fz%22%3C%3E%7C.bin"));
    EXPECT_EQ("bad_name", NameOf("http://host/bad%0Aname"));
    EXPECT_EQ("100%", NameOf("http://host/100%"));
    EXPECT_EQ("%zz", NameOf("http://host/%zz"));
    EXPECT_EQ("a_b", NameOf("http://host/a%00b"));
}

TEST(FileNameFromUrl, DevicesAndTrailingDotsOrSpacesAreMadeSafe)
{
    EXPECT_EQ("CON_", NameOf("http://host/CON"));
    EXPECT_EQ("aux_.txt", NameOf("http://host/aux.txt"));
    EXPECT_EQ("Lpt1_.bin", NameOf("http://host/Lpt1.bin"));
    EXPECT_EQ("a.bin_", NameOf("http://host/a.bin."));
    EXPECT_EQ("x_", NameOf("http://host/x%20"));
    EXPECT_EQ("___", NameOf("http://host/..%20"));
}

// The test prefix runs with the Western European code page, 1252.
class AnsiCodePage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(1252u, GetACP()) << "the expectations below are those of code page 1252"; }
};

TEST_F(AnsiCodePage, Utf8NamesAreConvertedAndWhatItCannotHoldBecomesUnderscore)
{
    EXPECT_EQ("\xE9t\xE9.txt", NameOf("http://host/%C3%A9t%C3%A9.txt"));
    EXPECT_EQ("\x80 5.txt", NameOf("http://host/%E2%82%AC%205.txt"));  // the euro sign
    EXPECT_EQ("__.bin", NameOf("http://host/%E4%B8%AD%E6%96%87.bin"));
    EXPECT_EQ("_.txt", NameOf("http://host/%F0%9F%98%80.txt"));  // one character outside the BMP
    // No best-fit stand-in: a full-width "CON" would become the device.
    EXPECT_EQ("___", NameOf("http://host/%EF%BC%A3%EF%BC%AF%EF%BC%AE"));
    EXPECT_EQ("a\xE9" "b", NameOf("http://host/a%C3%A9b?x=%E4%B8%AD"));
}

TEST_F(AnsiCodePage, InvalidUtf8BytesBecomeUnderscores)
{
    EXPECT_EQ("__a.bin", NameOf("http://host/%FF%FEa.bin"));
    EXPECT_EQ("__.txt", NameOf("http://host/%C0%AF.txt"));           // overlong "/"
    EXPECT_EQ("___x", NameOf("http://host/%ED%A0%80x"));             // a surrogate
    EXPECT_EQ("\xE9__", NameOf("http://host/%C3%A9%E4%B8"));         // cut short
}

TEST_F(AnsiCodePage, AUrlWrittenInTheAnsiCodePageKeepsItsName)
{
    EXPECT_EQ("\xE9t\xE9.txt", NameOf("http://host/\xE9t\xE9.txt"));
}

// Characters whose second byte is that of "\\" or "|" are whole characters
// of the name, whether the URL escapes them as UTF-8 or writes them in the
// code page; the real "\\", "/" and "|" still become "_".
using DoubleByteUrlNames = testing_support::DoubleByteCodePage;

TEST_F(DoubleByteUrlNames, CharactersEndingInTheByteOfASeparatorStayWhole)
{
    const std::string b = WithBackslashByte(), bar = WithBarByte();
    const std::string bUtf8 = sample_->backslashTrailUtf8, barUtf8 = sample_->barTrailUtf8;
    struct Case {
        std::string url, name;
    } cases[] = {
        {"http://host/" + bUtf8, b},
        {"http://host/pub/" + bUtf8 + ".bin", b + ".bin"},
        {"http://host/" + barUtf8 + bUtf8 + "x", bar + b + "x"},
        {"http://host/" + b, b},                              // written in the code page
        {"http://host/dir/x" + b + ".bin?q=1", "x" + b + ".bin"},
        {"http://host/" + bar + ".txt", bar + ".txt"},
        {"http://host/" + bUtf8 + "%5C" + bUtf8 + "%7C", b + "_" + b + "_"},
        {"http://host/" + bUtf8 + "%2F.", b + "__"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.name, NameOf(c.url.c_str())) << c.url;
}

TEST(FileNameFromUrl, EmptyOrDotNamesSaveAsIndex)
{
    EXPECT_EQ("index.html", NameOf("http://host/dir/"));
    EXPECT_EQ("index.html", NameOf("http://host/"));
    EXPECT_EQ("index.html", NameOf("http://host/dir/.."));
    EXPECT_EQ("index.html", NameOf("http://host/%2E%2E"));
}

TEST(FileNameFromUrl, RefusesANameThatDoesNotFit)
{
    char name[8];
    EXPECT_FALSE(FileNameFromUrl("http://host/abcdefgh", name, sizeof(name)));
    EXPECT_TRUE(FileNameFromUrl("http://host/abcdefg", name, sizeof(name)));
}

}  // namespace
