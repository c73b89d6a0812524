// The component against a scripted server that misbehaves on purpose. Each
// fault: the right result, no byte handed out that is not the file's, and a
// prompt Close. The suite runs with short time-outs (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

#include "netquill/ScriptedServer.h"
#include "netquill/TestRequest.h"

namespace {

const std::string kFile = Pattern(10007);
// The plug-in's range line for bytes 1000..8999 of the file.
const char kRange[] = "Range:bytes=1000-8999/10007\r\n";
const std::string kRangeBytes = kFile.substr(1000, 8000);

std::string Fetch(TestRequest &request, bool withCallback, size_t expected)
{
    if (!withCallback)
        return request.ReadAll(5000);
    request.WaitForBytes(expected, 20000);
    return request.Received();
}

// The answer a good server gives, sent in pieces of `piece` bytes with a pause after each.
void ServeSlowly(ScriptedConnection &c, size_t piece, DWORD pauseMs)
{
    size_t first, count;
    std::string header = OkHeader(c, kFile, &first, &count);
    c.SendSlowly(header + kFile.substr(first, count), piece, pauseMs);
}

// The first answer breaks off after `sent` bytes of the range; later ones are good.
void BreakFirstAnswer(ScriptedConnection &c, size_t sent, bool stall)
{
    if (c.Index() > 0)
        return ServeBody(c, kFile);
    size_t first, count;
    std::string header = OkHeader(c, kFile, &first, &count);
    c.Send(header + kFile.substr(first, sent));
    if (stall)
        c.WaitForClientClose();
}

TEST(Reconnect, DropAndStallAreMendedFromTheNextByte)
{
    for (bool withCallback : {true, false}) {
        for (bool stall : {false, true}) {
            ScriptedServer server([stall](ScriptedConnection &c) { BreakFirstAnswer(c, 3000, stall); });
            TestRequest request;
            ASSERT_TRUE(request.Open(server.Url("/f"), kRange, withCallback));
            EXPECT_EQ(kRangeBytes, Fetch(request, withCallback, kRangeBytes.size()));
            EXPECT_EQ(WebRequestOk, request.LastError());
            ASSERT_EQ(2, server.Connections());
            EXPECT_NE(std::string::npos, server.Requests()[1].find("\r\nRange: bytes=4000-8999\r\n"));
            EXPECT_FALSE(request.DeliveryRulesBroken());
        }
    }
}

TEST(Reconnect, WholeFileIsResumedInCallbackModeOnly)
{
    // Callback mode asks the rest with a range; Read resumes only what came as 206.
    for (bool withCallback : {true, false}) {
        ScriptedServer server([](ScriptedConnection &c) { BreakFirstAnswer(c, 3000, false); });
        TestRequest request;
        ASSERT_TRUE(request.Open(server.Url("/f"), nullptr, withCallback));
        if (withCallback) {
            EXPECT_EQ(kFile, Fetch(request, true, kFile.size()));
            EXPECT_NE(std::string::npos, server.Requests()[1].find("\r\nRange: bytes=3000-10006\r\n"));
        } else {
            EXPECT_EQ(kFile.substr(0, 3000), request.ReadAll(5000));
            EXPECT_EQ(WebRequestConnectionLost, request.LastError());
            EXPECT_EQ(1, server.Connections());
        }
    }
}

TEST(Reconnect, GivesUpAfterReconnectsWithoutProgress)
{
    ScriptedServer server([](ScriptedConnection &c) {
        size_t first, count;
        std::string header = OkHeader(c, kFile, &first, &count);
        c.Send(header + (c.Index() == 0 ? kFile.substr(first, 100) : std::string()));
    });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), kRange, true));
    ASSERT_TRUE(request.WaitForFailure(30000));
    EXPECT_EQ(WebRequestConnectionLost, request.LastError());
    EXPECT_EQ(kRangeBytes.substr(0, 100), request.Received());
    // The first connection and four reconnects that brought nothing.
    EXPECT_EQ(5, server.Connections());
}

