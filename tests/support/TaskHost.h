// A stand-in for the plug-in's floating window while the transfer engine is
// tested on its own: a window of class "VexaDownLoad" on the test's thread
// that hands the task-complete command to FinalizeTask and the
// digest-verdict command to TakeDigestVerdict, a controller, and a download
// folder of the test's own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "plugin/DownloadAdmission.h"
#include "plugin/DownloadController.h"
#include "tests/support/IniText.h"
#include "tests/support/TaskTable.h"
#include "tests/support/WholeFile.h"
#include "tests/support/TestFolder.h"
#include "transfer/DigestVerdicts.h"
#include "transfer/StallRecovery.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskHalt.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskWindow.h"

namespace testing_support {

class TaskHost {
public:
    // fresh: start from an empty settings file and slot table (a host that
    // restores what an earlier one left keeps them).
    explicit TaskHost(bool fresh = true, const char *folderName = "ravlix-downloads")
    {
        if (fresh)
            ResetSettingsAndTasks();
        completions = 0;
        finalizations = 0;
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = WindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassA(&windowClass);
        window = CreateWindowA(kWindowClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr),
                               nullptr);
        controller.window = window;
        controller.progressCallback = CountCompletion;
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + folderName;
        CreateDirectoryA(folder.c_str(), nullptr);
        if (fresh)
            EmptyFolder(folder);
        WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", (folder + "\\").c_str(), "KELMORA.ini");
    }

    ~TaskHost()
    {
        ResetSettingsAndTasks();
        DestroyWindow(window);
    }

    TaskHost(const TaskHost &) = delete;
    TaskHost &operator=(const TaskHost &) = delete;

    int Start(const std::string &url, const char *name, int connections)
    {
        if (name)
            DeleteFileA(PathOf(name).c_str());
        return AdmitDownload(&controller, url.c_str(), "", name, connections);
    }

    std::string PathOf(const char *name) const { return folder + "\\" + name; }

    // Runs the window's messages until done() holds; false on time-out.
    static bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs = 120000)
    {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        return true;
    }

    static bool SlotEmpty(int slot) { return gSlotTable.slots[slot].task == nullptr; }

    static bool AllSlotsEmpty() { return SlotEmpty(0) && SlotEmpty(1) && SlotEmpty(2); }

    // Waits until the slot's task is finalized (its slot empties).
    static bool WaitFinalized(int slot, DWORD timeoutMs = 120000)
    {
        return PumpUntil([slot] { return SlotEmpty(slot); }, timeoutMs);
    }

    // The same, with the stall recovery the floating window's timer runs
    // (here twice a second) driving tasks that stopped moving.
    static bool WaitFinalizedWithRecovery(int slot, DWORD timeoutMs = 120000)
    {
        DWORD lastRecovery = GetTickCount();
        return PumpUntil(
            [slot, &lastRecovery] {
                if (GetTickCount() - lastRecovery >= 500) {
                    RecoverStalledTasks();
                    lastRecovery = GetTickCount();
                }
                return SlotEmpty(slot);
            },
            timeoutMs);
    }

    static bool WaitState(int slot, LONG state, DWORD timeoutMs = 60000)
    {
        return PumpUntil(
            [slot, state] {
                DownloadTask *task = gSlotTable.slots[slot].task;
                return task && LoadWord(task->state) == state && (!task->threadHandle ||
                                                                  WaitForSingleObject(task->threadHandle, 0) == 0);
            },
            timeoutMs);
    }

    static bool WaitReceived(int slot, DWORD bytes, DWORD timeoutMs = 60000)
    {
        return PumpUntil([slot, bytes] { return ReceivedBytes(slot) >= bytes; }, timeoutMs);
    }

    static volatile LONG completions;
    static volatile LONG finalizations;
    // What the window's string table says, in the history of a file that
    // never matched its digest.
    static constexpr const char *kMismatchReason = "file does not match its digest";
    DownloadController controller;
    HWND window;
    std::string folder;

private:
    static void __cdecl CountCompletion(int, int, int) { InterlockedIncrement(&completions); }

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COMMAND && LOWORD(wParam) == kCommandTaskComplete) {
            InterlockedIncrement(&finalizations);
            FinalizeTask(static_cast<int>(lParam));
            return 0;
        }
        if (message == WM_COMMAND && LOWORD(wParam) == kCommandDigestVerdict) {
            TakeDigestVerdict(static_cast<int>(lParam), kMismatchReason);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

inline volatile LONG TaskHost::completions = 0;
inline volatile LONG TaskHost::finalizations = 0;

// The file's bytes, or "<missing>".
inline std::string FileContents(const std::string &path)
{
    return ReadWholeFile(path, "<missing>");
}

// Empty when the file holds exactly expected, else what differs.
inline std::string Difference(const std::string &path, const std::string &expected)
{
    std::string got = FileContents(path);
    if (got == expected)
        return std::string();
    if (got == "<missing>")
        return path + " is missing";
    size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at])
        ++at;
    return path + ": " + std::to_string(got.size()) + " bytes instead of " + std::to_string(expected.size()) +
           ", first difference at " + std::to_string(at);
}

inline bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace testing_support
