#include "store/ResumeRecords.h"

#include <algorithm>
#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "plugin/ProcessState.h"
#include "store/HistoryStore.h"
#include "store/SettingsFile.h"
#include "transfer/TaskClaims.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskSlotTable.h"
#include "util/NameRules.h"
#include "util/PathText.h"
#include "util/ProfileUpdate.h"
#include "util/TimeStamp.h"

namespace {

void SectionName(int section, char *name)
{
    snprintf(name, 16, "FILE%d", section);
}

void WriteText(ProfileUpdate &update, const char *section, const char *key, const char *text)
{
    char buffer[kTextSize] = {};
    memcpy(buffer, text, strnlen(text, kTextSize - 1));
    update.Write(section, key, buffer);
}

bool ReadText(const char *section, const char *key, char *buffer)
{
    memset(buffer, 0, kTextSize);
    GetPrivateProfileStringA(section, key, "", buffer, kTextSize, kSettingsFile);
    return buffer[0] != '\0';
}

// An OFFSET value: unsigned decimal digits, blanks around them allowed.
// Anything else, or a number past 64 bits, reads as 0 and so restarts its
// segment, as a count beyond the segment's length does.
ULONGLONG ReadOffset(const char *section, const char *key)
{
    char text[kTextSize];
    ReadText(section, key, text);
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    const char *digits = p;
    ULONGLONG value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = *p - '0';
        if (value > (~0ull - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p != digits && *p == '\0' ? value : 0;
}

bool HoldsRecord(int section)
{
    char name[16], url[kTextSize];
    SectionName(section, name);
    return GetPrivateProfileIntA(name, "MULTHREAD", 0, kSettingsFile) != 0 && ReadText(name, "URLNAME", url);
}

// Blanks the record of a download found in place, and lists it as finished
// in the history, where the host that placed it ended before doing so (the
// history is written after the blanking). A record of that name is updated,
// not written twice.
void EndPlacedRecord(int section, const char *tempPath, ULONGLONG size)
{
    char name[kTextSize], now[32];
    FinalPathOf(tempPath, name);
    LastComponent(name);
    ClearResumeRecord(section);
    LocalTimeStamp(now);
    WriteHistoryRecord(name, now, size, HistoryFinished);
}

// Reads FILE<section> into the slot's image; false when it holds no record
// this process may restore.
bool LoadSection(int section, TaskSlot &slot)
{
    char name[16];
    SectionName(section, name);
    ResumeRecord &image = slot.image;
    memset(&image, 0, sizeof(image));
    int connections = GetPrivateProfileIntA(name, "MULTHREAD", 0, kSettingsFile);
    if (connections < 1 || connections > kMaxSegments)
        return false;
    image.connectionCount = connections;
    for (int i = 0; i < connections; ++i) {
        char key[16];
        snprintf(key, sizeof(key), "OFFSET%i", i);
        image.segments[i].received = ReadOffset(name, key);
    }
    if (!ReadText(name, "URLNAME", image.url) || !ReadText(name, "DESTNAME", image.tempPath) ||
        !IsSafeTemporaryPath(image.tempPath))
        return false;
    ReadText(name, "PROXY", image.proxy);
    ReadText(name, "VALIDATOR", slot.loaded.validator);

    // Another live task, here or in another host process, owns this record
    // or writes this temporary file: leave the record for a later restore.
    slot.loaded.sectionClaim = ClaimResumeSection(section);
    if (!slot.loaded.sectionClaim)
        return false;
    slot.loaded.pathClaim = ClaimTempPath(image.tempPath);
    if (!slot.loaded.pathClaim) {
        ReleaseClaim(slot.loaded.sectionClaim);
        return false;
    }
    // A host ended between putting the file in place and blanking the record:
    // the download is finished, and fetching it again would replace a file
    // the user may already have opened or changed.
    ULONGLONG placedSize;
    if (PlacedBeforeRecordCleared(image, &placedSize)) {
        EndPlacedRecord(section, image.tempPath, placedSize);
        ReleaseClaim(slot.loaded.pathClaim);
        ReleaseClaim(slot.loaded.sectionClaim);
        return false;
    }
    image.resumeFlag = 1;
    image.resumeSection = section;
    image.state = TaskIdle;
    slot.loaded.present = 1;
    return true;
}

// The numbers n of the FILE<n> sections in the settings file, ascending.
std::vector<int> RecordSections()
{
    std::vector<char> names(4096);
    for (;;) {
        DWORD length = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), kSettingsFile);
        if (length < names.size() - 2 || names.size() >= (1u << 24))
            break;
        names.assign(names.size() * 4, '\0');
    }
    std::vector<int> sections;
    for (const char *name = names.data(); *name; name += strlen(name) + 1) {
        if (_strnicmp(name, "FILE", 4) != 0)
            continue;
        int section = atoi(name + 4);
        if (section < 1 || section > kResumeSectionLimit)
            continue;
        char canonical[16];
        SectionName(section, canonical);
        if (lstrcmpiA(canonical, name) == 0)
            sections.push_back(section);
    }
    std::sort(sections.begin(), sections.end());
    sections.erase(std::unique(sections.begin(), sections.end()), sections.end());
    return sections;
}

int NextFreeSlot(int from)
{
    int slot = from;
    while (slot < kSlotCount && (gSlotTable.slots[slot].task || gSlotTable.slots[slot].loaded.present))
        ++slot;
    return slot;
}

}  // namespace