TEST(Reconnect, ResumedAnswerThatIsNotTheRestEndsTheDelivery)
{
    // After the break the server forgets ranges: nothing of its 200 may be handed out.
    ScriptedServer server([](ScriptedConnection &c) {
        if (c.Index() > 0)
            return (void)c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10007\r\n\r\n" + kFile);
        BreakFirstAnswer(c, 500, false);
    });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), kRange, true));
    ASSERT_TRUE(request.WaitForFailure(30000));
    EXPECT_EQ(kRangeBytes.substr(0, 500), request.Received());
    // Ranges are not served any more: asking again would not help.
    EXPECT_EQ(WebRequestRangeRefused, request.LastError());
    EXPECT_EQ(2, server.Connections());
}

// The same length, other bytes: what a server holds after its file was replaced.
const std::string kOtherFile = Pattern(20014).substr(10007);

// A range answer of the file `body` with the validators given (each sent when not empty).
std::string VersionedAnswer(const ScriptedConnection &c, const std::string &body, const std::string &etag,
                            const std::string &lastModified, size_t limit)
{
    size_t first, count;
    std::string header = OkHeader(c, body, &first, &count);
    std::string fields = (etag.empty() ? "" : "ETag: " + etag + "\r\n") +
                         (lastModified.empty() ? "" : "Last-Modified: " + lastModified + "\r\n");
    header.insert(header.size() - 2, fields);
    return header + body.substr(first, count < limit ? count : limit);
}

// The file is replaced while a range is under way: the reconnect's answer is
// of the new version, whether it names it by ETag or by date. Not one of its
// bytes may follow the old ones, and the request gives up at once.
TEST(Reconnect, AnswerOfAnotherVersionEndsTheDelivery)
{
    const struct {
        const char *firstTag, *laterTag, *firstDate, *laterDate;
    } versions[] = {
        {"\"v1\"", "\"v2\"", "", ""},
        {"", "", "Mon, 07 Dec 2026 10:00:00 GMT", "Tue, 08 Dec 2026 10:00:00 GMT"},
        {"\"v1\"", "", "", ""},  // the validator is gone: nothing proves the file is the same
        {"", "\"v2\"", "", ""},
    };
    for (const auto &v : versions) {
        for (bool withCallback : {true, false}) {
            ScriptedServer server([&v](ScriptedConnection &c) {
                if (c.Index() == 0)
                    c.Send(VersionedAnswer(c, kFile, v.firstTag, v.firstDate, 500));
                else
                    c.Send(VersionedAnswer(c, kOtherFile, v.laterTag, v.laterDate, kOtherFile.size()));
            });
            TestRequest request;
            ASSERT_TRUE(request.Open(server.Url("/f"), kRange, withCallback));
            std::string received = withCallback ? (request.WaitForFailure(30000), request.Received()) : request.ReadAll(700);
            EXPECT_EQ(kRangeBytes.substr(0, 500), received) << v.firstTag << v.laterTag << v.firstDate;
            EXPECT_EQ(WebRequestFileChanged, request.LastError());
            EXPECT_EQ(2, server.Connections());
        }
    }
}

// A request read for a while and then handed to deliveries (the plug-in's
// probe becoming its first segment): every byte comes once, in order, and a
// break is mended only by an answer of the first one's version.
TEST(Reconnect, ReadThenDeliveredRestIsTheFileAndKeepsItsVersion)
{
    for (bool sameVersion : {true, false}) {
        ScriptedServer server([sameVersion](ScriptedConnection &c) {
            if (c.Index() == 0)
                c.Send(VersionedAnswer(c, kFile, "\"v1\"", "", 3000));
            else
                c.Send(VersionedAnswer(c, sameVersion ? kFile : kOtherFile, sameVersion ? "\"v1\"" : "\"v2\"", "",
                                       kFile.size()));
        });
        TestRequest request;
        ASSERT_TRUE(request.Open(server.Url("/f")));
        char first[1000];
        unsigned read = request.Read(first, sizeof(first));
        ASSERT_GT(read, 0u);
        ASSERT_TRUE(request.DeliverRest());
        EXPECT_EQ(0u, request.Read(first, sizeof(first))) << "Read goes on beside the deliveries";
        if (sameVersion) {
            EXPECT_TRUE(request.WaitForBytes(kFile.size() - read, 20000));
            EXPECT_EQ(kFile, std::string(first, read) + request.Received());
            EXPECT_EQ(WebRequestOk, request.LastError());
        } else {
            ASSERT_TRUE(request.WaitForFailure(30000));
            EXPECT_EQ(kFile.substr(0, 3000), std::string(first, read) + request.Received());
            EXPECT_EQ(WebRequestFileChanged, request.LastError());
        }
        ASSERT_EQ(2, server.Connections());
        EXPECT_NE(std::string::npos, server.Requests()[1].find("\r\nRange: bytes=3000-10006\r\n"));
        EXPECT_FALSE(request.DeliveryRulesBroken());
    }
}

