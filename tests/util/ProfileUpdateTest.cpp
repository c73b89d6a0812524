// Profile files updated by several processes at once, and by processes
// killed in the middle of an update: readers see whole files only, no
// update is half done, and no update is lost.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "util/ProfileUpdate.h"

using testing_support::ChildProcess;

namespace {

// ProfileWriter.exe updating a section of file count times (0: until killed).
ChildProcess Writer(const std::string &file, const char *section, int count)
{
    return ChildProcess("ProfileWriter.exe \"" + file + "\" " + section + " " + std::to_string(count));
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
        DeleteFileA((file + ".new").c_str());
    }

    bool WriteOne(const char *section, const char *key, const char *value) const
    {
        ProfileUpdate update(file.c_str());
        update.Write(section, key, value);
        return update.Commit();
    }

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
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((file + ".new").c_str())) << "no scratch copy is left";
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
    // The scratch copy a killed writer may leave is not read as the file.
    EXPECT_FALSE(Read("FILE1", "KEY0").empty());
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

}  // namespace
