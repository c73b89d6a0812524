// Profile files updated by several processes at once, and by processes
// killed in the middle of an update: readers see whole files only, no
// update is half done, and no update is lost.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/WholeFile.h"
#include "util/ProfileUpdate.h"

using testing_support::ChildProcess;

namespace {

// ProfileWriter.exe updating a section of file count times (0: until killed).
std::string WriterCommand(const std::string &file, const char *section, int count)
{
    return "ProfileWriter.exe \"" + file + "\" " + section + " " + std::to_string(count);
}

ChildProcess Writer(const std::string &file, const char *section, int count)
{
    return ChildProcess(WriterCommand(file, section, count));
}

class ProfileUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH];
        GetTempPathA(sizeof(folder), folder);
        file = std::string(folder) + "ravlix-profile-" + std::to_string(GetCurrentProcessId()) + ".ini";
        DeleteFileA(file.c_str());
    }
    void TearDown() override
    {
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
        for (const std::string &scratch : ScratchCopies())
            DeleteFileA(scratch.c_str());
    }

    // Files beside the profile whose names start with its own.
    std::vector<std::string> ScratchCopies() const
    {
        std::vector<std::string> found;
        std::string folder = file.substr(0, file.find_last_of('\\') + 1);
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA((file + ".*").c_str(), &data);
        if (search == INVALID_HANDLE_VALUE)
            return found;
        do {
            // "name.*" matches the name itself as well.
            if (folder + data.cFileName != file)
                found.push_back(folder + data.cFileName);
        } while (FindNextFileA(search, &data));
        FindClose(search);
        return found;
    }

    bool WriteOne(const char *section, const char *key, const char *value) const
    {
        ProfileUpdate update(file.c_str());
        update.Write(section, key, value);
        return update.Commit();
    }

    std::string ReadWholeFile() const { return testing_support::ReadWholeFile(file); }

    std::string Read(const char *section, const char *key) const
    {
        char value[260];
        GetPrivateProfileStringA(section, key, "", value, sizeof(value), file.c_str());
        return value;
    }
    // The values of a section as ProfileWriter leaves them, read in one
    // call; an update that was cut short shows as values that differ.
    std::vector<std::string> Keys(const char *section) const
    {
        char text[4096];
        GetPrivateProfileSectionA(section, text, sizeof(text), file.c_str());
        std::vector<std::string> values;
        for (const char *line = text; *line; line += strlen(line) + 1) {
            const char *equals = strchr(line, '=');
            values.push_back(equals ? equals + 1 : "");
        }
        if (values.empty())
            values.push_back("");
        return values;
    }

    std::string file;
};

TEST_F(ProfileUpdateTest, WritesReplacesAndDeletesKeys)
{
    ProfileUpdate update(file.c_str());
    update.Write("DOWNLOAD", "DESTNPATH", "C:\\first\\");
    update.Write("DOWNLOAD", "DOCKSTYLE", "2");
    EXPECT_EQ("", Read("DOWNLOAD", "DESTNPATH")) << "nothing reaches the file before the commit";
    ASSERT_TRUE(update.Commit());
    EXPECT_EQ("C:\\first\\", Read("DOWNLOAD", "DESTNPATH"));

    update.Write("DOWNLOAD", "DESTNPATH", "C:\\second\\");
    update.Write("DOWNLOAD", "DOCKSTYLE", nullptr);
    ASSERT_TRUE(update.Commit());
    EXPECT_EQ("C:\\second\\", Read("DOWNLOAD", "DESTNPATH"));
    EXPECT_EQ("", Read("DOWNLOAD", "DOCKSTYLE"));
    EXPECT_TRUE(ScratchCopies().empty()) << "no scratch copy is left";
}