TEST(Reconnect, OnlyARequestReadSoFarCanHaveItsRestDelivered)
{
    ScriptedServer server([](ScriptedConnection &c) { ServeBody(c, kFile); });
    TestRequest pushed;
    ASSERT_TRUE(pushed.Open(server.Url("/f"), nullptr, true));
    EXPECT_FALSE(pushed.DeliverRest());
    EXPECT_TRUE(pushed.WaitForBytes(kFile.size(), 20000));
    EXPECT_EQ(kFile, pushed.Received()) << "delivered twice";

    TestRequest readToTheEnd;
    ASSERT_TRUE(readToTheEnd.Open(server.Url("/f")));
    EXPECT_EQ(kFile, readToTheEnd.ReadAll(5000));
    EXPECT_FALSE(readToTheEnd.DeliverRest());
    EXPECT_EQ(0, readToTheEnd.Deliveries());
}

// If-Range goes out with the range, on the reconnects too; an answer that
// is not of its version is refused whether or not the server heeded it.
TEST(Answers, EveryAnswerUnderIfRangeMustBeOfItsVersion)
{
    const std::string rangeAndVersion = std::string(kRange) + "If-Range: \"v1\"\r\n";
    const struct {
        std::string answer;
        int error;
    } answers[] = {
        // heeded: the whole new file
        {"HTTP/1.1 200 OK\r\nETag: \"v2\"\r\nContent-Length: 10007\r\n\r\n" + kOtherFile, WebRequestFileChanged},
        // ignored: the range of the new file
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-8999/10007\r\nETag: \"v2\"\r\n"
         "Content-Length: 8000\r\n\r\n" + kOtherFile.substr(1000, 8000),
         WebRequestFileChanged},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-8999/10007\r\n"
         "Content-Length: 8000\r\n\r\n" + kOtherFile.substr(1000, 8000),
         WebRequestFileChanged},
    };
    for (const auto &a : answers) {
        for (bool withCallback : {true, false}) {
            ScriptedServer server([&a](ScriptedConnection &c) { c.Send(a.answer); });
            TestRequest request;
            EXPECT_FALSE(request.Open(server.Url("/f"), rangeAndVersion.c_str(), withCallback));
            EXPECT_EQ(a.error, request.LastError());
            Sleep(50);
            EXPECT_EQ(0, request.Deliveries());
        }
    }

    // The version asked for, broken off once: mended, with If-Range on the reconnect.
    ScriptedServer server([](ScriptedConnection &c) {
        c.Send(VersionedAnswer(c, kFile, "\"v1\"", "", c.Index() == 0 ? 3000 : kFile.size()));
    });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), rangeAndVersion.c_str(), true));
    EXPECT_EQ(kRangeBytes, Fetch(request, true, kRangeBytes.size()));
    EXPECT_EQ(WebRequestOk, request.LastError());
    ASSERT_EQ(2, server.Connections());
    for (const std::string &sent : server.Requests())
        EXPECT_NE(std::string::npos, sent.find("\r\nIf-Range: \"v1\"\r\n")) << sent;
}

struct RefusedAnswer {
    const char *answer;
    int error;
};

