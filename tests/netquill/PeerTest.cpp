// The component against real servers: nginx (HTTP/1.1, ranges, redirects, a
// rate-limited location) and Python's http.server (HTTP/1.0, no ranges),
// used as the plug-in uses them. Every body is compared with its file.
#include <gtest/gtest.h>
#include <stdio.h>

#include <memory>
#include <string>

#include "netquill/TestRequest.h"
#include "peers/PeerFiles.h"

namespace {

std::string Nginx(const char *path)
{
    return PeerUrl("RAVLIX_NGINX_PORT", path);
}

std::string Python(const char *path)
{
    return PeerUrl("RAVLIX_PYTHON_PORT", path);
}

std::string File(const char *name)
{
    std::string contents;
    EXPECT_TRUE(ReadPeerFile(name, &contents)) << name;
    return contents;
}

// The plug-in's way: the body pulled with Read in chunks of 5000 bytes.
void ExpectReadWhole(const std::string &url, const std::string &file, const char *statusLine)
{
    TestRequest request;
    ASSERT_TRUE(request.Open(url)) << url;
    EXPECT_EQ(0u, request.Header().find(statusLine)) << request.Header();
    EXPECT_NE(std::string::npos, request.Header().find("Content-Length: " + std::to_string(file.size())));
    EXPECT_TRUE(request.ReadAll(5000) == file) << url;
    EXPECT_EQ(WebRequestOk, request.LastError());
}

// The plug-in's other way: `parts` range requests at once in callback mode,
// with its "Range:bytes=a-b/total" lines.
void ExpectSegmented(const std::string &url, const std::string &file, int parts)
{
    size_t segment = file.size() / parts;
    std::unique_ptr<TestRequest> requests[5];
    for (int i = 0; i < parts; ++i) {
        size_t first = i * segment;
        size_t last = i == parts - 1 ? file.size() - 1 : (i + 1) * segment - 1;
        char range[96];
        sprintf(range, "Range:bytes=%d-%d/%d\r\n", static_cast<int>(first), static_cast<int>(last),
                static_cast<int>(file.size()));
        requests[i].reset(new TestRequest);
        ASSERT_TRUE(requests[i]->Open(url, range, true)) << url << " " << range;
    }
    std::string assembled;
    for (int i = 0; i < parts; ++i) {
        size_t length = i == parts - 1 ? file.size() - i * segment : segment;
        EXPECT_TRUE(requests[i]->WaitForBytes(length, 60000)) << i;
        assembled += requests[i]->Received();
        EXPECT_FALSE(requests[i]->DeliveryRulesBroken());
    }
    EXPECT_TRUE(assembled == file) << url;
}

TEST(Nginx, WholeFilesThroughRead)
{
    for (const char *name : {"f1.bin", "f4999.bin", "f5000.bin", "f5001.bin", "f10007.bin", "f1048576.bin"})
        ExpectReadWhole(Nginx((std::string("/") + name).c_str()), File(name), "HTTP/1.1 200 OK\r\n");
}

TEST(Nginx, SegmentsInCallbackMode)
{
    ExpectSegmented(Nginx("/f5000.bin"), File("f5000.bin"), 5);
    ExpectSegmented(Nginx("/f10007.bin"), File("f10007.bin"), 3);
    ExpectSegmented(Nginx("/f67108864.bin"), File("f67108864.bin"), 5);
}

TEST(Nginx, RedirectsAreFollowedForRanges)
{
    const std::string file = File("f10007.bin");
    TestRequest request;
    ASSERT_TRUE(request.Open(Nginx("/twice/f10007.bin"), "Range:bytes=3335-6669/10007\r\n", true));
    EXPECT_EQ(0u, request.Header().find("HTTP/1.1 206 Partial Content\r\n"));
    EXPECT_TRUE(request.WaitForBytes(3335, 10000));
    EXPECT_TRUE(request.Received() == file.substr(3335, 3335));

    TestRequest loop;
    EXPECT_FALSE(loop.Open(Nginx("/loop")));
    EXPECT_EQ(WebRequestTooManyRedirects, loop.LastError());
    TestRequest missing;
    EXPECT_FALSE(missing.Open(Nginx("/no-such-file.bin")));
    EXPECT_EQ(WebRequestHttpStatus, missing.LastError());
    EXPECT_EQ(0u, missing.Header().find("HTTP/1.1 404"));
}

TEST(Nginx, RateLimitedLocation)
{
    ExpectSegmented(Nginx("/trickle/f1048576.bin"), File("f1048576.bin"), 2);
}

TEST(Python, Http10WithoutRanges)
{
    for (const char *name : {"f1.bin", "f5000.bin", "f5001.bin", "f1048576.bin"})
        ExpectReadWhole(Python((std::string("/") + name).c_str()), File(name), "HTTP/1.0 200 OK\r\n");
    // It answers a range with the whole file: that must not pass for the range.
    TestRequest request;
    EXPECT_FALSE(request.Open(Python("/f10007.bin"), "Range:bytes=3335-6669/10007\r\n", true));
    EXPECT_EQ(WebRequestRangeRefused, request.LastError());
    EXPECT_EQ(0, request.Deliveries());
}

}  // namespace
