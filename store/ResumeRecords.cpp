#include "store/ResumeRecords.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "store/HistoryStore.h"
#include "store/ProxyPassword.h"
#include "store/RecordClaims.h"
#include "store/SettingsFile.h"
#include "util/FileSize.h"
#include "util/HttpDate.h"
#include "util/NameRules.h"
#include "util/PathText.h"
#include "util/ProfileUpdate.h"
#include "util/TimeStamp.h"
#include "util/UserProtection.h"

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

bool ReadText(const char *file, const char *section, const char *key, char *buffer)
{
    memset(buffer, 0, kTextSize);
    GetPrivateProfileStringA(section, key, "", buffer, kTextSize, file);
    return buffer[0] != '\0';
}

// An OFFSET value: unsigned decimal digits, blanks around them allowed.
// Anything else, or a number past 64 bits, reads as 0 and so restarts its
// segment, as a count beyond the segment's length does.
ULONGLONG ReadOffset(const char *file, const char *section, const char *key)
{
    char text[kTextSize];
    ReadText(file, section, key, text);
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

// The proxy as the record keeps it: PROXY without its password, and the
// password in PROXYPASSWORD, protected for the user (other users of the
// machine can read the settings file); empty without one. A password the
// system would not protect is not kept: a restore then asks the proxy
// without it.
void WriteProxy(ProfileUpdate &update, const char *section, const char *proxy)
{
    char clear[kTextSize], password[kTextSize];
    std::string kept;
    if (SplitProxyPassword(proxy, clear, password))
        ProtectForUser(password, &kept);
    SecureZeroMemory(password, sizeof(password));
    WriteText(update, section, "PROXY", clear);
    update.Write(section, "PROXYPASSWORD", kept.c_str());
}

// A record of an older version keeps the password in PROXY, and is read as
// it is; one whose PROXYPASSWORD this user cannot read back restores
// without it.
void ReadProxy(const char *file, const char *section, char *proxy)
{
    ReadText(file, section, "PROXY", proxy);
    char hex[4096], password[kTextSize], joined[kTextSize];
    GetPrivateProfileStringA(section, "PROXYPASSWORD", "", hex, sizeof(hex), file);
    if (hex[0] && UnprotectForUser(hex, password, sizeof(password)) && JoinProxyPassword(proxy, password, joined))
        memcpy(proxy, joined, kTextSize);
    SecureZeroMemory(password, sizeof(password));
    SecureZeroMemory(joined, sizeof(joined));
}

// A short name of a set of keys as written: a hash of their text.
std::string OwnerOf(const std::string &keys)
{
    unsigned long long hash = 1469598103934665603ull;
    for (unsigned char c : keys)
        hash = (hash ^ c) * 1099511628211ull;
    char owner[24];
    snprintf(owner, sizeof(owner), "%016llx", hash);
    return owner;
}

std::string KeyText(const char *text)
{
    return std::string(text, strnlen(text, kTextSize - 1));
}

// The pieces' keys name the record they were written with by a hash of its
// other keys as written (MULTHREAD, the offsets, URLNAME, DESTNAME,
// VALIDATOR: what says which bytes of which file the pieces add to). A
// version of the plug-in that knows no pieces leaves PIECES<n> as they were
// when it saves or blanks the record, and changes at least one of those
// keys when its offsets, its version or its download change: the pieces
// then no longer match and are not read.
std::string PiecesOwner(const StoredRecord &record)
{
    std::string keys = std::to_string(record.connectionCount);
    for (int i = 0; i < record.connectionCount && i < kMaxSegments; ++i)
        keys += "\n" + std::to_string(record.offsets[i]);
    for (const char *text : {record.url, record.tempPath, record.validator})
        keys += "\n" + KeyText(text);
    return OwnerOf(keys);
}

// The digest's keys belong to the download (URLNAME, DESTNAME), a server's
// digest to the version too (VALIDATOR), and to themselves; offsets come
// and go under them, and a host's digest holds for whatever version.
std::string DigestOwner(const StoredRecord &record)
{
    std::string keys = KeyText(record.url) + "\n" + KeyText(record.tempPath) + "\n" + KeyText(record.digest) + "\n" +
                       KeyText(record.digestFrom);
    if (strcmp(record.digestFrom, "host") != 0)
        keys += "\n" + KeyText(record.validator);
    return OwnerOf(keys);
}

void WriteDigest(ProfileUpdate &update, const char *section, const StoredRecord &record)
{
    WriteText(update, section, "DIGEST", record.digest);
    WriteText(update, section, "DIGESTFROM", record.digestFrom);
    update.Write(section, "DIGESTOF", record.digest[0] ? DigestOwner(record).c_str() : "");
}

void ReadDigest(const char *file, const char *section, StoredRecord &record)
{
    ReadText(file, section, "DIGEST", record.digest);
    ReadText(file, section, "DIGESTFROM", record.digestFrom);
    char owner[32];
    GetPrivateProfileStringA(section, "DIGESTOF", "", owner, sizeof(owner), file);
    if (!record.digest[0] || DigestOwner(record) != owner) {
        record.digest[0] = '\0';
        record.digestFrom[0] = '\0';
    }
}

// PIECES<n> of each of the first `segments` segments (those the record has
// offsets of), then PIECESOF.
void WritePieces(ProfileUpdate &update, const char *section, const StoredRecord &record, int segments)
{
    int at = 0;
    for (int i = 0; i < segments; ++i) {
        int first = at;
        while (at < record.pieceCount && record.pieces[at].segment == i)
            ++at;
        char key[16];
        snprintf(key, sizeof(key), "PIECES%d", i);
        update.Write(section, key, PieceRangesText(record.pieces + first, at - first).c_str());
    }
    update.Write(section, "PIECESOF", record.pieceCount > 0 ? PiecesOwner(record).c_str() : "");
}

// Reads the pieces of a record whose other keys are read; a key refused as a
// whole (store/PieceRanges.h) adds none, and neither do keys written with
// another record.
void ReadPieces(const char *file, const char *section, StoredRecord &record)
{
    record.pieceCount = 0;
    char owner[32];
    GetPrivateProfileStringA(section, "PIECESOF", "", owner, sizeof(owner), file);
    if (!owner[0] || PiecesOwner(record) != owner)
        return;
    std::vector<char> text(kMaxStoredPieces * 48);
    for (int i = 0; i < record.connectionCount; ++i) {
        char key[16];
        snprintf(key, sizeof(key), "PIECES%d", i);
        DWORD length = GetPrivateProfileStringA(section, key, "", text.data(), static_cast<DWORD>(text.size()), file);
        if (length + 1 >= text.size())
            continue;  // cut short: more ranges than a record holds
        int read = ReadPieceRanges(text.data(), i, record.pieces + record.pieceCount,
                                   kMaxStoredPieces - record.pieceCount);
        if (read > 0)
            record.pieceCount += read;
    }
}

bool HoldsRecord(const char *file, int section)
{
    char name[16], url[kTextSize];
    SectionName(section, name);
    return GetPrivateProfileIntA(name, "MULTHREAD", 0, file) != 0 && ReadText(file, name, "URLNAME", url);
}

// Whether the offsets say "all bytes in" for a file of size: each segment
// full as the segments cut it, or (a single stream, which keeps its
// connection count) the whole length in the first and nothing after it.
bool OffsetsCoverFile(const StoredRecord &record, ULONGLONG size)
{
    bool segmented = true, single = record.offsets[0] == size;
    for (int i = 0; i < record.connectionCount; ++i) {
        segmented = segmented && record.offsets[i] == SegmentLengthOf(size, record.connectionCount, i);
        single = single && (i == 0 || record.offsets[i] == 0);
    }
    return segmented || single;
}

// How far the server's clock and ours may disagree.
const ULONGLONG kClockSlack = 5ull * 60 * 10000000;  // five minutes, in FILETIME units

// Whether the file at path can be the download the record describes as far
// as time tells: where the validator is the server's Last-Modified, the
// file was last written after it (give or take kClockSlack). An older file
// of the same name and length, left where the download was to go, is not
// the download. Any other validator tells nothing.
bool WrittenAfterVersion(const StoredRecord &record, const char *path)
{
    const char kKey[] = "Last-Modified:";
    ULONGLONG modified;
    if (_strnicmp(record.validator, kKey, sizeof(kKey) - 1) != 0 ||
        !ParseHttpDate(record.validator + sizeof(kKey) - 1, &modified))
        return true;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    ULONGLONG written = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                        data.ftLastWriteTime.dwLowDateTime;
    return written + kClockSlack >= modified;
}

// Whether a record describes a download that was put in place by a host
// that ended before it blanked the record: its temporary file is gone, its
// final file is there, written after the version's time where the record
// knows it, and the offsets cover exactly the final file's length.
bool PlacedBeforeRecordCleared(const StoredRecord &record, ULONGLONG *size)
{
    char finalPath[kTextSize];
    if (!FinalPathOf(record.tempPath, finalPath))
        return false;
    if (GetFileAttributesA(record.tempPath) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    return PlainFileSize(finalPath, size) && *size != 0 && OffsetsCoverFile(record, *size) &&
           WrittenAfterVersion(record, finalPath);
}

// Blanks the record of a download found in place, and lists it as finished
// in the history: the host that placed it may have ended before it wrote the
// history, or after, before it blanked the record. A record of that name is
// updated, not written twice.
void EndPlacedRecord(int section, const char *tempPath, ULONGLONG size)
{
    char name[kTextSize], now[32];
    FinalPathOf(tempPath, name);
    LastComponent(name);
    ClearResumeRecord(section);
    LocalTimeStamp(now);
    WriteHistoryRecord(name, now, size, HistoryFinished);
}

// Reads FILE<section> of file; false when it holds no record that may be
// restored. A record whose DESTNAME is not a safe temporary path is none.
bool ReadRecord(const char *file, int section, StoredRecord &record)
{
    char name[16];
    SectionName(section, name);
    memset(&record, 0, sizeof(record));
    int connections = GetPrivateProfileIntA(name, "MULTHREAD", 0, file);
    if (connections < 1 || connections > kMaxSegments)
        return false;
    record.section = section;
    record.connectionCount = connections;
    for (int i = 0; i < connections; ++i) {
        char key[16];
        snprintf(key, sizeof(key), "OFFSET%i", i);
        record.offsets[i] = ReadOffset(file, name, key);
    }
    if (!ReadText(file, name, "URLNAME", record.url) || !ReadText(file, name, "DESTNAME", record.tempPath) ||
        !IsSafeTemporaryPath(record.tempPath))
        return false;
    ReadProxy(file, name, record.proxy);
    ReadText(file, name, "VALIDATOR", record.validator);
    ReadPieces(file, name, record);
    ReadDigest(file, name, record);
    return true;
}

// Reads FILE<section> of the file updates go to and takes its claims;
// false when it holds no record this process may restore.
bool LoadSection(const char *file, int section, LoadedRecord &loaded)
{
    memset(&loaded, 0, sizeof(loaded));
    StoredRecord &record = loaded.record;
    if (!ReadRecord(file, section, record))
        return false;

    // Another live task, here or in another host process, owns this record
    // or writes this temporary file: leave the record for a later restore.
    loaded.sectionClaim = ClaimResumeSection(section);
    if (!loaded.sectionClaim)
        return false;
    loaded.pathClaim = ClaimTempPath(record.tempPath);
    if (!loaded.pathClaim) {
        ReleaseClaim(loaded.sectionClaim);
        return false;
    }
    // A host ended between putting the file in place and blanking the record:
    // the download is finished, and fetching it again would replace a file
    // the user may already have opened or changed.
    ULONGLONG placedSize;
    if (PlacedBeforeRecordCleared(record, &placedSize)) {
        EndPlacedRecord(section, record.tempPath, placedSize);
        ReleaseClaim(loaded.pathClaim);
        ReleaseClaim(loaded.sectionClaim);
        return false;
    }
    return true;
}

// The numbers n of the FILE<n> sections in file, ascending.
std::vector<int> RecordSections(const char *file)
{
    std::vector<char> names(4096);
    for (;;) {
        DWORD length = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), file);
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

// Writes every key of FILE<section> blank: "0" or an empty value.
void WriteBlankRecord(ProfileUpdate &update, int section)
{
    char name[16];
    SectionName(section, name);
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
    update.Write(name, "PROXYPASSWORD", "");
    update.Write(name, "VALIDATOR", "");
    for (int i = 0; i < kMaxSegments; ++i) {
        char key[16];
        snprintf(key, sizeof(key), "PIECES%d", i);
        update.Write(name, key, "");
    }
    update.Write(name, "PIECESOF", "");
    update.Write(name, "DIGEST", "");
    update.Write(name, "DIGESTFROM", "");
    update.Write(name, "DIGESTOF", "");
}

// Records the other file keeps (written there while updates went there)
// and that cannot be blanked in it, because its place takes no update, are
// listed in section MOVED of the file updates go to: key FILE<n> of the
// other file, value its DESTNAME. Such a record has been taken over (or its
// download has ended) and is never read again.
const char kMovedSection[] = "MOVED";

bool ListedAsMoved(const std::string &file, int otherSection, const char *tempPath)
{
    char name[16], moved[kTextSize];
    SectionName(otherSection, name);
    ReadText(file.c_str(), kMovedSection, name, moved);
    return moved[0] && lstrcmpiA(moved, tempPath) == 0;
}

// The record of tempPath in the other file is done with: blanked there, or,
// where that place takes no update, listed as moved. Called with the
// update lock held.
void RetireOtherRecord(int otherSection, const char *tempPath)
{
    std::string other = SettingsPlace().OtherPath();
    if (ProfileTakesUpdates(other.c_str())) {
        ProfileUpdate blank(other.c_str());
        WriteBlankRecord(blank, otherSection);
        if (blank.Commit())
            return;
    }
    char name[16];
    SectionName(otherSection, name);
    SettingsPlace().Update([&](ProfileUpdate &update, const std::string &) {
        update.Write(kMovedSection, name, tempPath);
    });
}

// The sections of the other file whose record is of tempPath.
std::vector<int> OtherSectionsOf(const char *tempPath)
{
    std::vector<int> sections;
    std::string other = SettingsPlace().OtherPath(), file = SettingsPlace().Path();
    if (other.empty() || !tempPath[0])
        return sections;
    for (int section : RecordSections(other.c_str())) {
        StoredRecord record;
        if (ReadRecord(other.c_str(), section, record) && lstrcmpiA(record.tempPath, tempPath) == 0 &&
            !ListedAsMoved(file, section, record.tempPath))
            sections.push_back(section);
    }
    return sections;
}

// Whether a section of file holds a record of tempPath.
bool FileHoldsRecordOf(const char *file, const char *tempPath)
{
    for (int section : RecordSections(file)) {
        StoredRecord record;
        if (ReadRecord(file, section, record) && lstrcmpiA(record.tempPath, tempPath) == 0)
            return true;
    }
    return false;
}

// Moves the records of the other file into free sections of the file
// updates go to, so that a download saved while updates went elsewhere
// (the documented place refused them, or took them again) resumes and
// every later save and blank of it meets one record. A record a live task
// writes is left to that task; one that the file already holds (a newer
// save of the same download) only retires the other's copy.
void TakeOverOtherRecords()
{
    std::string other = SettingsPlace().OtherPath(), file = SettingsPlace().Path();
    if (other.empty())
        return;
    ProfileUpdateLock lock;
    if (!lock.held())
        return;
    for (int section : RecordSections(other.c_str())) {
        StoredRecord record;
        if (!ReadRecord(other.c_str(), section, record) || ListedAsMoved(file, section, record.tempPath))
            continue;
        HANDLE pathClaim = ClaimTempPath(record.tempPath);
        if (!pathClaim)
            continue;
        bool taken = FileHoldsRecordOf(file.c_str(), record.tempPath);
        if (!taken) {
            HANDLE sectionClaim = ClaimFreeResumeSection(&record.section);
            taken = sectionClaim && WriteResumeRecord(record, Durability::OnDisk);
            ReleaseClaim(sectionClaim);
        }
        if (taken)
            RetireOtherRecord(section, record.tempPath);
        ReleaseClaim(pathClaim);
    }
}

}  // namespace

bool WriteResumeRecord(const StoredRecord &record, Durability durability)
{
    if (record.section < 1)
        return true;
    char name[16];
    SectionName(record.section, name);
    int connections = record.connectionCount < 0              ? 0
                      : record.connectionCount > kMaxSegments ? kMaxSegments
                                                              : record.connectionCount;
    return SettingsPlace().Update(
        [&](ProfileUpdate &update, const std::string &) {
            for (int i = 0; i < connections; ++i) {
                char key[16], value[24];
                snprintf(key, sizeof(key), "OFFSET%i", i);
                snprintf(value, sizeof(value), "%llu", record.offsets[i]);
                update.Write(name, key, value);
            }
            char count[16];
            snprintf(count, sizeof(count), "%ld", static_cast<long>(record.connectionCount));
            update.Write(name, "MULTHREAD", count);
            WriteText(update, name, "URLNAME", record.url);
            WriteText(update, name, "DESTNAME", record.tempPath);
            WriteProxy(update, name, record.proxy);
            WriteText(update, name, "VALIDATOR", record.validator);
            WritePieces(update, name, record, connections);
            WriteDigest(update, name, record);
        },
        LockWait::UntilFree, durability);
}

bool RecordClaimsBytes(int section, const char *tempPath)
{
    StoredRecord record;
    if (!ReadRecord(SettingsPlace().Path().c_str(), section, record) || lstrcmpiA(record.tempPath, tempPath) != 0)
        return false;
    for (int i = 0; i < record.connectionCount; ++i) {
        if (record.offsets[i] != 0)
            return true;
    }
    return record.pieceCount > 0;
}

void ClearResumeRecord(int section)
{
    if (section < 1 || section > kResumeSectionLimit)
        return;
    ProfileUpdateLock lock;
    char name[16], tempPath[kTextSize];
    SectionName(section, name);
    ReadText(SettingsPlace().Path().c_str(), name, "DESTNAME", tempPath);
    SettingsPlace().Update([&](ProfileUpdate &update, const std::string &) { WriteBlankRecord(update, section); });
    // A copy left in the other file, where updates went before, must not
    // bring the download back.
    for (int other : OtherSectionsOf(tempPath))
        RetireOtherRecord(other, tempPath);
}

int LoadResumeRecords(LoadedRecord *loaded, int capacity)
{
    TakeOverOtherRecords();
    std::string file = SettingsPlace().Path();
    int count = 0;
    for (int section : RecordSections(file.c_str())) {
        if (count >= capacity)
            break;
        if (LoadSection(file.c_str(), section, loaded[count]))
            ++count;
    }
    return count;
}

HANDLE ClaimFreeResumeSection(int *section)
{
    std::string file = SettingsPlace().Path();
    for (int n = 1; n <= kResumeSectionLimit; ++n) {
        if (HoldsRecord(file.c_str(), n))
            continue;  // a saved download waits there
        if (HANDLE claim = ClaimResumeSection(n)) {
            *section = n;
            return claim;
        }
    }
    *section = -1;
    return nullptr;
}
