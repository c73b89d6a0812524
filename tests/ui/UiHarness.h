// What the window tests share: a skin engine that records what the plug-in
// asks of it, tasks put straight into the slot table in a chosen state, and
// a fixture that creates the real floating window on the test's thread.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <utility>
#include <vector>

#include "components/SkinEngine.h"
#include "plugin/DownloadController.h"
#include "tests/support/TaskTable.h"
#include "transfer/TaskSlotTable.h"
#include "ui/FloatingWindow.h"
#include "ui/ProcessState.h"

namespace testing_support {

// Records SetElementState calls; every element and button is a fixed
// rectangle; messages go to DefWindowProc.
class RecordingEngine : public SkinEngine {
public:
    RecordingEngine()
    {
        table_ = {};
        table_.HandleMessage = HandleMessage;
        table_.SetElementState = SetElementState;
        table_.GetElementRect = GetElementRect;
        table_.RepaintRect = RepaintRect;
        table_.Command = Command;
        operations = &table_;
    }

    std::vector<std::pair<int, int>> states;  // (element, value)
    std::vector<int> commands;
    int repaints = 0;
    RECT buttonRect = {0, 0, 10, 10};  // every button id answers with this

    // The last value set for element, or -1.
    int Last(int element) const
    {
        for (auto it = states.rbegin(); it != states.rend(); ++it)
            if (it->first == element)
                return it->second;
        return -1;
    }

private:
    static RecordingEngine *Self(SkinEngine *self) { return static_cast<RecordingEngine *>(self); }
    static LRESULT __thiscall HandleMessage(SkinEngine *, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static int __thiscall SetElementState(SkinEngine *self, int element, int value, int)
    {
        Self(self)->states.push_back({element, value});
        return 1;
    }
    static int __thiscall GetElementRect(SkinEngine *self, int element, RECT *rect)
    {
        if (element == ElementReceivedText)
            *rect = {2, 40, 68, 52};
        else if (element == ElementTotalText)
            *rect = {2, 54, 68, 66};
        else
            *rect = Self(self)->buttonRect;
        return 1;
    }
    static int __thiscall RepaintRect(SkinEngine *self, const RECT *)
    {
        ++Self(self)->repaints;
        return 1;
    }
    static int __thiscall Command(SkinEngine *self, int id, int)
    {
        Self(self)->commands.push_back(id);
        return 1;
    }

    SkinEngineTable table_;
};

// A task object in slot, without file, thread or requests: enough for the
// display, the menu and the dialogs, which only read it.
inline DownloadTask *PutTask(int slot, LONG state, int segments, LONG segmentState, const char *tempPath,
                             ULONGLONG totalSize = 0, ULONGLONG received = 0)
{
    DownloadTask *task = PutNewTask(slot, tempPath, segments, totalSize);
    task->state = state;
    lstrcpynA(task->startTime, "2024-05-06 07:08", kTextSize);
    for (int i = 0; i < segments; ++i)
        task->segments[i].state = segmentState;
    task->segments[0].received = received;
    return task;
}

inline void RemoveTasks()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        delete gSlotTable.slots[slot].task;
        gSlotTable.slots[slot].task = nullptr;
    }
}

// Runs the thread's messages for about milliseconds.
inline void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// The real floating window (the test program carries the resources), with
// the recording engine in place of Facetta's unless realSkin is set.
class FloatingWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSettingsAndTasks();
        gProcess.pluginInstance = GetModuleHandleA(nullptr);
        gProcess.displayedTask = 1;
        gProcess.rotationCursor = 1;
        gProcess.rotationDirection = 1;
        controller = new DownloadController();
        gProcess.skinEngine = &engine;
        ASSERT_EQ(1, CreateFloatingWindow(controller, controller->moduleHandle));
        window = controller->window;
    }

    void TearDown() override
    {
        RemoveTasks();
        DestroyFloatingWindow(controller);
        delete controller;
        gProcess.skinEngine = nullptr;
        ResetSettingsAndTasks();
    }

    RECT WindowRect() const
    {
        RECT rect;
        GetWindowRect(window, &rect);
        return rect;
    }

    RecordingEngine engine;
    DownloadController *controller = nullptr;
    HWND window = nullptr;
};

}  // namespace testing_support
