// How long a request waits for the server, and how it retries. The values
// are fixed for the life of the process.
#pragma once

#include <windows.h>

struct Timing {
    DWORD connectMs;     // to connect, across all addresses of the host
    DWORD headerMs;      // from sending the request to the end of the answer's header
    DWORD idleMs;        // without a byte while the body arrives
    DWORD retryPauseMs;  // before the first reconnect; doubles for each further one
    int retryAttempts;   // reconnects in a row that bring no byte before giving up
};

// The defaults, which the test suite shortens through the environment
// (NETQUILL_CONNECT_TIMEOUT_MS, NETQUILL_HEADER_TIMEOUT_MS,
// NETQUILL_IDLE_TIMEOUT_MS, NETQUILL_RETRY_PAUSE_MS), read when the library loads.
const Timing &RequestTiming();
