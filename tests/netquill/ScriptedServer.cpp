#include "netquill/ScriptedServer.h"

#include <stdio.h>
#include <string.h>

bool ScriptedConnection::ReadRequest()
{
    char buffer[4096];
    while (request_.find("\r\n\r\n") == std::string::npos) {
        int n = recv(socket_, buffer, sizeof(buffer), 0);
        if (n <= 0)
            return false;
        request_.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

bool ScriptedConnection::AskedRange(unsigned long long *first, unsigned long long *last) const
{
    size_t at = request_.find("\r\nRange: bytes=");
    return at != std::string::npos && sscanf(request_.c_str() + at + 15, "%llu-%llu", first, last) == 2;
}

bool ScriptedConnection::Send(const std::string &bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool ScriptedConnection::SendSlowly(const std::string &bytes, size_t piece, DWORD pauseMs)
{
    for (size_t offset = 0; offset < bytes.size(); offset += piece) {
        if (!Send(bytes.substr(offset, piece)) || WaitForSingleObject(stopEvent_, pauseMs) == WAIT_OBJECT_0)
            return false;
    }
    return true;
}

void ScriptedConnection::WaitForClientClose()
{
    char buffer[256];
    while (recv(socket_, buffer, sizeof(buffer), 0) > 0) {
    }
}

SOCKET ListenOnLoopback(int backlog, unsigned short *port)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    *port = 0;
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 && listen(listener, backlog) == 0 &&
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        *port = ntohs(address.sin_port);
    return listener;
}

ScriptedServer::ScriptedServer(Script script)
    : script_(script), listener_(INVALID_SOCKET), port_(0), stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      connections_(0)
{
    listener_ = ListenOnLoopback(64, &port_);
    acceptThread_ = std::thread(&ScriptedServer::AcceptLoop, this);
}

ScriptedServer::~ScriptedServer()
{
    SetEvent(stopEvent_);
    closesocket(listener_);
    acceptThread_.join();
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (Worker &w : workers_)
            shutdown(w.socket, SD_BOTH);
    }
    for (Worker &w : workers_) {
        w.thread.join();
        closesocket(w.socket);
    }
    CloseHandle(stopEvent_);
    WSACleanup();
}

std::string ScriptedServer::Url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int ScriptedServer::Connections() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return connections_;
}

std::vector<std::string> ScriptedServer::Requests() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

void ScriptedServer::AcceptLoop()
{
    for (;;) {
        SOCKET s = accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            return;
        // Under Wine a send blocked on a full buffer wakes neither when the
        // peer resets nor on shutdown or closesocket: bound it instead.
        DWORD sendTimeoutMs = 5000;
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&sendTimeoutMs), sizeof(sendTimeoutMs));
        ReapFinished();
        std::lock_guard<std::mutex> hold(lock_);
        workers_.emplace_back();
        Worker *worker = &workers_.back();
        worker->socket = s;
        worker->thread = std::thread(&ScriptedServer::Serve, this, worker, connections_++);
    }
}

void ScriptedServer::ReapFinished()
{
    std::lock_guard<std::mutex> hold(lock_);
    for (auto w = workers_.begin(); w != workers_.end();) {
        if (!w->done) {
            ++w;
            continue;
        }
        w->thread.join();
        closesocket(w->socket);
        w = workers_.erase(w);
    }
}

void ScriptedServer::Serve(Worker *worker, int index)
{
    ScriptedConnection connection(worker->socket, stopEvent_, index);
    if (connection.ReadRequest()) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            requests_.push_back(connection.Request());
        }
        script_(connection);
    }
    // Ends the answer, so that a body delimited by the connection ends too.
    shutdown(worker->socket, SD_SEND);
    worker->done = true;
}

std::string Pattern(size_t size, unsigned variant)
{
    std::string bytes(size, '\0');
    unsigned state = 2463534242u ^ (variant * 2654435761u);
    for (size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string OkHeader(const ScriptedConnection &connection, const std::string &body, size_t *first, size_t *count)
{
    unsigned long long a, b;
    if (connection.AskedRange(&a, &b) && a < body.size()) {
        if (b >= body.size())
            b = body.size() - 1;
        *first = static_cast<size_t>(a);
        *count = static_cast<size_t>(b - a + 1);
        return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(a) + "-" + std::to_string(b) +
               "/" + std::to_string(body.size()) + "\r\nContent-Length: " + std::to_string(*count) + "\r\n\r\n";
    }
    *first = 0;
    *count = body.size();
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
}

void ServeBody(ScriptedConnection &connection, const std::string &body)
{
    size_t first, count;
    std::string header = OkHeader(connection, body, &first, &count);
    connection.Send(header + body.substr(first, count));
}