TEST(Answers, RefusedOnesFailOpenAndHandOutNothing)
{
    const std::string longHeader = "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(70000, 'p') + "\r\n\r\n";
    const RefusedAnswer answers[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 10007\r\n\r\n", WebRequestRangeRefused},  // range ignored
        {"HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */10007\r\n\r\n", WebRequestHttpStatus},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-7999/10007\r\nContent-Length: 8000\r\n\r\n",
         WebRequestRangeRefused},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-8999/20000\r\nContent-Length: 8000\r\n\r\n",
         WebRequestFileChanged},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", WebRequestHttpStatus},
        {"HTTP/1.1 503 Busy\r\nContent-Length: 0\r\n\r\n", WebRequestHttpStatus},
        {"HTTP/1.1 2OO OK\r\n\r\n", WebRequestBadResponse},
        {"HTTP/2 200 OK\r\n\r\n", WebRequestBadResponse},
        {"<html>not http</html>\r\n\r\n", WebRequestBadResponse},
        {"HTTP/1.1 200 OK\r\nContent-Length: ten\r\n\r\n", WebRequestBadResponse},
        {"HTTP/1.1 200 OK\r\nContent-Le", WebRequestBadResponse},  // closed inside the header
        {"", WebRequestConnectionLost},                             // closed before a byte
        {longHeader.c_str(), WebRequestBadResponse},
    };
    for (const RefusedAnswer &a : answers) {
        for (bool withCallback : {true, false}) {
            std::string answer = a.answer;
            // A complete header comes with the file after it, as a careless server would send it.
            bool complete = answer.size() >= 4 && answer.compare(answer.size() - 4, 4, "\r\n\r\n") == 0;
            ScriptedServer server([&](ScriptedConnection &c) { c.Send(complete ? answer + kFile : answer); });
            TestRequest request;
            EXPECT_FALSE(request.Open(server.Url("/f"), kRange, withCallback)) << a.answer;
            EXPECT_EQ(a.error, request.LastError()) << a.answer;
            Sleep(50);
            EXPECT_EQ(0, request.Deliveries()) << a.answer;
        }
    }
}

TEST(Answers, HeaderBelowTheLimitIsTaken)
{
    const std::string header =
        "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(60000, 'p') + "\r\nContent-Length: 10007\r\n\r\n";
    ScriptedServer server([&header](ScriptedConnection &c) { c.Send(header + kFile); });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f")));
    EXPECT_EQ(header, request.Header());
    EXPECT_EQ(kFile, request.ReadAll(5000));
}

std::string Chunked(const std::string &body, bool breakFraming)
{
    std::string out;
    size_t sizes[] = {1, 4096, 3, 5000};
    size_t offset = 0;
    for (size_t i = 0; offset < body.size(); ++i) {
        size_t n = std::min(sizes[i % 4], body.size() - offset);
        char line[32];
        sprintf(line, "%zx;ext=1\r\n", n);
        out += line + body.substr(offset, n) + (breakFraming && offset > 5000 ? "XX" : "\r\n");
        offset += n;
    }
    return out + "0\r\nTrailer: x\r\n\r\n";
}

TEST(Bodies, ChunkedInAnyPiecesGivesTheFile)
{
    for (bool withCallback : {true, false}) {
        ScriptedServer server([](ScriptedConnection &c) {
            c.SendSlowly("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunked(kFile, false), 777, 1);
        });
        TestRequest request;
        ASSERT_TRUE(request.Open(server.Url("/f"), nullptr, withCallback));
        EXPECT_EQ(kFile, Fetch(request, withCallback, kFile.size()));
        EXPECT_EQ(WebRequestOk, request.LastError());
    }
}

TEST(Bodies, BrokenChunkingStopsAtTheLastGoodByte)
{
    ScriptedServer server([](ScriptedConnection &c) {
        c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunked(kFile, true));
    });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f")));
    std::string got = request.ReadAll(5000);
    EXPECT_EQ(WebRequestBadResponse, request.LastError());
    EXPECT_LT(got.size(), kFile.size());
    EXPECT_EQ(kFile.substr(0, got.size()), got);
}

