#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "store/HistoryStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/IniText.h"
#include "tests/support/ProgramFolder.h"

using namespace testing_support;

namespace {

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HistoryFilePath(path, sizeof(path));
        DeleteFileA(path);
    }
    void TearDown() override { DeleteFileA(path); }

    std::vector<std::string> Keys(int index) { return SectionKeys(path, "FILE" + std::to_string(index)); }
    std::string Value(int index, const char *key) { return ProfileValue(path, "FILE" + std::to_string(index), key); }

    char path[MAX_PATH];
};

TEST_F(HistoryStoreTest, FirstWriteCreatesFile0InKeyOrder)
{
    EXPECT_EQ(1, WriteHistoryRecord("a.bin", "2026-12-07 10:05", 1000001, HistoryFinished));
    EXPECT_EQ((std::vector<std::string>{"NAME", "TIME", "SIZE", "STATUS"}), Keys(0));
    EXPECT_EQ("a.bin", Value(0, "NAME"));
    EXPECT_EQ("2026-12-07 10:05", Value(0, "TIME"));
    EXPECT_EQ("1Mb", Value(0, "SIZE"));
    EXPECT_EQ("0", Value(0, "STATUS"));
    EXPECT_EQ(testing_support::ProgramFolder() + "Vorazuvud.ini", path);
}

TEST_F(HistoryStoreTest, ALaterWriteForTheSameNameChangesOnlyTheStatus)
{
    WriteHistoryRecord("Movie.AVI", "2026-01-01 00:00", 900, HistoryFinished);
    WriteHistoryRecord("other.bin", "2026-01-02 00:00", 2000, HistoryFinished);
    WriteHistoryRecord("movie.avi", "2027-05-05 05:05", 5000000, HistoryDeleted);
    EXPECT_EQ("Movie.AVI", Value(0, "NAME"));
    EXPECT_EQ("2026-01-01 00:00", Value(0, "TIME"));
    EXPECT_EQ("900b", Value(0, "SIZE"));
    EXPECT_EQ("4", Value(0, "STATUS"));
    EXPECT_EQ("2Kb", Value(1, "SIZE"));
    int index = -1;
    EXPECT_TRUE(FindHistoryRecord("OTHER.BIN", &index));
    EXPECT_EQ(1, index);
    EXPECT_FALSE(FindHistoryRecord("new.bin", &index));
    EXPECT_EQ(2, index);
}

TEST_F(HistoryStoreTest, SizeTexts)
{
    const unsigned long long sizes[] = {0, 1000, 1001, 1000000, 1000001, 5368709127ull, 1ull << 40};
    const char *texts[] = {"0b", "1000b", "1Kb", "1000Kb", "1Mb", "5368Mb", "1099511Mb"};
    for (int i = 0; i < 7; ++i) {
        WriteHistoryRecord(("f" + std::to_string(i)).c_str(), "t", sizes[i], HistoryFinished);
        EXPECT_EQ(texts[i], Value(i, "SIZE"));
    }
}

TEST_F(HistoryStoreTest, ReadSkipsDeletedAndIncompleteRecords)
{
    WriteHistoryRecord("done.bin", "2026-12-07 10:05", 10, HistoryFinished);
    WriteHistoryRecord("gone.bin", "2026-12-07 10:06", 10, HistoryDeleted);
    WritePrivateProfileStringA("FILE2", "NAME", "nosize.bin", path);
    WritePrivateProfileStringA("FILE2", "TIME", "t", path);
    WritePrivateProfileStringA("FILE2", "STATUS", "0", path);
    HistoryRecord record;
    EXPECT_TRUE(ReadHistoryRecord(&record, 0));
    EXPECT_STREQ("done.bin", record.name);
    EXPECT_STREQ("10b", record.size);
    EXPECT_STREQ("0", record.status);
    EXPECT_STREQ("2026-12-07 10:05", record.time);
    EXPECT_FALSE(ReadHistoryRecord(&record, 1));
    EXPECT_FALSE(ReadHistoryRecord(&record, 2));
    EXPECT_FALSE(ReadHistoryRecord(&record, 3));
}

