// The context menu's texts and gray states, read back from menu 102 after
// PrepareContextMenu, and the popup itself on a real right click.
#include <gtest/gtest.h>

#include <string>

#include "res/ResourceIds.h"
#include "tests/ui/UiHarness.h"
#include "ui/ContextMenu.h"

using namespace testing_support;

namespace {

class MenuTest : public FloatingWindowTest {
protected:
    void SetUp() override
    {
        FloatingWindowTest::SetUp();
        menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_CONTEXT));
        ASSERT_NE(nullptr, menu);
        popup = GetSubMenu(menu, 0);
    }

    void TearDown() override
    {
        DestroyMenu(menu);
        FloatingWindowTest::TearDown();
    }

    std::string Text(UINT id)
    {
        char text[600] = "";
        GetMenuStringA(popup, id, text, sizeof(text), MF_BYCOMMAND);
        return text;
    }

    bool Grayed(UINT id) { return (GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

    // "SPD": S/P/D for an enabled Start/Pause/Delete item, "-" for a grayed one.
    std::string Actions(int slot)
    {
        std::string actions;
        actions += Grayed(IDM_START_TASK1 + slot) ? '-' : 'S';
        actions += Grayed(IDM_PAUSE_TASK1 + slot) ? '-' : 'P';
        actions += Grayed(IDM_DELETE_TASK1 + slot) ? '-' : 'D';
        return actions;
    }

    std::string AllActions()
    {
        std::string actions;
        actions += Grayed(IDM_START_ALL) ? '-' : 'S';
        actions += Grayed(IDM_PAUSE_ALL) ? '-' : 'P';
        actions += Grayed(IDM_DELETE_ALL) ? '-' : 'D';
        return actions;
    }

    HMENU menu = nullptr;
    HMENU popup = nullptr;
};

TEST_F(MenuTest, ResourceMenuHasItsItemsInOrder)
{
    ASSERT_EQ(12, GetMenuItemCount(popup));
    EXPECT_EQ("Start All", Text(IDM_START_ALL));
    EXPECT_EQ("Histroy", Text(IDM_HISTORY));
    EXPECT_EQ(IDM_QUIT, static_cast<int>(GetMenuItemID(popup, 11)));
    EXPECT_EQ(IDM_SETTING, static_cast<int>(GetMenuItemID(popup, 8)));
    char name[32];
    GetMenuStringA(popup, 5, name, sizeof(name), MF_BYPOSITION);
    EXPECT_STREQ("Pause", name);
    EXPECT_EQ("task3", Text(IDM_DELETE_TASK3));
}

TEST_F(MenuTest, NoTaskGraysEveryTaskItem)
{
    PrepareContextMenu(popup);
    for (int slot = 0; slot < 3; ++slot)
        EXPECT_EQ("---", Actions(slot)) << slot;
    EXPECT_EQ("task2", Text(IDM_PAUSE_TASK2));
    EXPECT_EQ("---", AllActions());
    EXPECT_FALSE(Grayed(IDM_SETTING));
    EXPECT_FALSE(Grayed(IDM_HISTORY));
    EXPECT_FALSE(Grayed(IDM_QUIT));
}

TEST_F(MenuTest, RunningTaskShowsItsNameAndCanBePaused)
{
    PutTask(1, TaskDownloading, 3, SegmentRunning, "C:\\Downloads\\movie.avi.hhh");
    PrepareContextMenu(popup);
    EXPECT_EQ("Task2: movie.avi.hhh", Text(IDM_START_TASK2));
    EXPECT_EQ("Task2: movie.avi.hhh", Text(IDM_PAUSE_TASK2));
    EXPECT_EQ("Task2: movie.avi.hhh", Text(IDM_DELETE_TASK2));
    EXPECT_EQ("-PD", Actions(1));
    EXPECT_EQ("---", Actions(0));
    EXPECT_EQ("-PD", AllActions());
}

TEST_F(MenuTest, PauseAllOnlyWhenEveryTaskRunsStartAllOnlyWhenEveryTaskIsStopped)
{
    PutTask(0, TaskPaused, 2, SegmentStopped, "C:\\d\\a.bin.hhh");
    PutTask(1, TaskDownloading, 2, SegmentRunning, "C:\\d\\b.bin.hhh");
    PrepareContextMenu(popup);
    EXPECT_EQ("Task1: a.bin.hhh", Text(IDM_START_TASK1));
    EXPECT_EQ("S-D", Actions(0));
    EXPECT_EQ("-PD", Actions(1));
    EXPECT_EQ("--D", AllActions());

    DestroyMenu(menu);
    menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_CONTEXT));
    popup = GetSubMenu(menu, 0);
    gSlotTable.slots[1].task->segments[0].state = SegmentStopped;
    gSlotTable.slots[1].task->segments[1].state = SegmentStopped;
    PrepareContextMenu(popup);
    EXPECT_EQ("S-D", AllActions());
}

TEST_F(MenuTest, MixedTaskShowsOnlyItsLabelAndIsGrayed)
{
    DownloadTask *task = PutTask(2, TaskDownloading, 2, SegmentRunning, "C:\\d\\c.bin.hhh");
    task->segments[1].state = SegmentStopped;
    PrepareContextMenu(popup);
    EXPECT_EQ("Task3", Text(IDM_START_TASK3));
    EXPECT_EQ("Task3", Text(IDM_DELETE_TASK3));
    EXPECT_EQ("---", Actions(2));
    EXPECT_EQ("--D", AllActions());
}

TEST_F(MenuTest, TaskWithNothingActiveCanBeStartedOrDeleted)
{
    PutTask(0, TaskIdle, 1, SegmentIdle, "C:\\d\\a.bin.hhh");
    PrepareContextMenu(popup);
    EXPECT_EQ("Task1", Text(IDM_START_TASK1));
    EXPECT_EQ("S-D", Actions(0));
    EXPECT_EQ("--D", AllActions());
}

// The popup opens on a right click and blocks until it is dismissed; a
// watcher thread sees it and cancels it with Escape.
DWORD WINAPI DismissMenu(void *argument)
{
    HWND owner = static_cast<HWND>(argument);
    for (int i = 0; i < 500; ++i) {
        HWND popupWindow = FindWindowA("#32768", nullptr);
        if (popupWindow && IsWindowVisible(popupWindow)) {
            Sleep(200);
            PostMessageA(owner, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(owner, WM_CANCELMODE, 0, 0);
            return 1;
        }
        Sleep(20);
    }
    PostMessageA(owner, WM_CANCELMODE, 0, 0);
    return 0;
}

TEST_F(MenuTest, RightClickOpensThePopupUntilDismissed)
{
    HANDLE watcher = CreateThread(nullptr, 0, DismissMenu, window, 0, nullptr);
    SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    WaitForSingleObject(watcher, 15000);
    DWORD sawPopup = 0;
    GetExitCodeThread(watcher, &sawPopup);
    CloseHandle(watcher);
    EXPECT_EQ(1u, sawPopup);
}

}  // namespace
