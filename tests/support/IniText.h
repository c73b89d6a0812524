// Reading profile files as text, to check keys and their order as written.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/WholeFile.h"

namespace testing_support {

inline std::string SettingsFilePath()
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, sizeof(folder));
    return std::string(folder) + "\\KELMORA.ini";
}

// The key=value lines of one section, in file order.
inline std::vector<std::pair<std::string, std::string>> SectionLines(const std::string &path,
                                                                     const std::string &section)
{
    std::vector<std::pair<std::string, std::string>> lines;
    std::string text = ReadWholeFile(path);
    bool inside = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        size_t equals = line.find('=');
        if (inside && equals != std::string::npos)
            lines.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return lines;
}

inline std::vector<std::string> SectionKeys(const std::string &path, const std::string &section)
{
    std::vector<std::string> keys;
    for (const auto &line : SectionLines(path, section))
        keys.push_back(line.first);
    return keys;
}

inline std::string ProfileValue(const std::string &path, const std::string &section, const std::string &key)
{
    for (const auto &line : SectionLines(path, section)) {
        if (line.first == key)
            return line.second;
    }
    return "<absent>";
}

// Resume records as the plug-in keeps them: section FILE<n> of the settings
// file.
inline std::string RecordSection(int section)
{
    return "FILE" + std::to_string(section);
}

inline void WriteRecordKey(int section, const char *key, const char *value)
{
    WritePrivateProfileStringA(RecordSection(section).c_str(), key, value, "KELMORA.ini");
}

// The three keys that make a section a record to restore.
inline void WriteRecord(int section, const char *connections, const char *url, const char *tempPath)
{
    WriteRecordKey(section, "MULTHREAD", connections);
    WriteRecordKey(section, "URLNAME", url);
    WriteRecordKey(section, "DESTNAME", tempPath);
}

inline std::string RecordValue(int section, const char *key)
{
    return ProfileValue(SettingsFilePath(), RecordSection(section), key);
}

inline std::vector<std::string> RecordKeys(int section)
{
    return SectionKeys(SettingsFilePath(), RecordSection(section));
}

}  // namespace testing_support
