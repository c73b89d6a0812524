#include "SequenceRun.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <memory>

#include "ChangingServer.h"
#include "HostPipe.h"
#include "SequenceChecks.h"
#include "peers/PeerFiles.h"
#include "res/ResourceIds.h"
#include "tests/support/IniText.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TestFolder.h"

namespace {

using testing_support::EmptyFolder;
using testing_support::ProgramFolder;

const DWORD kAnswerTimeoutMs = 40000;  // a freeze is reported long before: this only ends the wait
const unsigned long kSlowCallMs = 2000;
// A hold waits for whatever the UI thread is doing, sent messages included,
// which the host cannot time itself; the margin covers the pipes.
const DWORD kSlowHoldMs = 3000;
const size_t kScriptedSize = 3000000;
// The lock every update of the settings file takes, in every host process.
const char kProfileUpdateLock[] = "Local\\Ravlix.ProfileUpdate";
static_assert(static_cast<int>(ServerMood::Away) == ServerMoodAway, "the steps draw the moods by number");

// How long a live task may go without a byte while the servers behave.
const DWORD kNoProgressMs = 12000;
// How long a started task may take to move again by itself once the
// servers behave: a connection the server left silent ends after the
// component's idle limit (30 s), and the window's timer starts it again.
const DWORD kSelfRecoveryMs = 45000;



std::shared_ptr<const std::string> PeerFile(const char *name)
{
    auto contents = std::make_shared<std::string>();
    ReadPeerFile(name, contents.get());
    return contents;
}

class SequenceRun {
public:
    explicit SequenceRun(const RunOptions &options)
        : options_(options), server_(kScriptedSize, options.seed),
          checks_(DownloadFolder(), ProgramFolder() + "Vorazuvud.ini", [this](Source s) { return VersionsOf(s); })
    {
        trickleFile_ = PeerFile("f1048576.bin");
        smallFile_ = PeerFile("f10007.bin");
    }

    RunReport Run();

private:
    static std::string DownloadFolder()
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        return std::string(temp) + "ravlix-sequence";
    }

    Versions VersionsOf(Source source)
    {
        switch (source) {
        case Source::NginxTrickle: return {trickleFile_};
        case Source::NginxSmall: return {smallFile_};
        default: return server_.Versions();
        }
    }

    void Violation(const std::string &what) { report_.violations.push_back(Where() + what); }
    std::string Where() const
    {
        if (stepIndex_ < static_cast<int>(report_.steps.size()))
            return "step " + std::to_string(stepIndex_ + 1) + " (" + StepText(report_.steps[stepIndex_]) + "): ";
        return "drain: ";
    }

    bool StartHost();
    // Sends one command and returns the RESULT of its "ok MS RESULT"
    // answer; reports a slow call, and a host that never answers (then
    // killed and started again). answered is false in that case.
    long Call(const std::string &line, bool *answered = nullptr);
    // Commands joined by " ; ", run in one turn of the host's UI thread: the
    // results of those that answered.
    std::vector<long> CallEach(const std::string &line, size_t count);
    void ReadEvents(const std::vector<std::string> &events);
    void HostGone(const std::string &how);
    // Holds the host's UI thread (when one runs) and checks the invariants.
    void Check(bool noLiveTask);
    void Execute(const Step &step);
    // The "start" command of a new download; the download, which the checks
    // learn of once it is admitted (see Admit).
    std::string StartCommand(const Step &step, Download *download);
    void Admit(Download download, bool answered, long result);
    void StartDownload(const Step &step);
    // Returns whether no task can be live afterwards.
    bool AtCompletion(const Step &step);
    bool QuitThenStart(const Step &step);
    void KillAndRestart(Tamper tamper = Tamper::None, int which = 0);
    void TamperWithTemporaryFile(Tamper tamper, int which);
    // Kills the host once it has put a completed file in place and before it
    // blanks the record, by holding the settings file's update lock.
    void KillAfterRename();
    // Folders at the final names of the unfinished downloads, so that their
    // renames are refused, and their removal.
    void BlockNames();
    void UnblockNames();
    void Drain();
    // Reports every task live now that moves neither by itself nor to its
    // end within kSelfRecoveryMs.
    void CheckSelfRecovery();
    // Reports live tasks whose records have not moved for kNoProgressMs;
    // lastMove keeps, by section, the progress and when it last changed.
    void CheckProgress(std::map<int, std::pair<unsigned long long, DWORD>> *lastMove);

