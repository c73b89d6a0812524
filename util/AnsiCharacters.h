// Walking ANSI text by characters of the process's ANSI code page. Under a
// double-byte code page (936, 932, 950 and the like) the second byte of a
// character may be 0x5C or 0x7C: a byte walk takes it for "\" or "|" and
// cuts the character in two, where Windows reads one character.
#pragma once

#include <stddef.h>
#include <windows.h>

// Where the character after the one at p begins: two bytes on for a lead
// byte with a byte after it, as Windows reads an ANSI path (and as CharNextA
// steps), else one; p itself at the terminator.
inline const char *NextAnsiCharacter(const char *p)
{
    if (*p == '\0')
        return p;
    if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(*p)) && p[1] != '\0')
        return p + 2;
    return p + 1;
}

inline char *NextAnsiCharacter(char *p)
{
    return const_cast<char *>(NextAnsiCharacter(static_cast<const char *>(p)));
}

// Where the last character of the first length bytes of text begins; text
// for an empty text.
inline const char *LastAnsiCharacter(const char *text, size_t length)
{
    const char *last = text;
    for (const char *p = text; p < text + length && *p; p = NextAnsiCharacter(p))
        last = p;
    return last;
}

// The last character c (an ASCII character) in text, or null: strrchr that
// never takes the second byte of a double-byte character for c.
inline const char *FindLastAnsiCharacter(const char *text, char c)
{
    const char *found = nullptr;
    for (const char *p = text; *p; p = NextAnsiCharacter(p)) {
        if (*p == c)
            found = p;
    }
    return found;
}
