#include "util/ProfilePlace.h"

namespace {

const char kUserFolderName[] = "Ravlix";

// %LOCALAPPDATA%\Ravlix\ followed by the file's own name; "" without a
// local application data folder.
std::string UserFolderPath(const std::string &documented)
{
    char folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder))
        return "";
    std::string path(folder, length);
    if (path.back() != '\\' && path.back() != '/')
        path += '\\';
    path += kUserFolderName;
    path += '\\';
    size_t slash = documented.find_last_of("\\/:");
    return path + (slash == std::string::npos ? documented : documented.substr(slash + 1));
}

bool MakeFolderOf(const std::string &file)
{
    std::string folder = file.substr(0, file.find_last_of('\\'));
    return CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

ProfilePlace::ProfilePlace(const std::string &documented)
    : documented_(ProfileFilePath(documented.c_str())), user_(UserFolderPath(documented_))
{
}

void ProfilePlace::Choose()
{
    AcquireSRWLockExclusive(&lock_);
    if (!chosen_) {
        inUserFolder_ = !user_.empty() && !ProfileTakesUpdates(documented_.c_str()) && MakeFolderOf(user_);
        chosen_ = true;
    }
    ReleaseSRWLockExclusive(&lock_);
}

bool ProfilePlace::MoveToUserFolder()
{
    Choose();
    AcquireSRWLockExclusive(&lock_);
    bool moved = !inUserFolder_ && !user_.empty() && MakeFolderOf(user_);
    if (moved)
        inUserFolder_ = true;
    ReleaseSRWLockExclusive(&lock_);
    return moved;
}

bool ProfilePlace::InUserFolder()
{
    Choose();
    AcquireSRWLockShared(&lock_);
    bool inUserFolder = inUserFolder_;
    ReleaseSRWLockShared(&lock_);
    return inUserFolder;
}

std::string ProfilePlace::Path()
{
    return InUserFolder() ? user_ : documented_;
}

std::string ProfilePlace::OtherPath()
{
    return user_.empty() ? "" : InUserFolder() ? documented_ : user_;
}

std::string ProfilePlace::FileWith(const char *section, const char *key)
{
    std::string file = Path(), other = OtherPath();
    const char absent[] = "\x01";
    char probe[4];
    if (other.empty() ||
        GetPrivateProfileStringA(section, key, absent, probe, sizeof(probe), file.c_str()) != 1 ||
        probe[0] != absent[0])
        return file;
    return other;
}

bool ProfilePlace::Update(const Filler &fill, LockWait wait, Durability durability)
{
    for (;;) {
        std::string file = Path();
        ProfileUpdate update(file.c_str(), wait, durability);
        fill(update, file);
        if (update.Commit())
            return true;
        if (!update.Refused() || !MoveToUserFolder())
            return false;
    }
}
