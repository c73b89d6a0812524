// The component against real name resolution of the test's own
// (tests/peers/private-names.sh): dual.ravlix.test resolves to ::1 first and
// 127.0.0.1 after it, and every other unknown name waits on a DNS server
// that never answers.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "netquill/ScriptedServer.h"
#include "netquill/TestRequest.h"

namespace {

const std::string kFile = Pattern(200003);

// What the system's resolver gives for the name, families in order.
std::string Families(const char *name)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    if (getaddrinfo(name, "80", &hints, &list) != 0)
        return "none";
    std::string families;
    for (const addrinfo *a = list; a; a = a->ai_next)
        families += a->ai_family == AF_INET6 ? "6" : "4";
    freeaddrinfo(list);
    return families;
}

// A listener on [::1]:port whose queue of connections is full, so that the
// system drops every further connect to it without a word, as a route that
// goes nowhere does.
class DroppingListener {
public:
    explicit DroppingListener(unsigned short port)
    {
        listener_ = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
        DWORD only = 1;
        setsockopt(listener_, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char *>(&only), sizeof(only));
        sockaddr_in6 address = {};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port);
        address.sin6_addr = in6addr_loopback;
        listening_ = bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
                     listen(listener_, 0) == 0;
        // Connections that fill the queue and stay; none is ever accepted.
        for (SOCKET &filler : fillers_) {
            filler = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(filler, FIONBIO, &nonBlocking);
            connect(filler, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        }
        Sleep(200);
    }
    ~DroppingListener()
    {
        for (SOCKET filler : fillers_)
            closesocket(filler);
        closesocket(listener_);
    }
    bool listening() const { return listening_; }

private:
    SOCKET listener_;
    SOCKET fillers_[3];
    bool listening_;
};

class NetworkNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    }
    void TearDown() override { WSACleanup(); }
};

// The first address drops the connect; the second serves the file. Tried
// one after another, the first would use the whole connect time-out (5 s
// here) before the second is tried; side by side, the second starts after
// a quarter of a second.
TEST_F(NetworkNames, ADeadFirstAddressCostsAShortDelayOnly)
{
    ASSERT_EQ("64", Families("dual.ravlix.test"));
    ScriptedServer server([](ScriptedConnection &c) { ServeBody(c, kFile); });
    DroppingListener dead(server.Port());
    ASSERT_TRUE(dead.listening());
    std::string url = "http://dual.ravlix.test:" + std::to_string(server.Port()) + "/f";
    for (int round = 0; round < 3; ++round) {
        DWORD began = GetTickCount();
        TestRequest request;
        ASSERT_TRUE(request.Open(url)) << "error " << request.LastError();
        EXPECT_TRUE(request.ReadAll(65536) == kFile);
        DWORD took = GetTickCount() - began;
        printf("dual-stack download %d: %lu ms\n", round, took);
        EXPECT_LT(took, 2500u) << "waited for the dead address";
    }
}

// A resolution that hangs ends the moment the request is cancelled, and at
// the connect time-out when nobody cancels; Close never waits for it.
TEST_F(NetworkNames, AHangingResolutionEndsAtACancelOrTheDeadline)
{
    TestRequest cancelled;
    DWORD began = GetTickCount();
    std::thread canceller([&cancelled] {
        Sleep(300);
        cancelled.Cancel();
    });
    EXPECT_FALSE(cancelled.Open("http://hang.ravlix.test/f"));
    DWORD took = GetTickCount() - began;
    canceller.join();
    EXPECT_EQ(WebRequestCancelled, cancelled.LastError());
    printf("cancelled after %lu ms\n", took);
    EXPECT_LT(took, 5000u) << "the resolver would have waited 30 s";

    TestRequest unanswered;
    began = GetTickCount();
    EXPECT_FALSE(unanswered.Open("http://hang2.ravlix.test/f"));
    took = GetTickCount() - began;
    EXPECT_EQ(WebRequestResolveFailed, unanswered.LastError());
    printf("gave up after %lu ms\n", took);
    EXPECT_LT(took, 15000u) << "the connect time-out is 5 s, the resolver's 30 s";
}

}  // namespace
