#include "ui/HistoryDialog.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "res/ResourceIds.h"
#include "store/HistoryStore.h"
#include "transfer/TaskSlotTable.h"
#include "ui/ResourceText.h"
#include "util/PathText.h"
#include "util/ProfileUpdate.h"
#include "util/SizeText.h"
#include "util/SystemFunction.h"

namespace {

const int kCellSize = 260;
const int kColumnCount = 4;
const int kTimeFields = 5;

enum Column { ColumnName = 0, ColumnSize = 1, ColumnStatus = 2, ColumnTime = 3 };

typedef char CellText[kCellSize];

// The copies of one column's texts while a sort runs, indexed by item parameter.
CellText *sortTexts = nullptr;

struct SortContext {
    HWND list;
    int column;
};

int InsertRow(HWND list, int row, const char *text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = const_cast<char *>(text);
    item.lParam = row;
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetCell(HWND list, int row, int column, const char *text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char *>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

// A live task neither fully running nor fully stopped (not started yet, or
// segments in mixed states) is shown as downloading: it is neither finished
// nor paused by the user, and its transfer is under way or about to be.
int TaskStatusText(int status)
{
    return status == AggregateAllStopped ? StringPaused : StringDownloading;
}

double SizeValue(const char *text)
{
    double value = atof(text);
    size_t length = strlen(text);
    if (length >= 2 && text[length - 2] == 'M')
        value *= 1000000;
    else if (length >= 2 && text[length - 2] == 'K')
        value *= 1000;
    return value;
}

// Year, month, day, hour and minute of a "%d-%02d-%02d %02d:%02d" text;
// tokens past the fifth are ignored.
void TimeFields(const char *text, int *fields)
{
    char copy[kCellSize];
    lstrcpynA(copy, text, sizeof(copy));
    char *token = strtok(copy, " ,-:");
    for (int i = 0; i < kTimeFields; ++i) {
        fields[i] = token ? atoi(token) : 0;
        token = token ? strtok(nullptr, " ,-:") : nullptr;
    }
}

int CompareSizes(const char *a, const char *b)
{
    double va = SizeValue(a), vb = SizeValue(b);
    return va > vb ? 1 : va < vb ? -1 : 0;
}

int CompareTimes(const char *a, const char *b)
{
    int fa[kTimeFields], fb[kTimeFields];
    TimeFields(a, fa);
    TimeFields(b, fb);
    for (int i = 0; i < kTimeFields; ++i) {
        if (fa[i] != fb[i])
            return fa[i] - fb[i];
    }
    return 0;
}

// The store keeps its sections without gaps: the first missing one ends it.
bool HistorySectionExists(const char *path, int index)
{
    char section[16], probe[8];
    wsprintfA(section, "FILE%d", index);
    return GetPrivateProfileSectionA(section, probe, sizeof(probe), path) != 0;
}

void OnClearAll(HWND dialog)
{
    char path[MAX_PATH], other[MAX_PATH];
    HistoryFilePath(path, sizeof(path));
    OtherHistoryFilePath(other, sizeof(other));
    {
        // Another host's update in flight would otherwise put its copy of
        // every cleared record back with its rename. The file of a place
        // that takes no update stays, as any failed delete.
        ProfileUpdateLock lock;
        if (lock.held()) {
            DeleteFileA(path);
            if (other[0])
                DeleteFileA(other);
        }
    }
    SendDlgItemMessageA(dialog, IDC_HISTORY_LIST, LVM_DELETEALLITEMS, 0, 0);
}

void OnInitDialog(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    FillHistoryList(ResourceModule(), list);
    AddTaskRows(list);
}

void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDCANCEL: EndDialog(dialog, 0); break;
    case IDC_CLEAR_ALL: OnClearAll(dialog); break;
    }
}

}  // namespace

