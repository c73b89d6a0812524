// Where a download connects, from its URL or its proxy.
#include <gtest/gtest.h>

#include <string>

#include "util/ServerAddress.h"

namespace {

TEST(ServerAddress, HostAndPortOfUrlsAndProxies)
{
    struct Case {
        const char *text;
        bool proxy;
        const char *host;  // null: refused
        const char *port;
    } cases[] = {
        {"http://example.org/file.bin", false, "example.org", "80"},
        {"https://example.org/file.bin", false, "example.org", "443"},
        {"HTTPS://example.org:8443/a?b#c", false, "example.org", "8443"},
        {"http://user:pw@127.0.0.1:18480/f.bin", false, "127.0.0.1", "18480"},
        {"http://[::1]:8080/f.bin", false, "::1", "8080"},
        {"http://[::1]/f.bin", false, "::1", "80"},
        {"http://host:/f.bin", false, "host", "80"},
        {"http://host?x", false, "host", "80"},
        {"http://host:123456789/f.bin", false, "host", "80"},
        {"example.org/file.bin", false, nullptr, nullptr},
        {"http:///file.bin", false, nullptr, nullptr},
        {"http://[::1/f.bin", false, nullptr, nullptr},
        {"proxy.lan:3128", true, "proxy.lan", "3128"},
        {"ravlix:s3cr-t_pw@127.0.0.1:8888", true, "127.0.0.1", "8888"},
        {"proxy.lan", true, "proxy.lan", "80"},
        {"", true, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        ServerAddress server = {};
        bool found = c.proxy ? ServerOfProxy(c.text, &server) : ServerOfUrl(c.text, &server);
        EXPECT_EQ(c.host != nullptr, found) << c.text;
        if (c.host && found) {
            EXPECT_EQ(std::string(c.host), server.host) << c.text;
            EXPECT_EQ(std::string(c.port), server.port) << c.text;
        }
    }
    std::string longHost = "http://" + std::string(300, 'a') + "/f.bin";
    ServerAddress server = {};
    EXPECT_FALSE(ServerOfUrl(longHost.c_str(), &server));
}

}  // namespace
