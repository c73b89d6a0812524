// Which part of a thread's stack its thread is done with: the whole pages of
// the committed part that lie well below where the thread runs now. A stack
// grows down, so nothing below the running frame holds anything the thread
// still needs; the headroom keeps the pages its next calls reach in place.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Deeper than the calls a long-lived thread of ours makes between its waits.
const size_t kStackHeadroom = 64 * 1024;

struct AddressSpan {
    uintptr_t start;
    size_t length;  // 0: nothing to give back
};

// The whole pages of [limit, base), the stack's committed part, that lie more
// than headroom below position; empty when there are none, or when position
// is not within the stack.
AddressSpan UnusedStackSpan(uintptr_t limit, uintptr_t base, uintptr_t position, size_t headroom, size_t pageSize);
