// Files checked against the digest their server or their host names, through
// the whole engine: the generated-content server names it in Repr-Digest or
// Digest (tests/peers/generated-server.py, routes /digest/...), nginx in an
// add_header, the host in the URL's fragment. Every file put in place is
// compared with its source; one that never matches is fetched twice and
// never put in place; a killed host's record keeps the digest.
#include <gtest/gtest.h>
#include <windows.h>

#include <bcrypt.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "peers/PeerFiles.h"
#include "store/HistoryStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/GeneratedBytes.h"
#include "tests/support/TaskHost.h"
#include "transfer/TaskFailure.h"
#include "transfer/TaskRecords.h"

using namespace testing_support;

namespace {

std::string Generated(const std::string &route, ULONGLONG size)
{
    return PeerUrl("RAVLIX_GENERATED_PORT", (route + "/gen/" + std::to_string(size) + ".bin").c_str());
}

// A key of this run's own for the server's counts.
std::string Key(const char *name)
{
    return name + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount());
}

// What the server counted under the digest route's key (CountedUnder).
long long DigestCount(const char *what, const std::string &key)
{
    return CountedUnder(what, "digest" + key);
}

std::vector<BYTE> GeneratedFile(ULONGLONG size, ULONGLONG shift = 0)
{
    std::vector<BYTE> bytes(size);
    GeneratedBytes().Fill(shift, bytes.data(), bytes.size());
    return bytes;
}

// The lowercase hex SHA-256 or SHA-512 of bytes, by the system's hashing.
std::string HexDigest(const wchar_t *algorithm, const std::vector<BYTE> &bytes)
{
    BCRYPT_ALG_HANDLE provider = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    BYTE value[64];
    DWORD length = 0, got = 0;
    std::string hex;
    if (BCryptOpenAlgorithmProvider(&provider, algorithm, nullptr, 0) >= 0 &&
        BCryptGetProperty(provider, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof(length), &got, 0) >=
            0 &&
        BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0) >= 0 &&
        BCryptHashData(hash, const_cast<BYTE *>(bytes.data()), static_cast<ULONG>(bytes.size()), 0) >= 0 &&
        BCryptFinishHash(hash, value, length, 0) >= 0) {
        char two[3];
        for (DWORD i = 0; i < length; ++i) {
            snprintf(two, sizeof(two), "%02x", value[i]);
            hex += two;
        }
    }
    if (hash)
        BCryptDestroyHash(hash);
    if (provider)
        BCryptCloseAlgorithmProvider(provider, 0);
    return hex;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string ContentsOf(const std::vector<BYTE> &bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

class DigestDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[MAX_PATH];
        HistoryFilePath(path, sizeof(path));
        DeleteFileA(path);
    }

    // Waits until the first slot's task stopped on its own, idle; false
    // when it did not, or was put in place instead.
    static bool WaitStoppedIdle(DWORD timeoutMs = 120000)
    {
        auto stopped = [] {
            DownloadTask *task = gSlotTable.slots[0].task;
            return task && LoadWord(task->state) == TaskIdle &&
                   (!task->threadHandle || WaitForSingleObject(task->threadHandle, 0) == WAIT_OBJECT_0);
        };
        TaskHost::PumpUntil([&] { return TaskHost::SlotEmpty(0) || stopped(); }, timeoutMs);
        return stopped();
    }
};

TEST_F(DigestDownloadTest, AFileThatMatchesItsDigestIsPutInPlaceWhole)
{
    std::string nginxSource;
    ASSERT_TRUE(ReadPeerFile("f67108864.bin", &nginxSource));
    std::string small;
    ASSERT_TRUE(ReadPeerFile("f1048576.bin", &small));
    std::vector<BYTE> small8 = GeneratedFile(8u << 20);
    std::vector<BYTE> bytes4999 = GeneratedFile(4999);
    std::string smallHex = HexDigest(BCRYPT_SHA256_ALGORITHM, std::vector<BYTE>(small.begin(), small.end()));
    std::string generatedHex = HexDigest(BCRYPT_SHA256_ALGORITHM, small8);
    struct Case {
        const char *name;
        std::string url;
        std::string source;
        int connections;
    } cases[] = {
        {"Repr-Digest sha-256, five connections", Generated("/digest/sha256", 8u << 20), ContentsOf(small8), 5},
        {"Repr-Digest sha-512, three connections", Generated("/digest/sha512", 8u << 20), ContentsOf(small8), 3},
        {"Digest SHA-256 of RFC 3230", Generated("/digest/legacy", 8u << 20), ContentsOf(small8), 5},
        {"one read of a small file", Generated("/digest/sha256", 4999), ContentsOf(bytes4999), 5},
        {"nginx's add_header, sha-512", PeerUrl("RAVLIX_NGINX_PORT", "/digest/f67108864.bin"), nginxSource, 5},
        // The host's digest wins over the server's, which is wrong here.
        {"the host's fragment over a wrong server", Generated("/digest/wrong", 8u << 20) + "#sha256=" + generatedHex,
         ContentsOf(small8), 4},
        {"a fragment in uppercase hex", PeerUrl("RAVLIX_NGINX_PORT", "/f1048576.bin") + "#SHA256=" + Upper(smallHex),
         small, 2},
        // Of the wrong length: no digest, and still no part of the name.
        {"a fragment of the wrong length", PeerUrl("RAVLIX_NGINX_PORT", "/f1048576.bin") + "#sha256=abc123", small, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(c.url, nullptr, c.connections));
        std::string tempName = gSlotTable.slots[0].task->tempPath;
        EXPECT_EQ(std::string::npos, tempName.find('#'));
        EXPECT_EQ(std::string::npos, std::string(gSlotTable.slots[0].task->url).find('#'));
        ASSERT_TRUE(TaskHost::WaitFinalized(0));
        EXPECT_EQ(1, TaskHost::completions);
        std::string path = tempName.substr(0, tempName.size() - 4);
        EXPECT_EQ("", Difference(path, c.source));
        DeleteFileA(path.c_str());
    }
}

