// The digest's pure decisions: which digest a task checks its file against,
// which answers tell of another file, and how far the hash may follow the
// bytes that are in.
#include <gtest/gtest.h>

#include <vector>

#include "transfer/DigestChoice.h"
#include "transfer/HashFrontier.h"

namespace {

FileDigest Digest(LONG algorithm, BYTE first)
{
    FileDigest digest = {};
    digest.algorithm = algorithm;
    for (int i = 0; i < DigestLength(algorithm); ++i)
        digest.bytes[i] = static_cast<BYTE>(first + i);
    return digest;
}

const FileDigest kNone = {};
const FileDigest kA = Digest(DigestSha256, 1);
const FileDigest kB = Digest(DigestSha256, 2);
const FileDigest kLong = Digest(DigestSha512, 1);

TEST(DigestChoice, TheHostWinsAndTheServerIsHeldToItsFirstWord)
{
    struct Case {
        const char *name;
        HeldDigest held;
        FileDigest said;
        bool sameVersion;
        bool otherFile;     // ProbeTellsOtherFile
        HeldDigest chosen;  // ChooseDigest
    } cases[] = {
        {"nothing anywhere", {kNone, DigestFromNobody}, kNone, false, false, {kNone, DigestFromNobody}},
        {"a first answer's digest", {kNone, DigestFromNobody}, kA, false, false, {kA, DigestFromServer}},
        {"the host's against another from the server", {kA, DigestFromHost}, kB, true, false, {kA, DigestFromHost}},
        {"the host's, the server silent", {kA, DigestFromHost}, kNone, false, false, {kA, DigestFromHost}},
        {"the server says the same again", {kA, DigestFromServer}, kA, true, false, {kA, DigestFromServer}},
        // A restored record's server digest that the server now contradicts:
        // the bytes on the disk are of another file.
        {"the server says another", {kA, DigestFromServer}, kB, false, true, {kB, DigestFromServer}},
        {"another algorithm cannot be compared", {kA, DigestFromServer}, kLong, true, false,
         {kLong, DigestFromServer}},
        {"the server silent on the same version", {kA, DigestFromServer}, kNone, true, false, {kA, DigestFromServer}},
        {"the server silent on a new version", {kA, DigestFromServer}, kNone, false, false, {kNone, DigestFromNobody}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.otherFile, ProbeTellsOtherFile(c.held, c.said));
        HeldDigest chosen = ChooseDigest(c.held, c.said, c.sameVersion);
        EXPECT_EQ(c.chosen.source, chosen.source);
        EXPECT_TRUE(SameDigest(c.chosen.digest, chosen.digest));
    }
}

TEST(DigestChoice, ALaterAnswerThatNamesAnotherDigestIsAnotherFile)
{
    struct Case {
        const char *name;
        FileDigest first;
        DigestFinding finding;
        FileDigest said;
        bool otherFile;
    } cases[] = {
        {"the same digest", kA, DigestFound, kA, false},
        {"another digest", kA, DigestFound, kB, true},
        {"none named", kA, DigestAbsent, kNone, false},
        {"two named at once", kA, DigestConflict, kNone, true},
        {"another algorithm only", kA, DigestFound, kLong, false},
        {"the first named none", kNone, DigestFound, kB, false},
        {"the first named none, this one two", kNone, DigestConflict, kNone, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.otherFile, AnswerTellsOtherFile(c.first, c.finding, c.said)) << c.name;
}

TEST(HashFrontier, TheHashFollowsTheBytesFromByteZeroWithoutAGap)
{
    const ULONGLONG kPast4GiB = (1ull << 32) + 12345;
    struct Case {
        const char *name;
        std::vector<StoredPiece> spans;
        ULONGLONG end;
    } cases[] = {
        {"nothing in", {}, 0},
        {"the first segment under way", {{0, 0, 700}, {1, 1000, 1300}}, 700},
        {"nothing from byte 0", {{1, 1000, 2000}, {2, 2000, 3000}}, 0},
        {"segments that touch, out of order", {{2, 2000, 2500}, {0, 0, 1000}, {1, 1000, 2000}}, 2500},
        {"a gap of one byte", {{0, 0, 999}, {1, 1000, 2000}}, 999},
        {"a piece inside a segment's bytes", {{0, 0, 1000}, {5, 200, 400}, {1, 1000, 1500}}, 1500},
        {"pieces beyond a cut segment", {{0, 0, 300}, {5, 300, 800}, {6, 800, 1000}, {1, 1000, 1200}}, 1200},
        {"an empty range at byte 0", {{0, 0, 0}, {1, 0, 50}}, 50},
        {"past 4 GiB", {{0, 0, 1ull << 31}, {1, 1ull << 31, 1ull << 32}, {2, 1ull << 32, kPast4GiB}}, kPast4GiB},
    };
    for (Case &c : cases)
        EXPECT_EQ(c.end, GaplessEnd(c.spans.data(), static_cast<int>(c.spans.size()))) << c.name;
}

}  // namespace
