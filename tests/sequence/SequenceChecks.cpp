#include "SequenceChecks.h"

#include <windows.h>

#include <ctype.h>
#include <stdlib.h>

#include <algorithm>
#include <map>

#include "tests/support/IniText.h"
#include "tests/support/TestFolder.h"

namespace {

using testing_support::FolderFiles;

bool SameText(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A profile file read in one go: its workers keep updating the settings file
// while the host's UI thread is held, and two keys read one after the other
// could come from two versions of it.
typedef std::map<std::string, std::map<std::string, std::string>> Profile;

std::string Lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

Profile ReadProfile(const std::string &file)
{
    Profile profile;
    std::string text = testing_support::ReadWholeFile(file), section;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t equals = line.find('=');
        if (!line.empty() && line[0] == '[' && line.find(']') != std::string::npos)
            section = Lower(line.substr(1, line.find(']') - 1));
        else if (equals != std::string::npos)
            profile[section][Lower(line.substr(0, equals))] = line.substr(equals + 1);
    }
    return profile;
}

std::string ProfileText(const Profile &profile, const std::string &section, const char *key)
{
    auto found = profile.find(Lower(section));
    if (found == profile.end())
        return std::string();
    auto value = found->second.find(Lower(key));
    return value == found->second.end() ? std::string() : value->second;
}

// -1 when the file is missing.
long long SizeOf(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Calls visit(name, status) for every record of the history, in order: the
// records are numbered without gaps.
template <typename Visit>
void ForEachHistoryRecord(const std::string &historyPath, Visit visit)
{
    Profile history = ReadProfile(historyPath);
    for (int i = 0;; ++i) {
        std::string section = "FILE" + std::to_string(i);
        std::string name = ProfileText(history, section, "NAME");
        if (name.empty())
            return;
        visit(name, ProfileText(history, section, "STATUS"));
    }
}

// A history record names a download by its final or its temporary name.
bool Names(const std::string &recordName, const Download &download)
{
    return SameText(recordName, download.name) || SameText(recordName, download.name + ".hhh");
}

std::string StateText(DownloadState state)
{
    switch (state) {
    case DownloadState::Live: return "unfinished";
    case DownloadState::Finished: return "finished";
    case DownloadState::Deleted: return "deleted";
    case DownloadState::Lost: return "lost";
    case DownloadState::Wrong: return "wrong";
    }
    return "?";
}

}  // namespace

std::string CompareWithVersions(const std::string &contents, const Versions &versions)
{
    for (const auto &version : versions)
        if (*version == contents)
            return std::string();
    std::string text = std::to_string(contents.size()) + " bytes;";
    for (size_t v = 0; v < versions.size(); ++v) {
        const std::string &version = *versions[v];
        size_t common = std::min(contents.size(), version.size()), equal = 0, first = common;
        for (size_t i = 0; i < common; ++i) {
            if (contents[i] == version[i])
                ++equal;
            else if (first == common)
                first = i;
        }
        text += " version " + std::to_string(v + 1) + " (" + std::to_string(version.size()) +
                " bytes): first difference at " + std::to_string(first) + ", " + std::to_string(equal) +
                " bytes equal;";
    }
    return text;
}

SequenceChecks::SequenceChecks(std::string folder, std::string historyPath, std::function<Versions(Source)> versionsOf)
    : folder_(std::move(folder)), historyPath_(std::move(historyPath)), versionsOf_(std::move(versionsOf))
{
}

int SequenceChecks::Count(DownloadState state) const
{
    return static_cast<int>(std::count_if(downloads_.begin(), downloads_.end(),
                                          [state](const Download &d) { return d.state == state; }));
}

// Status 4 is a deletion.
void SequenceChecks::ReadDeletions()
{
    ForEachHistoryRecord(historyPath_, [this](const std::string &name, const std::string &status) {
        if (status != "4")
            return;
        for (Download &download : downloads_)
            if ((download.state == DownloadState::Live || download.state == DownloadState::Lost) &&
                Names(name, download))
                download.state = DownloadState::Deleted;
    });
}

void SequenceChecks::CheckFolder(std::vector<std::string> *violations)
{
    for (const std::string &file : FolderFiles(folder_)) {
        bool known = false;
        for (Download &download : downloads_) {
            if (SameText(file, download.name + ".hhh")) {
                known = true;
                continue;
            }
            if (!SameText(file, download.name))
                continue;
            known = true;
            if (download.state == DownloadState::Finished || download.state == DownloadState::Wrong)
                continue;
            std::string difference =
                CompareWithVersions(testing_support::ReadWholeFile(folder_ + "\\" + file), versionsOf_(download.source));
            if (difference.empty()) {
                if (download.state != DownloadState::Deleted)
                    download.state = DownloadState::Finished;
                continue;
            }
            violations->push_back(download.name + " (" + StateText(download.state) + ", " + download.url +
                                  ") is in place but is no complete version of its source: " + difference);
            download.state = DownloadState::Wrong;
        }
        if (!known && std::find(strangers_.begin(), strangers_.end(), file) == strangers_.end()) {
            strangers_.push_back(file);
            violations->push_back("the download folder holds " + file + ", which is no download's file");
        }
    }
}

std::vector<bool> SequenceChecks::CheckRecords(std::vector<std::string> *violations)
{
    std::vector<bool> recorded(downloads_.size(), false);
    recordCount_ = 0;
    Profile settings = ReadProfile(testing_support::SettingsFilePath());
    for (const auto &entry : settings) {
        if (entry.first.compare(0, 4, "file") != 0)
            continue;
        std::string shown = "FILE" + entry.first.substr(4);
        const char *section = shown.c_str();
        std::string destination = ProfileText(settings, section, "DESTNAME");
        std::string url = ProfileText(settings, section, "URLNAME");
        if (destination.empty() && url.empty())
            continue;
        ++recordCount_;
        size_t match = downloads_.size();
        for (size_t i = 0; i < downloads_.size(); ++i)
            if (SameText(destination, TempPath(downloads_[i])))
                match = i;
        if (match == downloads_.size()) {
            violations->push_back(std::string("record ") + section + " points at \"" + destination +
                                  "\", a file no admitted download writes (URL " + url + ")");
            continue;
        }
        const Download &download = downloads_[match];
        recorded[match] = true;
        if (url != download.url)
            violations->push_back(std::string("record ") + section + " of " + download.name + " holds URL " + url +
                                  " instead of " + download.url);
        if (download.state == DownloadState::Deleted)
            violations->push_back(std::string("record ") + section + " keeps " + download.name +
                                  ", which the user deleted: a restore brings it back");
    }
    return recorded;
}

std::string SequenceChecks::Describe(const Download &download) const
{
    std::string historyStatus = "none";
    ForEachHistoryRecord(historyPath_, [&](const std::string &name, const std::string &status) {
        if (Names(name, download))
            historyStatus = status;
    });
    long long temp = SizeOf(TempPath(download));
    return download.name + " (" + download.url + "): " +
           (temp < 0 ? std::string("no .hhh") : ".hhh of " + std::to_string(temp) + " bytes") +
           ", history status " + historyStatus;
}

void SequenceChecks::Check(bool noLiveTask, std::vector<std::string> *violations)
{
    ReadDeletions();
    CheckFolder(violations);
    std::vector<bool> recorded = CheckRecords(violations);
    if (!noLiveTask)
        return;
    for (size_t i = 0; i < downloads_.size(); ++i) {
        Download &download = downloads_[i];
        if (download.state != DownloadState::Live || recorded[i])
            continue;
        violations->push_back("lost: no live task and no record for the unfinished " + Describe(download) + "; " +
                              std::to_string(recordCount_) + " FILE sections of the settings file hold records");
        download.state = DownloadState::Lost;
    }
}
