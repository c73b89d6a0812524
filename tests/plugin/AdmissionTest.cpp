#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "plugin/DownloadAdmission.h"
#include "plugin/DownloadController.h"
#include "store/RecordClaims.h"
#include "store/ResumeRecords.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/DoubleByteCodePage.h"
#include "tests/support/TaskTable.h"
#include "transfer/TaskRecords.h"
#include "ui/ProcessState.h"
#include "util/PathText.h"

using namespace testing_support;

namespace {

class AdmissionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettingsAndTasks();
        gProcess.resourceModule = LoadLibraryExA("Ravlix.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, gProcess.resourceModule);
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "ravlix-admission";
        CreateDirectoryA(folder.c_str(), nullptr);
        SetFolder(folder.c_str());
    }

    void TearDown() override
    {
        ResetSettingsAndTasks();
        FreeLibrary(gProcess.resourceModule);
        gProcess.resourceModule = nullptr;
    }

    void SetFolder(const char *path)
    {
        WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", path, "KELMORA.ini");
    }

    int Admit(const char *url, const char *destination = nullptr, int connections = 3, const char *proxy = "")
    {
        return AdmitDownload(&controller, url, proxy, destination, connections);
    }

    int TaskCount() const
    {
        int count = 0;
        for (const TaskSlot &slot : gSlotTable.slots)
            count += slot.task != nullptr;
        return count;
    }

    DownloadController controller;
    std::string folder;
};

TEST_F(AdmissionTest, RefusesBadInputWithoutTakingASlot)
{
    std::string longText(260, 'a');
    std::string longUrl = "http://127.0.0.1:9/" + longText;
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, AdmitDownload(&controller, nullptr, "", nullptr, 1));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit(""));
    // Nothing left once the host's digest is cut off.
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("#sha256=abc"));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit(longUrl.c_str()));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/a\r\nMULTHREAD=5"));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/a", nullptr, 1, "proxy\n:1"));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/a", nullptr, 1, longText.c_str()));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/a", longText.c_str()));
    const char *badNames[] = {"/evil.bin", "../evil.bin", "a/../../evil.bin", "sub/", "a//b.bin", "a:b.bin",
                              "wild*.bin", "dir\\", "x\ty.bin", "..", "sub/.. /x.txt", "a.", "b ", "CON",
                              "con.txt", "sub/NUL.bin", "LPT1", "Com3.log", "C:\\dir\\aux", "x\\a. "};
    for (const char *name : badNames)
        EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/a", name)) << name;
    // A folder so long that the temporary name no longer fits.
    SetFolder((folder + "\\" + std::string(240, 'f')).c_str());
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/some-file-name.bin"));
    EXPECT_EQ(0, TaskCount());
}

TEST_F(AdmissionTest, ComposesTheDestinationFromFolderAndName)
{
    struct Case {
        const char *folderSetting, *url, *destination, *expected;
    } cases[] = {
        {"D", "http://127.0.0.1:9/pub/setup.exe", nullptr, "D/setup.exe.hhh"},
        {"D\\", "http://127.0.0.1:9/pub/a.exe", nullptr, "D\\a.exe.hhh"},
        {"D", "http://127.0.0.1:9/b", "old\\new.bin", "D/new.bin.hhh"},
        {"D", "http://127.0.0.1:9/c", "sub/new.bin", "D/sub/new.bin.hhh"},
        {"D", "http://127.0.0.1:9/get?f=x/y.zip", "", "D/get.hhh"},
        {"D", "http://127.0.0.1:9/dir/", nullptr, "D/index.html.hhh"},
        {"D", "http://127.0.0.1:9/d", "C:\\dir\\f.bin", "D/f.bin.hhh"},
        {"D", "http://127.0.0.1:9/e", "\\x\\f.bin", "D/f.bin.hhh"},
        {"D", "http://127.0.0.1:9/CON", nullptr, "D/CON_.hhh"},
        {"D", "http://127.0.0.1:9/nul.txt.", nullptr, "D/nul_.txt_.hhh"},
        {"D", "http://127.0.0.1:9/%C3%A9%E4%B8%AD.bin", nullptr, "D/\xE9_.bin.hhh"},
    };
    for (const Case &c : cases) {
        std::string base = folder + "\\" + c.folderSetting;
        SetFolder(base.c_str());
        ASSERT_EQ(RAVLIX_ADMITTED, Admit(c.url, c.destination)) << c.url;
        DownloadTask *task = gSlotTable.slots[0].task;
        ASSERT_NE(nullptr, task);
        EXPECT_EQ(folder + "\\" + c.expected, task->tempPath);
        EXPECT_STREQ(c.url, task->url);
        EXPECT_EQ(TaskDownloading == task->state || TaskIdle == task->state, true);
        DiscardAllTasks();
    }
    SetFolder("");
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/x/host.bin"));
    char hostFolder[MAX_PATH];
    HostFolder(hostFolder, sizeof(hostFolder));
    EXPECT_EQ(std::string(hostFolder) + "host.bin.hhh", gSlotTable.slots[0].task->tempPath);
}

