#include "plugin/DownloadAdmission.h"

#include <windows.h>

#include <commdlg.h>
#include <new>
#include <string.h>

#include "plugin/DestinationPath.h"
#include "plugin/DownloadController.h"
#include "store/ResumeRecords.h"
#include "transfer/TaskClaims.h"
#include "transfer/TaskSlotTable.h"
#include "ui/ResourceText.h"
#include "util/SystemFunction.h"
#include "util/TimeStamp.h"

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

// Yes keeps the path; No opens the Save-As dialog, whose choice replaces
// the path (chosen says so). False when that is cancelled.
bool ConfirmDestination(HWND owner, char *path, bool *chosen)
{
    *chosen = false;
    char caption[kTextSize], question[kTextSize], text[2 * kTextSize];
    LoadResourceText(StringTip, caption, sizeof(caption));
    LoadResourceText(StringOverwrite, question, sizeof(question));
    strcpy(text, path);
    strcat(text, question);
    if (MessageBoxA(owner, text, caption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        return true;

    char choice[kTextSize] = {};
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "*.*\0*.*\0";
    dialog.lpstrFile = choice;
    dialog.nMaxFile = sizeof(choice);
    dialog.lpstrInitialDir = path;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    auto getSaveFileName = SystemFunction<decltype(&GetSaveFileNameA)>("comdlg32.dll", "GetSaveFileNameA");
    if (!getSaveFileName || !getSaveFileName(&dialog))
        return false;
    strcpy(path, choice);
    *chosen = true;
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

    Destination destination;
    if (!ComposeDestination(url, destinationName, &destination))
        return RAVLIX_INVALID_REQUEST;
    if (UrlIsLive(url))
        return RAVLIX_DUPLICATE_URL;
    // No two tasks, in this process or another, share a file: one's final
    // or temporary file is never the other's. Claimed before the overwrite
    // question, so that the user is asked about the file actually used.
    char path[kTextSize];
    HANDLE pathClaim = ClaimDestination(destination, path);
    if (!pathClaim)
        return RAVLIX_INVALID_REQUEST;
    bool chosen = false;
    if (Exists(path) && !ConfirmDestination(controller->window, path, &chosen)) {
        ReleaseClaim(pathClaim);
        return RAVLIX_SAVE_CANCELLED;
    }
    if (chosen) {
        ReleaseClaim(pathClaim);
        pathClaim = ClaimPath(path);
        if (!pathClaim)
            return RAVLIX_INVALID_REQUEST;
    }
    char tempPath[kTextSize];
    TemporaryPathOf(path, tempPath);

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
    // Recorded before the worker makes the temporary file: a host killed
    // before the first bytes arrive still finds the download and its file.
    SaveResumeRecord(*task, section);
    StartWorker(task);
    return RAVLIX_ADMITTED;
}
