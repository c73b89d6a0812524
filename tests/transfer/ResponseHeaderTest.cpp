#include <gtest/gtest.h>

#include <string>

#include "transfer/ResponseHeader.h"

namespace {

TEST(ParseContentLength, ReadsTheFieldInAnyCase)
{
    EXPECT_EQ(123456u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 123456\r\n\r\n"));
    EXPECT_EQ(77u, ParseContentLength("HTTP/1.1 200 OK\r\ncontent-length: 77\r\n"));
    EXPECT_EQ(5u, ParseContentLength("HTTP/1.1 200 OK\r\nCONTENT-LENGTH:5\r\nContent-Length: 5 \r\n"));
    EXPECT_EQ(8u, ParseContentLength("HTTP/1.0 200 OK\nContent-Length:\t8\n\n"));
}

// Only a line whose name is Content-Length counts: the text inside another
// field's name or value does not size the file.
TEST(ParseContentLength, OtherFieldsThatContainTheNameDoNotCount)
{
    EXPECT_EQ(3000u, ParseContentLength("HTTP/1.1 200 OK\r\nX-Original-Content-Length: 10\r\n"
                                        "Content-Length: 3000\r\n\r\n"));
    EXPECT_EQ(3000u, ParseContentLength("HTTP/1.1 200 OK\r\nX-Note: Content-Length: 10\r\n"
                                        "Content-Length: 3000\r\n\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nX-Original-Content-Length: 10\r\n\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK Content-Length: 10\r\n\r\n"));
    // After the header's end nothing is a field.
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\n\r\nContent-Length: 10\r\n"));
}

// Which length would frame the body? The start fails rather than guess.
TEST(ParseContentLength, ConflictingOrMalformedValuesAreZero)
{
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nCONTENT-LENGTH:5\r\nContent-Length: 9\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length:   12abc\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 12, 12\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length:\r\n"));
}

TEST(ParseContentLength, MissingZeroNegativeOrTooLargeIsZero)
{
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nServer: x\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n"));
    EXPECT_EQ(2147483647u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Len"));
}

TEST(ParseContentLength, SizesPastThirtyTwoBitsUpToTwoToTheSixtyThree)
{
    EXPECT_EQ(2147483648ull, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n"));
    EXPECT_EQ(4294979641ull, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 4294979641\r\n"));
    EXPECT_EQ(1ull << 40, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n"));
    EXPECT_EQ(9223372036854775806ull,
              ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775806\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551617\r\n"));
    EXPECT_EQ(0u, ParseContentLength("HTTP/1.1 200 OK\r\nContent-Length: -4294979641\r\n"));
}

TEST(ParseMinorVersion, TheDigitAfterHttp1)
{
    EXPECT_EQ(1, ParseMinorVersion("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(0, ParseMinorVersion("HTTP/1.0 200 OK\r\n"));
    EXPECT_EQ(1, ParseMinorVersion("http/1.1 200 OK\r\n"));
    EXPECT_EQ(0, ParseMinorVersion("ICY 200 OK\r\n"));
    EXPECT_EQ(-1, ParseMinorVersion("HTTP/1.-1 200 OK\r\n"));
    EXPECT_EQ(1000, ParseMinorVersion("HTTP/1.99999999999999 200 OK\r\n"));
}

// The validator goes out as If-Range, which takes a strong value only: a
// strong ETag, else the date, else a weak ETag (which the component keeps
// off the wire and compares itself).
TEST(ParseValidator, PrefersAStrongValue)
{
    const char kDate[] = "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n";
    const struct {
        std::string header;
        const char *validator;
    } cases[] = {
        {std::string(kDate) + "ETag: \"abc-12\"\r\n", "ETag: \"abc-12\""},
        {"ETag: \"abc-12\"\r\n", "ETag: \"abc-12\""},
        {std::string("ETag: W/\"abc-12\"\r\n") + kDate, "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT"},
        {"etag:  W/\"abc-12\" \r\n", "ETag: W/\"abc-12\""},
        {"last-modified:  Mon, 07 Dec 2026 10:00:00 GMT  \r\n", "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT"},
        {"Content-Length: 5\r\n", ""},
        // A key inside another header's value is not a header line.
        {"X-Note: ETag: fake\r\n", ""},
        {std::string("X-Note: ETag: \"fake\"\r\nETag: W/\"abc\"\r\n") + kDate,
         "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT"},
    };
    for (const auto &c : cases) {
        char out[260];
        ParseValidator(("HTTP/1.1 200 OK\r\n" + c.header + "\r\n").c_str(), out, sizeof(out));
        EXPECT_STREQ(c.validator, out) << c.header;
    }
}

}  // namespace