TEST(Bodies, Http10BodyEndsWithTheConnection)
{
    ScriptedServer server([](ScriptedConnection &c) { c.Send("HTTP/1.0 200 OK\r\n\r\n" + kFile); });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f")));
    EXPECT_EQ(kFile, request.ReadAll(5000));
    EXPECT_EQ(WebRequestOk, request.LastError());
}

// Reads go straight into the reader's buffer when the body has no framing
// between its bytes; they must still end where its length says, though the
// server sends more on the same connection, with reads smaller and larger
// than the pieces it sends.
TEST(Bodies, ReadsEndWhereTheLengthSaysThoughMoreFollows)
{
    const std::string extra = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nnot the file";
    for (unsigned chunk : {1000u, 1u << 20}) {
        ScriptedServer server([&](ScriptedConnection &c) {
            char header[96];
            sprintf(header, "HTTP/1.1 200 OK\r\nContent-Length: %zu\r\n\r\n", kFile.size());
            c.SendSlowly(header + kFile + extra, 2500, 2);
            c.WaitForClientClose();
        });
        TestRequest request;
        ASSERT_TRUE(request.Open(server.Url("/f")));
        EXPECT_EQ(kFile, request.ReadAll(chunk)) << "reads of " << chunk;
        EXPECT_EQ(WebRequestOk, request.LastError());
    }
}

TEST(Bodies, SlowTrickleArrivesWhole)
{
    ScriptedServer server([](ScriptedConnection &c) { ServeSlowly(c, 400, 10); });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), kRange, true));
    EXPECT_EQ(kRangeBytes, Fetch(request, true, kRangeBytes.size()));
    EXPECT_GT(request.Deliveries(), 1);
    EXPECT_FALSE(request.DeliveryRulesBroken());
}

// A body that comes slower than it is read, in small pieces, is read in
// larger ones: under Wine each read and each wait is a round trip to the
// wineserver. 128 pieces of 16 KiB, one every 2 ms (about 8 MB/s): read as
// they come, about one delivery each; gathered, a read takes about 128 KiB.
TEST(Bodies, APacedBodyIsGatheredIntoLargerReads)
{
    const std::string big = Pattern(2 << 20);
    const size_t kPiece = 16384;
    ScriptedServer server([&](ScriptedConnection &c) {
        size_t first, count;
        std::string header = OkHeader(c, big, &first, &count);
        c.Send(header);
        c.SendSlowly(big.substr(first, count), kPiece, 2);
    });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), nullptr, true));
    ASSERT_TRUE(request.WaitForBytes(big.size(), 30000));
    EXPECT_EQ(big, request.Received());
    EXPECT_LT(request.Deliveries(), static_cast<int>(big.size() / kPiece / 3));
    EXPECT_FALSE(request.DeliveryRulesBroken());
}

// Below the speed floor (1 KiB/s, over 2 s here) a connection that still
// brings bytes is asked again from the next byte; the idle time-out alone
// would let a trickle hold it for ever.
TEST(Bodies, ATrickleBelowTheFloorIsAskedAgain)
{
    ScriptedServer server([](ScriptedConnection &c) {
        if (c.Index() == 0)
            ServeSlowly(c, 100, 200);  // 500 bytes a second
        else
            ServeBody(c, kFile);
    });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), kRange, true));
    EXPECT_EQ(kRangeBytes, Fetch(request, true, kRangeBytes.size()));
    EXPECT_EQ(2, server.Connections());
}

// A reader that takes its pieces at 250 bytes a second (one held back by a
// speed cap) from a server that sends them at once: the time the reader
// holds a piece is its own, so the connection is never taken for a trickle
// and asked again, and the reads come in small pieces at the reader's pace.
TEST(Bodies, AReaderThatHoldsItsPiecesIsNoTrickle)
{
    ScriptedServer server([](ScriptedConnection &c) { ServeSlowly(c, 1000, 100); });
    TestRequest request;
    request.onDelivery = [](void *, unsigned count) { Sleep(count * 4); };
    ASSERT_TRUE(request.Open(server.Url("/f"), "Range:bytes=1000-4999/10007\r\n", true));
    EXPECT_EQ(kFile.substr(1000, 4000), Fetch(request, true, 4000));
    EXPECT_EQ(1, server.Connections());
    EXPECT_GE(request.Deliveries(), 3);
}

