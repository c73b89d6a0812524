#include "util/ThreadStack.h"

#include <windows.h>

#include "util/UnusedStack.h"

namespace {

// GCC takes the segment read inside NtCurrentTeb for an access to an array
// of no elements, and warns of every use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
const NT_TIB *CurrentThreadBlock()
{
    return reinterpret_cast<const NT_TIB *>(NtCurrentTeb());
}
#pragma GCC diagnostic pop

}  // namespace

void ReleaseUnusedStack()
{
    const NT_TIB *tib = CurrentThreadBlock();
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    volatile char here = 0;
    AddressSpan unused = UnusedStackSpan(reinterpret_cast<uintptr_t>(tib->StackLimit),
                                         reinterpret_cast<uintptr_t>(tib->StackBase),
                                         reinterpret_cast<uintptr_t>(&here), kStackHeadroom, system.dwPageSize);
    if (!unused.length)
        return;
    void *start = reinterpret_cast<void *>(unused.start);
    // MEM_RESET drops the pages' contents but keeps them committed, so the
    // stack stays as the system laid it out (Wine frees the pages here).
    // Unlocking pages that are not locked takes them out of the working set
    // on Windows; it fails with ERROR_NOT_LOCKED, as expected.
    if (VirtualAlloc(start, unused.length, MEM_RESET, PAGE_READWRITE))
        VirtualUnlock(start, unused.length);
}
