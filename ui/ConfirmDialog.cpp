#include "ui/ConfirmDialog.h"

#include "res/ResourceIds.h"
#include "transfer/TaskSlotTable.h"
#include "ui/ResourceText.h"

namespace {

// deleteAll is the dialog's parameter: which question it asks.
void OnInitDialog(HWND dialog, bool deleteAll)
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = gSlotTable.slots[slot].task;
        int status = task ? AggregateStatus(*task) : AggregateNothingActive;
        int id = status == AggregateNothingActive ? StringNoTask
                 : status == AggregateAllRunning  ? StringDownloading
                                                  : StringPaused;
        char text[kTextSize];
        LoadResourceText(id, text, sizeof(text));
        SetDlgItemTextA(dialog, IDC_TASK1_STATE + slot, text);
    }
    char question[kTextSize];
    LoadResourceText(deleteAll ? StringConfirmDelete : StringConfirmPause, question, sizeof(question));
    SetDlgItemTextA(dialog, IDC_QUESTION, question);
}

// Only the two buttons end the dialog: Escape (IDCANCEL), Enter (IDOK) and
// the close command are ignored.
void OnCommand(HWND dialog, int id)
{
    if (id == IDC_CONFIRM_OK)
        EndDialog(dialog, 1);
    else if (id == IDC_CONFIRM_CANCEL)
        EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK ConfirmDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog, lParam != 0); break;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
    }
    return 0;
}

INT_PTR AskConfirmation(HWND owner, bool deleteAll)
{
    return DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(IDD_CONFIRM), owner, ConfirmDialog, deleteAll ? 1 : 0);
}