TEST_F(AdmissionTest, FillsTheTaskAndClampsTheConnections)
{
    ProgressCallback callback = reinterpret_cast<ProgressCallback>(0x1234);
    controller.progressCallback = callback;
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/one", nullptr, 0, "127.0.0.1:3128"));
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/two", nullptr, 9));
    DownloadTask *first = gSlotTable.slots[0].task;
    DownloadTask *second = gSlotTable.slots[1].task;
    EXPECT_EQ(1, first->connectionCount);
    EXPECT_EQ(5, second->connectionCount);
    EXPECT_STREQ("127.0.0.1:3128", first->proxy);
    EXPECT_EQ(callback, first->progressCallback);
    EXPECT_EQ(0, first->slotIndex);
    EXPECT_EQ(1, second->slotIndex);
    EXPECT_EQ(0, first->resumeFlag);
    EXPECT_EQ(16u, strlen(first->startTime));
    EXPECT_NE(TaskSection(*first), TaskSection(*second));
    EXPECT_TRUE(WorkerEnded(0));
    EXPECT_TRUE(WorkerEnded(1));
    controller.progressCallback = nullptr;
}

TEST_F(AdmissionTest, DuplicatesAndSharedTemporaryFilesAreRefused)
{
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/Same.bin"));
    EXPECT_EQ(RAVLIX_DUPLICATE_URL, Admit("HTTP://127.0.0.1:9/same.BIN"));
    // Another URL, the same file on disk, however it is spelt.
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/other", "Same.bin"));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/other", "SAME.BIN"));
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/other", "sub/../Same.bin"));
    // One task's final file would be the other's temporary file.
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/other", "same.bin.hhh"));
    EXPECT_EQ(1, TaskCount());
    DiscardAllTasks();
    EXPECT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/other", "same.bin.hhh"));
}

// A name taken from the URL is no request of the host's: when another live
// task uses its files, the download takes the next free "_<n>" name instead
// of being refused, and never one that exists on disk.
TEST_F(AdmissionTest, AUrlNameInUseGivesWayToAFreeOne)
{
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/x", "late.bin.hhh"));
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/a/late.bin"));
    EXPECT_EQ(folder + "/late_2.bin.hhh", gSlotTable.slots[1].task->tempPath);
    std::string onDisk = folder + "/late_3.bin";
    CloseHandle(CreateFileA(onDisk.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/b/LATE.bin"));
    EXPECT_EQ(folder + "/LATE_4.bin.hhh", gSlotTable.slots[2].task->tempPath);
    DeleteFileA(onDisk.c_str());
    DiscardAllTasks();
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/a/late.bin"));
    EXPECT_EQ(folder + "/late.bin.hhh", gSlotTable.slots[0].task->tempPath);
}

TEST_F(AdmissionTest, AFullTableSaysSoAndTheFirstFreeSlotIsTaken)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(RAVLIX_ADMITTED, Admit(("http://127.0.0.1:9/f" + std::to_string(i)).c_str()));
    {
        DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDOK); });
        EXPECT_EQ(RAVLIX_TABLE_FULL, Admit("http://127.0.0.1:9/f3"));
        EXPECT_TRUE(driver.found());
        EXPECT_EQ("Tip", driver.seen().caption);
        EXPECT_EQ("Task is full, please wait.", driver.seen().texts);
    }
    PauseTask(0);
    DeleteTask(0);
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/f4"));
    EXPECT_EQ(0, gSlotTable.slots[0].task->slotIndex);
    EXPECT_STREQ("http://127.0.0.1:9/f4", gSlotTable.slots[0].task->url);
}

