#include "util/TextSearch.h"

namespace {

unsigned char FoldCase(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

}  // namespace

int StartsWithNoCase(const char *text, const char *key)
{
    for (; *key; ++text, ++key) {
        if (*text == '\0' || FoldCase(*text) != FoldCase(*key))
            return 0;
    }
    return 1;
}

const char *FindNoCase(const char *text, const char *key)
{
    for (; *text; ++text) {
        if (StartsWithNoCase(text, key))
            return text;
    }
    return nullptr;
}
