// Case-insensitive matching for the 26 ASCII letters only; every other byte,
// those above 127 included, compares unchanged.
#pragma once

// 1 when text begins with key (an empty key matches every text), else 0.
int StartsWithNoCase(const char *text, const char *key);

// The first position in text where key begins, or null. An empty text has none.
const char *FindNoCase(const char *text, const char *key);
