#include "ui/TaskTooltip.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "store/SettingsFile.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskFailure.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskSlotTable.h"
#include "ui/FailureText.h"
#include "ui/ProcessState.h"
#include "ui/ResourceText.h"
#include "ui/TransferRate.h"
#include "util/DisplayScale.h"
#include "util/NameRules.h"
#include "util/SystemFunction.h"
#include "util/TextSize.h"

namespace {

// Wide enough for a long file name on one line at 96 DPI; longer ones wrap.
const int kTipWidth = 360;
const int kTipTextSize = 4 * kTextSize;

TransferRate gRates[kSlotCount];
char gShown[kTipTextSize];
// Where the records are kept, when not where the documentation says, is
// said in the tooltip until the tooltip has been shown with it once.
bool gRecordsPlaceSaid = false;
char gRecordsPlaceLine[kTextSize * 2];

// "1.5 MB", "820 KB", "97 B": the binary units a user reads in a speed.
void ByteText(ULONGLONG bytes, char *out, int outSize)
{
    if (bytes >= 1024ull * 1024 * 1024)
        snprintf(out, outSize, "%.2f GB", bytes / (1024.0 * 1024 * 1024));
    else if (bytes >= 1024 * 1024)
        snprintf(out, outSize, "%.1f MB", bytes / (1024.0 * 1024));
    else if (bytes >= 1024)
        snprintf(out, outSize, "%llu KB", bytes / 1024);
    else
        snprintf(out, outSize, "%llu B", bytes);
}

// "0:42", "12:05", "3:04:10".
void DurationText(ULONGLONG seconds, char *out, int outSize)
{
    if (seconds >= 3600)
        snprintf(out, outSize, "%llu:%02llu:%02llu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        snprintf(out, outSize, "%llu:%02llu", seconds / 60, seconds % 60);
}

// Appends a line of format filled with one text.
void AppendLine(char *out, int outSize, int formatId, const char *value)
{
    char format[kTextSize], line[kTextSize * 2];
    LoadResourceText(formatId, format, sizeof(format));
    snprintf(line, sizeof(line), format, value);
    size_t used = strlen(out);
    snprintf(out + used, outSize - used, "%s%s", used ? "\r\n" : "", line);
}

void SampleRunningTasks()
{
    DWORD now = GetTickCount();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = gSlotTable.slots[slot].task;
        if (task && LoadWord(task->state) == TaskDownloading && TotalBytes(slot))
            gRates[slot].Add(now, ReceivedBytes(slot));
        else
            gRates[slot].Reset();
    }
}

// The displayed task's lines: its name, how much is in, and its speed and
// time left, or why it stopped.
void DescribeTask(int slot, char *out, int outSize)
{
    DownloadTask *task = slot >= 0 && slot < kSlotCount ? gSlotTable.slots[slot].task : nullptr;
    if (!task)
        return;
    // The name the file will have, not its temporary one.
    char finalPath[kTextSize], name[kTextSize];
    FileNameOf(FinalPathOf(task->tempPath, finalPath) ? finalPath : task->tempPath, name);
    snprintf(out, outSize, "%s", name);
    ULONGLONG received = ReceivedBytes(slot), total = TotalBytes(slot);
    if (total) {
        char totalText[32], percent[kTextSize], format[kTextSize];
        ByteText(total, totalText, sizeof(totalText));
        LoadResourceText(StringPercentOf, format, sizeof(format));
        snprintf(percent, sizeof(percent), format, static_cast<int>(received * 100 / total), totalText);
        size_t used = strlen(out);
        snprintf(out + used, outSize - used, "\r\n%s", percent);
    }
    LONG state = LoadWord(task->state);
    if (state == TaskDownloading) {
        ULONGLONG speed, seconds;
        char text[32];
        if (gRates[slot].Speed(&speed)) {
            ByteText(speed, text, sizeof(text));
            AppendLine(out, outSize, StringPerSecond, text);
        }
        if (gRates[slot].SecondsLeft(total - received, &seconds)) {
            DurationText(seconds, text, sizeof(text));
            AppendLine(out, outSize, StringTimeLeft, text);
        }
    } else if (state == TaskPaused) {
        AppendLine(out, outSize, StringPaused, "");
    } else {
        char reason[kTextSize];
        StoppedReason(slot, reason, sizeof(reason));
        if (reason[0])
            AppendLine(out, outSize, StringStoppedBecause, reason);
    }
}

}  // namespace

HWND CreateTaskTooltip(HWND window)
{
    auto init = SystemFunction<decltype(&InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    if (!init || !init(&controls))
        return nullptr;
    HWND tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    if (!tooltip)
        return nullptr;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = const_cast<char *>("");
    SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, ScaleToDpi(kTipWidth, WindowDpi(window)));
    gShown[0] = '\0';
    return tooltip;
}

void TaskTooltipText(int slot, char *out, int outSize)
{
    out[0] = '\0';
    DescribeTask(slot, out, outSize);
    gRecordsPlaceLine[0] = '\0';
    if (gRecordsPlaceSaid || !SettingsPlace().InUserFolder())
        return;
    std::string path = SettingsPlace().Path();
    AppendLine(out, outSize, StringRecordsKeptIn, path.substr(0, path.find_last_of('\\') + 1).c_str());
    const char *line = strrchr(out, '\n');
    lstrcpynA(gRecordsPlaceLine, line ? line + 1 : out, sizeof(gRecordsPlaceLine));
}

void TaskTooltipNotified(const NMHDR *header)
{
    if (header->code == TTN_SHOW && gRecordsPlaceLine[0] && strstr(gShown, gRecordsPlaceLine))
        gRecordsPlaceSaid = true;
}

void UpdateTaskTooltip(HWND tooltip, HWND window)
{
    SampleRunningTasks();
    if (!tooltip)
        return;
    char text[kTipTextSize];
    TaskTooltipText(gProcess.displayedTask - 1, text, sizeof(text));
    if (strcmp(text, gShown) == 0)
        return;
    memcpy(gShown, text, sizeof(gShown));
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = text;
    SendMessageA(tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}
