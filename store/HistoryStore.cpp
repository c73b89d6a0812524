#include "store/HistoryStore.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "store/HistoryShift.h"
#include "util/PathText.h"
#include "util/ProfilePlace.h"
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

// "Vorazuvud.ini" in the host's folder.
std::string DocumentedHistoryFile()
{
    char file[MAX_PATH];
    HostFolder(file, sizeof(file));
    strncat(file, "Vorazuvud.ini", sizeof(file) - strlen(file) - 1);
    return file;
}

ProfilePlace &HistoryPlace()
{
    static ProfilePlace place(DocumentedHistoryFile());
    return place;
}

void CopyPath(const std::string &path, char *buffer, int bufferSize)
{
    lstrcpynA(buffer, path.c_str(), bufferSize);
}

bool FindRecordIn(const char *file, const char *name, int *index)
{
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

}  // namespace

void HistoryFilePath(char *buffer, int bufferSize)
{
    CopyPath(HistoryPlace().Path(), buffer, bufferSize);
}

void OtherHistoryFilePath(char *buffer, int bufferSize)
{
    CopyPath(HistoryPlace().OtherPath(), buffer, bufferSize);
}

bool FindHistoryRecord(const char *name, int *index)
{
    return FindRecordIn(HistoryPlace().Path().c_str(), name, index);
}

int WriteHistoryRecord(const char *name, const char *time, unsigned long long size, int status,
                       const char *reason)
{
    // Another host finishing a download at the same moment would otherwise
    // find the same free section, and one record would overwrite the other.
    ProfileUpdateLock lock;
    if (!lock.held())
        return 1;
    HistoryPlace().Update([&](ProfileUpdate &update, const std::string &file) {
        int index;
        bool found = FindRecordIn(file.c_str(), name, &index);
        if (index >= kHistoryCapacity) {
            // Full: the oldest record makes room, in the same step as the new one.
            std::string text;
            if (!HistoryTextWithoutOldest(file.c_str(), kHistoryCapacity, &text))
                return;
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
    });
    return 1;
}

bool ReadHistoryRecord(HistoryRecord *record, int index)
{
    return ReadHistoryRecordIn(HistoryPlace().Path().c_str(), record, index);
}

bool ReadHistoryRecordIn(const char *file, HistoryRecord *record, int index)
{
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
