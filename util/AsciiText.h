// Byte-level helpers for protocol and URL text, where only ASCII letters fold.
#pragma once

// The value of a hexadecimal digit, or -1.
inline int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether [p, end) equals the lower-case word, ignoring ASCII letter case.
inline bool EqualsNoCase(const char *p, const char *end, const char *word)
{
    for (; *word; ++word, ++p) {
        if (p == end || LowerAscii(*p) != *word)
            return false;
    }
    return p == end;
}
