#include "store/HistoryStore.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "store/HistoryShift.h"
#include "util/PathText.h"
#include "util/ProfileUpdate.h"
#include "util/SizeText.h"

namespace {

void SectionName(int index, char *section)
{
    snprintf(section, 16, "FILE%d", index);
}

bool ReadKey(const char *section, const char *key, char *buffer, int bufferSize, const char *file)
{
    memset(buffer, 0, bufferSize);
    GetPrivateProfileStringA(section, key, "", buffer, bufferSize, file);
    return buffer[0] != '\0';
}

}  // namespace

void HistoryFilePath(char *buffer, int bufferSize)
{
    HostFolder(buffer, bufferSize);
    strncat(buffer, "Vorazuvud.ini", bufferSize - strlen(buffer) - 1);
}

bool FindHistoryRecord(const char *name, int *index)
{
    char file[MAX_PATH];
    HistoryFilePath(file, sizeof(file));
    for (int i = 0; i < kHistoryCapacity; ++i) {
        char section[16], stored[260];
        SectionName(i, section);
        if (!ReadKey(section, "NAME", stored, sizeof(stored), file)) {
            *index = i;
            return false;
        }
        if (lstrcmpiA(stored, name) == 0) {
            *index = i;
            return true;
        }
    }
    *index = kHistoryCapacity;
    return false;
}

int WriteHistoryRecord(const char *name, const char *time, unsigned long long size, int status,
                       const char *reason)
{
    char file[MAX_PATH];
    HistoryFilePath(file, sizeof(file));
    // Another host finishing a download at the same moment would otherwise
    // find the same free section, and one record would overwrite the other.
    ProfileUpdateLock lock;
    if (!lock.held())
        return 1;
    int index;
    bool found = FindHistoryRecord(name, &index);
    ProfileUpdate update(file);
    if (index >= kHistoryCapacity) {
        // Full: the oldest record makes room, in the same step as the new one.
        std::string text;
        if (!HistoryTextWithoutOldest(file, kHistoryCapacity, &text))
            return 1;
        update.StartFrom(text);
        index = kHistoryCapacity - 1;
    }
    char section[16];
    SectionName(index, section);
    if (!found) {
        char sizeText[16];
        SizeText(size, sizeText);
        update.Write(section, "NAME", name);
        update.Write(section, "TIME", time);
        update.Write(section, "SIZE", sizeText);
    }
    char statusText[16];
    snprintf(statusText, sizeof(statusText), "%d", status);
    update.Write(section, "STATUS", statusText);
    // Removed when there is none, so that a later record of the name drops an earlier reason.
    update.Write(section, "REASON", reason);
    return 1;
}

bool ReadHistoryRecord(HistoryRecord *record, int index)
{
    char file[MAX_PATH];
    HistoryFilePath(file, sizeof(file));
    char section[16];
    SectionName(index, section);
    if (!ReadKey(section, "NAME", record->name, sizeof(record->name), file))
        return false;
    if (!ReadKey(section, "SIZE", record->size, sizeof(record->size), file))
        return false;
    if (!ReadKey(section, "STATUS", record->status, sizeof(record->status), file))
        return false;
    if (!ReadKey(section, "REASON", record->reason, sizeof(record->reason), file))
        record->reason[0] = '\0';
    if (atoi(record->status) == HistoryDeleted && !record->reason[0])
        return false;
    return ReadKey(section, "TIME", record->time, sizeof(record->time), file);
}
