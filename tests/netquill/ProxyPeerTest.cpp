// The component through tinyproxy asking for a password: plain http goes to
// it in absolute form, https through a CONNECT tunnel, both with the
// password; without it, or with a wrong one, the request fails as refused
// by the proxy. Every body is compared with its file.
#include <gtest/gtest.h>

#include <string>

#include "netquill/TestRequest.h"
#include "peers/PeerFiles.h"

namespace {

std::string File(const char *name)
{
    std::string contents;
    EXPECT_TRUE(ReadPeerFile(name, &contents)) << name;
    return contents;
}

// The user part with the name's "a" and the password's "-" escaped, as a
// proxy text may carry them.
const char kGoodUser[] = "r%61vlix:s3cr%2Dt_pw";

TEST(PasswordProxy, CarriesHttpAndHttpsWithThePassword)
{
    std::string proxy = PasswordProxy(kGoodUser);
    std::string file = File("f1048576.bin");
    for (const std::string &url :
         {PeerUrl("RAVLIX_NGINX_PORT", "/f1048576.bin"), TlsPeerUrl(0, "/f1048576.bin")}) {
        TestRequest whole;
        ASSERT_TRUE(whole.Open(url, nullptr, false, proxy.c_str())) << url << " error " << whole.LastError();
        EXPECT_TRUE(whole.ReadAll(65536) == file) << url;

        TestRequest range;
        ASSERT_TRUE(range.Open(url, "Range:bytes=1000-500999/1048576\r\n", true, proxy.c_str())) << url;
        EXPECT_TRUE(range.WaitForBytes(500000, 30000)) << url;
        EXPECT_TRUE(range.Received() == file.substr(1000, 500000)) << url;
    }
}

// tinyproxy asks for a password with 407, and answers a wrong one with 401,
// which over plain http cannot be told from the origin's own 401: that one
// is a refused answer like any other.
TEST(PasswordProxy, NoPasswordOrAWrongOneIsRefused)
{
    std::string http = PeerUrl("RAVLIX_NGINX_PORT", "/f5001.bin");
    std::string https = TlsPeerUrl(0, "/f5001.bin");
    struct Case {
        const char *user;
        const std::string &url;
        int error;
    } cases[] = {
        {"", http, WebRequestProxyRefused},
        {"", https, WebRequestProxyRefused},
        {"ravlix:wrong", http, WebRequestHttpStatus},
        {"ravlix:wrong", https, WebRequestProxyRefused},
        {"nobody:s3cr-t_pw", https, WebRequestProxyRefused},
    };
    for (const Case &c : cases) {
        TestRequest request;
        EXPECT_FALSE(request.Open(c.url, nullptr, false, PasswordProxy(c.user).c_str())) << c.url << " as " << c.user;
        EXPECT_EQ(c.error, request.LastError()) << c.url << " as " << c.user;
    }
}

}  // namespace
