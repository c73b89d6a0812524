// The Setting and History dialogs on the real window, driven from a watcher
// thread that types, clicks column headers and presses buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>
#include <string.h>

#include <string>
#include <vector>

#include "res/ResourceIds.h"
#include "store/HistoryStore.h"
#include "store/SettingsFile.h"
#include "store/SpeedSettings.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/IniText.h"
#include "tests/support/TaskHost.h"
#include "tests/ui/UiHarness.h"
#include "transfer/PacePolicy.h"
#include "transfer/SpeedGate.h"
#include "ui/HistoryDialog.h"
#include "ui/SettingDialog.h"
#include "util/PathText.h"
#include "util/ProfileUpdate.h"

using namespace testing_support;

namespace {

std::string TempFolder(const char *name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    return std::string(temp) + name;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, id, 0);
}

std::string DialogText(HWND dialog, int id)
{
    char text[300] = "";
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM context)
{
    char text[128] = "", className[32] = "";
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, text, sizeof(text)) > 0)
        *reinterpret_cast<std::string *>(context) += text;
    return TRUE;
}

// Waits for a top-level dialog of this process with that caption.
HWND WaitForDialog(const char *caption)
{
    for (int i = 0; i < 500; ++i) {
        HWND found = FindWindowA("#32770", caption);
        if (found && IsWindowVisible(found))
            return found;
        Sleep(20);
    }
    return nullptr;
}

