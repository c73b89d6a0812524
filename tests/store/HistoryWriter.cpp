// Writes history records as a host does when its downloads end, for the
// tests of the history store: COUNT records named PREFIX-1 .. PREFIX-COUNT.
// Usage: HistoryWriter PREFIX COUNT
#include <stdio.h>
#include <stdlib.h>

#include "store/HistoryStore.h"

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    int count = atoi(argv[2]);
    for (int n = 1; n <= count; ++n) {
        char name[64];
        snprintf(name, sizeof(name), "%s-%d", argv[1], n);
        WriteHistoryRecord(name, "2026-12-08 02:00", 1000u * n, HistoryFinished);
    }
    return 0;
}