// The download folder is the user's, as Windows resolves it: one with ".."
// or relative to a drive's current folder holds downloads, and a record
// under it is restored.
TEST_F(AdmissionTest, FoldersAsWindowsResolvesThemHoldDownloads)
{
    std::string climbing = folder + "\\sub\\..";
    CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof(current), current);
    std::string driveRelative = std::string(current, 2) + "ravlix-drive-relative";
    for (const std::string &setting : {climbing, driveRelative}) {
        SetFolder(setting.c_str());
        ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/in-folder.bin")) << setting;
        EXPECT_EQ(setting + "/in-folder.bin.hhh", gSlotTable.slots[0].task->tempPath);
        ASSERT_TRUE(WorkerEnded(0));
        SaveAndCloseTask(0);
        ClearSlotTable();
        EXPECT_EQ(1, RestoreTasks(nullptr)) << setting;
        ASSERT_NE(nullptr, gSlotTable.slots[0].task);
        EXPECT_EQ(setting + "/in-folder.bin.hhh", gSlotTable.slots[0].task->tempPath);
        ASSERT_TRUE(WorkerEnded(0));
        DiscardAllTasks();
    }
    RemoveDirectoryA((std::string(current) + "\\ravlix-drive-relative").c_str());
}

// A folder no file can go into refuses downloads, and says so once for that
// folder rather than at every download a host hands over.
TEST_F(AdmissionTest, AFolderThatCannotHoldFilesIsSaidOnce)
{
    std::string aFile = folder + "\\a-file";
    CloseHandle(CreateFileA(aFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (const std::string &setting : {folder + "\\no\\such", aFile}) {
        SetFolder(setting.c_str());
        {
            DialogDriver told([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDOK); });
            EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/nowhere.bin")) << setting;
            EXPECT_TRUE(told.found()) << setting;
            EXPECT_EQ("Tip", told.seen().caption);
            EXPECT_EQ("Can not create dir.", told.seen().texts);
        }
        DialogDriver again([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDOK); });
        EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/nowhere-2.bin")) << setting;
        EXPECT_FALSE(again.found()) << setting;
    }
    EXPECT_EQ(0, TaskCount());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\no").c_str()));
    DeleteFileA(aFile.c_str());
}

// Another host holds every section: the download still runs, only without
// a record, where it used to be refused as if the table were full.
TEST_F(AdmissionTest, WithEverySectionTakenADownloadRunsWithoutARecord)
{
    std::vector<HANDLE> elsewhere;
    for (int section = 1; section <= kResumeSectionLimit; ++section)
        elsewhere.push_back(ClaimResumeSection(section));
    {
        DialogDriver full([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDOK); });
        EXPECT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/unrecorded.bin"));
        EXPECT_FALSE(full.found());
    }
    ASSERT_TRUE(WorkerEnded(0));
    SaveAndCloseTask(0);
    for (HANDLE &claim : elsewhere)
        ReleaseClaim(claim);
    EXPECT_EQ(0, RestoreTasks(nullptr));
    char names[4096] = "";
    GetPrivateProfileSectionNamesA(names, sizeof(names), "KELMORA.ini");
    for (const char *name = names; *name; name += strlen(name) + 1)
        EXPECT_NE(0, _strnicmp(name, "FILE", 4)) << name << " was written";
}

