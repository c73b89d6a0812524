// Changes to a private-profile file (the settings file, the history file)
// that other processes see whole or not at all.
//
// Writing a key through the private-profile functions rewrites the whole
// file in place, so a process reading it at that moment finds it empty or cut
// short, and a host killed in the middle leaves it so for good. An update
// instead collects its keys, writes them into a scratch copy beside the file
// and puts the copy in place with one rename. A named mutex, shared by every
// module of every process that updates these files, keeps two updates from
// starting from the same old file and losing one another's keys; no update
// reaches the file without it. Each writer's scratch copy has a name of its
// own, so that not even a writer that lost track of the lock can put another
// writer's half-written copy in place.
#pragma once

#include <string>
#include <vector>

// How an update waits for the lock. A change the user or a task step makes
// waits until the lock is free; a periodic refresh that finds it taken is
// dropped, since the next period writes the same keys anew.
enum class LockWait { UntilFree, SkipIfBusy };

// Whether an update must be on the disk when it returns: the file and its
// rename flushed, so that a power loss cannot bring back the text before it.
// Costs a flush of the disk's journal, so only what a later step relies on
// asks for it.
enum class Durability { Cached, OnDisk };

// The full path of the file the private-profile functions use for file: a
// bare name lives in the Windows directory.
std::string ProfileFilePath(const char *file);

// Whether an update of file can be put in place: a scratch copy can be made
// beside it, and the file, where it exists, opened for writing.
bool ProfileTakesUpdates(const char *file);

// Holds the lock that every update takes, across a read of the file and the
// update that depends on it, so that no other process updates in between.
// An update made while it is held takes it again (it nests within a thread).
//
// Waiting is for as long as another update holds the lock: one copy, a few
// profile writes and a rename of a small file; a holder that dies gives it
// up at once (the mutex is abandoned). A thread with windows keeps painting
// them meanwhile. Sent messages wait until the update is done: the plug-in's
// own commands (a task's completion above all) must not run in the middle
// of the task step that is making this update.
class ProfileUpdateLock {
public:
    explicit ProfileUpdateLock(LockWait wait = LockWait::UntilFree);
    ~ProfileUpdateLock();
    ProfileUpdateLock(const ProfileUpdateLock &) = delete;
    ProfileUpdateLock &operator=(const ProfileUpdateLock &) = delete;

    bool held() const { return held_; }

private:
    void *mutex_;
    bool held_;
};

class ProfileUpdate {
public:
    explicit ProfileUpdate(const char *file, LockWait wait = LockWait::UntilFree,
                           Durability durability = Durability::Cached);
    ~ProfileUpdate() { Commit(); }
    ProfileUpdate(const ProfileUpdate &) = delete;
    ProfileUpdate &operator=(const ProfileUpdate &) = delete;

    // The update replaces the file's whole text with text (read by the
    // caller while it holds the lock), then writes its keys into it.
    void StartFrom(const std::string &text);
    // A null value deletes the key.
    void Write(const char *section, const char *key, const char *value);
    // Writes every key collected so far; true when all of them reached the
    // file. Without the lock nothing is written: the keys are dropped and the
    // result is false. Later writes start a new update.
    bool Commit();
    // Whether the last Commit held the lock and still could not write the
    // file: the file's place refuses updates.
    bool Refused() const { return refused_; }

private:
    struct Entry {
        std::string section, key, value;
        bool remove;
    };
    bool WriteAll(const char *file) const;
    bool WriteScratchText(const char *scratch) const;
    bool CommitThroughScratch() const;

    std::string file_;
    LockWait wait_;
    Durability durability_;
    std::vector<Entry> entries_;
    std::string text_;
    bool fromText_ = false;
    bool refused_ = false;
};
