// Owning wrappers for the kernel objects a request holds. Each closes what it
// owns when it goes out of scope, so that every early return releases it.
#pragma once

#include <winsock2.h>
#include <windows.h>

// Events and threads: empty is null.
class ScopedHandle {
public:
    ScopedHandle() : handle_(nullptr) {}
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(const ScopedHandle &) = delete;
    ScopedHandle &operator=(const ScopedHandle &) = delete;

    HANDLE Get() const { return handle_; }
    bool IsSet() const { return handle_ != nullptr; }
    // Hands the handle to the caller, who closes it.
    HANDLE Release()
    {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(HANDLE handle)
    {
        Close();
        handle_ = handle;
    }
    void Close()
    {
        if (handle_) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HANDLE handle_;
};

// Sockets: empty is INVALID_SOCKET.
class ScopedSocket {
public:
    ScopedSocket() : socket_(INVALID_SOCKET) {}
    ~ScopedSocket() { Close(); }
    ScopedSocket(const ScopedSocket &) = delete;
    ScopedSocket &operator=(const ScopedSocket &) = delete;

    SOCKET Get() const { return socket_; }
    bool IsSet() const { return socket_ != INVALID_SOCKET; }
    SOCKET Release()
    {
        SOCKET socket = socket_;
        socket_ = INVALID_SOCKET;
        return socket;
    }
    void Reset(SOCKET socket)
    {
        Close();
        socket_ = socket;
    }
    void Close()
    {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
            socket_ = INVALID_SOCKET;
        }
    }

private:
    SOCKET socket_;
};