class ExistingFileTest : public AdmissionTest {
protected:
    void SetUp() override
    {
        AdmissionTest::SetUp();
        existing = folder + "/exists.bin";
        HANDLE file = CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, "old", 3, &written, nullptr);
        CloseHandle(file);
    }
    void TearDown() override
    {
        AdmissionTest::TearDown();
        DeleteFileA(existing.c_str());
    }
    std::string existing;
};

TEST_F(ExistingFileTest, YesKeepsTheDestinationAndTheOldFile)
{
    DialogDriver driver([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDYES); });
    EXPECT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/exists.bin"));
    EXPECT_EQ("Tip", driver.seen().caption);
    EXPECT_EQ(existing + "file is already exist,do you want overwrite the file?", driver.seen().texts);
    EXPECT_EQ(existing + ".hhh", gSlotTable.slots[0].task->tempPath);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(existing.c_str()));
}

TEST_F(ExistingFileTest, NoThenCancelTakesNothing)
{
    DialogDriver question([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDNO); });
    DialogDriver saveAs([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDCANCEL); }, "Tip");
    EXPECT_EQ(RAVLIX_SAVE_CANCELLED, Admit("http://127.0.0.1:9/exists.bin"));
    EXPECT_TRUE(saveAs.found());
    EXPECT_EQ(0, TaskCount());
}

TEST_F(ExistingFileTest, NoThenANewNameUsesIt)
{
    std::string chosen = folder + "\\chosen.bin";
    DialogDriver question([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDNO); });
    DialogDriver saveAs(
        [&chosen](const SeenDialog &dialog) {
            // A dialog still settling may empty its file name box again after
            // the name went in, and then Save does nothing: the name goes in
            // before every press.
            DialogDriver::Press(dialog, IDOK, [&dialog, &chosen] {
                HWND name = GetDlgItem(dialog.window, 0x47C);  // cmb13
                if (!name)
                    name = GetDlgItem(dialog.window, 0x480);  // edt1
                SetWindowTextA(name, chosen.c_str());
            });
        },
        "Tip");
    EXPECT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/exists.bin"));
    ASSERT_NE(nullptr, gSlotTable.slots[0].task);
    EXPECT_EQ(chosen + ".hhh", gSlotTable.slots[0].task->tempPath);
}

// The user is asked about the file the name gives before anything else is
// looked at; a host's name that another live task writes is refused only then.
TEST_F(ExistingFileTest, TheQuestionComesBeforeTheFileIsClaimed)
{
    {
        DialogDriver question([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDYES); });
        ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/first", "exists.bin"));
    }
    DialogDriver question([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDYES); });
    EXPECT_EQ(RAVLIX_INVALID_REQUEST, Admit("http://127.0.0.1:9/second", "exists.bin"));
    EXPECT_TRUE(question.found());
    EXPECT_EQ(existing + "file is already exist,do you want overwrite the file?", question.seen().texts);
    EXPECT_EQ(1, TaskCount());
}

