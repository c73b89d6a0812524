#include "ui/CommandDispatch.h"

#include <stdio.h>

#include "components/SkinEngine.h"
#include "res/ResourceIds.h"
#include "store/SettingsFile.h"
#include "transfer/DigestVerdicts.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskWindow.h"
#include "ui/ConfirmDialog.h"
#include "ui/Docking.h"
#include "ui/FailureText.h"
#include "ui/FloatingWindowState.h"
#include "ui/HistoryDialog.h"
#include "ui/ProcessState.h"
#include "ui/ProgressDisplay.h"
#include "ui/SettingDialog.h"
#include "util/ProfileUpdate.h"

namespace {

void OnTaskComplete(LPARAM slot)
{
    if (slot >= 0 && slot < kSlotCount)
        FinalizeTask(static_cast<int>(slot));
}

void OnDigestVerdict(LPARAM slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    char reason[kTextSize];
    LoadResourceText(StringDigestMismatch, reason, sizeof(reason));
    TakeDigestVerdict(static_cast<int>(slot), reason);
}

// A dialog that cannot be created (-1) counts as Ok: the user asked for the
// action, and a missing confirmation must not make it impossible.
// The history keeps why a task that stopped on an error had stopped.
void DeleteWithReason(int slot)
{
    char reason[kTextSize];
    StoppedReason(slot, reason, sizeof(reason));
    DeleteTask(slot, reason[0] ? reason : nullptr);
}

void OnDeleteAll(HWND window)
{
    if (!AnyTaskActive())
        return;
    if (AskConfirmation(window, true) == 0)
        return;
    TellDownloadingTasksToStop();
    for (int slot = 0; slot < kSlotCount; ++slot)
        DeleteWithReason(slot);
}

void OnNextFace()
{
    if (SkinEngine *engine = gProcess.skinEngine)
        engine->operations->Command(engine, CommandNextFace, 0);
}

void OnPreviousTask()
{
    if (gProcess.displayedTask > 1)
        --gProcess.displayedTask;
    RefreshElementStates();
}

void OnNextTask()
{
    if (gProcess.displayedTask < kSlotCount)
        ++gProcess.displayedTask;
    RefreshElementStates();
}

void SaveWindowPosition(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    char left[16], top[16];
    snprintf(left, sizeof(left), "%d", static_cast<int>(rect.left));
    snprintf(top, sizeof(top), "%d", static_cast<int>(rect.top));
    SettingsPlace().Update([&](ProfileUpdate &update, const std::string &) {
        update.Write(kDownloadSection, "DOCKLEFT", left);
        update.Write(kDownloadSection, "DOCKTOP", top);
    });
}

}  // namespace

int AnyTaskActive()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = gSlotTable.slots[slot].task;
        if (task && LoadWord(task->state) != TaskIdle)
            return 1;
    }
    return 0;
}

void QuitCommand(HWND window)
{
    FloatingWindowState *state = WindowStateOf(window);
    if (state && state->dockStyle == DockAutoSave)
        SaveWindowPosition(window);
    if (AnyTaskActive() && AskConfirmation(window, false) == 0)
        return;
    SendMessageA(window, WM_COMMAND, IDM_PAUSE_ALL, 0);
    for (int slot = 0; slot < kSlotCount; ++slot)
        SaveAndCloseTask(slot);
    StopDisplay(window);
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    gProcess.restoredFlag = 0;
}

void DispatchCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    int id = LOWORD(wParam);
    switch (id) {
    case kCommandTaskComplete: OnTaskComplete(lParam); break;
    case kCommandDigestVerdict: OnDigestVerdict(lParam); break;
    case IDM_START_ALL: StartAllTasks(); break;
    case IDM_PAUSE_ALL: PauseAllTasks(); break;
    case IDM_DELETE_ALL: OnDeleteAll(window); break;
    case IDM_START_TASK1: case IDM_START_TASK2: case IDM_START_TASK3: StartTask(id - IDM_START_TASK1); break;
    case IDM_PAUSE_TASK1: case IDM_PAUSE_TASK2: case IDM_PAUSE_TASK3: PauseTask(id - IDM_PAUSE_TASK1); break;
    case IDM_DELETE_TASK1: case IDM_DELETE_TASK2: case IDM_DELETE_TASK3: DeleteWithReason(id - IDM_DELETE_TASK1); break;
    case IDM_QUIT: QuitCommand(window); break;
    case IDM_HISTORY: RunHistoryDialog(window); break;
    case IDM_SETTING: RunSettingDialog(window); break;
    case CommandNextFace: OnNextFace(); break;
    case CommandPreviousTask: OnPreviousTask(); break;
    case CommandNextTask: OnNextTask(); break;
    case CommandDiscardAll: DiscardAllTasks(); break;
    }
}
