// Where a profile file (the settings file, the history file) is kept: in its
// documented place while that place takes updates, and otherwise under the
// same name in the user's own folder, %LOCALAPPDATA%\Ravlix\. A standard
// user cannot write the Windows directory, nor a host's folder under Program
// Files, and Windows redirects no write of a 64-bit program there, nor of
// one whose manifest names an execution level.
//
// The place is chosen at first use by trying the documented one, and moves
// to the user's folder when the documented file refuses an update later. The
// file not chosen may still hold what was written there before, so readers
// look in both, the chosen one first.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "util/ProfileUpdate.h"

class ProfilePlace {
public:
    // documented: a bare file name (kept in the Windows directory) or a full path.
    explicit ProfilePlace(const std::string &documented);
    ProfilePlace(const ProfilePlace &) = delete;
    ProfilePlace &operator=(const ProfilePlace &) = delete;

    // The file updates go to, as a full path.
    std::string Path();
    // The other of the two; "" where the user has no folder of their own.
    std::string OtherPath();
    // Whether updates go to the user's folder.
    bool InUserFolder();
    // The file to read a key from: Path(), unless only the other has the key.
    std::string FileWith(const char *section, const char *key);

    // One update of Path() with the keys fill writes; fill is given the file
    // and may read it (under a ProfileUpdateLock its caller holds) to choose
    // them. Where the documented file refuses the update, later updates go
    // to the user's folder, and fill writes there once more. True when the
    // keys reached a file.
    using Filler = std::function<void(ProfileUpdate &update, const std::string &file)>;
    bool Update(const Filler &fill, LockWait wait = LockWait::UntilFree,
                Durability durability = Durability::Cached);

private:
    void Choose();
    bool MoveToUserFolder();

    std::string documented_, user_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    bool chosen_ = false;
    bool inUserFolder_ = false;
};