// A server that stays below the floor on every connection ends the request
// as timed out, after the reconnects that make no progress. On a loaded
// machine the first connection may idle out before its window closes; the
// next one's bytes then count as progress, which allows one connection more.
TEST(Bodies, AServerThatAlwaysTricklesTimesOut)
{
    ScriptedServer server([](ScriptedConnection &c) { ServeSlowly(c, 50, 250); });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), kRange, true));
    ASSERT_TRUE(request.WaitForFailure(60000));
    EXPECT_EQ(WebRequestTimedOut, request.LastError());
    EXPECT_GE(server.Connections(), 5);
    EXPECT_LE(server.Connections(), 6);
    EXPECT_EQ(kRangeBytes.substr(0, request.Received().size()), request.Received());
}

std::string PathOf(const ScriptedConnection &c)
{
    size_t start = c.Request().find(' ') + 1;
    return c.Request().substr(start, c.Request().find(' ', start) - start);
}

TEST(Redirects, FiveHopsAreFollowedForARange)
{
    ScriptedServer server([](ScriptedConnection &c) {
        const char *statuses[] = {"301", "302", "303", "307", "308"};
        std::string path = PathOf(c);
        if (path == "/file")
            return ServeBody(c, kFile);
        int hop = path[2] - '0';
        std::string next = hop == 4 ? "/file" : "/r" + std::to_string(hop + 1);
        c.Send(std::string("HTTP/1.1 ") + statuses[hop] + " Moved\r\nLocation: " + next +
               "\r\nContent-Length: 0\r\n\r\n");
    });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/r0"), kRange, true));
    EXPECT_EQ(0u, request.Header().find("HTTP/1.1 206 Partial Content\r\n"));
    EXPECT_EQ(kRangeBytes, Fetch(request, true, kRangeBytes.size()));
    EXPECT_EQ(6, server.Connections());
}

