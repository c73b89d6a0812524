// Changes to a private-profile file (the settings file, the history file)
// that other processes see whole or not at all.
//
// Writing a key through the private-profile functions rewrites the whole
// file in place, so a process reading it at that moment finds it empty or cut
// short, and a host killed in the middle leaves it so for good. An update
// instead collects its keys, writes them into a scratch copy beside the file
// and puts the copy in place with one rename. A named mutex, shared by every
// module of every process that updates these files, keeps two updates from
// starting from the same old file and losing one another's keys.
#pragma once

#include <string>
#include <vector>

// Holds the lock that every update takes, across a read of the file and the
// update that depends on it, so that no other process updates in between.
// An update made while it is held takes it again (it nests within a thread).
class ProfileUpdateLock {
public:
    ProfileUpdateLock();
    ~ProfileUpdateLock();
    ProfileUpdateLock(const ProfileUpdateLock &) = delete;
    ProfileUpdateLock &operator=(const ProfileUpdateLock &) = delete;

private:
    void *mutex_;
    bool held_;
};

class ProfileUpdate {
public:
    explicit ProfileUpdate(const char *file);
    ~ProfileUpdate() { Commit(); }
    ProfileUpdate(const ProfileUpdate &) = delete;
    ProfileUpdate &operator=(const ProfileUpdate &) = delete;

    // A null value deletes the key.
    void Write(const char *section, const char *key, const char *value);
    // Writes every key collected so far; true when all of them reached the
    // file. Later writes start a new update.
    bool Commit();

private:
    struct Entry {
        std::string section, key, value;
        bool remove;
    };
    bool WriteAll(const char *file) const;
    bool CommitThroughScratch() const;

    std::string file_;
    std::vector<Entry> entries_;
};
