#include "util/ProfileUpdate.h"

#include <ctype.h>
#include <string.h>
#include <windows.h>

#include "util/AnsiCharacters.h"

namespace {

const char kUpdateLock[] = "Local\\Ravlix.ProfileUpdate";
// A reader holds the file open for a moment, and the rename waits for it.
const int kRenameAttempts = 200;

// How long the folder part of a path is: up to and with its last "\" or
// "/" character, 0 without one.
size_t FolderLength(const char *path)
{
    size_t length = 0;
    for (const char *p = path; *p; p = NextAnsiCharacter(p)) {
        if (*p == '\\' || *p == '/')
            length = p + 1 - path;
    }
    return length;
}

}  // namespace

std::string ProfileFilePath(const char *file)
{
    std::string name = file;
    if (FolderLength(file) > 0 || FindLastAnsiCharacter(file, ':'))
        return name;
    char folder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder))
        return name;
    std::string path(folder, length);
    if (*LastAnsiCharacter(folder, length) != '\\')
        path += '\\';
    return path + name;
}

namespace {

// Waits for the mutex, painting this thread's windows meanwhile. Only
// WM_PAINT is taken from the queue, so no command, timer or input runs in
// the middle of the caller's step.
DWORD WaitPainting(HANDLE mutex)
{
    for (;;) {
        DWORD result = MsgWaitForMultipleObjects(1, &mutex, FALSE, INFINITE, QS_PAINT);
        if (result != WAIT_OBJECT_0 + 1)
            return result;
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT))
            DispatchMessageA(&message);
    }
}

// "<file>.<process>.<thread>.new": this writer's own scratch copy.
std::string ScratchName(const std::string &file, DWORD process, DWORD thread)
{
    char suffix[32];
    wsprintfA(suffix, ".%lu.%lu.new", process, thread);
    return file + suffix;
}

// Whether name (without folder) is a scratch copy of the file named base:
// base, a dot, digits, a dot, digits, ".new".
bool IsScratchOf(const char *name, const char *base)
{
    size_t length = strlen(base);
    if (_strnicmp(name, base, length) != 0)
        return false;
    const char *p = name + length;
    for (int number = 0; number < 2; ++number) {
        if (*p++ != '.' || !isdigit(static_cast<unsigned char>(*p)))
            return false;
        while (isdigit(static_cast<unsigned char>(*p)))
            ++p;
    }
    return _stricmp(p, ".new") == 0;
}

// Scratch copies exist only while their writer holds the lock: one found
// by the holder belongs to a writer that was killed mid-update.
void DeleteStaleScratchCopies(const std::string &file)
{
    std::string folder = file.substr(0, FolderLength(file.c_str()));
    std::string base = file.substr(folder.size());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((file + ".*.new").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (IsScratchOf(found.cFileName, base.c_str()))
            DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool FlushFile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool flushed = FlushFileBuffers(file) != 0;
    return CloseHandle(file) && flushed;
}

}  // namespace

ProfileUpdateLock::ProfileUpdateLock(LockWait wait)
    : mutex_(CreateMutexA(nullptr, FALSE, kUpdateLock)), held_(false)
{
    // An abandoned mutex is fine: its holder died, and the file it was
    // updating is still whole, since only the rename changes it.
    if (mutex_) {
        DWORD result = wait == LockWait::SkipIfBusy ? WaitForSingleObject(mutex_, 0) : WaitPainting(mutex_);
        held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
}

ProfileUpdateLock::~ProfileUpdateLock()
{
    if (held_)
        ReleaseMutex(mutex_);
    if (mutex_)
        CloseHandle(mutex_);
}

ProfileUpdate::ProfileUpdate(const char *file, LockWait wait, Durability durability)
    : file_(ProfileFilePath(file)), wait_(wait), durability_(durability)
{
}

void ProfileUpdate::StartFrom(const std::string &text)
{
    text_ = text;
    fromText_ = true;
}

bool ProfileUpdate::WriteScratchText(const char *scratch) const
{
    HANDLE file = CreateFileA(scratch, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool whole = WriteFile(file, text_.data(), static_cast<DWORD>(text_.size()), &written, nullptr) &&
                 written == text_.size();
    return CloseHandle(file) && whole;
}

void ProfileUpdate::Write(const char *section, const char *key, const char *value)
{
    entries_.push_back(Entry{section, key, value ? value : "", value == nullptr});
}

bool ProfileUpdate::WriteAll(const char *file) const
{
    bool written = true;
    for (const Entry &entry : entries_) {
        const char *value = entry.remove ? nullptr : entry.value.c_str();
        if (!WritePrivateProfileStringA(entry.section.c_str(), entry.key.c_str(), value, file))
            written = false;
    }
    return written;
}

bool ProfileUpdate::CommitThroughScratch() const
{
    DeleteStaleScratchCopies(file_);
    std::string scratch = ScratchName(file_, GetCurrentProcessId(), GetCurrentThreadId());
    if (fromText_) {
        if (!WriteScratchText(scratch.c_str())) {
            DeleteFileA(scratch.c_str());
            return false;
        }
    } else if (!CopyFileA(file_.c_str(), scratch.c_str(), FALSE)) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
        // No file yet: the update starts from an empty one.
        if (!DeleteFileA(scratch.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
    }
    bool onDisk = durability_ == Durability::OnDisk;
    if (WriteAll(scratch.c_str()) && (!onDisk || FlushFile(scratch.c_str()))) {
        DWORD flags = MOVEFILE_REPLACE_EXISTING | (onDisk ? MOVEFILE_WRITE_THROUGH : 0);
        for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
            if (MoveFileExA(scratch.c_str(), file_.c_str(), flags))
                return true;
            Sleep(1);
        }
    }
    DeleteFileA(scratch.c_str());
    return false;
}

bool ProfileUpdate::Commit()
{
    refused_ = false;
    if (entries_.empty() && !fromText_)
        return true;
    bool written = false;
    {
        ProfileUpdateLock lock(wait_);
        // Where no scratch copy can be made or put in place, the keys still
        // go into the file the plain way rather than being lost; a new text
        // has no plain way.
        if (lock.held()) {
            written = CommitThroughScratch() || (!fromText_ && WriteAll(file_.c_str()));
            refused_ = !written;
        }
    }
    entries_.clear();
    text_.clear();
    fromText_ = false;
    return written;
}

bool ProfileTakesUpdates(const char *file)
{
    std::string path = ProfileFilePath(file);
    // This thread's own scratch name, gone again when the handle closes.
    std::string scratch = ScratchName(path, GetCurrentProcessId(), GetCurrentThreadId());
    HANDLE probe = CreateFileA(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    HANDLE existing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Another process copying the file for its update holds it for a moment
    // without letting writers in: busy, not refused.
    if (existing == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(existing);
    return true;
}
