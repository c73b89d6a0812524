// The caller's extra header and the request line and fields that go out.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "netquill/RequestText.h"
#include "netquill/Url.h"

namespace {

TEST(TranslateExtraHeader, PluginRangeLineBecomesARange)
{
    ExtraHeader extra;
    ASSERT_TRUE(TranslateExtraHeader("Range:bytes=3335-6669/10007\r\n", &extra));
    EXPECT_TRUE(extra.range.present);
    EXPECT_EQ(3335u, extra.range.first);
    EXPECT_TRUE(extra.range.lastKnown);
    EXPECT_EQ(6669u, extra.range.last);
    EXPECT_TRUE(extra.range.totalKnown);
    EXPECT_EQ(10007u, extra.range.total);
    EXPECT_EQ(0u, extra.length);
    EXPECT_FALSE(IsEmptyRange(extra.range));
}

TEST(TranslateExtraHeader, StandardAndOpenRanges)
{
    ExtraHeader extra;
    ASSERT_TRUE(TranslateExtraHeader("range: Bytes = 10-20", &extra));
    EXPECT_EQ(10u, extra.range.first);
    EXPECT_EQ(20u, extra.range.last);
    EXPECT_FALSE(extra.range.totalKnown);

    ASSERT_TRUE(TranslateExtraHeader("Range: bytes=4294967296-", &extra));
    EXPECT_EQ(4294967296ull, extra.range.first);
    EXPECT_FALSE(extra.range.lastKnown);

    ASSERT_TRUE(TranslateExtraHeader("Range:bytes=3335-3334/10007\r\n", &extra));
    EXPECT_TRUE(IsEmptyRange(extra.range));
}

TEST(TranslateExtraHeader, OtherLinesGoOutAsGivenWithCrLf)
{
    ExtraHeader extra;
    ASSERT_TRUE(TranslateExtraHeader("X-One: 1\nRange:bytes=0-9/10\r\nX-Two:two words\r\n\r\n", &extra));
    EXPECT_EQ(std::string("X-One: 1\r\nX-Two:two words\r\n"), std::string(extra.lines, extra.length));
    EXPECT_TRUE(extra.range.present);

    ASSERT_TRUE(TranslateExtraHeader(nullptr, &extra));
    EXPECT_FALSE(extra.range.present);
    EXPECT_EQ(0u, extra.length);
    EXPECT_EQ(0u, extra.ifRangeLength);
}

// A strong If-Range goes out as given; a weak one never does. Either value
// is known for judging the answers.
TEST(TranslateExtraHeader, IfRangeGoesOutUnlessWeakAndIsKnown)
{
    const struct {
        const char *text;
        const char *lines;
        const char *value;
        bool weak;
    } cases[] = {
        {"X-One: 1\r\nRange:bytes=5-9/10\r\nif-range:  \"v1-abc\" \r\n", "X-One: 1\r\nif-range:  \"v1-abc\" \r\n",
         "\"v1-abc\"", false},
        {"If-Range: Mon, 07 Dec 2026 10:00:00 GMT", "If-Range: Mon, 07 Dec 2026 10:00:00 GMT\r\n",
         "Mon, 07 Dec 2026 10:00:00 GMT", false},
        {"X-One: 1\r\nIf-Range: W/\"v1\"\r\nX-Two: 2\r\n", "X-One: 1\r\nX-Two: 2\r\n", "W/\"v1\"", true},
        {"Range:bytes=5-9/10\r\nif-range:\tW/\"\" ", "", "W/\"\"", true},
        // Lower-case w/ is no weak tag.
        {"If-Range: w/\"v1\"", "If-Range: w/\"v1\"\r\n", "w/\"v1\"", false},
        {"X-One: 1\r\n", "X-One: 1\r\n", "", false},
    };
    for (const auto &c : cases) {
        ExtraHeader extra;
        ASSERT_TRUE(TranslateExtraHeader(c.text, &extra)) << c.text;
        EXPECT_EQ(std::string(c.lines), std::string(extra.lines, extra.length)) << c.text;
        EXPECT_EQ(std::string(c.value), std::string(extra.ifRange, extra.ifRangeLength)) << c.text;
        EXPECT_EQ(c.weak, extra.ifRangeWeak) << c.text;
    }
}

TEST(TranslateExtraHeader, RefusesWhatCannotBeSent)
{
    const char *bad[] = {
        "X-A: 1\rX-B: 2\r\n",                  // a CR that ends no line
        "X-A: \x01\r\n",                       // control byte
        "no colon here\r\n",                   // not a field
        " X-Folded: 1\r\n",                    // starts with a blank
        "Bad Name: 1\r\n",                     // blank in the name
        "Range: bytes=0-1,5-6\r\n",            // several ranges
        "Range: bytes=-500\r\n",               // suffix range
        "Range: items=0-1\r\n",                // unknown unit
        "Range: bytes=10-5\r\n",               // first past last + 1
        "Range: bytes=0-1\r\nRange: bytes=2-3\r\n",
        "If-Range: \"a\"\r\nIf-Range: \"b\"\r\n",  // which version would the range continue?
        "If-Range:  \r\n",                       // no validator
    };
    for (const char *text : bad) {
        ExtraHeader extra;
        EXPECT_FALSE(TranslateExtraHeader(text, &extra)) << text;
    }
    std::string huge = "X-Big: " + std::string(kMaxExtraHeaderLength, 'b') + "\r\n";
    ExtraHeader extra;
    EXPECT_FALSE(TranslateExtraHeader(huge.c_str(), &extra));
}

// The request for urlText, through the proxy text when it is not null.
std::string Build(const char *urlText, const char *proxyText, const ByteRange *range, const char *extra)
{
    Url url;
    EXPECT_TRUE(ParseUrl(urlText, strlen(urlText), &url));
    ProxyServer proxy;
    bool useProxy = false;
    EXPECT_TRUE(ParseProxy(proxyText, &proxy, &useProxy));
    char out[2048];
    size_t n = BuildRequest(url, useProxy ? &proxy : nullptr, range, extra, strlen(extra), out, sizeof(out));
    EXPECT_NE(0u, n);
    return std::string(out, n);
}

// The plug-in's range line for the last of five segments of 5 GiB + 7
// bytes goes out with every digit.
TEST(TranslateExtraHeader, RangesPastThirtyTwoBitsKeepEveryDigit)
{
    ExtraHeader extra;
    ASSERT_TRUE(TranslateExtraHeader("Range:bytes=4294967300-5368709126/5368709127\r\n", &extra));
    EXPECT_EQ(4294967300ull, extra.range.first);
    EXPECT_EQ(5368709126ull, extra.range.last);
    EXPECT_EQ(5368709127ull, extra.range.total);
    EXPECT_EQ("GET /f HTTP/1.1\r\nHost: h\r\nUser-Agent: Ravlix/1.0\r\nAccept: */*\r\n"
              "Range: bytes=4294967300-5368709126\r\nConnection: close\r\n\r\n",
              Build("http://h/f", nullptr, &extra.range, ""));
    EXPECT_FALSE(TranslateExtraHeader("Range:bytes=0-18446744073709551616/1\r\n", &extra));
}

TEST(BuildRequest, OriginFormWithStandardRange)
{
    ByteRange range = {true, 3335, true, 6669, true, 10007};
    EXPECT_EQ("GET /f.bin?a=1 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nUser-Agent: Ravlix/1.0\r\nAccept: */*\r\n"
              "Range: bytes=3335-6669\r\nX-A: 1\r\nConnection: close\r\n\r\n",
              Build("http://127.0.0.1:8080/f.bin?a=1", nullptr, &range, "X-A: 1\r\n"));
}

TEST(BuildRequest, AbsoluteFormThroughProxyAndOpenRange)
{
    ByteRange range = {true, 100, false, 0, false, 0};
    EXPECT_EQ("GET http://[::1]/f HTTP/1.1\r\nHost: [::1]\r\nUser-Agent: Ravlix/1.0\r\nAccept: */*\r\n"
              "Range: bytes=100-\r\nConnection: close\r\n\r\n",
              Build("http://[::1]:80/f", "p:3128", &range, ""));
    EXPECT_EQ("GET /f HTTP/1.1\r\nHost: h\r\nUser-Agent: Ravlix/1.0\r\nAccept: */*\r\nConnection: close\r\n\r\n",
              Build("http://h/f", nullptr, nullptr, ""));
}

// RFC 7617's example, and the lengths whose base64 ends in one, two or no "=".
TEST(BuildRequest, ProxyCredentialsGoAsBasicAuthorization)
{
    struct Case {
        const char *proxy, *authorization;
    } cases[] = {
        {"Aladdin:open%20sesame@p:1", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"a:b@p:1", "YTpi"},
        {"ab:c@p:1", "YWI6Yw=="},
        {"ab:cd@p:1", "YWI6Y2Q="},
    };
    for (const Case &c : cases)
        EXPECT_EQ(std::string("GET http://h/f HTTP/1.1\r\nHost: h\r\nUser-Agent: Ravlix/1.0\r\nAccept: */*\r\n"
                              "Proxy-Authorization: Basic ") +
                      c.authorization + "\r\nConnection: close\r\n\r\n",
                  Build("http://h/f", c.proxy, nullptr, ""))
            << c.proxy;
}

TEST(BuildRequest, TooSmallBufferGivesZero)
{
    Url url;
    ASSERT_TRUE(ParseUrl("http://h/f", 10, &url));
    char out[40];
    EXPECT_EQ(0u, BuildRequest(url, nullptr, nullptr, "", 0, out, sizeof(out)));
}

}  // namespace