    RunOptions options_;
    ChangingServer server_;
    SequenceChecks checks_;
    std::shared_ptr<const std::string> trickleFile_, smallFile_;
    HostPipe host_;
    RunReport report_;
    int stepIndex_ = 0;
    std::vector<std::string> blockedNames_;  // folders BlockNames made
    bool uiMayBlock_ = false;  // the test itself holds the lock the host's UI thread may wait for
};

bool SequenceRun::StartHost()
{
    if (host_.Start(ProgramFolder() + "SequenceHost.exe"))
        return true;
    Violation("the host process did not start");
    return false;
}

void SequenceRun::ReadEvents(const std::vector<std::string> &events)
{
    for (const std::string &event : events) {
        fprintf(stderr, "  host: %s\n", event.c_str());
        if (event.compare(0, 9, "callback ") == 0) {
            std::string problem = checks_.CompletionProblem(event);
            if (!problem.empty())
                Violation(problem);
        }
        unsigned message = 0, wParam = 0;
        unsigned long spent = 0;
        if (sscanf(event.c_str(), "slow %u %u %lu", &message, &wParam, &spent) == 3 && !uiMayBlock_)
            Violation("the UI thread spent " + std::to_string(spent) + " ms on one message (" +
                      (message == WM_COMMAND ? "WM_COMMAND " + std::to_string(wParam)
                       : message == WM_TIMER ? std::string("WM_TIMER")
                                             : "message " + std::to_string(message)) +
                      ")");
    }
}

void SequenceRun::HostGone(const std::string &how)
{
    Violation(how);
    host_.Kill();
    Check(true);
    StartHost();
}

std::vector<long> SequenceRun::CallEach(const std::string &line, size_t count)
{
    std::vector<long> results;
    if (!host_.Running()) {
        HostGone("the host process ended by itself (a crash)");
        return results;
    }
    if (!host_.Send(line))
        return results;
    while (results.size() < count) {
        std::string answer;
        std::vector<std::string> events;
        bool got = host_.Await(&answer, &events, kAnswerTimeoutMs);
        ReadEvents(events);
        if (!got) {
            HostGone(host_.Running() ? "the host's UI thread did not answer \"" + line + "\" within 40 s"
                                     : std::string("the host process ended by itself (a crash)"));
            return results;
        }
        unsigned long spent = 0;
        long result = 0;
        if (sscanf(answer.c_str(), "ok %lu %ld", &spent, &result) != 2) {
            Violation("harness: the host answered \"" + answer + "\" to \"" + line + "\"");
            return results;
        }
        if (spent > kSlowCallMs)
            Violation("the UI-thread call \"" + line + "\"" +
                      (count > 1 ? " (part " + std::to_string(results.size() + 1) + ")" : std::string()) + " took " +
                      std::to_string(spent) + " ms");
        results.push_back(result);
    }
    return results;
}

long SequenceRun::Call(const std::string &line, bool *answered)
{
    std::vector<long> results = CallEach(line, 1);
    if (answered)
        *answered = !results.empty();
    return results.empty() ? -1 : results[0];
}

void SequenceRun::Check(bool noLiveTask)
{
    bool held = false;
    if (host_.Running()) {
        std::string answer;
        std::vector<std::string> events;
        DWORD start = GetTickCount();
        if (!host_.Send("hold") || !host_.Await(&answer, &events, kAnswerTimeoutMs) || answer != "held") {
            ReadEvents(events);
            HostGone("the host's UI thread did not come to a hold within 40 s");
            return;
        }
        DWORD spent = GetTickCount() - start;
        ReadEvents(events);
        if (spent > kSlowHoldMs)
            Violation("the host's UI thread took " + std::to_string(spent) +
                      " ms to take the next message (busy in one it had not returned from)");
        held = true;
    }
    std::vector<std::string> found;
    checks_.Check(noLiveTask, &found);
    for (const std::string &violation : found)
        Violation(violation);
    if (held)
        host_.Send("go");
}

std::string SequenceRun::StartCommand(const Step &step, Download *download)
{
    download->source = static_cast<Source>(step.a);
    download->name = "s" + std::to_string(stepIndex_ + 1) + ".bin";
    std::string tag = "?d=" + std::to_string(stepIndex_ + 1);
    switch (download->source) {
    case Source::NginxTrickle: download->url = PeerUrl("RAVLIX_NGINX_PORT", "/trickle/f1048576.bin") + tag; break;
    case Source::NginxSmall: download->url = PeerUrl("RAVLIX_NGINX_PORT", "/f10007.bin") + tag; break;
    case Source::ScriptedRanges: download->url = server_.Url("/r/" + download->name); break;
    case Source::ScriptedPlain: download->url = server_.Url("/s/" + download->name); break;
    }
    return "start " + download->url + " " + download->name + " " + std::to_string(step.b);
}

