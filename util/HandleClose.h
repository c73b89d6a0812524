// Closing a handle that a record keeps.
#pragma once

#include <windows.h>

// Closes the handle, if any, and clears the field that held it, so that a
// second close finds nothing.
inline void CloseAndClear(HANDLE &handle)
{
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
}
