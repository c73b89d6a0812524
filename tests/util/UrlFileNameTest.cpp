#include <gtest/gtest.h>

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
    EXPECT_EQ("\xC3\xA9t\xC3\xA9.txt", NameOf("http://host/%C3%A9t%C3%A9.txt"));
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
