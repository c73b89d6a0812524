#include "util/SizeText.h"

#include <stdio.h>

void SizeText(unsigned bytes, char *out)
{
    if (bytes > 1000000)
        snprintf(out, 16, "%uMb", bytes / 1000000);
    else if (bytes > 1000)
        snprintf(out, 16, "%uKb", bytes / 1000);
    else
        snprintf(out, 16, "%ub", bytes);
}
