// The download folders that tests and the sequence driver give the plug-in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// The names of the files directly inside folder (subfolders left out).
inline std::vector<std::string> FolderFiles(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Deletes the files directly inside folder, so that no admission meets a file
// an earlier run left by accident. Subfolders stay.
inline void EmptyFolder(const std::string &folder)
{
    for (const std::string &name : FolderFiles(folder))
        DeleteFileA((folder + "\\" + name).c_str());
}

}  // namespace testing_support
