#include "util/UrlFileName.h"
#include "util/AsciiText.h"

#include <string.h>

#include "util/PathText.h"

bool IsForbiddenNameCharacter(unsigned char c)
{
    return c < 0x20 || c == 0x7F || strchr("\\/:*?\"<>|", c) != nullptr;
}

bool FileNameFromUrl(const char *url, char *out, size_t outSize)
{
    // The path ends where the query or the fragment begins.
    size_t end = strcspn(url, "?#");
    char path[1024];
    if (end >= sizeof(path))
        return false;
    memcpy(path, url, end);
    path[end] = '\0';
    LastComponent(path);

    size_t length = 0;
    for (const char *p = path; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        int high, low;
        if (c == '%' && (high = HexValue(p[1])) >= 0 && (low = HexValue(p[2])) >= 0) {
            c = static_cast<unsigned char>(high * 16 + low);
            p += 2;
        }
        if (length + 1 >= outSize)
            return false;
        out[length++] = IsForbiddenNameCharacter(c) ? '_' : static_cast<char>(c);
    }
    out[length] = '\0';
    // "." and ".." name folders, not files.
    if (length == 0 || strspn(out, ".") == length) {
        if (outSize < sizeof("index.html"))
            return false;
        strcpy(out, "index.html");
    }
    return true;
}
