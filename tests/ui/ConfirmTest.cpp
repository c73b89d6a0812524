// The confirmation dialog and the commands that ask for it: Delete All and
// Quit, with the dialog answered from a watcher thread.
#include <gtest/gtest.h>

#include "res/ResourceIds.h"
#include "store/SettingsFile.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/IniText.h"
#include "tests/ui/UiHarness.h"
#include "ui/CommandDispatch.h"
#include "ui/ConfirmDialog.h"
#include "ui/Docking.h"
#include "ui/ProgressDisplay.h"

using namespace testing_support;

namespace {

class ConfirmTest : public FloatingWindowTest {};

// Tries every way but the two buttons to end the dialog, notes whether it is
// still open, then presses the given button.
struct Answer {
    int button;
    volatile LONG survivedOtherWays = 0;

    void operator()(const SeenDialog &dialog)
    {
        PostMessageA(dialog.window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(dialog.window, WM_COMMAND, IDOK, 0);
        PostMessageA(dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        PostMessageA(dialog.window, WM_CLOSE, 0, 0);
        PostMessageA(dialog.window, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(dialog.window, WM_KEYDOWN, VK_RETURN, 0);
        Sleep(300);
        survivedOtherWays = IsWindow(dialog.window) && IsWindowVisible(dialog.window);
        DialogDriver::Press(dialog, button);
    }
};

TEST_F(ConfirmTest, DeleteAllQuestionAndTaskStatesAndOnlyTheButtonsEndIt)
{
    PutTask(0, TaskDownloading, 2, SegmentRunning, "a.hhh");
    PutTask(2, TaskPaused, 2, SegmentStopped, "c.hhh");
    Answer answer{IDC_CONFIRM_CANCEL};
    INT_PTR result;
    {
        DialogDriver driver([&answer](const SeenDialog &dialog) { answer(dialog); });
        result = AskConfirmation(window, true);
        ASSERT_TRUE(driver.found());
        EXPECT_EQ("Download Information", driver.seen().caption);
        EXPECT_EQ("Download Status:|Task1:|Task2:|Task3:|Downloading|No task|Paused|"
                  "  All unfinshed task will be delete,Are you sure?",
                  driver.seen().texts);
    }
    EXPECT_EQ(0, result);
    EXPECT_EQ(1, answer.survivedOtherWays);
}

TEST_F(ConfirmTest, QuitQuestionAndOkEndsWithOne)
{
    PutTask(1, TaskDownloading, 1, SegmentIdle, "b.hhh");
    INT_PTR result;
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDC_CONFIRM_OK); });
        result = AskConfirmation(window, false);
        EXPECT_EQ("Download Status:|Task1:|Task2:|Task3:|No task|No task|No task|"
                  "  All task will be paused,Are you sure?",
                  driver.seen().texts);
    }
    EXPECT_EQ(1, result);
}

TEST_F(ConfirmTest, DeleteAllWithOnlyIdleTasksAsksNothingAndKeepsThem)
{
    PutTask(0, TaskIdle, 1, SegmentIdle, "a.hhh");
    PutTask(1, TaskIdle, 1, SegmentIdle, "b.hhh");
    SendMessageA(window, WM_COMMAND, IDM_DELETE_ALL, 0);
    EXPECT_NE(nullptr, gSlotTable.slots[0].task);
    EXPECT_NE(nullptr, gSlotTable.slots[1].task);
}

TEST_F(ConfirmTest, DeleteAllCancelledChangesNothing)
{
    DownloadTask *task = PutTask(0, TaskDownloading, 2, SegmentRunning, "a.hhh");
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDC_CONFIRM_CANCEL); });
        SendMessageA(window, WM_COMMAND, IDM_DELETE_ALL, 0);
        EXPECT_TRUE(driver.found());
    }
    EXPECT_EQ(task, gSlotTable.slots[0].task);
    EXPECT_EQ(TaskDownloading, task->state);
}

TEST_F(ConfirmTest, QuitWithAutoSaveStoresThePositionEvenWhenCancelled)
{
    WritePrivateProfileStringA(kDownloadSection, "DOCKSTYLE", "4", kSettingsFile);
    WritePrivateProfileStringA(kDownloadSection, "DOCKLEFT", "321", kSettingsFile);
    WritePrivateProfileStringA(kDownloadSection, "DOCKTOP", "123", kSettingsFile);
    PlaceByDockStyle(window);
    SetWindowPos(window, nullptr, 400, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    StartDisplay(window);
    DownloadTask *task = PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh");
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDC_CONFIRM_CANCEL); });
        SendMessageA(window, WM_COMMAND, IDM_QUIT, 0);
        EXPECT_TRUE(driver.found());
    }
    EXPECT_EQ("400", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKLEFT"));
    EXPECT_EQ("500", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKTOP"));
    EXPECT_EQ(task, gSlotTable.slots[0].task);
    EXPECT_TRUE(IsWindowVisible(window));
    StopDisplay(window);
}

TEST_F(ConfirmTest, QuitWithoutActiveTaskAsksNothingAndHides)
{
    WritePrivateProfileStringA(kDownloadSection, "DOCKSTYLE", "2", kSettingsFile);
    PlaceByDockStyle(window);
    StartDisplay(window);
    gProcess.restoredFlag = 1;
    SendMessageA(window, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(0, gProcess.restoredFlag);
    EXPECT_EQ("<absent>", ProfileValue(SettingsFilePath(), "DOWNLOAD", "DOCKLEFT"));
    EXPECT_EQ(0, AnyTaskActive());
}

TEST_F(ConfirmTest, TaskCompleteWithAnInvalidSlotDoesNothing)
{
    DownloadTask *task = PutTask(0, TaskDownloading, 1, SegmentRunning, "a.hhh");
    SendMessageA(window, WM_COMMAND, 2000, 3);
    SendMessageA(window, WM_COMMAND, 2000, -1);
    SendMessageA(window, WM_COMMAND, 2000, 1);  // an empty slot
    SendMessageA(window, WM_COMMAND, 50051, 0);
    SendMessageA(window, WM_COMMAND, 40016, 0);
    EXPECT_EQ(task, gSlotTable.slots[0].task);
}

TEST_F(ConfirmTest, NextFaceReachesTheEngine)
{
    SendMessageA(window, WM_COMMAND, CommandNextFace, 0);
    ASSERT_EQ(1u, engine.commands.size());
    EXPECT_EQ(CommandNextFace, engine.commands[0]);
}

}  // namespace
