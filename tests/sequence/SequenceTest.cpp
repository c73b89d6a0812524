// Random interleavings of what a host and its user do (start, pause, delete,
// quit, release and init again, a killed host) with what servers do (change
// the file, drop, stall), with the invariants of a downloader checked after
// every step. RAVLIX_SEQUENCE_SEED picks the first seed, RAVLIX_SEQUENCE_STEPS
// the length, RAVLIX_SEQUENCE_RUNS how many seeds in a row, and
// RAVLIX_SEQUENCE_DRAIN_MS how long the closing drain may take; a failure
// prints the seed and the numbered steps, which the same seed draws again.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include "ChangingServer.h"
#include "SequenceChecks.h"
#include "SequenceRun.h"

namespace {

unsigned long Setting(const char *name, unsigned long fallback)
{
    const char *value = getenv(name);
    return value && *value ? strtoul(value, nullptr, 10) : fallback;
}

// The harness itself: a seed names one list of steps, and a file stitched
// from two versions of a source is told apart from either.
TEST(SequenceHarness, ASeedDrawsTheSameStepsAndAMixedFileIsNoVersion)
{
    std::vector<Step> first = DrawSteps(7, 200), again = DrawSteps(7, 200), other = DrawSteps(8, 200);
    std::string a, b, c;
    for (size_t i = 0; i < first.size(); ++i) {
        a += StepText(first[i]) + "\n";
        b += StepText(again[i]) + "\n";
        c += StepText(other[i]) + "\n";
    }
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);

    Versions versions = {std::make_shared<const std::string>(VersionBytes(1, 100000)),
                         std::make_shared<const std::string>(VersionBytes(2, 100000))};
    EXPECT_EQ("", CompareWithVersions(*versions[1], versions));
    std::string mixed = versions[0]->substr(0, 40000) + versions[1]->substr(40000);
    std::string difference = CompareWithVersions(mixed, versions);
    EXPECT_NE(std::string::npos, difference.find("version 1 (100000 bytes): first difference at 40000")) << difference;
    EXPECT_NE("", CompareWithVersions(versions[0]->substr(0, 99999), versions));
}

TEST(Sequence, InvariantsHoldThroughRandomInterleavings)
{
    unsigned first = static_cast<unsigned>(Setting("RAVLIX_SEQUENCE_SEED", 1));
    unsigned runs = static_cast<unsigned>(Setting("RAVLIX_SEQUENCE_RUNS", 1));
    RunOptions options;
    options.steps = static_cast<int>(Setting("RAVLIX_SEQUENCE_STEPS", 45));
    options.drainMs = Setting("RAVLIX_SEQUENCE_DRAIN_MS", 25000);
    for (unsigned seed = first; seed < first + runs; ++seed) {
        options.seed = seed;
        fprintf(stderr, "sequence seed %u, %d steps\n", seed, options.steps);
        RunReport report = RunSequence(options);
        fprintf(stderr, "seed %u: %s\n", seed, report.summary.c_str());
        EXPECT_TRUE(report.violations.empty()) << ReportText(seed, report);
    }
}

}  // namespace
