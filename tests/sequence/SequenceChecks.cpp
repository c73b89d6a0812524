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
long long SizeOf(const std::string &path, unsigned long long *lastWrite = nullptr)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    if (lastWrite)
        *lastWrite = (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                     data.ftLastWriteTime.dwLowDateTime;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Bytes a record claims beyond its offsets: [first, end) of the file.
typedef std::vector<std::pair<unsigned long long, unsigned long long>> PieceClaims;

std::string ClaimText(const std::vector<unsigned long long> &offsets, const PieceClaims &pieces)
{
    std::string text;
    for (unsigned long long offset : offsets)
        text += (text.empty() ? "" : ", ") + std::to_string(offset);
    text = "offsets " + text;
    for (const auto &piece : pieces)
        text += " and " + std::to_string(piece.first) + "-" + std::to_string(piece.second - 1);
    return text;
}

// The ranges of PIECES<i> ("first-last,first-last"), read as plainly as the
// format allows; a value that does not read claims what it can.
void ReadPieceClaims(const std::string &value, PieceClaims *pieces)
{
    for (const char *p = value.c_str(); *p;) {
        char *end;
        unsigned long long first = strtoull(p, &end, 10);
        if (*end != '-')
            return;
        unsigned long long last = strtoull(end + 1, &end, 10);
        pieces->push_back({first, last + 1});
        if (*end != ',')
            return;
        p = end + 1;
    }
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

unsigned long long Fnv(const std::string &bytes)
{
    unsigned long long hash = 1469598103934665603ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// The version a record's validator names: the scripted server's ETags are
// "vN". 0 when it names none of them (nginx, or no validator).
size_t NamedVersion(const std::string &validator)
{
    size_t at = validator.find("\"v");
    return at == std::string::npos ? 0 : strtoul(validator.c_str() + at + 2, nullptr, 10);
}

// Whether temp holds, in every range the offsets and the pieces claim, the
// bytes of version. A count past its segment's range claims nothing (the
// segment starts over); a first count of the whole length is a single
// stream's. A piece is claimed wherever it lies.
bool HoldsClaims(const std::string &temp, const std::vector<unsigned long long> &offsets, const PieceClaims &pieces,
                 const std::string &version)
{
    if (version.size() != temp.size())
        return false;
    for (const auto &piece : pieces) {
        if (piece.second <= piece.first || piece.second > temp.size() ||
            temp.compare(piece.first, piece.second - piece.first, version, piece.first,
                         piece.second - piece.first) != 0)
            return false;
    }
    unsigned long long total = temp.size(), size = total / offsets.size();
    if (offsets[0] == total)
        return temp == version;
    for (size_t i = 0; i < offsets.size(); ++i) {
        unsigned long long first = i * size, length = i + 1 == offsets.size() ? total - first : size;
        if (offsets[i] <= length && temp.compare(first, offsets[i], version, first, offsets[i]) != 0)
            return false;
    }
    return true;
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
            unsigned long long lastWrite = 0;
            long long size = SizeOf(folder_ + "\\" + file, &lastWrite);
            if (download.state == DownloadState::Finished && download.placedSize >= 0 &&
                (size != download.placedSize || lastWrite != download.placedWrite)) {
                violations->push_back(download.name + " (" + download.url +
                                      "), finished, was rewritten or replaced in place without a new "
                                      "StartDownload: " + std::to_string(download.placedSize) + " bytes before, " +
                                      std::to_string(size) + " now");
                download.placedSize = size;
                download.placedWrite = lastWrite;
            }
            if (download.state == DownloadState::Finished || download.state == DownloadState::Wrong)
                continue;
            std::string difference =
                CompareWithVersions(testing_support::ReadWholeFile(folder_ + "\\" + file), versionsOf_(download.source));
            if (difference.empty()) {
                if (download.state != DownloadState::Deleted) {
                    download.state = DownloadState::Finished;
                    download.placedSize = size;
                    download.placedWrite = lastWrite;
                }
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

std::map<size_t, std::string> SequenceChecks::ReadTemporaryFiles() const
{
    std::map<size_t, std::string> temps;
    for (size_t i = 0; i < downloads_.size(); ++i) {
        if (SizeOf(TempPath(downloads_[i])) > 0)
            temps[i] = testing_support::ReadWholeFile(TempPath(downloads_[i]));
    }
    return temps;
}

std::vector<bool> SequenceChecks::CheckRecords(const std::map<size_t, std::string> &temps, const Profile &before,
                                               std::vector<std::string> *violations)
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
        // What the record claims must be on disk, of the version it names (or,
        // without a validator, of one version of the file's length).
        auto temp = temps.find(match);
        int connections = atoi(ProfileText(settings, section, "MULTHREAD").c_str());
        auto earlier = before.find(entry.first);
        bool steady = earlier != before.end() && earlier->second == entry.second;
        if (!steady || temp == temps.end() || connections < 1 || connections > 5)
            continue;
        std::vector<unsigned long long> offsets;
        PieceClaims pieces;
        for (int i = 0; i < connections; ++i) {
            offsets.push_back(strtoull(ProfileText(settings, section, ("OFFSET" + std::to_string(i)).c_str()).c_str(),
                                       nullptr, 10));
            ReadPieceClaims(ProfileText(settings, section, ("PIECES" + std::to_string(i)).c_str()), &pieces);
        }
        std::string validator = ProfileText(settings, section, "VALIDATOR");
        // A record without a validator names its version by the file's
        // length alone, and a file the test resized has a length no record
        // was written for (as one with a validator names another version).
        auto resized = resized_.find(TempPath(download));
        if (validator.empty() && resized != resized_.end() &&
            resized->second == static_cast<long long>(temp->second.size()))
            continue;
        Versions versions = versionsOf_(download.source);
        size_t named = NamedVersion(validator);
        bool sized = false, held = false;
        for (size_t v = 0; v < versions.size(); ++v) {
            if ((named && v + 1 != named) || versions[v]->size() != temp->second.size())
                continue;
            sized = true;
            held = held || HoldsClaims(temp->second, offsets, pieces, *versions[v]);
        }
        if (sized && !held)
            violations->push_back(std::string("record ") + section + " of " + download.name + " (" + validator +
                                  ") claims bytes that its temporary file does not hold: it claims " +
                                  ClaimText(offsets, pieces) + "; the file holds " +
                                  CompareWithVersions(temp->second, versions));
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

unsigned long long SequenceChecks::HashOf(const std::shared_ptr<const std::string> &version)
{
    auto found = hashes_.find(version.get());
    if (found != hashes_.end())
        return found->second;
    return hashes_[version.get()] = Fnv(*version);
}

std::string SequenceChecks::CompletionProblem(const std::string &listing)
{
    std::string seen;
    size_t at = 0;
    while ((at = listing.find(' ', at)) != std::string::npos) {
        ++at;
        size_t equals = listing.find('=', at), colon = listing.find(':', equals), end = listing.find(' ', at);
        if (equals == std::string::npos || colon == std::string::npos || (end != std::string::npos && colon > end))
            continue;
        std::string name = listing.substr(at, equals - at);
        unsigned long long size = strtoull(listing.c_str() + equals + 1, nullptr, 10);
        unsigned long long hash = strtoull(listing.c_str() + colon + 1, nullptr, 16);
        for (const Download &download : downloads_) {
            if (!SameText(name, download.name + ".hhh"))
                continue;
            for (const auto &version : versionsOf_(download.source))
                if (version->size() == size && HashOf(version) == hash)
                    return std::string();
        }
        seen += " " + name;
    }
    return "the host was told of a completion while no temporary file was complete (" +
           (seen.empty() ? std::string("none there") : "incomplete:" + seen) + ")";
}

std::vector<int> SequenceChecks::LiveSections() const
{
    std::vector<int> live;
    for (const auto &entry : RecordedProgress()) {
        std::string name = "Local\\Ravlix.KELMORA.FILE" + std::to_string(entry.first);
        if (HANDLE claim = OpenEventA(SYNCHRONIZE, FALSE, name.c_str())) {
            CloseHandle(claim);
            live.push_back(entry.first);
        }
    }
    return live;
}

std::map<int, unsigned long long> SequenceChecks::RecordedProgress() const
{
    std::map<int, unsigned long long> progress;
    Profile settings = ReadProfile(testing_support::SettingsFilePath());
    for (const auto &entry : settings) {
        if (entry.first.compare(0, 4, "file") != 0 || ProfileText(settings, entry.first, "URLNAME").empty())
            continue;
        unsigned long long sum = 0;
        for (int i = 0; i < 5; ++i)
            sum += strtoull(ProfileText(settings, entry.first, ("OFFSET" + std::to_string(i)).c_str()).c_str(),
                            nullptr, 10);
        progress[atoi(entry.first.c_str() + 4)] = sum;
    }
    return progress;
}

void SequenceChecks::Check(bool noLiveTask, std::vector<std::string> *violations)
{
    ReadDeletions();
    CheckFolder(violations);
    Profile before = ReadProfile(testing_support::SettingsFilePath());
    std::map<size_t, std::string> temps = ReadTemporaryFiles();
    std::vector<bool> recorded = CheckRecords(temps, before, violations);
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