// A Save-As choice whose files another live task writes is no answer: the
// dialog comes again with that name to change, and a cancel is a cancel.
TEST_F(ExistingFileTest, ASaveAsChoiceAnotherDownloadWritesIsOfferedAgain)
{
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/busy.bin"));
    std::string busy = folder + "\\busy.bin";
    std::string offeredAgain;
    bool secondShown = false;
    DialogDriver question([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDNO); });
    DialogDriver saveAs(
        [&](const SeenDialog &dialog) {
            DialogDriver::Press(dialog, IDOK, [&dialog, &busy] {
                HWND box = GetDlgItem(dialog.window, 0x47C);  // cmb13
                if (!box)
                    box = GetDlgItem(dialog.window, 0x480);  // edt1
                SetWindowTextA(box, busy.c_str());
            });
            // The first dialog is gone: whatever comes now is the second.
            DialogDriver second(
                [&](const SeenDialog &again) {
                    secondShown = true;
                    // A dialog still settling fills its name box a moment
                    // after it shows.
                    for (int i = 0; i < 250 && offeredAgain.find("busy.bin") == std::string::npos; ++i) {
                        char name[MAX_PATH] = "";
                        HWND box = GetDlgItem(again.window, 0x47C);
                        if (!box)
                            box = GetDlgItem(again.window, 0x480);
                        GetWindowTextA(box, name, sizeof(name));
                        offeredAgain = name;
                        Sleep(20);
                    }
                    DialogDriver::Press(again, IDCANCEL);
                },
                "Tip");
            for (int i = 0; i < 1500 && !second.found(); ++i)
                Sleep(20);
        },
        "Tip");
    EXPECT_EQ(RAVLIX_SAVE_CANCELLED, Admit("http://127.0.0.1:9/exists.bin"));
    EXPECT_TRUE(secondShown);
    EXPECT_NE(std::string::npos, offeredAgain.find("busy.bin")) << offeredAgain;
    EXPECT_EQ(1, TaskCount());
}

TEST_F(AdmissionTest, ANewTaskTakesASectionNoSavedDownloadUses)
{
    WritePrivateProfileStringA("FILE1", "MULTHREAD", "1", "KELMORA.ini");
    WritePrivateProfileStringA("FILE1", "URLNAME", "http://127.0.0.1:9/saved", "KELMORA.ini");
    WritePrivateProfileStringA("FILE1", "DESTNAME", "saved.hhh", "KELMORA.ini");
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/new"));
    EXPECT_EQ(2, TaskSection(*gSlotTable.slots[0].task));
    PauseTask(0);
    EXPECT_EQ("http://127.0.0.1:9/saved", ProfileValue(SettingsFilePath(), "FILE1", "URLNAME"));
    EXPECT_EQ("http://127.0.0.1:9/new", ProfileValue(SettingsFilePath(), "FILE2", "URLNAME"));
}

// The record is there as soon as StartDownload returns, before the worker
// has made the temporary file: a host killed at that moment loses nothing.
TEST_F(AdmissionTest, AnAdmittedDownloadIsRecordedBeforeItsFirstByte)
{
    const char url[] = "http://127.0.0.1:9/early.bin";
    ASSERT_EQ(RAVLIX_ADMITTED, Admit(url, nullptr, 4));
    DownloadTask *task = gSlotTable.slots[0].task;
    std::string section = "FILE" + std::to_string(TaskSection(*task));
    EXPECT_EQ(url, ProfileValue(SettingsFilePath(), section, "URLNAME"));
    EXPECT_EQ(folder + "/early.bin.hhh", ProfileValue(SettingsFilePath(), section, "DESTNAME"));
    EXPECT_EQ("4", ProfileValue(SettingsFilePath(), section, "MULTHREAD"));
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), section, "OFFSET3"));

    // The host dies: its task goes without a save, and the next host resumes it.
    ASSERT_TRUE(WorkerEnded(0));
    CloseHandle(task->threadHandle);
    ReleaseClaim(task->sectionClaim);
    ReleaseClaim(task->pathClaim);
    delete task;
    ClearSlotTable();
    EXPECT_EQ(1, RestoreTasks(nullptr));
    ASSERT_NE(nullptr, gSlotTable.slots[0].task);
    EXPECT_STREQ(url, gSlotTable.slots[0].task->url);
    EXPECT_TRUE(WorkerEnded(0));
}

