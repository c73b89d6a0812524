#include "netquill/AddressOrder.h"

int InterleaveFamilies(const int *families, int count, int *order)
{
    if (count > kMaxAddressAttempts)
        count = kMaxAddressAttempts;
    // The next address of the first family, and of the other families, not yet placed.
    int first = 0;
    int other = 0;
    int written = 0;
    bool firstsTurn = true;
    while (written < count) {
        int &cursor = firstsTurn ? first : other;
        while (cursor < count && (families[cursor] == families[0]) != firstsTurn)
            ++cursor;
        if (cursor < count)
            order[written++] = cursor++;
        firstsTurn = !firstsTurn;
    }
    return written;
}