void SequenceRun::Admit(Download download, bool answered, long result)
{
    if (!answered) {
        // Admitted or not, nobody knows: its files and records are still
        // checked, but not missed.
        download.state = DownloadState::Lost;
        checks_.Admitted(download);
    } else if (result == 1) {
        checks_.Admitted(download);
    }
}

void SequenceRun::StartDownload(const Step &step)
{
    Download download;
    std::string command = StartCommand(step, &download);
    bool answered = false;
    long result = Call(command, &answered);
    Admit(download, answered, result);
}

void SequenceRun::KillAndRestart(Tamper tamper, int which)
{
    host_.Kill();
    Check(true);
    TamperWithTemporaryFile(tamper, which);
    StartHost();
}

void SequenceRun::TamperWithTemporaryFile(Tamper tamper, int which)
{
    std::vector<std::string> temps;
    for (const std::string &file : testing_support::FolderFiles(DownloadFolder()))
        if (file.size() > 4 && lstrcmpiA(file.c_str() + file.size() - 4, ".hhh") == 0)
            temps.push_back(DownloadFolder() + "\\" + file);
    if (tamper == Tamper::None || temps.empty())
        return;
    std::string path = temps[static_cast<size_t>(which) % temps.size()];
    fprintf(stderr, "  %s %s\n", tamper == Tamper::Delete ? "deleting" : "resizing", path.c_str());
    if (tamper == Tamper::Delete) {
        DeleteFileA(path.c_str());
        return;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    size.QuadPart = which % 2 ? size.QuadPart + 1000 : size.QuadPart / 2;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    checks_.Resized(path, size.QuadPart);
}

void SequenceRun::KillAfterRename()
{
    HANDLE lock = CreateMutexA(nullptr, FALSE, kProfileUpdateLock);
    if (!lock || WaitForSingleObject(lock, 10000) != WAIT_OBJECT_0) {
        if (lock)
            CloseHandle(lock);
        KillAndRestart();
        return;
    }
    uiMayBlock_ = true;
    std::vector<std::string> events;
    bool called = host_.AwaitEvent("callback", &events, 10000);
    ReadEvents(events);
    std::vector<std::string> before = testing_support::FolderFiles(DownloadFolder());
    if (called) {
        // The host's finalize now waits for the lock to write "all bytes in".
        // Handed over once: it writes, renames, and waits again to blank.
        Sleep(300);
        ReleaseMutex(lock);
        Sleep(0);
        WaitForSingleObject(lock, 10000);
        DWORD until = GetTickCount() + 2000;
        while (testing_support::FolderFiles(DownloadFolder()) == before && static_cast<LONG>(GetTickCount() - until) < 0)
            Sleep(5);
    }
    host_.Kill();
    ReleaseMutex(lock);
    CloseHandle(lock);
    uiMayBlock_ = false;
    Check(true);
    StartHost();
}

bool SequenceRun::AtCompletion(const Step &step)
{
    if (static_cast<CompletionAction>(step.a) == CompletionAction::KillAfterRename) {
        KillAfterRename();
        return false;
    }
    std::vector<std::string> events;
    if (!host_.AwaitEvent("callback", &events, 10000))
        fprintf(stderr, "  no completion within 10 s\n");
    ReadEvents(events);
    switch (static_cast<CompletionAction>(step.a)) {
    case CompletionAction::PauseAll: Call("command " + std::to_string(IDM_PAUSE_ALL)); break;
    case CompletionAction::Quit: return Call("command " + std::to_string(IDM_QUIT)) == 0;
    case CompletionAction::DeleteTask: Call("command " + std::to_string(IDM_DELETE_TASK1 + step.b)); break;
    case CompletionAction::PauseTask: Call("command " + std::to_string(IDM_PAUSE_TASK1 + step.b)); break;
    case CompletionAction::Kill: KillAndRestart(); break;
    case CompletionAction::Release: return Call("release") == 0;
    case CompletionAction::KillAfterRename: break;
    }
    return false;
}

bool SequenceRun::QuitThenStart(const Step &step)
{
    Download download;
    std::string command = StartCommand(step, &download);
    std::vector<long> results = CallEach("command " + std::to_string(IDM_QUIT) + " ; " + command, 2);
    Admit(download, results.size() == 2, results.size() == 2 ? results[1] : -1);
    // The new download may be live: no check for missing records now.
    return false;
}

void SequenceRun::Execute(const Step &step)
{
    bool noLiveTask = false;
    switch (step.kind) {
    case StepKind::Start: StartDownload(step); break;
    case StepKind::PauseTask: Call("command " + std::to_string(IDM_PAUSE_TASK1 + step.a)); break;
    case StepKind::StartTask: Call("command " + std::to_string(IDM_START_TASK1 + step.a)); break;
    case StepKind::DeleteTask: Call("command " + std::to_string(IDM_DELETE_TASK1 + step.a)); break;
    case StepKind::PauseAll: Call("command " + std::to_string(IDM_PAUSE_ALL)); break;
    case StepKind::StartAll: Call("command " + std::to_string(IDM_START_ALL)); break;
    case StepKind::Quit: noLiveTask = Call("command " + std::to_string(IDM_QUIT)) == 0; break;
    case StepKind::Init: Call("init"); break;
    case StepKind::Release: noLiveTask = Call("release") == 0; break;
    case StepKind::Kill: KillAndRestart(static_cast<Tamper>(step.a), step.b); break;
    case StepKind::ChangeFile: server_.Change(step.a); break;
    case StepKind::ServerMood: server_.SetMood(static_cast<ServerMood>(step.a)); break;
    case StepKind::CallbackDelay: Call("callback " + std::to_string(step.a)); break;
    case StepKind::Wait: Sleep(static_cast<DWORD>(step.a)); break;
    case StepKind::AtCompletion: noLiveTask = AtCompletion(step); break;
    case StepKind::QuitThenStart: noLiveTask = QuitThenStart(step); break;
    case StepKind::BlockNames: BlockNames(); break;
    case StepKind::UnblockNames: UnblockNames(); break;
    }
    Check(noLiveTask);
}

void SequenceRun::BlockNames()
{
    std::string folder = DownloadFolder();
    for (const Download &download : checks_.downloads()) {
        std::string path = folder + "\\" + download.name;
        if (download.state == DownloadState::Live && CreateDirectoryA(path.c_str(), nullptr))
            blockedNames_.push_back(path);
    }
}

void SequenceRun::UnblockNames()
{
    for (const std::string &path : blockedNames_)
        RemoveDirectoryA(path.c_str());
    blockedNames_.clear();
}

// The servers behave and the host is fast: every download the steps left
// unfinished is restored (Quit, then InitDownload, at most three at a time)
// and started, until all are done, the time is up, or a round brings nothing.
void SequenceRun::Drain()
{
    server_.SetMood(ServerMood::Normal);
    UnblockNames();
    Call("callback 0");
    // A host killed and never initialised has no window: a Quit would reach
    // nothing, and no timer would recover a stalled task. With the window,
    // the product gets every started task moving by itself.
    Call("init");
    Call("command " + std::to_string(IDM_START_ALL));
    CheckSelfRecovery();
    DWORD deadline = GetTickCount() + options_.drainMs;
    while (checks_.Count(DownloadState::Live) > 0 && static_cast<LONG>(GetTickCount() - deadline) < 0) {
        bool quit = Call("command " + std::to_string(IDM_QUIT)) == 0;
        Check(quit);
        Call("init");
        Call("command " + std::to_string(IDM_START_ALL));
        int live = checks_.Count(DownloadState::Live);
        DWORD lastChange = GetTickCount();
        std::map<int, std::pair<unsigned long long, DWORD>> lastMove;
        while (GetTickCount() - lastChange < kNoProgressMs + 1000 && static_cast<LONG>(GetTickCount() - deadline) < 0) {
            Sleep(1000);
            Check(false);
            CheckProgress(&lastMove);
            if (checks_.Count(DownloadState::Live) != live) {
                live = checks_.Count(DownloadState::Live);
                lastChange = GetTickCount();
            }
            if (live == 0)
                break;
        }
    }
}

void SequenceRun::CheckSelfRecovery()
{
    std::map<int, unsigned long long> start = checks_.RecordedProgress();
    std::vector<int> waiting = checks_.LiveSections();
    DWORD begin = GetTickCount();
    while (!waiting.empty() && GetTickCount() - begin < kSelfRecoveryMs) {
        Sleep(1000);
        Check(false);
        std::map<int, unsigned long long> progress = checks_.RecordedProgress();
        std::vector<int> live = checks_.LiveSections();
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                     [&](int section) {
                                         return std::find(live.begin(), live.end(), section) == live.end() ||
                                                progress[section] != start[section];
                                     }),
                      waiting.end());
    }
    for (int section : waiting)
        Violation("the started task of record FILE" + std::to_string(section) + " (" +
                  testing_support::ProfileValue(testing_support::SettingsFilePath(), "FILE" + std::to_string(section),
                                                "DESTNAME") +
                  ", " + std::to_string(start[section]) + " bytes recorded) did not move by itself within " +
                  std::to_string(kSelfRecoveryMs / 1000) + " s of the servers behaving");
}