TEST_F(HistoryStoreTest, AnEmptyNameInTheMiddleTakesTheNextRecord)
{
    WriteHistoryRecord("a", "t", 1, HistoryFinished);
    WriteHistoryRecord("b", "t", 1, HistoryFinished);
    WriteHistoryRecord("c", "t", 1, HistoryFinished);
    WritePrivateProfileStringA("FILE1", "NAME", "", path);
    int index = -1;
    EXPECT_FALSE(FindHistoryRecord("c", &index));
    EXPECT_EQ(1, index);
    WriteHistoryRecord("d", "t2", 1, HistoryFinished);
    EXPECT_EQ("d", Value(1, "NAME"));
}

// A full store keeps the newest records: the oldest goes, the others move up
// one section, in one step, and everything else in the file stays.
TEST_F(HistoryStoreTest, AFullStoreDropsItsOldestRecordForANewOne)
{
    std::string text = "[OPTIONS]\r\nKEEP=yes\r\n";
    for (int i = 0; i < kHistoryCapacity; ++i) {
        text += "[FILE" + std::to_string(i) + "]\r\nNAME=old-" + std::to_string(i) +
                "\r\nTIME=2026-01-01 00:00\r\nSIZE=1Kb\r\nSTATUS=0\r\n";
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    CloseHandle(file);

    WriteHistoryRecord("newest.bin", "2026-12-08 09:30", 2000, HistoryFinished);
    EXPECT_EQ("old-1", Value(0, "NAME"));
    EXPECT_EQ("old-999", Value(998, "NAME"));
    EXPECT_EQ("newest.bin", Value(999, "NAME"));
    EXPECT_EQ("2026-12-08 09:30", Value(999, "TIME"));
    EXPECT_EQ("2Kb", Value(999, "SIZE"));
    EXPECT_EQ("0", Value(999, "STATUS"));
    EXPECT_EQ((std::vector<std::string>{"NAME", "TIME", "SIZE", "STATUS"}), Keys(500));
    EXPECT_EQ("<absent>", Value(1000, "NAME"));
    EXPECT_EQ("yes", ProfileValue(path, "OPTIONS", "KEEP"));
    int index = -1;
    EXPECT_FALSE(FindHistoryRecord("old-0", &index));

    // A name the store holds changes its status in place.
    WriteHistoryRecord("old-500", "t", 1, HistoryDeleted);
    EXPECT_EQ("old-500", Value(499, "NAME"));
    EXPECT_EQ("4", Value(499, "STATUS"));
    EXPECT_EQ("newest.bin", Value(999, "NAME"));

    WriteHistoryRecord("newer.bin", "2026-12-08 09:31", 3000, HistoryFinished);
    EXPECT_EQ("old-2", Value(0, "NAME"));
    EXPECT_EQ("newest.bin", Value(998, "NAME"));
    EXPECT_EQ("newer.bin", Value(999, "NAME"));
}

// Two hosts beside each other, each finishing forty downloads as fast as it
// can: every finished download keeps a record of its own.
TEST_F(HistoryStoreTest, TwoHostsFinishingAtOnceKeepEveryRecord)
{
    ChildProcess one("HistoryWriter.exe one 40");
    ChildProcess two("HistoryWriter.exe two 40");
    ASSERT_TRUE(one.started && two.started);
    EXPECT_EQ(0u, one.Finish());
    EXPECT_EQ(0u, two.Finish());
    std::set<std::string> names;
    for (int index = 0; index < 100; ++index) {
        std::string name = Value(index, "NAME");
        if (name != "<absent>")
            names.insert(name);
    }
    EXPECT_EQ(80u, names.size());
}

}  // namespace
