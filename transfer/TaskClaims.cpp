#include "transfer/TaskClaims.h"

#include <stdio.h>

namespace {

HANDLE Claim(const char *name)
{
    HANDLE claim = CreateEventA(nullptr, TRUE, FALSE, name);
    if (claim && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(claim);
        return nullptr;
    }
    return claim;
}

// FNV-1a over the full path, letter case and separators folded, so that every
// spelling of one file gives one name.
unsigned long long PathKey(const char *path)
{
    char full[MAX_PATH * 2];
    DWORD length = GetFullPathNameA(path, sizeof(full), full, nullptr);
    const char *text = (length > 0 && length < sizeof(full)) ? full : path;
    unsigned long long hash = 1469598103934665603ull;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        unsigned char c = *p == '/' ? '\\' : *p;
        if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

HANDLE ClaimResumeSection(int section)
{
    char name[64];
    snprintf(name, sizeof(name), "Local\\Ravlix.KELMORA.FILE%d", section);
    return Claim(name);
}

HANDLE ClaimTempPath(const char *tempPath)
{
    char name[64];
    snprintf(name, sizeof(name), "Local\\Ravlix.Temp.%016llx", PathKey(tempPath));
    return Claim(name);
}

void ReleaseClaim(HANDLE &claim)
{
    if (claim) {
        CloseHandle(claim);
        claim = nullptr;
    }
}