class SettingDialogTest : public FloatingWindowTest {
protected:
    void SetUp() override
    {
        FloatingWindowTest::SetUp();
        SetWindowPos(window, nullptr, 210, 320, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        base = TempFolder("ravlix-setting");
        RemoveDirectoryA((base + "\\fresh").c_str());
        CreateDirectoryA(base.c_str(), nullptr);
    }

    // Opens the dialog and lets act type and press on the watcher thread.
    void Run(std::function<void(HWND)> act)
    {
        DialogDriver driver([&act](const SeenDialog &dialog) { act(dialog.window); });
        SendMessageA(window, WM_COMMAND, IDM_SETTING, 0);
        ASSERT_TRUE(driver.found());
        EXPECT_EQ("Setting", driver.seen().caption);
        EXPECT_EQ("Path of the download file:|Dock Style:|Speed cap (KiB/s):", driver.seen().texts);
    }

    std::string base;
};

TEST_F(SettingDialogTest, OpensWithTheHostFolderAndTheFiveDockStyles)
{
    char host[MAX_PATH];
    HostFolder(host, sizeof(host));
    std::string path, firstStyle, selected;
    LRESULT count = 0;
    Run([&](HWND dialog) {
        path = DialogText(dialog, IDC_PATH_EDIT);
        count = SendDlgItemMessageA(dialog, IDC_DOCK_COMBO, CB_GETCOUNT, 0, 0);
        char text[64] = "";
        SendDlgItemMessageA(dialog, IDC_DOCK_COMBO, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(text));
        firstStyle = text;
        GetDlgItemTextA(dialog, IDC_DOCK_COMBO, text, sizeof(text));
        selected = text;
        PressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(host, path);
    EXPECT_EQ(5, count);
    EXPECT_EQ("Auto Save", firstStyle);
    EXPECT_EQ("Left Top", selected);
    EXPECT_EQ("<absent>", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DESTNPATH"));
}

TEST_F(SettingDialogTest, OkCreatesTheFolderAndWritesFourKeysInOrder)
{
    WritePrivateProfileStringA(kDownloadSection, "DOCKSTYLE", "3", kSettingsFile);
    std::string typed = base + "\\fresh\\";
    Run([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_PATH_EDIT, typed.c_str());
        SendDlgItemMessageA(dialog, IDC_DOCK_COMBO, CB_SETCURSEL, 1, 0);
        PressButton(dialog, IDOK);
    });
    EXPECT_TRUE(FileExists(base + "\\fresh"));
    EXPECT_EQ((std::vector<std::string>{"DOCKSTYLE", "DESTNPATH", "DOCKLEFT", "DOCKTOP", "SPEEDCAP", "BACKGROUND"}),
              SectionKeys(SettingsFilePath(), "DOWNLOAD"))
        << "DOCKSTYLE was there first; the others follow in the order written";
    EXPECT_EQ(typed, ProfileValue(SettingsFilePath(), "DOWNLOAD", "DESTNPATH"));
    EXPECT_EQ("1", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKSTYLE"));
    EXPECT_EQ("210", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKLEFT"));
    EXPECT_EQ("320", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKTOP"));
}

TEST_F(SettingDialogTest, OkOnAFreshFileWritesInTheOrderPathStyleLeftTop)
{
    WritePrivateProfileStringA(kDownloadSection, "DOCKSTYLE", "7", kSettingsFile);
    WritePrivateProfileStringA(kDownloadSection, "DOCKSTYLE", nullptr, kSettingsFile);
    Run([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_PATH_EDIT, base.c_str());
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ((std::vector<std::string>{"DESTNPATH", "DOCKSTYLE", "DOCKLEFT", "DOCKTOP", "SPEEDCAP", "BACKGROUND"}),
              SectionKeys(SettingsFilePath(), "DOWNLOAD"));
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKSTYLE"));
}

TEST_F(SettingDialogTest, UnknownDockStyleSelectsNothingAndOkStoresMinusOne)
{
    WritePrivateProfileStringA(kDownloadSection, "DOCKSTYLE", "7", kSettingsFile);
    LRESULT selection = 0;
    Run([&](HWND dialog) {
        selection = SendDlgItemMessageA(dialog, IDC_DOCK_COMBO, CB_GETCURSEL, 0, 0);
        SetDlgItemTextA(dialog, IDC_PATH_EDIT, base.c_str());
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ(CB_ERR, selection);
    EXPECT_EQ("-1", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKSTYLE"));
}

// A folder no file can go into: a missing parent, or a file of that name.
TEST_F(SettingDialogTest, AFolderThatCannotHoldFilesTellsAndWritesNothing)
{
    std::string aFile = base + "\\a-file";
    CloseHandle(CreateFileA(aFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (const std::string &typed : {base + "\\no\\such\\folder", aFile, aFile + "\\"}) {
        std::string tip, tipText, stillOpen;
        Run([&](HWND dialog) {
            SetDlgItemTextA(dialog, IDC_PATH_EDIT, typed.c_str());
            PressButton(dialog, IDOK);
            HWND box = WaitForDialog("Tip");
            if (box) {
                tip = "Tip";
                EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&tipText));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(300);
            stillOpen = IsWindowVisible(dialog) ? "open" : "closed";
            PressButton(dialog, IDCANCEL);
        });
        EXPECT_EQ("Tip", tip) << typed;
        EXPECT_EQ("Can not create dir.", tipText) << typed;
        EXPECT_EQ("open", stillOpen) << typed;
        EXPECT_EQ("<absent>", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DESTNPATH"));
        EXPECT_EQ("<absent>", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKLEFT"));
    }
    DeleteFileA(aFile.c_str());
}

// The speed cap field in KiB/s and the background box: what the field
// shows, what OK keeps and applies at once, and what it refuses (the same
// tip as a bad folder, the dialog left open, nothing written).
TEST_F(SettingDialogTest, TheSpeedCapIsKibPerSecondAndOkAppliesIt)
{
    struct Case {
        const char *stored;  // SPEEDCAP before, or null
        const char *shown;   // the field's text as the dialog opens
        const char *typed;   // typed over it, or null to leave it
        bool background;     // the box checked before OK
        const char *kept;    // SPEEDCAP after OK; null: refused
    } cases[] = {
        {nullptr, "", "512", true, "524288"},
        {"524288", "512", " 64 ", false, "65536"},
        {"4194304", "4096", "", true, "0"},
        {"4194304", "4096", "0", false, "0"},
        // A host's cap that is no whole number of KiB/s stays as it was
        // while the field is left alone.
        {"1000", "1", nullptr, false, "1000"},
        {"-7", "", nullptr, false, "0"},
        {"65536", "64", "64k", false, nullptr},
        {"65536", "64", "-5", false, nullptr},
        {"65536", "64", "2097152", false, nullptr},
        {"65536", "64", "1.5", false, nullptr},
    };
    for (const Case &c : cases) {
        WritePrivateProfileStringA(kDownloadSection, "SPEEDCAP", c.stored, kSettingsFile);
        WritePrivateProfileStringA(kDownloadSection, "BACKGROUND", nullptr, kSettingsFile);
        std::string shown, tipText, state;
        Run([&](HWND dialog) {
            shown = DialogText(dialog, IDC_SPEED_CAP_EDIT);
            SetDlgItemTextA(dialog, IDC_PATH_EDIT, base.c_str());
            if (c.typed)
                SetDlgItemTextA(dialog, IDC_SPEED_CAP_EDIT, c.typed);
            CheckDlgButton(dialog, IDC_BACKGROUND_CHECK, c.background ? BST_CHECKED : BST_UNCHECKED);
            PressButton(dialog, IDOK);
            if (HWND box = c.kept ? nullptr : WaitForDialog("Tip")) {
                EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&tipText));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                Sleep(300);
                state = IsWindowVisible(dialog) ? "open" : "closed";
                PressButton(dialog, IDCANCEL);
            }
        });
        const char *typed = c.typed ? c.typed : "(left)";
        EXPECT_EQ(c.shown, shown) << typed;
        if (!c.kept) {
            EXPECT_EQ("The speed cap is a whole number of KiB/s, or empty for none.", tipText) << typed;
            EXPECT_EQ("open", state) << typed;
            EXPECT_EQ(c.stored, ProfileValue(SettingsFilePath(), "DOWNLOAD", "SPEEDCAP")) << typed;
            EXPECT_EQ("<absent>", ProfileValue(SettingsFilePath(), "DOWNLOAD", "BACKGROUND")) << typed;
            continue;
        }
        EXPECT_EQ(c.kept, ProfileValue(SettingsFilePath(), "DOWNLOAD", "SPEEDCAP")) << typed;
        EXPECT_EQ(c.background ? "1" : "0", ProfileValue(SettingsFilePath(), "DOWNLOAD", "BACKGROUND")) << typed;
        // Applied at once: a capped reader takes the pace's few milliseconds.
        ULONGLONG cap = strtoull(c.kept, nullptr, 10);
        EXPECT_EQ(cap ? PacedReadSize(cap, 1u << 20) : 1u << 20, SpeedGateReadSize(1u << 20)) << typed;
    }
    ApplySpeedSettings(SpeedSettings{0, false});
}

TEST_F(SettingDialogTest, CancelWritesNothing)
{
    Run([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_PATH_EDIT, base.c_str());
        PressButton(dialog, IDCANCEL);
    });
    EXPECT_FALSE(FileExists(SettingsFilePath()) &&
                 ProfileValue(SettingsFilePath(), "DOWNLOAD", "DESTNPATH") != "<absent>");
}

struct DialogSearch {
    HWND beside;
    HWND found;
};

BOOL CALLBACK FindOtherDialog(HWND window, LPARAM context)
{
    DialogSearch *search = reinterpret_cast<DialogSearch *>(context);
    char className[16] = "";
    GetClassNameA(window, className, sizeof(className));
    if (window != search->beside && strcmp(className, "#32770") == 0 && IsWindowVisible(window))
        search->found = window;
    return !search->found;
}

// Waits for another dialog on the thread of dialog (one it opened).
HWND WaitForDialogBeside(HWND dialog)
{
    DialogSearch search = {dialog, nullptr};
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    for (int i = 0; i < 500 && !search.found; ++i) {
        EnumThreadWindows(thread, FindOtherDialog, reinterpret_cast<LPARAM>(&search));
        Sleep(20);
    }
    return search.found;
}

// The folder chooser opens on the desktop; OK there puts the desktop's
// folder into the dialog's path. (Choosing another folder by message is not
// reliable under Wine: in a fresh prefix the chooser keeps the desktop.)
TEST_F(SettingDialogTest, TheFolderChosenThroughTheBrowseButtonBecomesThePath)
{
    char desktop[MAX_PATH] = "";
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop));
    HWND chooser = nullptr;
    std::string path;
    Run([&](HWND dialog) {
        PressButton(dialog, IDC_BROWSE);
        chooser = WaitForDialogBeside(dialog);
        if (chooser) {
            SeenDialog seen;
            seen.window = chooser;
            DialogDriver::Press(seen, IDOK);
            for (int i = 0; i < 250 && path != desktop; ++i, Sleep(20))
                path = DialogText(dialog, IDC_PATH_EDIT);
        }
        PressButton(dialog, IDCANCEL);
    });
    ASSERT_NE(nullptr, chooser) << "no folder chooser opened";
    EXPECT_EQ(desktop, path);
}

// The list's rows, each as its cells joined by "|".
std::vector<std::string> Rows(HWND list)
{
    std::vector<std::string> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::string line;
        for (int column = 0; column < 4; ++column) {
            char text[260] = "";
            LVITEMA item = {};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof(text);
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            line += (column ? "|" : "") + std::string(text);
        }
        rows.push_back(line);
    }
    return rows;
}

std::vector<std::string> SortedBy(HWND dialog, int column)
{
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = IDC_HISTORY_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(dialog, WM_NOTIFY, IDC_HISTORY_LIST, reinterpret_cast<LPARAM>(&click));
    std::vector<std::string> names;
    for (const std::string &row : Rows(list))
        names.push_back(row.substr(0, row.find('|')));
    return names;
}

class HistoryDialogTest : public FloatingWindowTest {
protected:
    void SetUp() override
    {
        FloatingWindowTest::SetUp();
        char path[MAX_PATH];
        HistoryFilePath(path, sizeof(path));
        historyPath = path;
        DeleteFileA(path);
    }

    void TearDown() override
    {
        DeleteFileA(historyPath.c_str());
        FloatingWindowTest::TearDown();
    }

    std::string historyPath;
};

TEST_F(HistoryDialogTest, ListsRecordsAndLiveTasksSortsAndClears)
{
    WriteHistoryRecord("beta.bin", "2024-01-01 00:00", 900, 0);
    WriteHistoryRecord("gone.bin", "2024-02-02 10:00", 5, 0);
    WriteHistoryRecord("gone.bin", "2024-02-02 10:00", 5, HistoryDeleted);
    WriteHistoryRecord("Alpha.bin", "2023-12-31 23:59", 2000, 0);
    WriteHistoryRecord("gamma.bin", "2024-01-01 00:01", 1500000, 2);
    PutTask(1, TaskDownloading, 2, SegmentRunning, "C:\\d\\live.bin.hhh", 7500);
    DownloadTask *fresh = PutTask(2, TaskDownloading, 2, SegmentIdle, "C:\\d\\new.bin.hhh", 0);
    lstrcpynA(fresh->startTime, "2024-05-06 07:09", kTextSize);

    std::vector<std::string> rows, bySize, byTime, byName, afterClear;
    bool historyFileGone = false;
    {
        DialogDriver driver([&](const SeenDialog &dialog) {
            rows = Rows(GetDlgItem(dialog.window, IDC_HISTORY_LIST));
            bySize = SortedBy(dialog.window, 1);
            byTime = SortedBy(dialog.window, 3);
            byName = SortedBy(dialog.window, 0);
            SendMessageA(dialog.window, WM_COMMAND, IDC_CLEAR_ALL, 0);
            afterClear = Rows(GetDlgItem(dialog.window, IDC_HISTORY_LIST));
            historyFileGone = !FileExists(historyPath);
            DialogDriver::Press(dialog, IDCANCEL);
        });
        SendMessageA(window, WM_COMMAND, IDM_HISTORY, 0);
        ASSERT_TRUE(driver.found());
        EXPECT_EQ("History Information", driver.seen().caption);
    }
    EXPECT_EQ((std::vector<std::string>{
                  "beta.bin|900b|Finished|2024-01-01 00:00",
                  "Alpha.bin|2Kb|Finished|2023-12-31 23:59",
                  "gamma.bin|1Mb|Paused|2024-01-01 00:01",
                  "live.bin.hhh|7Kb|Downloading|2024-05-06 07:08",
                  "new.bin.hhh|0b|Downloading|2024-05-06 07:09",
              }),
              rows)
        << "the deleted record is skipped, not the end of the list";
    EXPECT_EQ((std::vector<std::string>{"new.bin.hhh", "beta.bin", "Alpha.bin", "live.bin.hhh", "gamma.bin"}),
              bySize);
    EXPECT_EQ((std::vector<std::string>{"Alpha.bin", "beta.bin", "gamma.bin", "live.bin.hhh", "new.bin.hhh"}),
              byTime);
    EXPECT_EQ((std::vector<std::string>{"Alpha.bin", "beta.bin", "gamma.bin", "live.bin.hhh", "new.bin.hhh"}),
              byName);
    EXPECT_TRUE(afterClear.empty());
    EXPECT_TRUE(historyFileGone);
    EXPECT_NE(nullptr, gSlotTable.slots[1].task) << "Clear all leaves the tasks alone";
}

TEST_F(HistoryDialogTest, SizesOfManyGigabytesAreListedAndSortedInMegabytes)
{
    WriteHistoryRecord("film.bin", "2024-01-01 00:00", 5368709127ull, 0);
    WriteHistoryRecord("small.bin", "2024-01-01 00:01", 4294967295u, 0);
    WriteHistoryRecord("huge.bin", "2024-01-01 00:02", 1ull << 40, 0);
    PutTask(0, TaskDownloading, 5, SegmentRunning, "C:\\d\\live.bin.hhh", 4294979641ull);
    std::vector<std::string> rows, bySize;
    {
        DialogDriver driver([&](const SeenDialog &dialog) {
            rows = Rows(GetDlgItem(dialog.window, IDC_HISTORY_LIST));
            bySize = SortedBy(dialog.window, 1);
            DialogDriver::Press(dialog, IDCANCEL);
        });
        SendMessageA(window, WM_COMMAND, IDM_HISTORY, 0);
        ASSERT_TRUE(driver.found());
    }
    EXPECT_EQ((std::vector<std::string>{
                  "film.bin|5368Mb|Finished|2024-01-01 00:00",
                  "small.bin|4294Mb|Finished|2024-01-01 00:01",
                  "huge.bin|1099511Mb|Finished|2024-01-01 00:02",
                  "live.bin.hhh|4294Mb|Downloading|2024-05-06 07:08",
              }),
              rows);
    ASSERT_EQ(4u, bySize.size());
    EXPECT_EQ("film.bin", bySize[2]);
    EXPECT_EQ("huge.bin", bySize[3]);
}

// Another host's update in flight holds the update lock: "Clear all" waits
// for it, rather than deleting the file that update is about to replace.
TEST_F(HistoryDialogTest, ClearAllWaitsForAnUpdateInFlight)
{
    WriteHistoryRecord("kept.bin", "2024-01-01 00:00", 900, 0);
    bool existedWhileHeld = false, goneAfter = false;
    {
        DialogDriver driver([&](const SeenDialog &dialog) {
            {
                ProfileUpdateLock lock;
                PostMessageA(dialog.window, WM_COMMAND, IDC_CLEAR_ALL, 0);
                Sleep(500);
                existedWhileHeld = FileExists(historyPath);
            }
            for (int i = 0; i < 250 && !goneAfter; ++i) {
                goneAfter = !FileExists(historyPath);
                Sleep(20);
            }
            DialogDriver::Press(dialog, IDCANCEL);
        });
        SendMessageA(window, WM_COMMAND, IDM_HISTORY, 0);
        ASSERT_TRUE(driver.found());
    }
    EXPECT_TRUE(existedWhileHeld);
    EXPECT_TRUE(goneAfter);
}

TEST_F(HistoryDialogTest, PausedLiveTaskAndNoHistoryFile)
{
    PutTask(0, TaskPaused, 1, SegmentStopped, "C:\\d\\p.bin.hhh", 1000);
    std::vector<std::string> rows;
    {
        DialogDriver driver([&](const SeenDialog &dialog) {
            rows = Rows(GetDlgItem(dialog.window, IDC_HISTORY_LIST));
            DialogDriver::Press(dialog, IDCANCEL);
        });
        SendMessageA(window, WM_COMMAND, IDM_HISTORY, 0);
    }
    EXPECT_EQ((std::vector<std::string>{"p.bin.hhh|1000b|Paused|2024-05-06 07:08"}), rows);
}

}  // namespace