// A file whose bytes never hash to the digest: fetched once, then once more
// from byte 0, then the task stops with the reason, nothing put in place,
// nothing kept, the host never told.
TEST_F(DigestDownloadTest, AFileThatNeverMatchesIsFetchedTwiceThenStopsWithItsReason)
{
    const ULONGLONG size = (6u << 20) + 5;
    std::string key = Key("never");
    std::string wrongHex(64, 'a');
    struct Case {
        const char *name;
        std::string route;  // of the generated server, its key included
        std::string key;
        ULONGLONG size;
        std::string fragment;
        int connections;
        int fetches;  // whole files fetched; 0: none, the first answer refused
    } cases[] = {
        {"the server's digest, five connections", "/digest/wrong-" + key, key, size, "", 5, 2},
        {"the host's digest, one stream of a small file", "/digest/sha256-" + key + "s", key + "s", 4999,
         "#sha256=" + wrongHex, 3, 2},
        // Two digests from the server, nothing written at all.
        {"the server names two", "/digest/two-" + key + "t", key + "t", size, "", 5, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Generated(c.route, c.size) + c.fragment, "never.bin", c.connections));
        int section = TaskSection(*gSlotTable.slots[0].task);
        ASSERT_TRUE(WaitStoppedIdle());
        EXPECT_EQ(FailureDigest, gSlotTable.slots[0].task->failure.kind);
        EXPECT_EQ(0, TaskHost::completions);
        EXPECT_FALSE(FileExists(host.PathOf("never.bin")));
        EXPECT_FALSE(FileExists(host.PathOf("never.bin.hhh")));
        std::string name = "FILE" + std::to_string(section);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(0u, GetPrivateProfileIntA(name.c_str(), ("OFFSET" + std::to_string(i)).c_str(), 0, "KELMORA.ini"));
        // Every fetch opens with one whole-file answer, the probe.
        EXPECT_EQ(c.fetches ? c.fetches : 1, DigestCount("whole", c.key));
        if (c.fetches > 0) {
            EXPECT_GE(DigestCount("sent", c.key), static_cast<long long>(c.fetches * c.size));
            int index;
            ASSERT_TRUE(FindHistoryRecord("never.bin.hhh", &index));
            HistoryRecord record = {};
            ASSERT_TRUE(ReadHistoryRecord(&record, index));
            EXPECT_STREQ(TaskHost::kMismatchReason, record.reason);
        }
    }
}

// The server's file is replaced after its first answer, under the same
// ETag: only the digest of the later answers tells. They are refused before
// a byte of them is written, and the task starts over on the new version,
// which it fetches once and puts in place.
TEST_F(DigestDownloadTest, ALaterAnswerWithAnotherDigestIsAnotherVersion)
{
    const ULONGLONG size = 12u << 20;
    std::string key = Key("changing");
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Generated("/digest/changing-" + key, size), "changing.bin", 5));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_EQ("", Difference(host.PathOf("changing.bin"), ContentsOf(GeneratedFile(size, 1))));
    // The new version's ranges came once: stitching them to the first
    // version's would have been caught by the whole file's hash only, at the
    // price of fetching them all again.
    long long ranged = DigestCount("ranged", key);
    EXPECT_GT(ranged, 0);
    EXPECT_LT(ranged, static_cast<long long>(size + size / 4));
    DeleteFileA(host.PathOf("changing.bin").c_str());
}

// A host killed in the middle keeps the host's digest in its record: the
// next host still checks the file, from byte 0 of what is on the disk.
TEST_F(DigestDownloadTest, ARestoredDownloadIsCheckedAgainstTheDigestItsRecordKept)
{
    const ULONGLONG size = 24u << 20;
    std::vector<BYTE> source = GeneratedFile(size);
    std::string rightHex = HexDigest(BCRYPT_SHA256_ALGORITHM, source);
    struct Case {
        const char *name;
        std::string hex;
        bool placed;
    } cases[] = {{"the right digest", rightHex, true}, {"a wrong digest", std::string(64, 'e'), false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TaskHost host;
        ChildProcess other("KillableHost.exe " + PacedUrl(size) + "#sha256=" + c.hex + " kept.bin 5");
        ASSERT_TRUE(other.started);
        bool progressed = TaskHost::PumpUntil(
            [] { return GetPrivateProfileIntA("FILE1", "OFFSET0", 0, "KELMORA.ini") > 1000000; }, 60000);
        other.Kill();
        ASSERT_TRUE(progressed);
        EXPECT_EQ("sha256:" + c.hex, ProfileValue(SettingsFilePath(), "FILE1", "DIGEST"));
        EXPECT_EQ("host", ProfileValue(SettingsFilePath(), "FILE1", "DIGESTFROM"));
        ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
        if (c.placed) {
            ASSERT_TRUE(TaskHost::WaitFinalized(0));
            EXPECT_EQ(1, TaskHost::completions);
            EXPECT_EQ("", DifferenceFromGenerated(host.PathOf("kept.bin"), 0, size, size));
        } else {
            ASSERT_TRUE(WaitStoppedIdle(180000));
            EXPECT_EQ(FailureDigest, gSlotTable.slots[0].task->failure.kind);
            EXPECT_EQ(0, TaskHost::completions);
            EXPECT_FALSE(FileExists(host.PathOf("kept.bin")));
        }
        DeleteFileA(host.PathOf("kept.bin").c_str());
    }
}

}  // namespace