int FillHistoryList(HMODULE instance, HWND list)
{
    RECT rect;
    GetWindowRect(list, &rect);
    int width = (rect.right - rect.left) / 4;
    for (int column = 0; column < kColumnCount; ++column) {
        char title[kCellSize];
        if (LoadStringA(instance, StringFileNameColumn + column, title, sizeof(title)) <= 0)
            title[0] = '\0';
        LVCOLUMNA description = {};
        description.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        description.fmt = LVCFMT_LEFT;
        description.cx = width;
        description.pszText = title;
        description.iSubItem = column;
        if (SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&description)) < 0)
            return 0;
    }
    char paused[kCellSize], finished[kCellSize];
    LoadResourceText(StringPaused, paused, sizeof(paused));
    LoadResourceText(StringFinished, finished, sizeof(finished));
    // The file records are written to, then the other place's records of
    // names it does not have (written there while records went there).
    char path[MAX_PATH], other[MAX_PATH];
    HistoryFilePath(path, sizeof(path));
    OtherHistoryFilePath(other, sizeof(other));
    const char *files[] = {path, other};
    int row = 0;
    for (const char *file : files) {
        if (!file[0])
            continue;
        // Deleted and incomplete records are skipped, not the end of the list:
        // a record deleted in the middle must not hide the ones after it.
        for (int index = 0; index < kHistoryCapacity; ++index) {
            HistoryRecord record = {};
            if (!ReadHistoryRecordIn(file, &record, index)) {
                if (!HistorySectionExists(file, index))
                    break;
                continue;
            }
            int ignored;
            if (file == other && FindHistoryRecord(record.name, &ignored))
                continue;
            if (InsertRow(list, row, record.name) < 0)
                return 0;
            int status = atoi(record.status);
            SetCell(list, row, ColumnSize, record.size);
            if (status == HistoryDeleted)
                SetCell(list, row, ColumnStatus, record.reason);
            else
                SetCell(list, row, ColumnStatus, status == 1 || status == 2 ? paused : finished);
            SetCell(list, row, ColumnTime, record.time);
            ++row;
        }
    }
    return 1;
}

int AddTaskRows(HWND list)
{
    int row = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DownloadTask *task = gSlotTable.slots[slot].task;
        if (!task)
            continue;
        char name[kCellSize], size[16], status[kCellSize];
        lstrcpynA(name, task->tempPath, sizeof(name));
        LastComponent(name);
        SizeText(task->totalSize, size);
        LoadResourceText(TaskStatusText(AggregateStatus(*task)), status, sizeof(status));
        if (InsertRow(list, row, name) < 0)
            return 0;
        SetCell(list, row, ColumnSize, size);
        SetCell(list, row, ColumnStatus, status);
        SetCell(list, row, ColumnTime, task->startTime);
        ++row;
    }
    return 1;
}

int SortHistoryList(HWND dialog, const NMHDR *notification)
{
    if (notification->code != LVN_COLUMNCLICK)
        return 1;
    const NMLISTVIEW *click = reinterpret_cast<const NMLISTVIEW *>(notification);
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    sortTexts = new (std::nothrow) CellText[rows > 0 ? rows : 1];
    if (!sortTexts)
        return 1;
    for (int row = 0; row < rows; ++row) {
        memset(sortTexts[row], 0, kCellSize);
        LVITEMA item = {};
        item.iSubItem = click->iSubItem;
        item.pszText = sortTexts[row];
        item.cchTextMax = kCellSize - 1;
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    }
    SortContext context = {list, click->iSubItem};
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context), reinterpret_cast<LPARAM>(CompareHistoryRows));
    for (int row = 0; row < rows; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = row;
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    delete[] sortTexts;
    sortTexts = nullptr;
    return 1;
}

int CALLBACK CompareHistoryRows(LPARAM p1, LPARAM p2, LPARAM context)
{
    const SortContext *sort = reinterpret_cast<const SortContext *>(context);
    char a[kCellSize], b[kCellSize];
    memcpy(a, sortTexts[p1], kCellSize);
    memcpy(b, sortTexts[p2], kCellSize);
    switch (sort->column) {
    case ColumnName:
    case ColumnStatus: return lstrcmpiA(a, b);
    case ColumnSize: return CompareSizes(a, b);
    case ColumnTime: return CompareTimes(a, b);
    }
    return 0;
}

INT_PTR CALLBACK HistoryDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog); break;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
    case WM_NOTIFY: SortHistoryList(dialog, reinterpret_cast<const NMHDR *>(lParam)); break;
    }
    return 0;
}

void RunHistoryDialog(HWND owner)
{
    // The list view's window class comes with the common controls.
    auto initCommonControls = SystemFunction<decltype(&InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    if (initCommonControls)
        initCommonControls(&controls);
    DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(IDD_HISTORY), owner, HistoryDialog, 0);
}