// With the servers behaving, a live task either moves or stall recovery
// gets it moving: none waits for ever with bytes missing.
void SequenceRun::CheckProgress(std::map<int, std::pair<unsigned long long, DWORD>> *lastMove)
{
    std::map<int, unsigned long long> progress = checks_.RecordedProgress();
    for (int section : checks_.LiveSections()) {
        auto &move = (*lastMove)[section];
        if (move.second == 0 || move.first != progress[section]) {
            move = std::make_pair(progress[section], GetTickCount());
            continue;
        }
        if (GetTickCount() - move.second >= kNoProgressMs) {
            Violation("the live task of record FILE" + std::to_string(section) + " (" +
                      testing_support::ProfileValue(testing_support::SettingsFilePath(),
                                                    "FILE" + std::to_string(section), "DESTNAME") +
                      ", " + std::to_string(progress[section]) + " bytes recorded) has not moved for " +
                      std::to_string(kNoProgressMs / 1000) + " s while the servers behave");
            move.second = GetTickCount();
        }
    }
}

RunReport SequenceRun::Run()
{
    report_.steps = DrawSteps(options_.seed, options_.steps);
    std::string folder = DownloadFolder();
    CreateDirectoryA(folder.c_str(), nullptr);
    EmptyFolder(folder);
    // Folders an earlier run's BlockNames left, had it ended early.
    testing_support::RemoveEmptySubfolders(folder);
    DeleteFileA(testing_support::SettingsFilePath().c_str());
    DeleteFileA((ProgramFolder() + "Vorazuvud.ini").c_str());
    WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", (folder + "\\").c_str(), "KELMORA.ini");
    if (trickleFile_->empty() || smallFile_->empty()) {
        report_.violations.push_back("harness: the peers' files are missing (is RAVLIX_PEER_ROOT set?)");
        return report_;
    }
    if (!StartHost())
        return report_;
    for (stepIndex_ = 0; stepIndex_ < options_.steps; ++stepIndex_) {
        fprintf(stderr, "step %d: %s\n", stepIndex_ + 1, StepText(report_.steps[stepIndex_]).c_str());
        Execute(report_.steps[stepIndex_]);
    }
    Drain();
    host_.Kill();
    report_.summary = std::to_string(checks_.downloads().size()) + " downloads admitted: " +
                      std::to_string(checks_.Count(DownloadState::Finished)) + " finished, " +
                      std::to_string(checks_.Count(DownloadState::Deleted)) + " deleted, " +
                      std::to_string(checks_.Count(DownloadState::Live)) + " unfinished with a record, " +
                      std::to_string(checks_.Count(DownloadState::Lost)) + " lost or unknown, " +
                      std::to_string(checks_.Count(DownloadState::Wrong)) + " wrong";
    DeleteFileA(testing_support::SettingsFilePath().c_str());
    if (report_.violations.empty())
        EmptyFolder(folder);
    return report_;
}

}  // namespace

RunReport RunSequence(const RunOptions &options)
{
    SequenceRun run(options);
    return run.Run();
}

std::string ReportText(unsigned seed, const RunReport &report)
{
    std::string text = "seed " + std::to_string(seed) + ", " + std::to_string(report.steps.size()) + " steps:\n";
    for (size_t i = 0; i < report.steps.size(); ++i)
        text += "  " + std::to_string(i + 1) + ". " + StepText(report.steps[i]) + "\n";
    text += report.summary + "\n";
    for (const std::string &violation : report.violations)
        text += "VIOLATION " + violation + "\n";
    return text;
}
