// Records a standard user can write: run under tests/support/read-only-
// records.sh, where the settings file in the Windows directory and the
// history file beside the host are there, readable, and refuse every write.
// RavlixHost.exe, started as a process and killed, must keep its records in
// the user's own folder, read what the read-only files hold, and resume.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "HostRun.h"
#include "peers/PeerFiles.h"
#include "tests/support/GeneratedBytes.h"
#include "tests/support/IniText.h"
#include "tests/support/TaskHost.h"
#include "tests/support/TooltipText.h"
#include "ui/ProcessState.h"
#include "ui/TaskTooltip.h"

using namespace testing_support;

namespace {

std::string Environment(const char *name)
{
    char value[MAX_PATH];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? value : "";
}

std::string UserSettingsFile()
{
    return Environment("LOCALAPPDATA") + "\\Ravlix\\KELMORA.ini";
}

long UserRecordedBytes(const std::string &tempPath)
{
    std::string file = UserSettingsFile();
    for (int section = 1; section < 10; ++section) {
        std::string name = RecordSection(section);
        if (ProfileValue(file, name, "DESTNAME") != tempPath)
            continue;
        long sum = 0;
        for (int i = 0; i < 5; ++i)
            sum += atol(ProfileValue(file, name, "OFFSET" + std::to_string(i)).c_str());
        return sum;
    }
    return -1;
}

// A temporary file as the plug-in leaves it: made at the file's whole
// length, its first count bytes in.
void WriteGeneratedPrefix(const std::string &path, unsigned long long count, unsigned long long size)
{
    std::string bytes(size, '\0');
    GeneratedBytes().Fill(0, reinterpret_cast<BYTE *>(&bytes[0]), count);
    ASSERT_TRUE(WriteWholeFile(path, bytes));
}

FILETIME LastWrite(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

class RecordPlaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settingsSource = Environment("RAVLIX_READ_ONLY_SETTINGS");
        historySource = Environment("RAVLIX_READ_ONLY_HISTORY");
        if (settingsSource.empty() || historySource.empty())
            GTEST_SKIP() << "runs only under tests/support/read-only-records.sh";
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "ravlix-record-place";
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char *name : {"earlier.bin", "killed.bin", "changed.bin"}) {
            DeleteFileA(PathOf(name).c_str());
            DeleteFileA((PathOf(name) + ".hhh").c_str());
        }
        DeleteFileA(UserSettingsFile().c_str());
    }

    std::string PathOf(const std::string &name) const { return folder + "\\" + name; }

    std::string settingsSource, historySource, folder;
};

// The Windows directory's file holds the download folder and the record of
// a download an earlier host (one that could write there) left half done;
// neither file can be written now. A host then finishes that download,
// starts another and is killed; the next host resumes the second from the
// user's folder and does not fetch the first again. The read-only files stay
// as they were, and the window says once where the records went.
TEST_F(RecordPlaceTest, AKilledHostResumesFromTheUserFolderWhereTheWindowsDirectoryRefusesWrites)
{
    const unsigned long long earlierSize = 6u << 20, killedSize = 64u << 20;
    std::string earlierUrl = PacedUrl(earlierSize), killedUrl = PacedUrl(killedSize);
    WriteGeneratedPrefix(PathOf("earlier.bin.hhh"), 2u << 20, earlierSize);
    std::string settings = "[DOWNLOAD]\r\nDESTNPATH=" + folder + "\\\r\n[FILE1]\r\nOFFSET0=2097152\r\nMULTHREAD=1\r\n"
                           "URLNAME=" + earlierUrl + "\r\nDESTNAME=" + PathOf("earlier.bin.hhh") + "\r\n";
    ASSERT_TRUE(WriteWholeFile(settingsSource, settings));
    ASSERT_EQ(settings, ReadWholeFile(SettingsFilePath())) << "the launcher's file is not the one in the Windows directory";
    // Nothing the plug-in does reaches the Windows directory's file.
    EXPECT_FALSE(WritePrivateProfileStringA("DOWNLOAD", "PROBE", "1", "KELMORA.ini"));

    long recorded = 0;
    {
        HostRun first("--connections 4 --name killed.bin " + killedUrl);
        ASSERT_TRUE(first.started());
        ASSERT_TRUE(TaskHost::PumpUntil(
            [&] { return FileExists(PathOf("earlier.bin")) && UserRecordedBytes(PathOf("killed.bin.hhh")) > 4000000; },
            120000))
            << first.Output();
        first.Kill();
        recorded = UserRecordedBytes(PathOf("killed.bin.hhh"));
    }
    EXPECT_EQ("", DifferenceFromGenerated(PathOf("earlier.bin"), 0, earlierSize, earlierSize));
    EXPECT_TRUE(FileExists(PathOf("killed.bin.hhh")));
    FILETIME earlierWritten = LastWrite(PathOf("earlier.bin"));

    HostRun second("--exit-when-done --connections 4 --name killed.bin " + killedUrl);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(0u, second.Wait()) << second.Output();
    EXPECT_NE(std::string::npos, second.Output().find("code 2")) << second.Output();
    EXPECT_GT(recorded, 4000000);
    EXPECT_EQ("", DifferenceFromGenerated(PathOf("killed.bin"), 0, killedSize, killedSize));
    // The earlier download was taken over once, not fetched again.
    FILETIME now = LastWrite(PathOf("earlier.bin"));
    EXPECT_EQ(0, CompareFileTime(&earlierWritten, &now));
    EXPECT_EQ("", DifferenceFromGenerated(PathOf("earlier.bin"), 0, earlierSize, earlierSize));
    EXPECT_EQ(std::string::npos, second.Output().find("earlier.bin")) << second.Output();

    EXPECT_EQ(settings, ReadWholeFile(settingsSource));
    EXPECT_EQ("", ReadWholeFile(historySource));
    // Both downloads are in the history the user's folder keeps.
    std::string history = ReadWholeFile(Environment("LOCALAPPDATA") + "\\Ravlix\\Vorazuvud.ini");
    EXPECT_NE(std::string::npos, history.find("NAME=earlier.bin")) << history;
    EXPECT_NE(std::string::npos, history.find("NAME=killed.bin")) << history;
}