TEST_F(ProfileUpdateTest, ReadersBesideAWriterNeverSeeAPartialFile)
{
    ASSERT_TRUE(WriteOne("DOWNLOAD", "DESTNPATH", "C:\\downloads\\"));
    ChildProcess writer = Writer(file, "FILE1", 0);
    ASSERT_TRUE(writer.started);
    for (DWORD until = GetTickCount() + 10000; Read("FILE1", "KEY8").empty() && GetTickCount() < until;)
        Sleep(1);
    int misses = 0, torn = 0, reads = 0;
    std::string first, last;
    for (DWORD until = GetTickCount() + 2000; GetTickCount() < until; ++reads) {
        if (Read("DOWNLOAD", "DESTNPATH") != "C:\\downloads\\")
            ++misses;
        std::vector<std::string> keys = Keys("FILE1");
        if (keys != std::vector<std::string>(9, keys[0]))
            ++torn;
        if (first.empty())
            first = keys[0];
        last = keys[0];
    }
    writer.Kill();
    EXPECT_EQ(0, misses) << "of " << reads << " reads";
    EXPECT_EQ(0, torn) << "of " << reads << " reads";
    EXPECT_NE(first, last) << "the writer's updates reached the file";
}

TEST_F(ProfileUpdateTest, AWriterKilledAtAnyMomentLeavesTheFileWhole)
{
    ASSERT_TRUE(WriteOne("DOWNLOAD", "DESTNPATH", "C:\\downloads\\"));
    // A writer killed before its first update (a slow start) leaves these.
    ProfileUpdate seed(file.c_str());
    for (int k = 0; k < 9; ++k)
        seed.Write("FILE1", ("KEY" + std::to_string(k)).c_str(), "0");
    ASSERT_TRUE(seed.Commit());
    for (int round = 0; round < 20; ++round) {
        ChildProcess writer = Writer(file, "FILE1", 0);
        ASSERT_TRUE(writer.started);
        Sleep(100 + round * 7);
        writer.Kill();
        ASSERT_EQ("C:\\downloads\\", Read("DOWNLOAD", "DESTNPATH")) << "round " << round;
        std::vector<std::string> keys = Keys("FILE1");
        ASSERT_EQ(std::vector<std::string>(9, keys[0]), keys) << "round " << round;
    }
    // The scratch copy a killed writer may leave is not read as the file,
    // and the next update clears it away.
    EXPECT_FALSE(Read("FILE1", "KEY0").empty());
    ASSERT_TRUE(WriteOne("DOWNLOAD", "DOCKSTYLE", "1"));
    EXPECT_TRUE(ScratchCopies().empty());
}

TEST_F(ProfileUpdateTest, WritersAtOnceLoseNoUpdate)
{
    ChildProcess one = Writer(file, "FILE1", 150);
    ChildProcess two = Writer(file, "FILE2", 150);
    ASSERT_TRUE(one.started && two.started);
    EXPECT_EQ(0u, one.Finish());
    EXPECT_EQ(0u, two.Finish());
    EXPECT_EQ(std::vector<std::string>(9, "150"), Keys("FILE1"));
    EXPECT_EQ(std::vector<std::string>(9, "150"), Keys("FILE2"));
}

// A lock held longer than any update takes (a host stopped in a debugger, a
// slow disk): writers in other processes wait for it, and none of their
// updates reaches the file meanwhile or is lost after.
TEST_F(ProfileUpdateTest, WritersWaitForALockHeldLongAndLoseNothing)
{
    ASSERT_TRUE(WriteOne("DOWNLOAD", "DESTNPATH", "C:\\downloads\\"));
    std::string before, during;
    std::unique_ptr<ChildProcess> one, two;
    {
        ProfileUpdateLock lock;
        ASSERT_TRUE(lock.held());
        before = ReadWholeFile();
        one.reset(new ChildProcess(WriterCommand(file, "FILE1", 30)));
        two.reset(new ChildProcess(WriterCommand(file, "FILE2", 30)));
        ASSERT_TRUE(one->started && two->started);
        // Longer than any bounded wait a writer might give up after.
        Sleep(6000);
        during = ReadWholeFile();
    }
    EXPECT_EQ(before, during) << "an update went in without the lock";
    EXPECT_EQ(0u, one->Finish());
    EXPECT_EQ(0u, two->Finish());
    EXPECT_EQ(std::vector<std::string>(9, "30"), Keys("FILE1"));
    EXPECT_EQ(std::vector<std::string>(9, "30"), Keys("FILE2"));
    EXPECT_EQ("C:\\downloads\\", Read("DOWNLOAD", "DESTNPATH"));
}