// Ten downloads wait in FILE1 .. FILE10: a new one still has a section of its
// own, its progress is saved there, and a later host resumes it.
TEST_F(AdmissionTest, ANewDownloadBesideTenSavedOnesIsSavedAndResumed)
{
    for (int section = 1; section <= 10; ++section) {
        std::string name = "FILE" + std::to_string(section);
        std::string url = "http://127.0.0.1:9/saved-" + std::to_string(section);
        WritePrivateProfileStringA(name.c_str(), "MULTHREAD", "1", "KELMORA.ini");
        WritePrivateProfileStringA(name.c_str(), "URLNAME", url.c_str(), "KELMORA.ini");
        WritePrivateProfileStringA(name.c_str(), "DESTNAME", (url.substr(19) + ".hhh").c_str(), "KELMORA.ini");
    }
    ASSERT_EQ(RAVLIX_ADMITTED, Admit("http://127.0.0.1:9/new.bin"));
    EXPECT_EQ(11, TaskSection(*gSlotTable.slots[0].task));
    // The host quits, as Quit does it.
    SaveAndCloseTask(0);
    EXPECT_EQ("http://127.0.0.1:9/new.bin", ProfileValue(SettingsFilePath(), "FILE11", "URLNAME"));
    EXPECT_EQ(folder + "/new.bin.hhh", ProfileValue(SettingsFilePath(), "FILE11", "DESTNAME"));

    // The next host finds FILE1 .. FILE10 taken by another host.
    ClearSlotTable();
    std::vector<HANDLE> elsewhere;
    for (int section = 1; section <= 10; ++section)
        elsewhere.push_back(ClaimResumeSection(section));
    EXPECT_EQ(1, RestoreTasks(nullptr));
    DownloadTask *restored = gSlotTable.slots[0].task;
    ASSERT_NE(nullptr, restored);
    EXPECT_STREQ("http://127.0.0.1:9/new.bin", restored->url);
    EXPECT_EQ(11, TaskSection(*restored));
    EXPECT_TRUE(WorkerEnded(0));
    for (HANDLE &claim : elsewhere)
        ReleaseClaim(claim);
}

// Run under code page 936 (tests/plugin/CMakeLists.txt). A download folder
// whose last character ends in the byte of "\\" still gets a separator
// before the file name: Windows would otherwise read that byte as one, and
// the temporary file would land beside the folder instead of inside it.
class DoubleByteAdmission : public AdmissionTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, sample = testing_support::SampleOfThisRun());
        AdmissionTest::SetUp();
    }

    const testing_support::DoubleByteSample *sample = nullptr;
};

TEST_F(DoubleByteAdmission, AFolderEndingInSuchACharacterHoldsTheTemporaryFile)
{
    const std::string b = sample->backslashTrail;
    const std::string downloads = folder + "\\" + b;
    ASSERT_TRUE(CreateDirectoryA(downloads.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    struct Case {
        std::string folderSetting, url, expected;
    } cases[] = {
        {downloads, "http://127.0.0.1:9/x", downloads + "/x.hhh"},
        {downloads + "\\", "http://127.0.0.1:9/x", downloads + "\\x.hhh"},
        {downloads, std::string("http://127.0.0.1:9/") + sample->backslashTrailUtf8, downloads + "/" + b + ".hhh"},
    };
    for (const Case &c : cases) {
        SetFolder(c.folderSetting.c_str());
        ASSERT_EQ(RAVLIX_ADMITTED, Admit(c.url.c_str())) << c.url;
        DownloadTask *task = gSlotTable.slots[0].task;
        ASSERT_NE(nullptr, task);
        EXPECT_EQ(c.expected, task->tempPath);
        // Where Windows puts the file: the folder's own name, resolved.
        char full[MAX_PATH];
        char *name = nullptr;
        ASSERT_NE(0u, GetFullPathNameA(task->tempPath, sizeof(full), full, &name));
        ASSERT_NE(nullptr, name);
        std::string parent(full, name - full - 1);
        EXPECT_EQ(downloads, parent);
        DiscardAllTasks();
    }
}

}  // namespace
