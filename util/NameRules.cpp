#include "util/NameRules.h"

#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "util/PathText.h"
#include "util/TemporarySuffix.h"
#include "util/TextSize.h"

namespace {

const size_t kWideSize = 520;
const wchar_t kIndexName[] = L"index.html";

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsForbidden(wchar_t c)
{
    return c < 0x20 || c == 0x7F || wcschr(L"\\/:*?\"<>|", c) != nullptr;
}

wchar_t UpperAscii(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// How many leading characters of the element Windows reads as a device
// name: the part before the first dot with its trailing spaces dropped. 0
// when it is no device. Windows also counts COM0, LPT0 and the superscript
// digits, so they are refused as well.
size_t DeviceNameLength(const wchar_t *element, size_t length)
{
    size_t base = 0;
    while (base < length && element[base] != L'.')
        ++base;
    size_t trimmed = base;
    while (trimmed > 0 && element[trimmed - 1] == L' ')
        --trimmed;
    wchar_t upper[8];
    if (trimmed < 3 || trimmed > 7)
        return 0;
    for (size_t i = 0; i < trimmed; ++i)
        upper[i] = UpperAscii(element[i]);
    upper[trimmed] = L'\0';
    static const wchar_t *const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t *device : kDevices) {
        if (wcscmp(upper, device) == 0)
            return trimmed;
    }
    if (trimmed == 4 && (wcsncmp(upper, L"COM", 3) == 0 || wcsncmp(upper, L"LPT", 3) == 0)) {
        wchar_t digit = upper[3];
        if ((digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3)
            return trimmed;
    }
    return 0;
}

bool ToWide(const char *text, wchar_t *wide, size_t wideSize)
{
    if (text[0] == '\0') {
        wide[0] = L'\0';
        return true;
    }
    int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide, static_cast<int>(wideSize));
    return length > 0;
}

// Every element from text up to its end is safe, none of them empty.
bool SafeElements(const wchar_t *text)
{
    const wchar_t *element = text;
    for (const wchar_t *p = text;; ++p) {
        if (*p != L'\0' && !IsSeparator(*p))
            continue;
        size_t length = p - element;
        if (!IsSafeNameElement(element, length))
            return false;
        if (*p == L'\0')
            return true;
        element = p + 1;
    }
}

}  // namespace

bool IsSafeNameElement(const wchar_t *element, size_t length)
{
    if (length == 0 || element[length - 1] == L'.' || element[length - 1] == L' ')
        return false;  // also "." and ".."
    for (size_t i = 0; i < length; ++i) {
        if (IsForbidden(element[i]))
            return false;
    }
    return DeviceNameLength(element, length) == 0;
}

bool IsSafeRelativeName(const wchar_t *name)
{
    for (const wchar_t *p = name; *p; ++p) {
        if (*p == L'\\')
            return false;
    }
    return !IsSeparator(name[0]) && SafeElements(name);
}

bool IsSafeTemporaryPath(const char *path)
{
    wchar_t wide[kWideSize];
    if (!ToWide(path, wide, kWideSize))
        return false;
    // "\\.\" and "\\?\" lead into the devices' namespace (pipes, volumes),
    // where no download folder lies.
    if (IsSeparator(wide[0]) && IsSeparator(wide[1]) && (wide[2] == L'.' || wide[2] == L'?') && IsSeparator(wide[3]))
        return false;
    size_t length = wcslen(wide);
    size_t suffix = kTemporarySuffixLength;
    if (length <= suffix || wcscmp(wide + length - suffix, kTemporarySuffixWide) != 0)
        return false;
    // The name without the suffix must be safe too: it is the file the
    // download ends as.
    size_t nameEnd = length - suffix;
    size_t nameStart = nameEnd;
    while (nameStart > 0 && !IsSeparator(wide[nameStart - 1]))
        --nameStart;
    return IsSafeNameElement(wide + nameStart, nameEnd - nameStart);
}

bool HostFileName(const char *given, char *out, size_t outSize)
{
    wchar_t wide[kWideSize];
    if (!ToWide(given, wide, kWideSize))
        return false;
    const wchar_t *name = wide;
    if (wcschr(wide, L'\\')) {
        for (const wchar_t *p = wide; *p; ++p) {
            if (IsSeparator(*p))
                name = p + 1;
        }
    }
    if (!IsSafeRelativeName(name))
        return false;
    int length = WideCharToMultiByte(CP_ACP, 0, name, -1, out, static_cast<int>(outSize), nullptr, nullptr);
    return length > 0;
}

void MakeSafeNameElement(wchar_t *element, size_t capacity)
{
    size_t length = wcslen(element);
    if (length == 0 || wcsspn(element, L".") == length) {
        if (capacity > wcslen(kIndexName))
            wcscpy(element, kIndexName);
        return;
    }
    for (size_t i = 0; i < length; ++i) {
        if (IsForbidden(element[i]))
            element[i] = L'_';
    }
    for (size_t i = length; i > 0 && (element[i - 1] == L'.' || element[i - 1] == L' '); --i)
        element[i - 1] = L'_';
    size_t device = DeviceNameLength(element, length);
    if (device == 0)
        return;
    if (length + 1 < capacity) {
        wmemmove(element + device + 1, element + device, length - device + 1);
        element[device] = L'_';
    } else {
        element[device - 1] = L'_';
    }
}

bool FinalPathOf(const char *tempPath, char *finalPath)
{
    size_t length = strnlen(tempPath, kTextSize - 1);
    size_t suffix = kTemporarySuffixLength;
    if (length <= suffix || lstrcmpiA(tempPath + length - suffix, kTemporarySuffix) != 0 ||
        EndsInSeparator(tempPath, length - suffix))
        return false;
    memcpy(finalPath, tempPath, length - suffix);
    finalPath[length - suffix] = '\0';
    return true;
}
