// Under Wine every thread holds about 1 MiB of memory from its first
// instruction, however little of its stack it uses: the system gives a
// thread no less than 1 MiB of stack, whatever size is asked, and its start
// touches all but the lowest few pages of it. Six threads of a download of
// five connections held 6 MiB so. On Windows a stack holds only the pages
// its thread has touched.
#pragma once

// Gives the pages of the calling thread's stack that lie well below where it
// runs now (util/UnusedStack.h) back to the system. They stay committed, and
// come back, zeroed or as they were, when the thread reaches down to them
// again. For the start of a thread that lives as long as a download.
void ReleaseUnusedStack();
