// The host process of the sequence test. It loads Ravlix.dll from its own
// folder as any host does and runs the commands the test writes to its
// standard input, one line each, on its UI thread:
//   init                     InitDownload (after a release: CreateDownload first)
//   start URL NAME N         StartDownload(url, "", name, N)
//   command ID               WM_COMMAND ID sent to this process' floating window
//   release                  ReleaseDownload
//   callback MS              the completion callback sleeps MS from now on
//   hold                     answers "held" and stops its UI thread until "go"
// Commands joined by " ; " on one line run in one turn of the UI thread, as a
// host's own menu handler may call Quit and StartDownload together.
// Each command but hold is answered with "ok MS RESULT", MS being the time
// the UI thread spent in the call. Other lines it prints: "callback A B C
// NAME=SIZE:HASH ..." when the plug-in calls back, with every temporary file
// of the download folder as it is at that moment (its FNV-1a hash), so that
// the test can tell whether a download was complete when the host was told;
// "slow MESSAGE WPARAM MS" when the UI thread spent more
// than two seconds on one message, "dialog CAPTION" when it answers a
// confirmation or a message box with OK. The test kills it at any moment.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "RavlixLibrary.h"
#include "res/ResourceIds.h"

namespace {

const UINT kCommandMessage = WM_APP + 10;
const DWORD kSlowMessageMs = 2000;

CRITICAL_SECTION gOutputLock;
HANDLE gGoEvent;
HWND gEvents;
volatile LONG gCallbackDelayMs = 0;
RavlixLibrary gRavlix;
DownloadController *gController;

void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char *format, ...)
{
    EnterCriticalSection(&gOutputLock);
    va_list arguments;
    va_start(arguments, format);
    vprintf(format, arguments);
    va_end(arguments);
    putchar('\n');
    fflush(stdout);
    LeaveCriticalSection(&gOutputLock);
}

