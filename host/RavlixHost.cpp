// RavlixHost: a small host for the Ravlix plug-in. It loads Ravlix.dll from
// its own folder, shows the floating window, hands over the URLs of its
// command line and reports in plain lines what becomes of them. See --help.
#include <stdarg.h>
#include <stdio.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "DownloadPaths.h"
#include "HostOptions.h"
#include "RavlixLibrary.h"

namespace {

const UINT kCompletedMessage = WM_APP + 1;
const UINT kStopMessage = WM_APP + 2;
const UINT_PTR kPollTimer = 1;
// After a completion, until its file has its final name: the plug-in's window
// renames it on this thread a moment after the call, and the slow poll would
// keep a script waiting up to its whole period.
const UINT_PTR kCompletionTimer = 2;

struct Download {
    std::string url;
    std::string path;
    ULONGLONG startTick;
    bool done;
};

struct HostState {
    HostOptions options;
    std::vector<Download> downloads;
    int reported = 0;  // completions already printed
    int finished = 0;  // downloads whose final file is in place
};

HostState gHost;
std::atomic<int> gCompletions(0);
HWND gEvents = nullptr;

void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    vprintf(format, arguments);
    va_end(arguments);
    putchar('\n');
    // stdout is often a pipe to a script that reacts to each line.
    fflush(stdout);
}

// Runs on the thread that completed the transfer, never the UI thread, and
// before the file has its final name: count, and let the UI thread look.
void __cdecl OnDownloadComplete(int, int, int)
{
    gCompletions.fetch_add(1);
    PostMessageA(gEvents, kCompletedMessage, 0, 0);
}

// Runs on a thread of its own that the console starts for Ctrl+C or closing.
BOOL WINAPI OnConsoleControl(DWORD)
{
    PostMessageA(gEvents, kStopMessage, 0, 0);
    return TRUE;
}

const char *ResultInWords(int code)
{
    switch (code) {
    case RAVLIX_TABLE_FULL: return "three downloads are live already";
    case RAVLIX_ADMITTED: return "admitted";
    case RAVLIX_DUPLICATE_URL: return "a live download already fetches this URL (resumed from last time?)";
    case RAVLIX_INVALID_REQUEST: return "the URL, proxy or destination name was refused";
    case RAVLIX_SAVE_CANCELLED: return "the file exists and saving it under another name was cancelled";
    default: return "unknown result";
    }
}

// A download is finished once its completion was reported and the window has
// renamed the temporary file into place.
void LookForFinishedFiles()
{
    for (Download &download : gHost.downloads) {
        if (download.done || gCompletions.load() <= gHost.finished)
            continue;
        if (FileSize(download.path) < 0 || FileSize(download.path + ".hhh") >= 0)
            continue;
        download.done = true;
        ++gHost.finished;
        double seconds = (GetTickCount64() - download.startTick) / 1000.0;
        long long size = FileSize(download.path);
        Say("file %s %lld bytes %.2f s %.1f MiB/s", download.path.c_str(), size, seconds,
            seconds > 0 ? size / 1048576.0 / seconds : 0.0);
    }
    if (gHost.options.exitWhenDone && gHost.finished == static_cast<int>(gHost.downloads.size()))
        PostQuitMessage(0);
}

LRESULT CALLBACK EventProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kCompletedMessage:
        while (gHost.reported < gCompletions.load())
            Say("completed %d", ++gHost.reported);
        LookForFinishedFiles();
        if (gHost.finished < gCompletions.load())
            SetTimer(gEvents, kCompletionTimer, 10, nullptr);
        return 0;
    case WM_TIMER:
        LookForFinishedFiles();
        if (wParam == kCompletionTimer && gHost.finished >= gCompletions.load())
            KillTimer(gEvents, kCompletionTimer);
        return 0;
    case kStopMessage: PostQuitMessage(1); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

// A message-only window: messages posted to it are still dispatched while
// the plug-in runs a modal dialog, unlike messages posted to the thread.
HWND CreateEventWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = EventProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RavlixHostEvents";
    RegisterClassA(&windowClass);
    return CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         windowClass.hInstance, nullptr);
}

void HandOver(const RavlixLibrary &ravlix, DownloadController *controller)
{
    const HostOptions &options = gHost.options;
    for (const std::string &url : options.urls) {
        const char *name = options.name.empty() ? nullptr : options.name.c_str();
        int code = ravlix.start(controller, url.c_str(), options.proxy.c_str(), name, options.connections);
        std::string path = DestinationPath(url, options.name);
        if (code == RAVLIX_ADMITTED)
            Say("admitted %s -> %s (%d connections)", url.c_str(), path.c_str(), options.connections);
        else
            Say("refused %s: code %d, %s", url.c_str(), code, ResultInWords(code));
        if (code == RAVLIX_ADMITTED || code == RAVLIX_DUPLICATE_URL)
            gHost.downloads.push_back({url, path, GetTickCount64(), false});
    }
}

void RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    std::string error;
    if (!ParseHostOptions(argc, argv, &gHost.options, &error)) {
        fprintf(stderr, "%s\n\n%s", error.c_str(), HostUsage());
        return 2;
    }
    if (gHost.options.help) {
        fputs(HostUsage(), stdout);
        return 0;
    }
    RavlixLibrary ravlix;
    if (!ravlix.Load(&error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!gHost.options.folder.empty() && !SetDownloadFolder(gHost.options.folder)) {
        fprintf(stderr, "cannot use %s as the download folder\n", gHost.options.folder.c_str());
        return 2;
    }
    gEvents = CreateEventWindow();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    DownloadController *controller = ravlix.create();
    if (!controller) {
        fprintf(stderr, "CreateDownload returned no controller\n");
        return 2;
    }
    if (gHost.options.limit >= 0)
        ravlix.setSpeedCap(controller, static_cast<int>(gHost.options.limit));
    if (gHost.options.background >= 0)
        ravlix.setBackgroundMode(controller, gHost.options.background);
    ravlix.init(controller, OnDownloadComplete, 0);
    Say("window shown; downloads go to %s", DownloadFolder().c_str());
    HandOver(ravlix, controller);
    bool waitForDownloads = !gHost.options.exitWhenDone || !gHost.downloads.empty();
    if (waitForDownloads) {
        SetTimer(gEvents, kPollTimer, 200, nullptr);
        RunMessageLoop();
        KillTimer(gEvents, kPollTimer);
    }
    // Unfinished downloads are saved by ReleaseDownload and resume next time.
    ravlix.release(controller);
    Say("released: %d of %d downloads finished", gHost.finished, static_cast<int>(gHost.downloads.size()));
    DestroyWindow(gEvents);
    FreeLibrary(ravlix.module);
    bool allFinished = gHost.finished == static_cast<int>(gHost.downloads.size()) &&
                       gHost.downloads.size() == gHost.options.urls.size();
    return allFinished ? 0 : 1;
}
