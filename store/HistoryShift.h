// Making room in a full history: the oldest record goes, the others move up.
#pragma once

#include <string>

// The text of the history file at path without record FILE0, every record
// FILE<n> (0 < n < capacity) renamed FILE<n-1>, and sections numbered at or
// beyond capacity (never read) left out; every other line as it was. False
// when the file cannot be read.
bool HistoryTextWithoutOldest(const char *path, int capacity, std::string *text);
