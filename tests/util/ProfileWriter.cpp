// Updates one section of a profile file again and again, for the tests of
// ProfileUpdate: each update writes KEY0 .. KEY8, all with the update's
// number. Usage: ProfileWriter FILE SECTION COUNT (COUNT 0: until killed).
#include <stdio.h>
#include <stdlib.h>

#include "util/ProfileUpdate.h"

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    int count = atoi(argv[3]);
    for (int n = 1; count == 0 || n <= count; ++n) {
        ProfileUpdate update(argv[1]);
        char value[16];
        snprintf(value, sizeof(value), "%d", n);
        for (int k = 0; k < 9; ++k) {
            char key[16];
            snprintf(key, sizeof(key), "KEY%d", k);
            update.Write(argv[2], key, value);
        }
        if (!update.Commit())
            return 1;
    }
    return 0;
}
