// The download folders that tests and the sequence driver give the plug-in.
#pragma once

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

namespace testing_support {

// The names of the files directly inside folder, or with subfolders true
// those of the folders inside it.
inline std::vector<std::string> FolderFiles(const std::string &folder, bool subfolders = false)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == subfolders && strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
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

// Removes the empty folders directly inside folder.
inline void RemoveEmptySubfolders(const std::string &folder)
{
    for (const std::string &name : FolderFiles(folder, true))
        RemoveDirectoryA((folder + "\\" + name).c_str());
}

}  // namespace testing_support
