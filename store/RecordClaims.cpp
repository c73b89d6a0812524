#include "store/RecordClaims.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "util/HandleClose.h"
#include "util/TemporarySuffix.h"

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

// FNV-1a over the full path as Windows resolves it ("." and ".." gone,
// separators and letter case folded, through UTF-16 so that accented and
// double-byte letters fold as the file system folds them), with every
// trailing ".hhh" dropped: a task's final file and its temporary file give
// one key, so no task's final name can be another's temporary file.
unsigned long long PathKey(const char *path)
{
    wchar_t wide[MAX_PATH * 2], full[MAX_PATH * 2];
    int converted = MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH * 2);
    if (converted <= 0)
        wide[0] = L'\0';
    DWORD length = GetFullPathNameW(wide, MAX_PATH * 2, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 2)
        length = lstrlenW(lstrcpynW(full, wide, MAX_PATH * 2));
    CharUpperBuffW(full, length);
    const DWORD suffix = kTemporarySuffixLength;
    while (length > suffix && _wcsnicmp(full + length - suffix, kTemporarySuffixWide, suffix) == 0)
        length -= suffix;
    unsigned long long hash = 1469598103934665603ull;
    for (DWORD i = 0; i < length; ++i) {
        unsigned c = full[i] == L'/' ? L'\\' : full[i];
        hash = (hash ^ (c & 0xFF)) * 1099511628211ull;
        hash = (hash ^ (c >> 8)) * 1099511628211ull;
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
    CloseAndClear(claim);
}
