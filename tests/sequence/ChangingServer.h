// A server whose one file changes while clients fetch it, and which drops or
// stalls its connections when told: the scripted peer of the sequence test.
// Paths under /r/ answer as an HTTP/1.1 server with ranges, an ETag and a
// Last-Modified that change with every version, and If-Range honoured; paths
// under /s/ answer as an HTTP/1.0 server without ranges. Every version ever
// served is kept, so that a file on disk can be told apart from a mix of two.
#pragma once

#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "netquill/ScriptedServer.h"

enum class ServerMood { Normal, Dropping, Stalling, RefusingRanges, Bursting, Away };

class ChangingServer {
public:
    ChangingServer(size_t size, unsigned seed);
    ~ChangingServer();
    ChangingServer(const ChangingServer &) = delete;
    ChangingServer &operator=(const ChangingServer &) = delete;

    std::string Url(const std::string &path) const { return server_->Url(path); }
    // The next version: other bytes and a new validator; sizeDelta changes the length.
    void Change(long sizeDelta);
    // Dropping: every connection ends after a few hundred KiB of body.
    // Stalling: every connection stops sending then, but stays open.
    // RefusingRanges: a range is answered 503, and every other request
    // without one is dropped before its answer (a probe, then a second).
    // Bursting: each answer's first 512 KiB go at once, as nginx's
    // limit_rate lets a new request's first second through.
    // Away: every connection is closed before an answer, as a server
    // that is down (or a network that is gone) leaves every request.
    void SetMood(ServerMood mood);
    // Every version served so far, the first one first.
    std::vector<std::shared_ptr<const std::string>> Versions() const;

private:
    void Serve(ScriptedConnection &connection);

    mutable std::mutex lock_;
    std::vector<std::shared_ptr<const std::string>> versions_;
    ServerMood mood_ = ServerMood::Normal;
    int wholeRequests_ = 0;  // requests without a range while refusing ranges
    std::mt19937 random_;
    // Last, so that its connections end before the rest goes.
    std::unique_ptr<ScriptedServer> server_;
};

// The bytes of version number (from 1) at the given size.
std::string VersionBytes(int number, size_t size);
