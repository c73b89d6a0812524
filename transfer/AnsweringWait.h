// Waits of the user-interface thread that go on answering the messages other
// threads send to its windows. A single-stream worker announces completion
// with a synchronous send to the floating window, and a host's progress
// callback may send to its own windows: a thread that waited for such a
// worker without answering would wait for a thread that waits for it.
// Posted messages stay queued; only sent ones are handled meanwhile.
#pragma once

#include <windows.h>

// Waits for handle up to milliseconds (INFINITE: no limit). Returns what
// WaitForSingleObject would: WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitAnswering(HANDLE handle, DWORD milliseconds);

// Lets milliseconds pass, answering sent messages meanwhile.
void PauseAnswering(DWORD milliseconds);

// True while one of these waits runs on the calling thread: a message
// handled now is a sent one, and a task operation is in progress further up
// the same stack.
bool InsideAnsweringWait();
