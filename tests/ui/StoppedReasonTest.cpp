// What the window tells of a task: the tooltip's text read back through the
// tooltip's own messages, the reason a stopped task gives in the menu and in
// the history, and the two policies behind them (the reason's words, the
// smoothed speed and time left).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "components/WebRequest.h"
#include "res/ResourceIds.h"
#include "store/HistoryStore.h"
#include "tests/support/TooltipText.h"
#include "tests/ui/UiHarness.h"
#include "ui/CommandDispatch.h"
#include "ui/ContextMenu.h"
#include "ui/FailureText.h"
#include "ui/ProgressDisplay.h"
#include "ui/TransferRate.h"

using namespace testing_support;

namespace {

TaskFailure RequestFailure(int error, int status = 0, const char *phrase = "")
{
    TaskFailure failure = {};
    failure.kind = FailureRequest;
    failure.error = error;
    failure.httpStatus = status;
    lstrcpynA(failure.phrase, phrase, sizeof(failure.phrase));
    return failure;
}

TaskFailure FileFailure(DWORD systemError)
{
    TaskFailure failure = {};
    failure.kind = FailureFile;
    failure.systemError = systemError;
    return failure;
}

TEST(FailureText, EachCauseInTheUsersWords)
{
    TaskFailure noSize = {};
    noSize.kind = FailureNoSize;
    struct Case {
        TaskFailure failure;
        const char *text;
    } cases[] = {
        {TaskFailure(), ""},
        {RequestFailure(WebRequestHttpStatus, 404, "Not Found"), "server answered 404 Not Found"},
        {RequestFailure(WebRequestHttpStatus, 503, ""), "server answered 503 "},
        {RequestFailure(WebRequestResolveFailed), "host name not found"},
        {RequestFailure(WebRequestConnectFailed), "cannot connect to the server"},
        {RequestFailure(WebRequestTimedOut), "the server stopped answering"},
        {RequestFailure(WebRequestTlsFailed), "certificate not trusted for this name"},
        {RequestFailure(WebRequestProxyRefused), "the proxy asks for a password"},
        {RequestFailure(WebRequestInsecureRedirect), "redirect from https to http refused"},
        {RequestFailure(WebRequestFileChanged), "the file changed on the server"},
        {RequestFailure(77), "failed (error 77)"},
        {noSize, "the server gives no file size"},
        {FileFailure(ERROR_DISK_FULL), "disk full"},
        {FileFailure(ERROR_HANDLE_DISK_FULL), "disk full"},
        {FileFailure(ERROR_ACCESS_DENIED), "cannot write the file (error 5)"},
    };
    for (const Case &c : cases) {
        char text[kTextSize];
        FailureText(c.failure, text, sizeof(text));
        EXPECT_STREQ(c.text, text);
    }
}

// Samples every 100 ms at a steady 1 MB/s, then what the rate says at each moment.
TEST(TransferRate, SmoothedAndSaidOnlyOnceItMeansSomething)
{
    struct Case {
        const char *name;
        DWORD samplesFor;       // ms of samples at 1000 bytes per ms
        bool speedKnown;
        bool timeLeftKnown;
    } cases[] = {
        {"a first second", 1000, false, false},
        {"two seconds", 2000, true, false},
        {"four seconds", 4000, true, true},
        {"a minute", 60000, true, true},
    };
    for (const Case &c : cases) {
        TransferRate rate;
        for (DWORD t = 0; t <= c.samplesFor; t += 100)
            rate.Add(0xFFFFF000u + t, 1000ull * t);  // across the tick count's wrap
        ULONGLONG speed = 0, seconds = 0;
        EXPECT_EQ(c.speedKnown, rate.Speed(&speed)) << c.name;
        if (c.speedKnown) {
            EXPECT_EQ(1000000u, speed) << c.name;
        }
        EXPECT_EQ(c.timeLeftKnown, rate.SecondsLeft(9500000, &seconds)) << c.name;
        if (c.timeLeftKnown) {
            EXPECT_EQ(10u, seconds) << c.name;
        }
    }
}

TEST(TransferRate, AStallShowsAndARestartStartsOver)
{
    TransferRate rate;
    for (DWORD t = 0; t <= 5000; t += 100)
        rate.Add(t, t < 3000 ? 1000ull * t : 3000000);  // nothing after 3 s
    ULONGLONG speed, seconds;
    ASSERT_TRUE(rate.Speed(&speed));
    EXPECT_EQ(600000u, speed);  // 3 MB over the last 5 s
    for (DWORD t = 5100; t <= 10100; t += 100)
        rate.Add(t, 3000000);
    ASSERT_TRUE(rate.Speed(&speed));
    EXPECT_EQ(0u, speed);
    EXPECT_FALSE(rate.SecondsLeft(1, &seconds));
    rate.Add(10200, 100);  // the download started over
    EXPECT_FALSE(rate.Speed(&speed));
}

class StoppedTaskTest : public FloatingWindowTest {
protected:
    // The tooltip's text as the tooltip itself holds it.
    std::string TooltipText() { return TooltipTextFor(controller->tooltip, window); }

    void Repaint() { SendMessageA(window, WM_TIMER, kRepaintTimer, 0); }
};

TEST_F(StoppedTaskTest, TooltipMenuAndHistorySayWhyItStopped)
{
    ASSERT_NE(nullptr, controller->tooltip);
    DownloadTask *task =
        PutTask(0, TaskIdle, 3, SegmentStopped, "C:\\Downloads\\movie.avi.hhh", 2 * 1024 * 1024, 512 * 1024);
    task->failure = RequestFailure(WebRequestHttpStatus, 404, "Not Found");
    Repaint();
    EXPECT_EQ("movie.avi\r\n25% of 2.0 MB\r\nStopped: server answered 404 Not Found", TooltipText());

    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_CONTEXT));
    HMENU popup = GetSubMenu(menu, 0);
    PrepareContextMenu(popup);
    char item[600] = "";
    GetMenuStringA(popup, IDM_DELETE_TASK1, item, sizeof(item), MF_BYCOMMAND);
    EXPECT_STREQ("Task1: movie.avi.hhh (server answered 404 Not Found)", item);
    DestroyMenu(menu);

    // The paused task says so, and nothing of the earlier failure.
    task->state = TaskPaused;
    Repaint();
    EXPECT_EQ("movie.avi\r\n25% of 2.0 MB\r\nPaused", TooltipText());
    task->state = TaskIdle;

    SendMessageA(window, WM_COMMAND, IDM_DELETE_TASK1, 0);
    int index;
    ASSERT_TRUE(FindHistoryRecord("movie.avi.hhh", &index));
    HistoryRecord record = {};
    ASSERT_TRUE(ReadHistoryRecord(&record, index));
    EXPECT_STREQ("server answered 404 Not Found", record.reason);

    // Deleted again after a stop that was no failure: hidden, as deleted records were.
    PutTask(0, TaskPaused, 3, SegmentStopped, "C:\\Downloads\\movie.avi.hhh", 2 * 1024 * 1024, 512 * 1024);
    SendMessageA(window, WM_COMMAND, IDM_DELETE_TASK1, 0);
    EXPECT_FALSE(ReadHistoryRecord(&record, index));
}

}  // namespace
