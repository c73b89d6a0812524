#include "ui/ProgressDisplay.h"

#include <stdio.h>
#include <string.h>

#include "components/SkinEngine.h"
#include "transfer/DigestVerdicts.h"
#include "transfer/StallRecovery.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"
#include "ui/ProcessState.h"
#include "ui/ResourceText.h"
#include "util/DisplayScale.h"

namespace {

// Never started by this plug-in, yet killed with the others when the window
// goes, as the window's teardown always has: it costs nothing, and a timer
// of that id started on the window by anyone else ends with it too.
const UINT_PTR kUnusedTimer = 21828;
const UINT kRepaintPeriodMs = 100;
const UINT kRotationPeriodMs = 3000;

// Keeps the records of running tasks fresh for a host that is killed, gets
// downloads that stalled moving again, puts in place those whose completion
// no window heard, and takes the digest verdicts no window heard.
void CALLBACK TaskUpkeepTick(HWND, UINT, UINT_PTR, DWORD)
{
    RefreshResumeRecords();
    RecoverStalledTasks();
    FinalizeUnheardCompletions();
    char mismatch[kTextSize];
    LoadResourceText(StringDigestMismatch, mismatch, sizeof(mismatch));
    TakeUnheardDigestVerdicts(mismatch);
}

// The size font: the GUI font's description with SimHei (named in GB2312) at
// 12 pixels at 96 DPI, scaled with the window. Created per tick and deleted
// at its end.
HFONT CreateSizeFont(UINT dpi)
{
    LOGFONTA description;
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
    description.lfHeight = ScaleToDpi(12, dpi);
    description.lfWeight = FW_NORMAL;
    description.lfItalic = FALSE;
    description.lfUnderline = FALSE;
    description.lfStrikeOut = FALSE;
    description.lfEscapement = 0;
    description.lfOrientation = 0;
    static const char kSimHei[] = "\xBA\xDA\xCC\xE5";
    memcpy(description.lfFaceName, kSimHei, sizeof(kSimHei));
    return CreateFontIndirectA(&description);
}

void DrawSizeText(SkinEngine *engine, HDC dc, RECT *rect, const char *text)
{
    if (engine)
        engine->operations->RepaintRect(engine, rect);
    DrawTextA(dc, text, lstrlenA(text), rect, DT_RIGHT | DT_VCENTER);
}

void DrawBothTexts(HDC dc, RECT *received, const char *receivedText, RECT *total, const char *totalText)
{
    SkinEngine *engine = gProcess.skinEngine;
    SetBkMode(dc, TRANSPARENT);
    DrawSizeText(engine, dc, received, receivedText);
    DrawSizeText(engine, dc, total, totalText);
}

}  // namespace

void WindowSizeText(ULONGLONG bytes, ULONGLONG totalBytes, char *out, int outSize)
{
    memset(out, 0, outSize);
    if (totalBytes >= kMegabyteTotal)
        snprintf(out, outSize, "%lluMb", bytes / 1000000);
    else if (bytes <= 1000)
        snprintf(out, outSize, "%db", static_cast<int>(bytes));
    else
        snprintf(out, outSize, "%lluKb", bytes / 1000);
}

void StartDisplay(HWND window)
{
    SetTimer(window, kRepaintTimer, kRepaintPeriodMs, nullptr);
    SetTimer(window, kRotationTimer, kRotationPeriodMs, RotateDisplayedTask);
    SetTimer(window, kResumeRefreshTimer, kRecordRefreshPeriodMs, TaskUpkeepTick);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

void StopDisplay(HWND window)
{
    KillTimer(window, kRepaintTimer);
    KillTimer(window, kRotationTimer);
    KillTimer(window, kUnusedTimer);
    KillTimer(window, kResumeRefreshTimer);
}

int DrawSizes(HWND window)
{
    HDC dc = GetDC(window);
    HFONT font = CreateSizeFont(WindowDpi(window));
    HGDIOBJ previousFont = SelectObject(dc, font);
    RECT received = {0, 0, 0, 0}, total = {0, 0, 0, 0};
    if (SkinEngine *engine = gProcess.skinEngine) {
        engine->operations->GetElementRect(engine, ElementReceivedText, &received);
        engine->operations->GetElementRect(engine, ElementTotalText, &total);
    }
    int slot = gProcess.displayedTask - 1;
    DownloadTask *task = slot >= 0 && slot < kSlotCount ? gSlotTable.slots[slot].task : nullptr;
    LONG state = task ? LoadWord(task->state) : TaskIdle;
    if (task && (state == TaskDownloading || state == TaskPaused)) {
        ULONGLONG receivedBytes = ReceivedBytes(slot);
        ULONGLONG totalBytes = TotalBytes(slot);
        if (receivedBytes && totalBytes) {
            char receivedText[kTextSize], totalText[kTextSize];
            WindowSizeText(receivedBytes, totalBytes, receivedText, sizeof(receivedText));
            WindowSizeText(totalBytes, totalBytes, totalText, sizeof(totalText));
            DrawBothTexts(dc, &received, receivedText, &total, totalText);
        } else {
            DrawBothTexts(dc, &received, "", &total, "");
        }
        RefreshElementStates();
    } else {
        DrawBothTexts(dc, &received, "", &total, "");
    }
    SelectObject(dc, previousFont);
    DeleteObject(font);
    ReleaseDC(window, dc);
    return 1;
}

void CALLBACK RotateDisplayedTask(HWND window, UINT, UINT_PTR, DWORD)
{
    if (!window)
        return;
    int n = 0;
    for (int slot = 0; slot < kSlotCount; ++slot)
        n += gSlotTable.slots[slot].task ? 1 : 0;
    if (n == 0) {
        gProcess.rotationCursor = 1;
        gProcess.rotationDirection = 1;
        gProcess.displayedTask = 1;
        RefreshElementStates();
        return;
    }
    int a = gProcess.rotationCursor;
    if (a >= n) {
        a = n;
        gProcess.rotationCursor = n;
        gProcess.rotationDirection = 0;
    }
    if (a < 2) {
        a = 1;
        gProcess.rotationCursor = 1;
        gProcess.rotationDirection = 1;
    }
    gProcess.displayedTask = a;
    RefreshElementStates();
    gProcess.rotationCursor += gProcess.rotationDirection ? 1 : -1;
}

void RefreshElementStates()
{
    SkinEngine *engine = gProcess.skinEngine;
    if (!engine)
        return;
    int slot = gProcess.displayedTask - 1;
    DownloadTask *task = slot >= 0 && slot < kSlotCount ? gSlotTable.slots[slot].task : nullptr;
    engine->operations->SetElementState(engine, ElementTaskNumber, slot, 1);
    int paused = 0, running = 0;
    if (task) {
        LONG state = LoadWord(task->state);
        paused = state == TaskDownloading ? 0 : 1;
        running = state == TaskDownloading || state == TaskPaused ? 2 : 0;
    }
    engine->operations->SetElementState(engine, ElementPausedState, paused, 1);
    engine->operations->SetElementState(engine, ElementRunningState, running, 1);
}
