#include "ui/ContextMenu.h"

#include <stdio.h>
#include <string.h>

#include "res/ResourceIds.h"
#include "transfer/TaskSlotTable.h"
#include "ui/FailureText.h"
#include "ui/ResourceText.h"
#include "util/PathText.h"

namespace {

struct ItemLook {
    bool withName;
    UINT start, pause, remove;
};

ItemLook LookOf(int status)
{
    switch (status) {
    case AggregateNothingActive: return {false, MF_ENABLED, MF_GRAYED, MF_ENABLED};
    case AggregateAllRunning: return {true, MF_GRAYED, MF_ENABLED, MF_ENABLED};
    case AggregateAllStopped: return {true, MF_ENABLED, MF_GRAYED, MF_ENABLED};
    default: return {false, MF_GRAYED, MF_GRAYED, MF_GRAYED};
    }
}

void RewriteItem(HMENU popup, UINT id, UINT flags, const char *text)
{
    ModifyMenuA(popup, id, MF_BYCOMMAND | MF_STRING | flags, id, text);
}

void PrepareTaskItems(HMENU popup, int slot, const DownloadTask &task, int status)
{
    char label[kTextSize], name[kTextSize], reason[kTextSize], text[3 * kTextSize + 8];
    LoadResourceText(StringTask1 + slot, label, sizeof(label));
    memcpy(name, task.tempPath, sizeof(name));
    name[sizeof(name) - 1] = '\0';
    LastComponent(name);
    // A task that stopped on an error says why, as its tooltip does.
    StoppedReason(slot, reason, sizeof(reason));
    ItemLook look = LookOf(status);
    if (look.withName && reason[0])
        snprintf(text, sizeof(text), "%s: %s (%s)", label, name, reason);
    else if (look.withName)
        snprintf(text, sizeof(text), "%s: %s", label, name);
    else
        snprintf(text, sizeof(text), "%s", label);
    RewriteItem(popup, IDM_START_TASK1 + slot, look.start, text);
    RewriteItem(popup, IDM_PAUSE_TASK1 + slot, look.pause, text);
    RewriteItem(popup, IDM_DELETE_TASK1 + slot, look.remove, text);
}

void Enable(HMENU popup, UINT id, bool enabled)
{
    EnableMenuItem(popup, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void PrepareContextMenu(HMENU popup)
{
    if (!popup)
        return;
    int count = 0;
    bool allRunning = true, allStopped = true;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = gSlotTable.slots[slot].task;
        if (!task) {
            Enable(popup, IDM_START_TASK1 + slot, false);
            Enable(popup, IDM_PAUSE_TASK1 + slot, false);
            Enable(popup, IDM_DELETE_TASK1 + slot, false);
            continue;
        }
        int status = AggregateStatus(*task);
        PrepareTaskItems(popup, slot, *task, status);
        ++count;
        allRunning = allRunning && status == AggregateAllRunning;
        allStopped = allStopped && status == AggregateAllStopped;
    }
    Enable(popup, IDM_DELETE_ALL, count > 0);
    Enable(popup, IDM_START_ALL, count > 0 && allStopped);
    Enable(popup, IDM_PAUSE_ALL, count > 0 && allRunning);
}

void ShowContextMenu(HWND window, LPARAM point)
{
    POINT p = {static_cast<LONG>(LOWORD(point)), static_cast<LONG>(HIWORD(point))};
    ClientToScreen(window, &p);
    HMENU menu = LoadMenuA(ResourceModule(), MAKEINTRESOURCEA(IDM_CONTEXT));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        PrepareContextMenu(popup);
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, p.x, p.y, 0, window, nullptr);
    }
    DestroyMenu(menu);
}
