#include "transfer/TaskFile.h"

#include <string.h>

#include "transfer/Completion.h"
#include "transfer/Pieces.h"
#include "transfer/TaskFailure.h"
#include "transfer/TaskLock.h"
#include "util/FileSize.h"
#include "util/FolderCheck.h"
#include "util/HandleClose.h"
#include "util/PathText.h"
#include "util/TemporarySuffix.h"

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

bool OpenKeptFile(DownloadTask *task)
{
    if (task->fileHandle)
        return task->preparedSize == task->totalSize;
    HANDLE file = CreateFileA(task->tempPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER length = {};
    if (!GetFileSizeEx(file, &length) || static_cast<ULONGLONG>(length.QuadPart) != task->totalSize) {
        CloseHandle(file);
        return false;
    }
    task->fileHandle = file;
    task->preparedSize = task->totalSize;
    return true;
}

bool OpenCompleteFile(DownloadTask *task)
{
    int count = UsedSegmentCount(*task);
    if (count == 0)
        return false;
    if (task->fileHandle)
        return task->preparedSize == task->totalSize && AllBytesIn(*task);
    // The length must be known, from this run's probe: a record does not
    // keep it, and a temporary file cut short to exactly the bytes its
    // record claims would otherwise pass for a whole one.
    ULONGLONG size;
    if (task->totalSize == 0 || !PlainFileSize(task->tempPath, &size) || task->totalSize != size ||
        !AllBytesIn(*task))
        return false;
    task->segmentSize = size / count;
    return OpenKeptFile(task);
}

int PrepareFile(DownloadTask *task)
{
    if (task->fileHandle)
        return task->preparedSize == task->totalSize;
    char folder[kTextSize];
    memcpy(folder, task->tempPath, sizeof(folder));
    FolderPart(folder);
    // A folder that cannot hold the file fails the file's creation below.
    MakeFolderReady(folder);

    if (!FitsOnDisk(folder, task->tempPath, task->totalSize)) {
        NoteFileFailure(task, ERROR_DISK_FULL);
        return 0;
    }
    HANDLE file = CreateFileA(task->tempPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        NoteFileFailure(task, GetLastError());
        return 0;
    }
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    LARGE_INTEGER length = {};
    GetFileSizeEx(file, &length);

    // A file of another length describes some other download: it starts over
    // at exactly the new length, so that no stale tail survives the rename.
    if (static_cast<ULONGLONG>(length.QuadPart) != task->totalSize) {
        LARGE_INTEGER end;
        end.QuadPart = task->totalSize;
        if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
            NoteFileFailure(task, GetLastError());
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

namespace {

// Where a positioned read or write of the task's file goes; the handle is
// synchronous, so the call returns once it is done.
OVERLAPPED PositionAt(ULONGLONG offset)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

}  // namespace

DWORD WriteAt(DownloadTask *task, ULONGLONG offset, const void *bytes, DWORD count)
{
    OVERLAPPED at = PositionAt(offset);
    DWORD written = 0;
    if (!WriteFile(task->fileHandle, bytes, count, &written, &at))
        return 0;
    return written;
}

DWORD ReadAt(DownloadTask *task, ULONGLONG offset, void *bytes, DWORD count)
{
    OVERLAPPED at = PositionAt(offset);
    DWORD read = 0;
    if (!ReadFile(task->fileHandle, bytes, count, &read, &at))
        return 0;
    return read;
}

void FlushTaskFile(DownloadTask *task)
{
    if (!task->fileHandle)
        return;
    // By the range's place: segments first, then this run's pieces.
    ULONGLONG counts[kMaxSegments + kMaxPieces];
    int ranges;
    {
        TaskLock lock(task);
        ranges = kMaxSegments + LoadWord(task->pieceCount);
        for (int i = 0; i < ranges; ++i)
            counts[i] = RangeAt(*task, i).received;
    }
    task->flushTick = GetTickCount();
    task->flushBytes = ReceivedRangeBytes(*task);
    if (!FlushFileBuffers(task->fileHandle))
        return;
    // Only this thread lowers a count (a new version, a piece given back),
    // but a count is never claimed above what it is now.
    TaskLock lock(task);
    for (int i = 0; i < ranges; ++i) {
        ULONGLONG received = RangeAt(*task, i).received;
        task->extents[i].flushed = counts[i] < received ? counts[i] : received;
    }
}

void FlushTaskFileWhenDue(DownloadTask *task)
{
    if (GetTickCount() - task->flushTick >= kFlushPeriodMilliseconds ||
        ReceivedRangeBytes(*task) >= task->flushBytes + kFlushBytes)
        FlushTaskFile(task);
}

void ReleaseFile(DownloadTask *task)
{
    CloseAndClear(task->fileHandle);
    task->preparedSize = 0;
}
