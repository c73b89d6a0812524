// An HTTP server inside the test process, for what real servers do not do on
// purpose: drop, stall, trickle, lie about ranges, send broken headers. It
// listens on 127.0.0.1 on a port the system picks, so each test has its own;
// every connection runs the test's script on a thread of its own.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedConnection {
public:
    ScriptedConnection(SOCKET socket, HANDLE stopEvent, int index)
        : socket_(socket), stopEvent_(stopEvent), index_(index)
    {
    }

    // The number of this connection, from 0, in the order they came in.
    int Index() const { return index_; }
    // The request header; empty when the client sent none.
    const std::string &Request() const { return request_; }
    // The range the request asks for ("Range: bytes=first-last"); false when none.
    bool AskedRange(unsigned long long *first, unsigned long long *last) const;

    bool Send(const std::string &bytes);
    // In pieces of `piece` bytes with a pause after each.
    bool SendSlowly(const std::string &bytes, size_t piece, DWORD pauseMs);
    // Until the client closes its end or the server stops.
    void WaitForClientClose();

    bool ReadRequest();

private:
    SOCKET socket_;
    HANDLE stopEvent_;
    int index_;
    std::string request_;
};

class ScriptedServer {
public:
    typedef std::function<void(ScriptedConnection &)> Script;

    explicit ScriptedServer(Script script);
    // Ends every connection (the sockets are shut down) and joins the threads.
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    unsigned short Port() const { return port_; }
    std::string Url(const std::string &path) const;
    int Connections() const;
    std::vector<std::string> Requests() const;

private:
    struct Worker {
        SOCKET socket;
        std::atomic<bool> done{false};
        std::thread thread;
    };

    void AcceptLoop();
    void Serve(Worker *worker, int index);
    // Joins the connections whose script has ended, so that a long run of
    // requests leaves no thread or socket of the server behind.
    void ReapFinished();

    Script script_;
    SOCKET listener_;
    unsigned short port_;
    HANDLE stopEvent_;
    std::thread acceptThread_;
    mutable std::mutex lock_;
    std::list<Worker> workers_;
    int connections_;
    std::vector<std::string> requests_;
};

// A socket listening on a free port of 127.0.0.1 (0 in *port if that failed).
SOCKET ListenOnLoopback(int backlog, unsigned short *port);

// Pseudo-random bytes, the same for the same size and variant: a byte from a
// wrong offset, or from another variant, shows.
std::string Pattern(size_t size, unsigned variant = 0);

// What a good HTTP/1.1 server answers: 206 with Content-Range for a range,
// 200 with the whole body otherwise.
std::string OkHeader(const ScriptedConnection &connection, const std::string &body, size_t *first, size_t *count);
void ServeBody(ScriptedConnection &connection, const std::string &body);