TEST(Redirects, LoopEndsAfterFiveHops)
{
    ScriptedServer server([](ScriptedConnection &c) {
        c.Send("HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
    });
    TestRequest request;
    EXPECT_FALSE(request.Open(server.Url("/loop")));
    EXPECT_EQ(WebRequestTooManyRedirects, request.LastError());
    EXPECT_EQ(6, server.Connections());
}

TEST(Requests, ExtraLinesGoOutAndTheRangeIsTranslated)
{
    ScriptedServer server([](ScriptedConnection &c) { ServeBody(c, kFile); });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f?q=1"), "X-Trace: abc\r\nRange:bytes=0-99/10007\r\n"));
    EXPECT_EQ(kFile.substr(0, 100), request.ReadAll(5000));
    std::string sent = server.Requests()[0];
    EXPECT_EQ(0u, sent.find("GET /f?q=1 HTTP/1.1\r\n"));
    for (const char *line : {"\r\nHost: 127.0.0.1:", "\r\nUser-Agent: Ravlix/1.0\r\n", "\r\nAccept: */*\r\n",
                             "\r\nRange: bytes=0-99\r\n", "\r\nX-Trace: abc\r\n", "\r\nConnection: close\r\n"})
        EXPECT_NE(std::string::npos, sent.find(line)) << line;
    EXPECT_EQ(std::string::npos, sent.find("Range:bytes"));
}

TEST(Requests, BadTextFailsOpenWithoutAConnection)
{
    ScriptedServer server([](ScriptedConnection &c) { ServeBody(c, kFile); });
    struct Case {
        std::string url;
        const char *extra, *proxy;
        int error;
    } cases[] = {
        {server.Url("/f"), "X-Evil: 1\rInjected: 2\r\n", "", WebRequestBadHeader},
        {server.Url("/f"), "Range: bytes=0-1,4-5\r\n", "", WebRequestBadHeader},
        {server.Url("/f"), nullptr, "proxy:port", WebRequestBadUrl},
        {"ftp://127.0.0.1/f", nullptr, "", WebRequestBadUrl},
    };
    for (const Case &c : cases) {
        TestRequest request;
        EXPECT_FALSE(request.Open(c.url, c.extra, false, c.proxy)) << c.url;
        EXPECT_EQ(c.error, request.LastError()) << c.url;
    }
    EXPECT_EQ(0, server.Connections());
}

TEST(Requests, ProxyGetsTheAbsoluteForm)
{
    ScriptedServer proxy([](ScriptedConnection &c) { ServeBody(c, kFile); });
    std::string port = std::to_string(proxy.Port());
    const std::string forms[] = {"127.0.0.1:" + port, "http://localhost:" + port + "/"};
    for (const std::string &form : forms) {
        TestRequest request;
        ASSERT_TRUE(request.Open("http://origin.invalid:8080/f", nullptr, false, form.c_str())) << form;
        EXPECT_EQ(kFile, request.ReadAll(5000));
    }
    for (const std::string &sent : proxy.Requests()) {
        EXPECT_EQ(0u, sent.find("GET http://origin.invalid:8080/f HTTP/1.1\r\n"));
        EXPECT_NE(std::string::npos, sent.find("\r\nHost: origin.invalid:8080\r\n"));
    }
}

// The interim answers a proxy may send before its real answer to a CONNECT
// are passed over: the refusal after them is what the request reports.
TEST(Requests, InterimAnswersToAConnectArePassedOver)
{
    ScriptedServer proxy([](ScriptedConnection &c) {
        if (c.ReadRequest())
            c.Send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX: y\r\n\r\n"
                   "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n"
                   "Content-Length: 0\r\n\r\n");
    });
    TestRequest request;
    EXPECT_FALSE(request.Open("https://origin.invalid/f", nullptr, false,
                              ("u:p@127.0.0.1:" + std::to_string(proxy.Port())).c_str()));
    EXPECT_EQ(WebRequestProxyRefused, request.LastError());
    ASSERT_EQ(1u, proxy.Requests().size());
    EXPECT_EQ(0u, proxy.Requests()[0].find("CONNECT origin.invalid:443 HTTP/1.1\r\n"));
    EXPECT_NE(std::string::npos, proxy.Requests()[0].find("\r\nProxy-Authorization: Basic dTpw\r\n"));
}

TEST(Requests, CompleteSegmentGetsOneEmptyDelivery)
{
    ScriptedServer server([](ScriptedConnection &c) { ServeBody(c, kFile); });
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), "Range:bytes=3335-3334/10007\r\n", true));
    DWORD start = GetTickCount();
    while (request.Deliveries() == 0 && GetTickCount() - start < 10000)
        Sleep(5);
    Sleep(100);
    EXPECT_EQ(1, request.Deliveries());
    EXPECT_EQ("", request.Received());
    EXPECT_NE(std::string::npos, server.Requests()[0].find("\r\nRange: bytes=3334-3334\r\n"));
}

TEST(Timeouts, SilentServerFailsOpenAndStalledReadEnds)
{
    {
        ScriptedServer server([](ScriptedConnection &c) { c.WaitForClientClose(); });
        TestRequest request;
        EXPECT_FALSE(request.Open(server.Url("/f")));
        EXPECT_EQ(WebRequestTimedOut, request.LastError());
    }
    {
        ScriptedServer server([](ScriptedConnection &c) {
            c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10007\r\n\r\n" + kFile.substr(0, 100));
            c.WaitForClientClose();
        });
        TestRequest request;
        ASSERT_TRUE(request.Open(server.Url("/f")));
        EXPECT_EQ(kFile.substr(0, 100), request.ReadAll(5000));
        EXPECT_EQ(WebRequestTimedOut, request.LastError());
    }
}

TEST(Timeouts, RefusedConnectionFailsOpen)
{
    unsigned short port;
    {
        ScriptedServer closed([](ScriptedConnection &) {});
        port = closed.Port();
    }
    TestRequest request;
    EXPECT_FALSE(request.Open("http://127.0.0.1:" + std::to_string(port) + "/f"));
    EXPECT_EQ(WebRequestConnectFailed, request.LastError());
}

}  // namespace