// Takes the lock on its own thread and holds it for a while.
class LockHolder {
public:
    explicit LockHolder(DWORD milliseconds) : milliseconds_(milliseconds)
    {
        taken_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Hold, this, 0, nullptr);
        WaitForSingleObject(taken_, 10000);
    }
    ~LockHolder()
    {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(taken_);
    }
    void (*whileHeld)(void *) = nullptr;
    void *context = nullptr;

private:
    static DWORD WINAPI Hold(void *argument)
    {
        LockHolder *self = static_cast<LockHolder *>(argument);
        ProfileUpdateLock lock;
        SetEvent(self->taken_);
        DWORD until = GetTickCount() + self->milliseconds_;
        Sleep(300);
        if (self->whileHeld)
            self->whileHeld(self->context);
        while (static_cast<LONG>(until - GetTickCount()) > 0)
            Sleep(10);
        return 0;
    }
    DWORD milliseconds_;
    HANDLE taken_, thread_;
};

TEST_F(ProfileUpdateTest, APeriodicUpdateFindingTheLockTakenIsSkipped)
{
    ASSERT_TRUE(WriteOne("FILE1", "OFFSET0", "100"));
    {
        LockHolder holder(1500);
        DWORD start = GetTickCount();
        ProfileUpdate refresh(file.c_str(), LockWait::SkipIfBusy);
        refresh.Write("FILE1", "OFFSET0", "200");
        EXPECT_FALSE(refresh.Commit());
        EXPECT_LT(GetTickCount() - start, 1000u) << "a skipped update does not wait";
        EXPECT_EQ("100", Read("FILE1", "OFFSET0"));
    }
    ProfileUpdate refresh(file.c_str(), LockWait::SkipIfBusy);
    refresh.Write("FILE1", "OFFSET0", "300");
    EXPECT_TRUE(refresh.Commit());
    EXPECT_EQ("300", Read("FILE1", "OFFSET0"));
}

LONG paints = 0;

LRESULT CALLBACK CountingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        InterlockedIncrement(&paints);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct PaintProbe {
    HWND window;
    bool paintedWhileHeld;
};

// On the holder's thread: asks the waiting thread's window to repaint and
// sees whether it does while the lock is still held.
void AskForPaint(void *context)
{
    PaintProbe *probe = static_cast<PaintProbe *>(context);
    LONG before = InterlockedCompareExchange(&paints, 0, 0);
    InvalidateRect(probe->window, nullptr, TRUE);
    for (DWORD until = GetTickCount() + 1000; GetTickCount() < until;) {
        if (InterlockedCompareExchange(&paints, 0, 0) != before) {
            probe->paintedWhileHeld = true;
            return;
        }
        Sleep(10);
    }
}

// A user's change on the window's thread waits for the lock without
// freezing the window: it keeps painting, and the change lands after.
TEST_F(ProfileUpdateTest, AWaitingUpdateKeepsItsWindowPainted)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingWindow;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RavlixPaintCounter";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("RavlixPaintCounter", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);

    PaintProbe probe = {window, false};
    {
        LockHolder holder(2000);
        holder.whileHeld = AskForPaint;
        holder.context = &probe;
        // The holder runs its probe 300 ms after taking the lock; these
        // fields are read then, long after they are set here.
        ProfileUpdate update(file.c_str());
        update.Write("DOWNLOAD", "DOCKLEFT", "120");
        EXPECT_TRUE(update.Commit());
        EXPECT_EQ("120", Read("DOWNLOAD", "DOCKLEFT"));
    }
    EXPECT_TRUE(probe.paintedWhileHeld);
    DestroyWindow(window);
}

}  // namespace
