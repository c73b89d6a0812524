// A TCP relay in the test process between the engine and a real server that
// cuts every connection after a random 512 KiB to 1.5 MiB from the server, as
// a flaky middlebox does. Seeded, so a failing run can be repeated. Listens on
// 127.0.0.1 on a port the system picks.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

class CuttingRelay {
public:
    CuttingRelay(unsigned short targetPort, unsigned seed);
    // Ends every connection still open and joins the threads.
    ~CuttingRelay();
    CuttingRelay(const CuttingRelay &) = delete;
    CuttingRelay &operator=(const CuttingRelay &) = delete;

    unsigned short Port() const { return port_; }
    // Connections cut so far.
    int Cuts() const { return cuts_; }

private:
    struct Link {
        SOCKET client;
        SOCKET server;
        size_t budget;  // bytes from the server before the cut
        std::atomic<bool> done{false};
        std::thread upstream;
        std::thread downstream;
    };

    void AcceptLoop();
    void Pump(Link *link, bool fromServer);
    // The next budget: 512 KiB to 1.5 MiB.
    size_t NextBudget();

    unsigned short targetPort_;
    SOCKET listener_;
    unsigned short port_;
    unsigned state_;  // the seeded generator of the budgets
    std::atomic<bool> stopping_{false};
    std::atomic<int> cuts_{0};
    std::mutex lock_;
    std::list<Link> links_;
    std::thread acceptThread_;
};
