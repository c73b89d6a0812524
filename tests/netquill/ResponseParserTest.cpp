// Response headers: where they end, the status line, the framing fields, and
// whether an answer is the one asked for.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "components/WebRequest.h"
#include "netquill/AnswerCheck.h"
#include "netquill/HttpResponseParser.h"
#include "netquill/RequestText.h"

namespace {

bool Parse(const std::string &text, ResponseHead *head)
{
    return ParseResponseHead(text.data(), text.size(), head);
}

TEST(FindHeaderEnd, CrLfBareLfAndGrowingInput)
{
    std::string crlf = "HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody";
    size_t scanned = 0;
    EXPECT_EQ(crlf.size() - 4, FindHeaderEnd(crlf.data(), crlf.size(), &scanned));
    std::string lf = "HTTP/1.0 200 OK\nA: b\n\nbody";
    scanned = 0;
    EXPECT_EQ(lf.size() - 4, FindHeaderEnd(lf.data(), lf.size(), &scanned));

    // Fed one byte at a time, the end is found exactly when its last byte arrives.
    scanned = 0;
    size_t found = 0;
    for (size_t n = 1; n <= crlf.size() && !found; ++n) {
        found = FindHeaderEnd(crlf.data(), n, &scanned);
        if (found) {
            EXPECT_EQ(crlf.size() - 4, n);
        }
    }
    EXPECT_EQ(crlf.size() - 4, found);
}

TEST(ParseResponseHead, StatusAndFraming)
{
    ResponseHead head;
    ASSERT_TRUE(Parse("HTTP/1.1 200 OK\r\nContent-Length: 10007\r\n\r\n", &head));
    EXPECT_EQ(1, head.minorVersion);
    EXPECT_EQ(200, head.status);
    EXPECT_EQ(BodyLength, head.body);
    EXPECT_EQ(10007u, head.contentLength);

    ASSERT_TRUE(Parse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n", &head));
    EXPECT_EQ(BodyChunked, head.body);
    ASSERT_TRUE(Parse("HTTP/1.0 200\r\nServer: x\r\n\r\n", &head));
    EXPECT_EQ(0, head.minorVersion);
    EXPECT_EQ(BodyUntilClose, head.body);
    ASSERT_TRUE(Parse("HTTP/1.1 204 No Content\r\nContent-Length: 9\r\n\r\n", &head));
    EXPECT_EQ(BodyNone, head.body);
    ASSERT_TRUE(Parse("HTTP/1.1 200 OK\r\nContent-Length: 7\r\ncontent-length: 7\r\n\r\n", &head));
    EXPECT_EQ(7u, head.contentLength);
}

TEST(ParseResponseHead, RangeAndLocation)
{
    ResponseHead head;
    ASSERT_TRUE(Parse("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 3335-6669/10007\r\n"
                      "Location:  /next \r\n Folded: continuation\r\n\r\n",
                      &head));
    EXPECT_TRUE(head.hasContentRange);
    EXPECT_EQ(3335u, head.contentRange.first);
    EXPECT_EQ(6669u, head.contentRange.last);
    EXPECT_EQ(10007u, head.contentRange.total);
    ASSERT_NE(nullptr, head.location);
    EXPECT_EQ("/next", std::string(head.location, head.locationLength));

    ASSERT_TRUE(Parse("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */10007\r\n\r\n", &head));
    EXPECT_FALSE(head.hasContentRange);
    EXPECT_EQ(nullptr, head.location);
}

TEST(ParseResponseHead, RefusesMalformedHeaders)
{
    const char *bad[] = {
        "HTTP/2 200 OK\r\n\r\n",
        "HTTP/1.1 20 OK\r\n\r\n",
        "HTTP/1.1 200OK\r\n\r\n",
        "ICY 200 OK\r\n\r\n",
        "<html>hello</html>\r\n\r\n",
        "HTTP/1.1 200 OK\r\nno colon\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
    };
    ResponseHead head;
    for (const char *text : bad)
        EXPECT_FALSE(Parse(text, &head)) << text;
    std::string withNul("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n", 27);
    EXPECT_FALSE(Parse(withNul, &head));
}

TEST(ParseContentRange, Forms)
{
    ContentRange range;
    EXPECT_TRUE(ParseContentRange("bytes 0-0/1", 11, &range));
    EXPECT_TRUE(ParseContentRange("bytes 5-9/*", 11, &range));
    EXPECT_FALSE(range.totalKnown);
    const char *bad[] = {"bytes */10", "bytes 9-5/10", "bytes 0-10/10", "items 0-1/2", "bytes 0-1/2x", "bytes0-1/2"};
    for (const char *text : bad)
        EXPECT_FALSE(ParseContentRange(text, strlen(text), &range)) << text;
}

struct Judged {
    AnswerVerdict verdict;
    int error;
    BodyWindow window;
};

Judged Judge(const std::string &header, const ByteRange &asked, const ExpectedVersion &expected = ExpectedVersion())
{
    ResponseHead head;
    EXPECT_TRUE(Parse(header, &head)) << header;
    Judged judged = {};
    judged.verdict = JudgeAnswer(head, asked, expected, &judged.window, &judged.error);
    return judged;
}

FieldValue Field(const char *text)
{
    FieldValue value = {text, text ? strlen(text) : 0};
    return value;
}

const ByteRange kWhole = {false, 0, false, 0, false, 0};
const ByteRange kSegment = {true, 3335, true, 6669, true, 10007};

TEST(JudgeAnswer, WholeResourceTakesAny2xx)
{
    Judged j = Judge("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", kWhole);
    EXPECT_EQ(AnswerAccepted, j.verdict);
    EXPECT_EQ(0u, j.window.first);
    EXPECT_TRUE(j.window.endKnown);
    EXPECT_EQ(10u, j.window.end);
    j = Judge("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", kWhole);
    EXPECT_EQ(AnswerAccepted, j.verdict);
    EXPECT_FALSE(j.window.endKnown);
    for (const char *refused : {"HTTP/1.1 404 Not Found\r\n\r\n", "HTTP/1.1 500 Oops\r\n\r\n",
                                "HTTP/1.1 302 Found\r\n\r\n"}) {
        j = Judge(refused, kWhole);
        EXPECT_EQ(AnswerRefused, j.verdict) << refused;
        EXPECT_EQ(WebRequestHttpStatus, j.error) << refused;
    }
}

TEST(JudgeAnswer, RedirectsNeedALocation)
{
    for (int status : {301, 302, 303, 307, 308}) {
        std::string header = "HTTP/1.1 " + std::to_string(status) + " R\r\nLocation: /x\r\n\r\n";
        EXPECT_EQ(AnswerRedirected, Judge(header, kSegment).verdict) << status;
    }
    EXPECT_EQ(AnswerRefused, Judge("HTTP/1.1 300 Choices\r\nLocation: /x\r\n\r\n", kWhole).verdict);
}

TEST(JudgeAnswer, RangeTakesOnly206WithTheFirstByteAsked)
{
    Judged j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\nContent-Length: 3335\r\n\r\n", kSegment);
    EXPECT_EQ(AnswerAccepted, j.verdict);
    EXPECT_EQ(3335u, j.window.first);
    EXPECT_EQ(6670u, j.window.end);

    // More than asked is cut to the range; less leaves the end at the range's end.
    j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 3335-10006/10007\r\n\r\n", kSegment);
    EXPECT_EQ(6670u, j.window.end);
    j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 3335-4000/*\r\n\r\n", kSegment);
    EXPECT_EQ(AnswerAccepted, j.verdict);
    EXPECT_EQ(6670u, j.window.end);

    // Why matters to the caller: ranges it cannot use, a file that changed,
    // or an answer that may be better next time.
    const struct {
        const char *header;
        int error;
    } refused[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 10007\r\n\r\n", WebRequestRangeRefused},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 0-6669/10007\r\n\r\n", WebRequestRangeRefused},
        {"HTTP/1.1 206 P\r\nContent-Type: multipart/byteranges\r\n\r\n", WebRequestRangeRefused},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/20000\r\n\r\n", WebRequestFileChanged},
        {"HTTP/1.1 416 R\r\nContent-Range: bytes */10007\r\n\r\n", WebRequestHttpStatus},
        {"HTTP/1.1 503 Busy\r\n\r\n", WebRequestHttpStatus},
    };
    for (const auto &r : refused) {
        j = Judge(r.header, kSegment);
        EXPECT_EQ(AnswerRefused, j.verdict) << r.header;
        EXPECT_EQ(r.error, j.error) << r.header;
    }
}

// An If-Range value is compared with the answer's field of its kind, whether
// or not the server heeded it; a whole file under If-Range is a changed file.
TEST(JudgeAnswer, RangeUnderIfRangeMustBeOfThatVersion)
{
    const char kV1[] = "HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\nETag: \"v1\"\r\n"
                       "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n\r\n";
    const char kV2[] = "HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\nETag: \"v2\"\r\n"
                       "Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n\r\n";
    const char kUnmarked[] = "HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\n\r\n";
    ExpectedVersion byTag = {};
    byTag.ifRange = Field("\"v1\"");
    ExpectedVersion byDate = {};
    byDate.ifRange = Field("Mon, 07 Dec 2026 10:00:00 GMT");

    EXPECT_EQ(AnswerAccepted, Judge(kV1, kSegment, byTag).verdict);
    EXPECT_EQ(AnswerAccepted, Judge(kV1, kSegment, byDate).verdict);
    for (const ExpectedVersion &expected : {byTag, byDate}) {
        for (const char *header : {kV2, kUnmarked, "HTTP/1.1 200 OK\r\nETag: \"v2\"\r\nContent-Length: 10007\r\n\r\n"}) {
            Judged j = Judge(header, kSegment, expected);
            EXPECT_EQ(AnswerRefused, j.verdict) << header;
            EXPECT_EQ(WebRequestFileChanged, j.error) << header;
        }
    }
    // The whole resource is not judged by version: there is nothing to continue.
    EXPECT_EQ(AnswerAccepted, Judge("HTTP/1.1 200 OK\r\nETag: \"v2\"\r\n\r\n", kWhole, byTag).verdict);
}

// A weak tag the caller gave for If-Range did not go out: the answer's ETag
// must match it by the weak comparison, or the file changed.
TEST(JudgeAnswer, RangeUnderAWeakTagMatchesItWeakly)
{
    ExpectedVersion weak = {};
    weak.weakTag = Field("W/\"v1\"");
    const std::string kRange = "HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\n";
    const struct {
        std::string header;
        AnswerVerdict verdict;
        int error;
    } cases[] = {
        {kRange + "ETag: W/\"v1\"\r\n\r\n", AnswerAccepted, WebRequestOk},
        {kRange + "ETag: \"v1\"\r\n\r\n", AnswerAccepted, WebRequestOk},
        {kRange + "ETag: W/\"v2\"\r\n\r\n", AnswerRefused, WebRequestFileChanged},
        {kRange + "ETag: W/\"v1-\"\r\n\r\n", AnswerRefused, WebRequestFileChanged},
        {kRange + "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n\r\n", AnswerRefused, WebRequestFileChanged},
        // Ranges not served: another version, or the same one without ranges.
        {"HTTP/1.1 200 OK\r\nETag: W/\"v2\"\r\nContent-Length: 10007\r\n\r\n", AnswerRefused,
         WebRequestFileChanged},
        {"HTTP/1.1 200 OK\r\nETag: W/\"v1\"\r\nContent-Length: 10007\r\n\r\n", AnswerRefused,
         WebRequestRangeRefused},
    };
    for (const auto &c : cases) {
        Judged j = Judge(c.header, kSegment, weak);
        EXPECT_EQ(c.verdict, j.verdict) << c.header;
        EXPECT_EQ(c.error, j.error) << c.header;
    }
}

// A request without a range takes a 206 only when it is the whole resource
// as one range, its body that long: any other part would be taken for the start.
TEST(JudgeAnswer, WholeResourceTakesA206OnlyOfTheWhole)
{
    Judged j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n\r\n", kWhole);
    EXPECT_EQ(AnswerAccepted, j.verdict);
    EXPECT_EQ(0u, j.window.first);
    EXPECT_EQ(1000u, j.window.end);
    const char *refused[] = {
        "HTTP/1.1 206 P\r\nContent-Range: bytes 500-999/1000\r\nContent-Length: 500\r\n\r\n",
        "HTTP/1.1 206 P\r\nContent-Range: bytes 0-499/1000\r\nContent-Length: 500\r\n\r\n",
        "HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/*\r\nContent-Length: 1000\r\n\r\n",
        "HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/1000\r\nContent-Length: 500\r\n\r\n",
        "HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/1000\r\nTransfer-Encoding: chunked\r\n\r\n",
        "HTTP/1.1 206 P\r\nContent-Range: bytes 0-999/1000\r\n\r\n",
        "HTTP/1.1 206 P\r\nContent-Type: multipart/byteranges; boundary=x\r\nContent-Length: 1000\r\n\r\n",
    };
    for (const char *header : refused) {
        j = Judge(header, kWhole);
        EXPECT_EQ(AnswerRefused, j.verdict) << header;
        EXPECT_EQ(WebRequestHttpStatus, j.error) << header;
    }
}

// A reconnect continues the first answer's bytes: its validators must be the
// first answer's, present or absent alike.
TEST(JudgeAnswer, ReconnectMustRepeatTheFirstAnswersValidators)
{
    const char kTagged[] = "HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\nETag: \"v1\"\r\n\r\n";
    const char kDated[] = "HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\n"
                          "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n\r\n";
    const char kNone[] = "HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\n\r\n";
    ExpectedVersion tagged = {};
    tagged.sameAsFirst = true;
    tagged.firstEtag = Field("\"v1\"");
    ExpectedVersion dated = {};
    dated.sameAsFirst = true;
    dated.firstLastModified = Field("Mon, 07 Dec 2026 10:00:00 GMT");
    ExpectedVersion none = {};
    none.sameAsFirst = true;

    EXPECT_EQ(AnswerAccepted, Judge(kTagged, kSegment, tagged).verdict);
    EXPECT_EQ(AnswerAccepted, Judge(kDated, kSegment, dated).verdict);
    EXPECT_EQ(AnswerAccepted, Judge(kNone, kSegment, none).verdict);
    const struct {
        const char *header;
        const ExpectedVersion &expected;
    } changed[] = {
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\nETag: \"v2\"\r\n\r\n", tagged},
        {kNone, tagged},
        {kDated, tagged},
        {kTagged, none},
        {"HTTP/1.1 206 P\r\nContent-Range: bytes 3335-6669/10007\r\n"
         "Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n\r\n",
         dated},
    };
    for (const auto &c : changed) {
        Judged j = Judge(c.header, kSegment, c.expected);
        EXPECT_EQ(AnswerRefused, j.verdict) << c.header;
        EXPECT_EQ(WebRequestFileChanged, j.error) << c.header;
    }
}

