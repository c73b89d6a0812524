#include "plugin/DownloadAdmission.h"

#include <windows.h>

#include <commdlg.h>
#include <new>
#include <string.h>

#include "plugin/DownloadController.h"
#include "store/ResumeRecords.h"
#include "store/SettingsFile.h"
#include "transfer/TaskClaims.h"
#include "transfer/TaskSlotTable.h"
#include "ui/ResourceText.h"
#include "util/NameRules.h"
#include "util/PathText.h"
#include "util/TimeStamp.h"
#include "util/UrlFileName.h"

namespace {

// Fits a 260-character field and carries no control character: a CR or LF
// would inject lines into the settings file.
bool AcceptableText(const char *text)
{
    size_t length = strnlen(text, kTextSize);
    if (length >= static_cast<size_t>(kTextSize))
        return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

// The file name to append to the download folder; false to refuse.
bool ChooseFileName(const char *url, const char *destinationName, char *name)
{
    if (!destinationName || destinationName[0] == '\0')
        return FileNameFromUrl(url, name, kTextSize);
    return HostFileName(destinationName, name, kTextSize);
}

// The task's temporary path for a destination path; false when it does not
// fit the task's field or is no path a record may hold (the folder setting
// and a Save-As choice are checked here as well as the name).
bool TemporaryPathOf(const char *path, char *tempPath)
{
    if (strlen(path) + sizeof(kTemporarySuffix) > static_cast<size_t>(kTextSize))
        return false;
    strcpy(tempPath, path);
    strcat(tempPath, kTemporarySuffix);
    return IsSafeTemporaryPath(tempPath);
}

bool ComposeDestination(const char *url, const char *destinationName, char *path)
{
    ReadDownloadFolderSetting(path, kTextSize);
    if (path[0] == '\0')
        HostFolder(path, kTextSize);
    if (!EnsureTrailingSlash(path, kTextSize))
        return false;
    char name[kTextSize];
    if (!ChooseFileName(url, destinationName, name))
        return false;
    if (strlen(path) + strlen(name) >= static_cast<size_t>(kTextSize))
        return false;
    strcat(path, name);
    char tempPath[kTextSize];
    return TemporaryPathOf(path, tempPath);
}

bool UrlIsLive(const char *url)
{
    for (const TaskSlot &slot : gSlotTable.slots) {
        if (slot.task && lstrcmpiA(slot.task->url, url) == 0)
            return true;
    }
    return false;
}

bool Exists(const char *path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

// Yes keeps the path; No opens the Save-As dialog. False when that is cancelled.
bool ConfirmDestination(HWND owner, char *path)
{
    char caption[kTextSize], question[kTextSize], text[2 * kTextSize];
    LoadResourceText(StringTip, caption, sizeof(caption));
    LoadResourceText(StringOverwrite, question, sizeof(question));
    strcpy(text, path);
    strcat(text, question);
    if (MessageBoxA(owner, text, caption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        return true;

    char chosen[kTextSize] = {};
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "*.*\0*.*\0";
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = sizeof(chosen);
    dialog.lpstrInitialDir = path;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&dialog))
        return false;
    strcpy(path, chosen);
    return true;
}

int FirstFreeSlot()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (!gSlotTable.slots[slot].task)
            return slot;
    }
    return -1;
}

void ShowTableFull()
{
    char caption[kTextSize], text[kTextSize];
    LoadResourceText(StringTip, caption, sizeof(caption));
    LoadResourceText(StringTaskFull, text, sizeof(text));
    MessageBoxA(nullptr, text, caption, MB_OK);
}

}  // namespace

int AdmitDownload(DownloadController *controller, const char *url, const char *proxy, const char *destinationName,
                  int connections)
{
    if (!proxy)
        proxy = "";
    if (!url || url[0] == '\0' || !AcceptableText(url) || !AcceptableText(proxy) ||
        (destinationName && !AcceptableText(destinationName)))
        return RAVLIX_INVALID_REQUEST;
    if (connections < 1)
        connections = 1;
    if (connections > kMaxSegments)
        connections = kMaxSegments;

    char path[kTextSize];
    if (!ComposeDestination(url, destinationName, path))
        return RAVLIX_INVALID_REQUEST;
    if (UrlIsLive(url))
        return RAVLIX_DUPLICATE_URL;
    if (Exists(path) && !ConfirmDestination(controller->window, path))
        return RAVLIX_SAVE_CANCELLED;

    char tempPath[kTextSize];
    if (!TemporaryPathOf(path, tempPath))
        return RAVLIX_INVALID_REQUEST;
    // No two tasks, in this process or another, share a file: one's final
    // or temporary file is never the other's.
    HANDLE pathClaim = ClaimTempPath(tempPath);
    if (!pathClaim)
        return RAVLIX_INVALID_REQUEST;

    int slot = FirstFreeSlot();
    // A section of its own, never one a saved download or another live task
    // uses, so that every save of this task lands.
    int section;
    HANDLE sectionClaim = slot >= 0 ? ClaimFreeResumeSection(&section) : nullptr;
    if (!sectionClaim) {
        ReleaseClaim(pathClaim);
        ShowTableFull();
        return RAVLIX_TABLE_FULL;
    }
    TaskSlot &entry = gSlotTable.slots[slot];
    memset(&entry.image, 0, sizeof(entry.image));
    entry.task = nullptr;
    DownloadTask *task = new (std::nothrow) DownloadTask();
    if (!task) {
        ReleaseClaim(pathClaim);
        ReleaseClaim(sectionClaim);
        return RAVLIX_TABLE_FULL;
    }
    entry.task = task;
    task->ClearData();
    strcpy(task->url, url);
    strcpy(task->proxy, proxy);
    strcpy(task->tempPath, tempPath);
    LocalTimeStamp(task->startTime);
    task->connectionCount = connections;
    task->state = TaskDownloading;
    task->resumeFlag = 0;
    task->slotIndex = slot;
    task->progressCallback = controller->progressCallback;
    task->pathClaim = pathClaim;
    task->sectionClaim = sectionClaim;
    task->resumeSection = section;
    StartWorker(task);
    return RAVLIX_ADMITTED;
}
