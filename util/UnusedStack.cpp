#include "util/UnusedStack.h"

AddressSpan UnusedStackSpan(uintptr_t limit, uintptr_t base, uintptr_t position, size_t headroom, size_t pageSize)
{
    AddressSpan none = {0, 0};
    if (pageSize == 0 || position < limit || position >= base || position - limit <= headroom)
        return none;
    uintptr_t start = (limit + pageSize - 1) / pageSize * pageSize;
    uintptr_t end = (position - headroom) / pageSize * pageSize;
    if (end <= start)
        return none;
    AddressSpan span = {start, static_cast<size_t>(end - start)};
    return span;
}