TEST(JudgeAnswer, RangesAndTotalsPastThirtyTwoBits)
{
    ByteRange last = {true, 4294967300ull, true, 5368709126ull, true, 5368709127ull};
    Judged j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 4294967300-5368709126/5368709127\r\n"
                     "Content-Length: 1073741827\r\n\r\n",
                     last);
    EXPECT_EQ(AnswerAccepted, j.verdict);
    EXPECT_EQ(4294967300ull, j.window.first);
    EXPECT_EQ(5368709127ull, j.window.end);
    // The same numbers cut to 32 bits name another file or another range.
    j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 4294967300-5368709126/1073741831\r\n\r\n", last);
    EXPECT_EQ(AnswerRefused, j.verdict);
    j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 4-1073741830/5368709127\r\n\r\n", last);
    EXPECT_EQ(AnswerRefused, j.verdict);
}

TEST(JudgeAnswer, OpenRangeEndsAtTheTotal)
{
    ByteRange open = {true, 100, false, 0, false, 0};
    Judged j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 100-199/200\r\n\r\n", open);
    EXPECT_EQ(AnswerAccepted, j.verdict);
    EXPECT_EQ(200u, j.window.end);
    // A range asked past the end of the file ends where the file does.
    ByteRange past = {true, 100, true, 999, false, 0};
    j = Judge("HTTP/1.1 206 P\r\nContent-Range: bytes 100-199/200\r\n\r\n", past);
    EXPECT_EQ(200u, j.window.end);
}

}  // namespace
