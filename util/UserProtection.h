// Text protected for the user who runs the process (the system's per-user
// data protection, CryptProtectData): another user of the machine, who can
// read the settings file, cannot read it back. Hex, so that it fits a
// settings file's value. crypt32.dll is loaded on first use.
#pragma once

#include <string>

// False when the system refuses; hexOut is then empty.
bool ProtectForUser(const char *text, std::string *hexOut);

// The text ProtectForUser protected, into textOut of capacity bytes; false
// (textOut empty) when hex is no such text of this user's, or does not fit.
bool UnprotectForUser(const char *hex, char *textOut, size_t capacity);
