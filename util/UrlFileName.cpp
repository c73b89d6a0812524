#include "util/UrlFileName.h"

#include <string.h>
#include <windows.h>

#include "util/AsciiText.h"
#include "util/NameRules.h"
#include "util/PathText.h"

namespace {

const size_t kNameSize = 1024;

// The last path element, percent-decoded; sets escapedHigh when a decoded
// escape gave a byte above 127, which only UTF-8 explains.
bool DecodedElement(const char *url, char *bytes, size_t *count, bool *escapedHigh)
{
    // The path ends where the query or the fragment begins.
    size_t end = strcspn(url, "?#");
    char path[kNameSize];
    if (end >= sizeof(path))
        return false;
    memcpy(path, url, end);
    path[end] = '\0';
    LastComponent(path);
    size_t length = 0;
    *escapedHigh = false;
    for (const char *p = path; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        int high, low;
        if (c == '%' && (high = HexValue(p[1])) >= 0 && (low = HexValue(p[2])) >= 0) {
            c = static_cast<unsigned char>(high * 16 + low);
            *escapedHigh = *escapedHigh || c >= 0x80;
            p += 2;
        }
        // An escaped NUL would end the name early.
        bytes[length++] = c == 0 ? '_' : static_cast<char>(c);
    }
    *count = length;
    return true;
}

// One UTF-8 sequence at bytes[0..count); its code point and length, or 0 for
// an invalid, overlong or cut-off sequence.
size_t Utf8Sequence(const unsigned char *bytes, size_t count, unsigned *codePoint)
{
    unsigned c = bytes[0];
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || length > count)
        return 0;
    unsigned value = length == 1 ? c : c & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    static const unsigned kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

// UTF-8 into UTF-16; every byte that starts no valid sequence becomes "_".
// Returns how many bytes were invalid.
size_t FromUtf8(const char *text, size_t count, wchar_t *wide)
{
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    size_t invalid = 0, out = 0;
    for (size_t i = 0; i < count;) {
        unsigned codePoint;
        size_t length = Utf8Sequence(bytes + i, count - i, &codePoint);
        if (length == 0) {
            wide[out++] = L'_';
            ++invalid;
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            wide[out++] = static_cast<wchar_t>(0xD800 + (codePoint >> 10));
            wide[out++] = static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
        } else {
            wide[out++] = static_cast<wchar_t>(codePoint);
        }
        i += length;
    }
    wide[out] = L'\0';
    return invalid;
}

// The ANSI bytes of one character (one or two UTF-16 units), or 0 when the
// code page cannot hold it. A best-fit stand-in ("Ａ" for "A") is no match:
// it could make a device name. A double-byte character whose second byte is
// 0x5C stays whole: the path helpers walk by characters.
int AnsiCharacter(const wchar_t *unit, int units, char *bytes, int size)
{
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, unit, units, bytes, size, nullptr, &usedDefault);
    if (length <= 0 || usedDefault)
        return 0;
    wchar_t back[2];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, length, back, 2) != units ||
        memcmp(back, unit, units * sizeof(wchar_t)) != 0)
        return 0;
    return length;
}

bool ToAnsi(const wchar_t *wide, char *out, size_t outSize)
{
    size_t length = 0;
    for (const wchar_t *p = wide; *p;) {
        int units = (*p >= 0xD800 && *p <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) ? 2 : 1;
        char bytes[8];
        int count = AnsiCharacter(p, units, bytes, sizeof(bytes));
        if (count == 0) {
            bytes[0] = '_';
            count = 1;
        }
        if (length + count >= outSize)
            return false;
        memcpy(out + length, bytes, count);
        length += count;
        p += units;
    }
    out[length] = '\0';
    return true;
}

}  // namespace

bool FileNameFromUrl(const char *url, char *out, size_t outSize)
{
    char bytes[kNameSize];
    size_t count;
    bool escapedHigh;
    if (!DecodedElement(url, bytes, &count, &escapedHigh))
        return false;
    wchar_t wide[2 * kNameSize + 16];
    // Percent escapes carry UTF-8. A host that writes its URL in the ANSI
    // code page instead ("中文.bin" as GBK bytes) escapes nothing above 127,
    // and its bytes are no valid UTF-8: such a name is taken as ANSI text.
    if (FromUtf8(bytes, count, wide) != 0 && !escapedHigh) {
        int length = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), wide, kNameSize);
        if (length <= 0)
            return false;
        wide[length] = L'\0';
    }
    MakeSafeNameElement(wide, sizeof(wide) / sizeof(wide[0]));
    return ToAnsi(wide, out, outSize);
}
