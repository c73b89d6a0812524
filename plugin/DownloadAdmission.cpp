#include "plugin/DownloadAdmission.h"

#include <windows.h>

#include <commdlg.h>
#include <new>
#include <string.h>

#include "plugin/DestinationPath.h"
#include "plugin/DownloadController.h"
#include "store/RecordClaims.h"
#include "store/ResumeRecords.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"
#include "ui/ResourceText.h"
#include "util/FolderCheck.h"
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

// Yes keeps the path (claimed later, like any other). No opens the Save-As
// dialog until it gives a path this download may use, claimed into *claim:
// one whose files another live task writes is offered again, as the name to
// change. False when the dialog is cancelled.
bool ConfirmDestination(HWND owner, char *path, HANDLE *claim)
{
    char caption[kTextSize], question[kTextSize], text[2 * kTextSize];
    LoadResourceText(StringTip, caption, sizeof(caption));
    LoadResourceText(StringOverwrite, question, sizeof(question));
    strcpy(text, path);
    strcat(text, question);
    if (MessageBoxA(owner, text, caption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        return true;

    auto getSaveFileName = SystemFunction<decltype(&GetSaveFileNameA)>("comdlg32.dll", "GetSaveFileNameA");
    char choice[kTextSize] = {};
    for (;;) {
        OPENFILENAMEA dialog = {};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = "*.*\0*.*\0";
        dialog.lpstrFile = choice;
        dialog.nMaxFile = sizeof(choice);
        dialog.lpstrInitialDir = path;
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
        if (!getSaveFileName || !getSaveFileName(&dialog))
            return false;
        if ((*claim = ClaimPath(choice)) != nullptr) {
            strcpy(path, choice);
            return true;
        }
    }
}

// A download folder that cannot hold files (its parent is missing, a file
// has its name) refuses every download; the user hears of it once for each
// such folder, not once for every download a host hands over.
bool FolderUsable(HWND owner, const char *folder)
{
    static char said[kTextSize];
    if (MakeFolderReady(folder))
        return true;
    if (lstrcmpiA(said, folder) != 0) {
        lstrcpynA(said, folder, sizeof(said));
        char caption[kTextSize], text[kTextSize];
        LoadResourceText(StringTip, caption, sizeof(caption));
        LoadResourceText(StringCannotCreateDir, text, sizeof(text));
        MessageBoxA(owner, text, caption, MB_OK);
    }
    return false;
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
    // A digest the host names in the URL's fragment is taken out before the
    // URL names the file or goes anywhere: the server never sees it.
    char plainUrl[kTextSize];
    strcpy(plainUrl, url);
    FileDigest hostDigest = {};
    TakeUrlDigest(plainUrl, &hostDigest);
    if (plainUrl[0] == '\0')
        return RAVLIX_INVALID_REQUEST;
    url = plainUrl;

    Destination destination;
    if (!ComposeDestination(url, destinationName, &destination))
        return RAVLIX_INVALID_REQUEST;
    if (UrlIsLive(url))
        return RAVLIX_DUPLICATE_URL;
    if (!FolderUsable(controller->window, destination.folder))
        return RAVLIX_INVALID_REQUEST;
    char path[kTextSize];
    strcpy(path, destination.path);
    HANDLE pathClaim = nullptr;
    if (Exists(path) && !ConfirmDestination(controller->window, path, &pathClaim))
        return RAVLIX_SAVE_CANCELLED;
    int slot = FirstFreeSlot();
    if (slot < 0) {
        ReleaseClaim(pathClaim);
        ShowTableFull();
        return RAVLIX_TABLE_FULL;
    }
    // No two tasks, in this process or another, share a file: one's final
    // or temporary file is never the other's.
    if (!pathClaim && !(pathClaim = ClaimDestination(destination, path)))
        return RAVLIX_INVALID_REQUEST;
    char tempPath[kTextSize];
    TemporaryPathOf(path, tempPath);

    // A section of its own, never one a saved download or another live task
    // uses, so that every save of this task lands. With all of them taken
    // the download still runs, without a record: a restart loses it.
    int section;
    HANDLE sectionClaim = ClaimFreeResumeSection(&section);
    TaskSlot &entry = gSlotTable.slots[slot];
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
    task->digest = hostDigest;
    task->digestSource = hostDigest.algorithm != DigestNone ? DigestFromHost : DigestFromNobody;
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
