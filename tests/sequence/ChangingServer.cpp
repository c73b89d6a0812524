#include "ChangingServer.h"

#include <stdio.h>
#include <string.h>

namespace {

// About 400 KiB/s for each connection: slow enough that a pause, a change of
// the file or a kill falls in the middle of a download.
const size_t kPiece = 8192;
const DWORD kPiecePauseMs = 20;
// Every fifth connection runs at a quarter of that, so that the others take
// over parts of its range and steps fall in the middle of that too.
const int kSlowEvery = 5;
const DWORD kSlowPiecePauseMs = 4 * kPiecePauseMs;
const size_t kBurst = 512 * 1024;

// "Range: bytes=A-B" or "bytes=A-"; false without one.
bool AskedRange(const std::string &request, size_t size, size_t *first, size_t *last)
{
    size_t at = request.find("\r\nRange: bytes=");
    if (at == std::string::npos)
        return false;
    unsigned long long a = 0, b = 0;
    int fields = sscanf(request.c_str() + at + 15, "%llu-%llu", &a, &b);
    if (fields < 1)
        return false;
    *first = static_cast<size_t>(a);
    *last = fields == 2 && b < size ? static_cast<size_t>(b) : size - 1;
    return true;
}

std::string HeaderValue(const std::string &request, const char *name)
{
    std::string key = std::string("\r\n") + name + ": ";
    size_t at = request.find(key);
    if (at == std::string::npos)
        return std::string();
    at += key.size();
    return request.substr(at, request.find("\r\n", at) - at);
}

std::string ETagOf(int version)
{
    return "\"v" + std::to_string(version) + "\"";
}

std::string LastModifiedOf(int version)
{
    char text[64];
    snprintf(text, sizeof(text), "Tue, 01 Dec 2026 %02d:%02d:%02d GMT", version / 3600 % 24, version / 60 % 60,
             version % 60);
    return text;
}

}  // namespace

std::string VersionBytes(int number, size_t size)
{
    return Pattern(size, static_cast<unsigned>(number));
}

ChangingServer::ChangingServer(size_t size, unsigned seed) : random_(seed)
{
    versions_.push_back(std::make_shared<const std::string>(VersionBytes(1, size)));
    server_.reset(new ScriptedServer([this](ScriptedConnection &connection) { Serve(connection); }));
}

ChangingServer::~ChangingServer()
{
    server_.reset();
}

void ChangingServer::Change(long sizeDelta)
{
    std::lock_guard<std::mutex> hold(lock_);
    size_t size = static_cast<size_t>(static_cast<long>(versions_.back()->size()) + sizeDelta);
    versions_.push_back(
        std::make_shared<const std::string>(VersionBytes(static_cast<int>(versions_.size()) + 1, size)));
}

void ChangingServer::SetMood(ServerMood mood)
{
    std::lock_guard<std::mutex> hold(lock_);
    mood_ = mood;
    wholeRequests_ = 0;
}

std::vector<std::shared_ptr<const std::string>> ChangingServer::Versions() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return versions_;
}

void ChangingServer::Serve(ScriptedConnection &connection)
{
    std::shared_ptr<const std::string> body;
    int version;
    ServerMood mood;
    size_t cut;
    {
        std::lock_guard<std::mutex> hold(lock_);
        body = versions_.back();
        version = static_cast<int>(versions_.size());
        mood = mood_;
        cut = 32768 + random_() % (512 * 1024);
    }
    const std::string &request = connection.Request();
    bool head = request.compare(0, 5, "HEAD ") == 0;
    bool http10 = request.find(" /s/") != std::string::npos;
    if (mood == ServerMood::Away)
        return;
    if (mood == ServerMood::RefusingRanges) {
        if (request.find("\r\nRange: ") != std::string::npos) {
            connection.Send("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        std::lock_guard<std::mutex> hold(lock_);
        if (wholeRequests_++ % 2 == 1)
            return;
    }
    size_t first = 0, last = body->size() - 1;
    std::string header;
    if (http10) {
        header = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body->size()) + "\r\n\r\n";
    } else {
        std::string validators = "ETag: " + ETagOf(version) + "\r\nLast-Modified: " + LastModifiedOf(version) +
                                 "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n";
        std::string ifRange = HeaderValue(request, "If-Range");
        bool sameFile = ifRange.empty() || ifRange == ETagOf(version) || ifRange == LastModifiedOf(version);
        bool ranged = sameFile && AskedRange(request, body->size(), &first, &last);
        if (ranged && first >= body->size()) {
            connection.Send("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                            std::to_string(body->size()) + "\r\nContent-Length: 0\r\n" + validators + "\r\n");
            return;
        }
        if (ranged)
            header = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
                     std::to_string(last) + "/" + std::to_string(body->size()) + "\r\n";
        else
            header = "HTTP/1.1 200 OK\r\n";
        header += "Content-Length: " + std::to_string(last - first + 1) + "\r\n" + validators + "\r\n";
    }
    if (!connection.Send(header) || head)
        return;
    size_t end = last + 1;
    if ((mood == ServerMood::Dropping || mood == ServerMood::Stalling) && first + cut < end)
        end = first + cut;
    size_t at = first;
    if (mood == ServerMood::Bursting) {
        size_t burst = end - at < kBurst ? end - at : kBurst;
        if (!connection.Send(body->substr(at, burst)))
            return;
        at += burst;
    }
    for (; at < end; at += kPiece) {
        size_t count = end - at < kPiece ? end - at : kPiece;
        if (!connection.Send(body->substr(at, count)))
            return;
        Sleep(connection.Index() % kSlowEvery == kSlowEvery - 1 ? kSlowPiecePauseMs : kPiecePauseMs);
    }
    if (mood == ServerMood::Stalling && end <= last)
        connection.WaitForClientClose();
}
