// Reading a whole file into memory, the one way the tests do it: with every
// sharing mode, so that a file the plug-in or another process still has
// open (the settings file, a download being written) can be read.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// The file's bytes; false when it cannot be opened or read whole.
inline bool ReadWholeFile(const std::string &path, std::string *contents)
{
    contents->clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[1 << 16];
    DWORD count;
    bool ok;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &count, nullptr) != 0) && count > 0)
        contents->append(buffer, count);
    CloseHandle(file);
    return ok;
}

// The file's bytes, or missing when it cannot be read.
inline std::string ReadWholeFile(const std::string &path, const char *missing = "")
{
    std::string contents;
    return ReadWholeFile(path, &contents) ? contents : missing;
}

// Writes contents as the whole file at path, made anew.
inline bool WriteWholeFile(const std::string &path, const std::string &contents)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool whole = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
                 written == contents.size();
    return CloseHandle(file) && whole;
}

}  // namespace testing_support
