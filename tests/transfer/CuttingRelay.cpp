#include "CuttingRelay.h"

#include "tests/netquill/ScriptedServer.h"

namespace {

const DWORD kPollMs = 100;

// Whether the socket has something to read (or has ended) within kPollMs.
bool Readable(SOCKET socket)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait = {0, static_cast<long>(kPollMs * 1000)};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

bool SendAll(SOCKET socket, const char *data, size_t size)
{
    while (size > 0) {
        int n = send(socket, data, static_cast<int>(size), 0);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

CuttingRelay::CuttingRelay(unsigned short targetPort, unsigned seed)
    : targetPort_(targetPort), listener_(INVALID_SOCKET), port_(0), state_(seed ? seed : 1)
{
    listener_ = ListenOnLoopback(16, &port_);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

CuttingRelay::~CuttingRelay()
{
    stopping_ = true;
    acceptThread_.join();
    closesocket(listener_);
    for (Link &link : links_) {
        link.done = true;
        link.upstream.join();
        link.downstream.join();
        closesocket(link.client);
        closesocket(link.server);
    }
    WSACleanup();
}

size_t CuttingRelay::NextBudget()
{
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return (512u << 10) + state_ % (1u << 20);
}

void CuttingRelay::AcceptLoop()
{
    while (!stopping_) {
        if (!Readable(listener_))
            continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in target = {};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(targetPort_);
        if (connect(server, reinterpret_cast<sockaddr *>(&target), sizeof(target)) != 0) {
            closesocket(server);
            closesocket(client);
            continue;
        }
        std::lock_guard<std::mutex> hold(lock_);
        links_.emplace_back();
        Link *link = &links_.back();
        link->client = client;
        link->server = server;
        link->budget = NextBudget();
        link->upstream = std::thread([this, link] { Pump(link, false); });
        link->downstream = std::thread([this, link] { Pump(link, true); });
    }
}

// Copies one direction until either side ends or the server's budget is
// spent; then both connections are shut down, the other direction ends too,
// and the client sees its answer end early.
void CuttingRelay::Pump(Link *link, bool fromServer)
{
    SOCKET from = fromServer ? link->server : link->client;
    SOCKET to = fromServer ? link->client : link->server;
    size_t relayed = 0;
    char buffer[65536];
    while (!link->done) {
        if (!Readable(from))
            continue;
        int n = recv(from, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        size_t take = static_cast<size_t>(n);
        bool spent = fromServer && relayed + take >= link->budget;
        if (spent)
            take = link->budget - relayed;
        relayed += take;
        if (!SendAll(to, buffer, take))
            break;
        if (spent) {
            ++cuts_;
            break;
        }
    }
    link->done = true;
    shutdown(to, SD_BOTH);
}
