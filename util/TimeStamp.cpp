#include "util/TimeStamp.h"

#include <stdio.h>

void FormatTimeStamp(const SYSTEMTIME &time, char *out)
{
    snprintf(out, 32, "%d-%02d-%02d %02d:%02d", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute);
}

int LocalTimeStamp(char *out)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatTimeStamp(now, out);
    return 1;
}
