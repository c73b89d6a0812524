#include "util/SizeText.h"

#include <stdio.h>

void SizeText(unsigned long long bytes, char *out)
{
    if (bytes > 1000000)
        snprintf(out, 16, "%lluMb", bytes / 1000000);
    else if (bytes > 1000)
        snprintf(out, 16, "%lluKb", bytes / 1000);
    else
        snprintf(out, 16, "%llub", bytes);
}
