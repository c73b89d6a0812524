// The steps of a sequence run, drawn from a seed before the run starts, so
// that a seed always names the same list whatever the timing did.
#pragma once

#include <string>
#include <vector>

enum class StepKind {
    Start,          // StartDownload of source `a` with `b` connections
    PauseTask,      // the window's Pause of task `a` (0..2)
    StartTask,      // its Start
    DeleteTask,     // its Delete
    PauseAll,
    StartAll,
    Quit,           // the window's Quit (answered with OK)
    Init,           // InitDownload (CreateDownload first after a release)
    Release,        // ReleaseDownload (answered with OK)
    Kill,           // the host process is killed; a new one starts, not yet initialised, after
                    // Tamper(`a`) was done to the temporary file number `b` of those there
    ChangeFile,     // the scripted server's file changes; `a` is the change of length
    ServerMood,     // the scripted server becomes ServerMood(`a`) (ChangingServer.h)
    CallbackDelay,  // the completion callback takes `a` ms from now on
    Wait,           // `a` ms of nothing
    AtCompletion,   // waits for the next completion callback, then does CompletionAction(`a`) (to task `b`)
    QuitThenStart,  // Quit and StartDownload of source `a` with `b` connections in one turn of the UI thread
    BlockNames,     // a folder is made at the final name of every unfinished download: each
                    // rename is refused until UnblockNames
    UnblockNames    // those folders go
};

// What the user does the moment a download completes. KillAfterRename kills
// the host once it has put the file in place and before it blanks the record:
// the test holds the settings file's update lock around that moment.
enum class CompletionAction { PauseAll, Quit, DeleteTask, PauseTask, Kill, Release, KillAfterRename };
const int kCompletionActionCount = 6;  // the ones drawn at first; a Kill may become KillAfterRename

// What a killed host's successor finds done to a temporary file meanwhile,
// as a user or a disk tool might do it.
enum class Tamper { None, Delete, Resize };

// Where a download comes from.
enum class Source {
    NginxTrickle,    // 1 MiB from nginx at 256 KiB/s per connection
    NginxSmall,      // 10007 bytes from nginx
    ScriptedRanges,  // the scripted server's changing file over HTTP/1.1 with ranges
    ScriptedPlain    // the same file from the scripted server as HTTP/1.0
};
const int kSourceCount = 4;

struct Step {
    StepKind kind;
    int a = 0;
    int b = 0;
};

// ServerMood's Away (ChangingServer.h), which the steps draw by number.
const int ServerMoodAway = 5;

std::vector<Step> DrawSteps(unsigned seed, int count);
std::string StepText(const Step &step);