void SaveResumeRecord(const DownloadTask &task, int section, LockWait wait, Durability durability)
{
    if (section < 1)
        return;
    char name[16];
    SectionName(section, name);
    // Copied with the update's lock held, so that of two savers of one task
    // (the worker resetting the record, a refresh on the window's timer) the
    // one that copied last also writes last.
    ProfileUpdateLock held(wait);
    if (!held.held())
        return;
    // The offsets and the validator they belong to, as one: the worker resets
    // them together when the server's file changed. A count is claimed only
    // as far as a flush took its bytes to the disk.
    ULONGLONG offsets[kMaxSegments];
    char validator[kTextSize];
    int connections = UsedSegmentCount(task);
    EnterCriticalSection(&task.lock);
    for (int i = 0; i < connections; ++i) {
        ULONGLONG received = LoadWord(task.segments[i].received);
        offsets[i] = task.flushed[i] < received ? task.flushed[i] : received;
    }
    memcpy(validator, task.validator, sizeof(validator));
    LeaveCriticalSection(&task.lock);
    ProfileUpdate update(kSettingsFile, LockWait::UntilFree, durability);
    for (int i = 0; i < connections; ++i) {
        char key[16], value[24];
        snprintf(key, sizeof(key), "OFFSET%i", i);
        snprintf(value, sizeof(value), "%llu", offsets[i]);
        update.Write(name, key, value);
    }
    char count[16];
    snprintf(count, sizeof(count), "%ld", static_cast<long>(task.connectionCount));
    update.Write(name, "MULTHREAD", count);
    WriteText(update, name, "URLNAME", task.url);
    WriteText(update, name, "DESTNAME", task.tempPath);
    WriteText(update, name, "PROXY", task.proxy);
    WriteText(update, name, "VALIDATOR", validator);
}

void ClearResumeRecord(int section)
{
    if (section < 1 || section > kResumeSectionLimit)
        return;
    char name[16];
    SectionName(section, name);
    ProfileUpdate update(kSettingsFile);
    // Never written by this plug-in, yet one of the record's keys as the
    // settings file has always had them: blanked with the others, so that
    // no reader of the section finds an offset left in it.
    update.Write(name, "SINGLEOFFSET", "0");
    for (int i = 0; i < kMaxSegments; ++i) {
        char key[16];
        snprintf(key, sizeof(key), "OFFSET%i", i);
        update.Write(name, key, "0");
    }
    update.Write(name, "MULTHREAD", "0");
    update.Write(name, "URLNAME", "");
    update.Write(name, "DESTNAME", "");
    update.Write(name, "PROXY", "");
    update.Write(name, "VALIDATOR", "");
}

int LoadResumeRecords()
{
    int count = 0;
    int slot = NextFreeSlot(0);
    if (slot >= kSlotCount)
        return 0;
    for (int section : RecordSections()) {
        if (slot >= kSlotCount)
            break;
        if (!LoadSection(section, gSlotTable.slots[slot]))
            continue;
        ++count;
        slot = NextFreeSlot(slot + 1);
    }
    return count;
}

int RestoreTasks(ProgressCallback progressCallback)
{
    int count = LoadResumeRecords();
    if (count <= 0)
        return count;
    for (int s = 0; s < kSlotCount; ++s) {
        TaskSlot &slot = gSlotTable.slots[s];
        if (!slot.loaded.present)
            continue;
        slot.loaded.present = 0;
        DownloadTask *task = new (std::nothrow) DownloadTask();
        if (!task) {
            ReleaseClaim(slot.loaded.sectionClaim);
            ReleaseClaim(slot.loaded.pathClaim);
            continue;
        }
        slot.task = task;
        task->ClearData();
        static_cast<ResumeRecord &>(*task) = slot.image;
        task->slotIndex = s;
        task->state = TaskDownloading;
        task->progressCallback = progressCallback;
        LocalTimeStamp(task->startTime);
        memcpy(task->validator, slot.loaded.validator, sizeof(task->validator));
        task->sectionClaim = slot.loaded.sectionClaim;
        task->pathClaim = slot.loaded.pathClaim;
        slot.loaded.sectionClaim = nullptr;
        slot.loaded.pathClaim = nullptr;
        StartWorker(task);
        gProcess.displayedTask = 1;
    }
    return count;
}

HANDLE ClaimFreeResumeSection(int *section)
{
    for (int n = 1; n <= kResumeSectionLimit; ++n) {
        if (HoldsRecord(n))
            continue;  // a saved download waits there
        if (HANDLE claim = ClaimResumeSection(n)) {
            *section = n;
            return claim;
        }
    }
    *section = -1;
    return nullptr;
}
