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
    DWORD speedWindowMs; // how long a connection may stay below the speed floor (SpeedFloor.h)
    // How long an Open that delivers to a callback waits before it returns,
    // its deliveries already running: 0, except where a test widens the
    // moment between a request's open and its caller's next step.
    DWORD openReturnDelayMs;
};

// The defaults, which the test suite shortens through the environment
// (NETQUILL_CONNECT_TIMEOUT_MS, NETQUILL_HEADER_TIMEOUT_MS,
// NETQUILL_IDLE_TIMEOUT_MS, NETQUILL_RETRY_PAUSE_MS, NETQUILL_SPEED_WINDOW_MS,
// NETQUILL_OPEN_RETURN_DELAY_MS),
// read when the library loads.
const Timing &RequestTiming();
