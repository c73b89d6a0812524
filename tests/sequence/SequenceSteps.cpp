#include "SequenceSteps.h"

#include <random>

namespace {

// What the host process is, as far as the steps alone decide it.
struct HostShape {
    bool controller = true;  // a new host creates its controller first
    bool initialised = false;
    bool quit = false;
};

struct Weighted {
    StepKind kind;
    int weight;
};

StepKind DrawKind(std::mt19937 &random, const HostShape &host)
{
    // A host that has no window yet, or whose window was quit, comes back soon.
    int initWeight = (!host.initialised || host.quit) ? 14 : 2;
    const Weighted table[] = {
        {StepKind::Start, 22},       {StepKind::PauseTask, 8},     {StepKind::StartTask, 8},
        {StepKind::DeleteTask, 4},   {StepKind::PauseAll, 4},      {StepKind::StartAll, 5},
        {StepKind::Quit, 3},         {StepKind::Init, initWeight}, {StepKind::Release, host.controller ? 2 : 0},
        {StepKind::Kill, 3},         {StepKind::ChangeFile, 3},    {StepKind::ServerMood, 4},
        {StepKind::CallbackDelay, 3}, {StepKind::Wait, 16},       {StepKind::AtCompletion, 6},
        {StepKind::QuitThenStart, 2},
    };
    int total = 0;
    for (const Weighted &entry : table)
        total += entry.weight;
    int pick = static_cast<int>(random() % static_cast<unsigned>(total));
    for (const Weighted &entry : table) {
        if (pick < entry.weight)
            return entry.kind;
        pick -= entry.weight;
    }
    return StepKind::Wait;
}

const char *SourceName(int source)
{
    switch (static_cast<Source>(source)) {
    case Source::NginxTrickle: return "nginx-trickle-1MiB";
    case Source::NginxSmall: return "nginx-10007";
    case Source::ScriptedRanges: return "scripted-ranges";
    case Source::ScriptedPlain: return "scripted-http1.0";
    }
    return "?";
}

}  // namespace

std::vector<Step> DrawSteps(unsigned seed, int count)
{
    // Kinds and their first draws come from random, as they always did, so
    // that a seed names the interleaving it named before; the faults added
    // since (moods, tampering, the kill after a rename) come from variation,
    // and the later ones (a server that is away, refused renames) from one
    // draw of extra a step.
    std::mt19937 random(seed), variation(seed ^ 0x9E3779B9u), extra(seed ^ 0x5851F42Du);
    HostShape host;
    bool blocked = false;
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i) {
        Step step;
        step.kind = DrawKind(random, host);
        unsigned roll = static_cast<unsigned>(extra());
        switch (step.kind) {
        case StepKind::Start:
            step.a = static_cast<int>(random() % kSourceCount);
            step.b = 1 + static_cast<int>(random() % 5);
            break;
        case StepKind::PauseTask:
        case StepKind::StartTask:
        case StepKind::DeleteTask: step.a = static_cast<int>(random() % 3); break;
        case StepKind::Quit: host.quit = true; break;
        case StepKind::Init:
            host = HostShape();
            host.initialised = true;
            break;
        case StepKind::Release:
            host.controller = false;
            host.initialised = false;
            break;
        case StepKind::Kill:
            host = HostShape();
            step.a = static_cast<int>(variation() % 3);
            step.b = static_cast<int>(variation() % 8);
            break;
        case StepKind::ChangeFile: step.a = random() % 4 == 0 ? 1000 : 0; break;
        case StepKind::ServerMood:
            step.a = static_cast<int>(random() % 3);
            if (variation() % 2 == 0)
                step.a = 3 + static_cast<int>(variation() % 2);
            if (roll % 4 == 0)
                step.a = static_cast<int>(ServerMoodAway);
            break;
        case StepKind::CallbackDelay: {
            const int delays[] = {0, 300, 1500};
            step.a = delays[random() % 3];
            break;
        }
        case StepKind::Wait:
            step.a = 100 + static_cast<int>(random() % 1900);
            // Some waits become the making or the removal of folders that
            // hold the unfinished downloads' names.
            if (!blocked && roll % 6 == 0)
                step.kind = StepKind::BlockNames;
            else if (blocked && roll % 3 == 0)
                step.kind = StepKind::UnblockNames;
            if (step.kind != StepKind::Wait)
                blocked = step.kind == StepKind::BlockNames;
            break;
        case StepKind::AtCompletion:
            step.a = static_cast<int>(random() % kCompletionActionCount);
            step.b = static_cast<int>(random() % 3);
            switch (static_cast<CompletionAction>(step.a)) {
            case CompletionAction::Quit: host.quit = true; break;
            case CompletionAction::Kill:
                host = HostShape();
                if (variation() % 2 == 0)
                    step.a = static_cast<int>(CompletionAction::KillAfterRename);
                break;
            case CompletionAction::Release:
                host.controller = false;
                host.initialised = false;
                break;
            default: break;
            }
            break;
        case StepKind::QuitThenStart:
            step.a = static_cast<int>(random() % kSourceCount);
            step.b = 1 + static_cast<int>(random() % 5);
            host.quit = true;
            break;
        default: break;
        }
        steps.push_back(step);
    }
    return steps;
}

std::string StepText(const Step &step)
{
    switch (step.kind) {
    case StepKind::Start:
        return std::string("StartDownload ") + SourceName(step.a) + " connections " + std::to_string(step.b);
    case StepKind::PauseTask: return "Pause task " + std::to_string(step.a + 1);
    case StepKind::StartTask: return "Start task " + std::to_string(step.a + 1);
    case StepKind::DeleteTask: return "Delete task " + std::to_string(step.a + 1);
    case StepKind::PauseAll: return "Pause All";
    case StepKind::StartAll: return "Start All";
    case StepKind::Quit: return "Quit";
    case StepKind::Init: return "InitDownload";
    case StepKind::Release: return "ReleaseDownload";
    case StepKind::Kill: {
        const char *tampers[] = {"", ", after deleting temporary file ", ", after resizing temporary file "};
        std::string text = std::string("kill the host process, start a new one") + tampers[step.a % 3];
        return step.a % 3 ? text + "#" + std::to_string(step.b + 1) + " of those there" : text;
    }
    case StepKind::ChangeFile: return step.a ? "server file changes, 1000 bytes longer" : "server file changes, same length";
    case StepKind::ServerMood: {
        const char *moods[] = {"normal", "dropping connections", "stalling connections",
                               "refusing ranges and every other probe", "sending each answer a burst",
                               "away (closing every connection unanswered)"};
        return std::string("server ") + moods[step.a % 6];
    }
    case StepKind::BlockNames: return "a folder takes the final name of every unfinished download";
    case StepKind::UnblockNames: return "the folders that took the final names go";
    case StepKind::CallbackDelay: return "host callback takes " + std::to_string(step.a) + " ms";
    case StepKind::Wait: return "wait " + std::to_string(step.a) + " ms";
    case StepKind::AtCompletion: {
        const char *actions[] = {"Pause All", "Quit", "Delete task ", "Pause task ", "kill the host process",
                                 "ReleaseDownload", "kill the host process between the rename and the record"};
        std::string action = actions[step.a % 7];
        if (action.back() == ' ')
            action += std::to_string(step.b + 1);
        return "at the next completion callback: " + action;
    }
    case StepKind::QuitThenStart:
        return std::string("Quit, and in the same turn StartDownload ") + SourceName(step.a) + " connections " +
               std::to_string(step.b);
    }
    return "?";
}
