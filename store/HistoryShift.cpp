#include "store/HistoryShift.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

const int kNoRecord = -1;

bool ReadWholeFile(const char *path, std::string *text)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    bool read = size != INVALID_FILE_SIZE;
    if (read) {
        text->resize(size);
        DWORD got = 0;
        read = size == 0 || (ReadFile(file, &(*text)[0], size, &got, nullptr) && got == size);
    }
    CloseHandle(file);
    return read;
}

// The record number of a section header line "[FILE<n>]" as the profile
// functions match it (blanks around the name, any letter case), or
// kNoRecord for any other line. A number with a leading zero names no
// section that "FILE%d" produces.
int RecordOfHeader(const char *line, size_t length)
{
    size_t start = 0;
    while (start < length && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    if (start == length || line[start] != '[')
        return kNoRecord;
    const char *close = static_cast<const char *>(memchr(line + start, ']', length - start));
    if (!close)
        return kNoRecord;
    const char *name = line + start + 1;
    const char *end = close;
    while (name < end && (*name == ' ' || *name == '\t'))
        ++name;
    while (end > name && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    if (end - name < 5 || _strnicmp(name, "FILE", 4) != 0)
        return kNoRecord;
    const char *digits = name + 4;
    if (end - digits > 6 || (digits[0] == '0' && end - digits > 1))
        return kNoRecord;
    int number = 0;
    for (const char *p = digits; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return kNoRecord;
        number = number * 10 + (*p - '0');
    }
    return number;
}

bool IsHeader(const char *line, size_t length)
{
    size_t start = 0;
    while (start < length && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    return start < length && line[start] == '[';
}

}  // namespace

bool HistoryTextWithoutOldest(const char *path, int capacity, std::string *text)
{
    std::string old;
    if (!ReadWholeFile(path, &old))
        return false;
    text->clear();
    bool keeping = true;
    for (size_t begin = 0; begin < old.size();) {
        size_t newline = old.find('\n', begin);
        size_t next = newline == std::string::npos ? old.size() : newline + 1;
        const char *line = old.data() + begin;
        size_t length = next - begin;
        if (IsHeader(line, length)) {
            int record = RecordOfHeader(line, length);
            keeping = record == kNoRecord || (record > 0 && record < capacity);
            if (record != kNoRecord && keeping) {
                char header[32];
                snprintf(header, sizeof(header), "[FILE%d]\r\n", record - 1);
                *text += header;
                begin = next;
                continue;
            }
        }
        if (keeping)
            text->append(line, length);
        begin = next;
    }
    return true;
}