// "NAME=SIZE:HASH" for every temporary file of the download folder.
std::string TemporaryFiles()
{
    char folder[MAX_PATH] = "";
    GetPrivateProfileStringA("DOWNLOAD", "DESTNPATH", "", folder, sizeof(folder), "KELMORA.ini");
    std::string list, base = folder;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*.hhh").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return list;
    do {
        HANDLE file = CreateFileA((base + found.cFileName).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        unsigned long long hash = 1469598103934665603ull, size = 0;
        std::string buffer(1 << 16, '\0');
        DWORD got;
        while (ReadFile(file, &buffer[0], static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
            for (DWORD i = 0; i < got; ++i)
                hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
            size += got;
        }
        CloseHandle(file);
        char entry[MAX_PATH + 64];
        snprintf(entry, sizeof(entry), " %s=%llu:%016llx", found.cFileName, size, hash);
        list += entry;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return list;
}

// A worker thread of the plug-in; a slow host makes it wait here.
void __cdecl OnComplete(int a, int b, int c)
{
    Say("callback %d %d %d%s", a, b, c, TemporaryFiles().c_str());
    Sleep(static_cast<DWORD>(gCallbackDelayMs));
}

struct WindowSearch {
    const char *className;
    HWND found;
};

BOOL CALLBACK FindOwnWindow(HWND window, LPARAM context)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64];
    if (process != GetCurrentProcessId() || !GetClassNameA(window, className, sizeof(className)) ||
        strcmp(className, search->className) != 0)
        return TRUE;
    if (strcmp(search->className, "#32770") == 0 && !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND OwnWindow(const char *className)
{
    WindowSearch search = {className, nullptr};
    EnumWindows(FindOwnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The user who always confirms: Pause All before Quit and ReleaseDownload ask,
// and a StartDownload beyond three live downloads says so in a message box.
// Pressed again while the dialog stays, since a dialog still settling may
// lose the first press.
DWORD WINAPI ConfirmDialogs(void *)
{
    HWND last = nullptr;
    for (;;) {
        if (HWND dialog = OwnWindow("#32770")) {
            if (dialog != last) {
                char caption[256] = "";
                GetWindowTextA(dialog, caption, sizeof(caption));
                Say("dialog %s", caption);
                last = dialog;
            }
            // The confirmation ignores IDOK; a message box has only that button.
            PostMessageA(dialog, WM_COMMAND, IDC_CONFIRM_OK, 0);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        Sleep(40);
    }
}

// Hands each line to the UI thread; "go" releases a hold, which the UI
// thread waits for without reading its queue.
DWORD WINAPI ReadCommands(void *)
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string line;
    char c;
    DWORD count;
    while (ReadFile(input, &c, 1, &count, nullptr) && count == 1) {
        if (c == '\r')
            continue;
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line == "go")
            SetEvent(gGoEvent);
        else
            PostMessageA(gEvents, kCommandMessage, 0, reinterpret_cast<LPARAM>(new std::string(line)));
        line.clear();
    }
    // The test has gone: so does this host.
    ExitProcess(3);
}

DWORD SendToFloatingWindow(int id)
{
    HWND window = OwnWindow("VexaDownLoad");
    if (!window)
        return 0xFFFFFFFF;
    SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
    return 0;
}

void Run(const std::string &line)
{
    char verb[32] = "", url[1024] = "", name[MAX_PATH] = "";
    int number = 0;
    sscanf(line.c_str(), "%31s", verb);
    DWORD start = GetTickCount();
    long result = 0;
    if (strcmp(verb, "hold") == 0) {
        Say("held");
        WaitForSingleObject(gGoEvent, INFINITE);
        return;
    } else if (strcmp(verb, "init") == 0) {
        if (!gController)
            gController = gRavlix.create();
        result = gRavlix.init(gController, OnComplete, 0);
    } else if (strcmp(verb, "start") == 0 && sscanf(line.c_str(), "%*s %1023s %259s %d", url, name, &number) == 3) {
        result = gRavlix.start(gController, url, "", name, number);
    } else if (strcmp(verb, "command") == 0 && sscanf(line.c_str(), "%*s %d", &number) == 1) {
        result = static_cast<long>(SendToFloatingWindow(number));
    } else if (strcmp(verb, "release") == 0) {
        if (gController)
            gRavlix.release(gController);
        result = gController ? 0 : -1;
        gController = nullptr;
    } else if (strcmp(verb, "callback") == 0 && sscanf(line.c_str(), "%*s %d", &number) == 1) {
        InterlockedExchange(&gCallbackDelayMs, number);
    } else {
        Say("error unknown command %s", line.c_str());
        return;
    }
    Say("ok %lu %ld", GetTickCount() - start, result);
}

void RunEach(const std::string &line)
{
    size_t from = 0;
    for (size_t at; (at = line.find(" ; ", from)) != std::string::npos; from = at + 3)
        Run(line.substr(from, at - from));
    Run(line.substr(from));
}

LRESULT CALLBACK EventProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kCommandMessage) {
        std::string *line = reinterpret_cast<std::string *>(lParam);
        RunEach(*line);
        delete line;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main()
{
    InitializeCriticalSection(&gOutputLock);
    std::string error;
    if (!gRavlix.Load(&error)) {
        Say("error %s", error.c_str());
        return 2;
    }
    gGoEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = EventProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SequenceHostEvents";
    RegisterClassA(&windowClass);
    // Message-only: posted commands still arrive while the plug-in runs a modal dialog.
    gEvents = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                            nullptr);
    // A host that has created its controller but not yet called InitDownload.
    gController = gRavlix.create();
    CloseHandle(CreateThread(nullptr, 0, ConfirmDialogs, nullptr, 0, nullptr));
    CloseHandle(CreateThread(nullptr, 0, ReadCommands, nullptr, 0, nullptr));
    Say("ready");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DWORD start = GetTickCount();
        TranslateMessage(&message);
        DispatchMessageA(&message);
        DWORD spent = GetTickCount() - start;
        // The test's own commands report their time themselves (and a hold is long on purpose).
        if (spent > kSlowMessageMs && !(message.hwnd == gEvents && message.message == kCommandMessage))
            Say("slow %u %u %lu", message.message, static_cast<unsigned>(message.wParam), spent);
    }
    return 0;
}
