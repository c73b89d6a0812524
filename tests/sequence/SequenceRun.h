// One run of the sequence test: a host process driven through the steps a
// seed draws, against nginx and the changing scripted server, with the
// invariants checked after every step, then a drain in which the servers
// behave and every download that can still finish is given the time to.
#pragma once

#include <string>
#include <vector>

#include "SequenceSteps.h"

struct RunOptions {
    unsigned seed = 1;
    int steps = 60;
    unsigned long drainMs = 30000;
};

struct RunReport {
    std::vector<Step> steps;
    std::vector<std::string> violations;  // each names its step
    std::string summary;
};

RunReport RunSequence(const RunOptions &options);
// The seed, the numbered steps and the violations, for a failure message.
std::string ReportText(unsigned seed, const RunReport &report);
