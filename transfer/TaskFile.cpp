#include "transfer/TaskFile.h"

#include <string.h>

#include "transfer/DownloadTask.h"
#include "util/PathText.h"

namespace {

// Whether the disk of folder has room for path to grow to totalSize bytes.
// Checked before the file is made: a file set to its full length on a disk
// too small would fill it, and the download would then fail at the end.
bool FitsOnDisk(const char *folder, const char *path, ULONGLONG totalSize)
{
    ULONGLONG present = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        present = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (present >= totalSize)
        return true;
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder[0] ? folder : nullptr, &available, nullptr, nullptr))
        return true;  // a disk that does not tell: a failed write stops the segment
    return available.QuadPart >= totalSize - present;
}

}  // namespace

int PrepareFile(DownloadTask *task, bool *offsetsValid)
{
    char folder[kTextSize];
    memcpy(folder, task->tempPath, sizeof(folder));
    FolderPart(folder);
    CreateDirectoryA(folder, nullptr);

    if (task->fileHandle) {
        *offsetsValid = task->preparedSize == task->totalSize;
        return task->preparedSize == task->totalSize;
    }

    if (!FitsOnDisk(folder, task->tempPath, task->totalSize))
        return 0;
    HANDLE file = CreateFileA(task->tempPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    LARGE_INTEGER length = {};
    GetFileSizeEx(file, &length);
    *offsetsValid = existed && static_cast<ULONGLONG>(length.QuadPart) == task->totalSize;

    // A file of another length describes some other download: it starts over
    // at exactly the new length, so that no stale tail survives the rename.
    if (static_cast<ULONGLONG>(length.QuadPart) != task->totalSize) {
        LARGE_INTEGER end;
        end.QuadPart = task->totalSize;
        if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
            CloseHandle(file);
            if (!existed)
                DeleteFileA(task->tempPath);
            return 0;
        }
    }

    task->fileHandle = file;
    task->preparedSize = task->totalSize;
    return 1;
}

void ReleaseFile(DownloadTask *task)
{
    if (task->fileHandle) {
        CloseHandle(task->fileHandle);
        task->fileHandle = nullptr;
    }
    task->preparedSize = 0;
}
