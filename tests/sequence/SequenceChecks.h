// What the sequence test knows about its downloads, and the invariants it
// checks from outside the host while the host's UI thread stands still (or no
// host runs): the files in the download folder, the resume records in the
// settings file and the history.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SequenceSteps.h"

enum class DownloadState {
    Live,      // admitted, not yet in place
    Finished,  // in place, a complete version of its source
    Deleted,   // the history says the user deleted it
    Lost,      // found with neither a record nor a live task (reported)
    Wrong      // in place with bytes of no complete version (reported)
};

struct Download {
    std::string name;  // the destination name given to StartDownload
    std::string url;
    Source source;
    DownloadState state = DownloadState::Live;
    // The file in place as first found finished (size and last write): no
    // later step may rewrite or replace it, as no step starts it again.
    long long placedSize = -1;
    unsigned long long placedWrite = 0;
};

typedef std::vector<std::shared_ptr<const std::string>> Versions;

class SequenceChecks {
public:
    // versionsOf gives every complete version a source has served so far.
    SequenceChecks(std::string folder, std::string historyPath, std::function<Versions(Source)> versionsOf);

    void Admitted(const Download &download) { downloads_.push_back(download); }
    // The test gave the temporary file at path another length, size.
    void Resized(const std::string &path, long long size) { resized_[path] = size; }
    // Appends what breaks an invariant to violations. noLiveTask: no task
    // can be live (no host runs, or it has just quit or released), so every
    // unfinished download must have its record now.
    void Check(bool noLiveTask, std::vector<std::string> *violations);
    int Count(DownloadState state) const;
    const std::vector<Download> &downloads() const { return downloads_; }
    // Empty when one of the temporary files the host listed at a completion
    // callback ("NAME=SIZE:HASH ...") was a complete version of its
    // download's source; else what the host was told too early.
    std::string CompletionProblem(const std::string &listing);
    // The sections whose records a live task (of any host) holds now.
    std::vector<int> LiveSections() const;
    // For every unfinished download with a record: the record's section and
    // the sum of its offsets, to see progress by.
    std::map<int, unsigned long long> RecordedProgress() const;

private:
    std::string TempPath(const Download &download) const { return folder_ + "\\" + download.name + ".hhh"; }
    void ReadDeletions();
    void CheckFolder(std::vector<std::string> *violations);
    // The downloads (by index) that a record in the settings file keeps.
    // temps holds the temporary files as read between the two reads of the
    // settings file, before and after: the host's workers go on meanwhile,
    // so only a record equal in both reads is held to what temps shows (it
    // claims bytes that were on the disk before they were read).
    std::vector<bool> CheckRecords(const std::map<size_t, std::string> &temps,
                                   const std::map<std::string, std::map<std::string, std::string>> &before,
                                   std::vector<std::string> *violations);
    std::map<size_t, std::string> ReadTemporaryFiles() const;
    unsigned long long HashOf(const std::shared_ptr<const std::string> &version);
    std::string Describe(const Download &download) const;

    std::string folder_;
    std::string historyPath_;
    std::function<Versions(Source)> versionsOf_;
    std::vector<Download> downloads_;
    std::vector<std::string> strangers_;  // files already reported as no download's
    int recordCount_ = 0;                  // sections holding a record at the last check
    std::map<const std::string *, unsigned long long> hashes_;
    std::map<std::string, long long> resized_;  // by temporary file: the length the test gave it
};

// Empty when contents equals one of versions; else how it differs from each.
std::string CompareWithVersions(const std::string &contents, const Versions &versions);
