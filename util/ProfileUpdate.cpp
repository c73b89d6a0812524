#include "util/ProfileUpdate.h"

#include <windows.h>

namespace {

const char kUpdateLock[] = "Local\\Ravlix.ProfileUpdate";
const DWORD kLockWaitMs = 5000;
// A reader holds the file open for a moment, and the rename waits for it.
const int kRenameAttempts = 200;

// The file the private-profile functions use: a bare name lives in the
// Windows directory.
std::string ProfilePath(const char *file)
{
    std::string name = file;
    if (name.find_first_of("\\/:") != std::string::npos)
        return name;
    char folder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder))
        return name;
    std::string path(folder, length);
    if (path.back() != '\\')
        path += '\\';
    return path + name;
}

}  // namespace

ProfileUpdateLock::ProfileUpdateLock() : mutex_(CreateMutexA(nullptr, FALSE, kUpdateLock)), held_(false)
{
    // An abandoned mutex is fine: its holder died, and the file it was
    // updating is still whole, since only the rename changes it.
    if (mutex_) {
        DWORD result = WaitForSingleObject(mutex_, kLockWaitMs);
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

ProfileUpdate::ProfileUpdate(const char *file) : file_(ProfilePath(file)) {}

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
    std::string scratch = file_ + ".new";
    if (!CopyFileA(file_.c_str(), scratch.c_str(), FALSE)) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
        // No file yet: the update starts from an empty one.
        if (!DeleteFileA(scratch.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
    }
    if (WriteAll(scratch.c_str())) {
        for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
            if (MoveFileExA(scratch.c_str(), file_.c_str(), MOVEFILE_REPLACE_EXISTING))
                return true;
            Sleep(1);
        }
    }
    DeleteFileA(scratch.c_str());
    return false;
}

bool ProfileUpdate::Commit()
{
    if (entries_.empty())
        return true;
    bool written;
    {
        ProfileUpdateLock lock;
        // Where no scratch copy can be made or put in place, the keys still
        // go into the file the plain way rather than being lost.
        written = CommitThroughScratch() || WriteAll(file_.c_str());
    }
    entries_.clear();
    return written;
}
