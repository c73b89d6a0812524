// What one run of a task (from its segments' issue to its stop) has learnt
// about the server, for re-splitting. Written by the worker; helpBarred is
// also read by stall recovery on the window's thread, as a whole word.
#pragma once

#include <windows.h>

struct RunFigures {
    ULONGLONG bestRate;    // fastest rate a connection of this run has shown, bytes per second
    DWORD setupMs;         // longest a range request of this run took to open
    DWORD helpAfter;       // tick before which no range is handed out again, after one did not open
    LONG helpBarred;       // 1 once a helping range was refused as of another version, or not served
    ULONGLONG burstBytes;  // what this run's server sends a new request at once; 0 unless it does
    ULONGLONG heldRate;    // the rate it holds a request to after that burst, bytes per second
    LONG stillAnswers;     // answers of this run that stood still after a burst at their start
};