// Where no place takes records at all (the Windows directory's file refuses
// writes and the user has no folder of their own), a download restored from a
// record of another version must not write the new version's bytes under
// that record, which still claims its offsets: the task stops, and the
// temporary file keeps what the record describes.
TEST_F(RecordPlaceTest, WhereNoPlaceTakesTheResetRecordNothingIsWrittenUnderTheOldOne)
{
    const unsigned long long size = 4u << 20;
    std::string url = PacedUrl(size), temp = PathOf("changed.bin.hhh");
    std::string kept(size, 'x');
    ASSERT_TRUE(WriteWholeFile(temp, kept));
    std::string settings = "[FILE1]\r\nOFFSET0=1048576\r\nMULTHREAD=1\r\nURLNAME=" + url + "\r\nDESTNAME=" + temp +
                           "\r\nVALIDATOR=ETag: \"an older version\"\r\n";
    ASSERT_TRUE(WriteWholeFile(settingsSource, settings));
    std::string local = Environment("LOCALAPPDATA");
    SetEnvironmentVariableA("LOCALAPPDATA", (SettingsFilePath() + "\\not-a-folder").c_str());
    {
        HostRun host("--connections 1 --name changed.bin " + url);
        SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());
        ASSERT_TRUE(host.started());
        // The server sends 2 MB/s: in 6 s a download would have rewritten the file.
        Sleep(6000);
        EXPECT_EQ(kept, ReadWholeFile(temp)) << host.Output();
        EXPECT_FALSE(FileExists(PathOf("changed.bin")));
        host.Kill();
    }
    EXPECT_EQ(settings, ReadWholeFile(settingsSource));
}

// The window's tooltip says where the records are, until it has been shown once.
TEST_F(RecordPlaceTest, TheTooltipSaysOnceWhereTheRecordsAreKept)
{
    gProcess.pluginInstance = GetModuleHandleA(nullptr);
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    HWND tooltip = CreateTaskTooltip(window);
    ASSERT_NE(nullptr, tooltip);
    UpdateTaskTooltip(tooltip, window);
    std::string expected = "Records are kept in " + Environment("LOCALAPPDATA") + "\\Ravlix\\";
    EXPECT_EQ(expected, TooltipTextFor(tooltip, window));
    UpdateTaskTooltip(tooltip, window);
    EXPECT_EQ(expected, TooltipTextFor(tooltip, window)) << "gone before it was shown";
    NMHDR shown = {tooltip, 0, static_cast<UINT>(TTN_SHOW)};
    TaskTooltipNotified(&shown);
    UpdateTaskTooltip(tooltip, window);
    EXPECT_EQ("", TooltipTextFor(tooltip, window));
    DestroyWindow(window);
}

}  // namespace
