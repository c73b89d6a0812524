#include "ui/SpeedCapField.h"

#include <stdio.h>

namespace {

const ULONGLONG kKiB = 1024;
const ULONGLONG kMostBytesPerSecond = 0x7FFFFFFF;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

void SpeedCapFieldText(ULONGLONG bytesPerSecond, char *out)
{
    if (bytesPerSecond == 0) {
        out[0] = '\0';
        return;
    }
    ULONGLONG kib = (bytesPerSecond + kKiB / 2) / kKiB;
    snprintf(out, 16, "%llu", kib ? kib : 1);
}

bool ParseSpeedCapField(const char *text, ULONGLONG *bytesPerSecond)
{
    while (IsSpace(*text))
        ++text;
    ULONGLONG kib = 0;
    bool digits = false;
    for (; *text >= '0' && *text <= '9'; ++text) {
        kib = kib * 10 + static_cast<ULONGLONG>(*text - '0');
        if (kib * kKiB > kMostBytesPerSecond)
            return false;
        digits = true;
    }
    while (IsSpace(*text))
        ++text;
    if (*text != '\0')
        return false;
    *bytesPerSecond = digits ? kib * kKiB : 0;
    return true;
}
