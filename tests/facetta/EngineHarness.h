// What the skin engine's tests share: the engine as the plug-in reaches it
// (through Facetta.dll's descriptor and the operation table), a SkinQuery that
// names folders of the test's choosing, and a window that hands every message
// to the engine the way the plug-in's floating window does.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "components/SkinEngine.h"
#include "components/SkinQuery.h"
#include "tests/support/ProgramFolder.h"

using testing_support::ProgramFolder;

// One engine from Facetta.dll, shut down and given back when it goes.
class EngineHandle {
public:
    EngineHandle();
    ~EngineHandle();
    EngineHandle(const EngineHandle &) = delete;
    EngineHandle &operator=(const EngineHandle &) = delete;

    SkinEngine *get() const { return engine_; }
    int Init(SkinQuery *query) { return engine_->operations->Init(engine_, query); }
    int Shutdown() { return engine_->operations->Shutdown(engine_); }
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return engine_->operations->HandleMessage(engine_, window, message, wParam, lParam);
    }
    int Command(int id, int argument) { return engine_->operations->Command(engine_, id, argument); }
    int SetElementState(int id, int value, int redraw)
    {
        return engine_->operations->SetElementState(engine_, id, value, redraw);
    }
    int GetElementRect(int id, RECT *rect) { return engine_->operations->GetElementRect(engine_, id, rect); }
    RECT ElementRect(int id);
    int RepaintRect(const RECT *rect) { return engine_->operations->RepaintRect(engine_, rect); }
    int SelectSkin(int selector) { return engine_->operations->SelectSkin(engine_, selector); }

    // The engine's picture of its face (WM_PRINTCLIENT into a memory bitmap),
    // as RGB() values, row by row.
    std::vector<COLORREF> Rendering(int width, int height);

private:
    SkinEngine *engine_;
};

// Answers like the plug-in's SkinQuery, except for the skins folder and the
// settings file, which the test names. Operation 20 answers with section
// "SKINDLOAD" as the plug-in does.
class TestSkinQuery : public SkinQuery {
public:
    TestSkinQuery(const std::string &skinsFolder, const std::string &settingsFile);

    std::string skinsFolder;
    std::string settingsFile;

private:
    SkinQueryTable table_;
};

// The folder of the test program, with a trailing backslash: the tests'
// host folder, which holds the shipped skins in "skins\".

// A fresh empty folder under the temporary folder, removed with its files
// (one level of sub-folders) when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return path_; }  // with a trailing backslash

private:
    std::string path_;
};

void WriteTextFile(const std::string &path, const std::string &text);

// A 24-bit BMP whose pixel (x, y) has colourAt(x, y).
void WriteBitmap(const std::string &path, int width, int height, const std::function<COLORREF(int, int)> &colourAt);

// Dispatches this thread's messages for about ms milliseconds.
void PumpMessages(DWORD ms);

// A top-level, topmost, borderless popup like the floating window (class
// style 43, which includes CS_OWNDC), at (x, y) on the screen. Its procedure
// does what the plug-in's does: it records every WM_COMMAND, calls the
// engine's Command for 50050, optionally drags like the plug-in (capture on
// WM_LBUTTONDOWN, release on WM_LBUTTONUP), and hands every message on to the
// engine's HandleMessage.
class SkinWindow {
public:
    SkinWindow(EngineHandle &engine, int x, int y, bool dragsLikePlugin = false);
    ~SkinWindow();
    SkinWindow(const SkinWindow &) = delete;
    SkinWindow &operator=(const SkinWindow &) = delete;

    HWND hwnd() const { return window_; }
    POINT ToScreen(POINT client) const;
    // Waits (dispatching messages) until a command arrives or ms pass.
    bool WaitForCommand(DWORD ms);

    std::vector<int> commands;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    EngineHandle &engine_;
    bool dragsLikePlugin_;
    bool dragging_ = false;
    HWND window_ = nullptr;
};

// Moves the real pointer to a screen point, then presses and releases the
// left button there (SendInput).
void ClickAt(POINT screen);
void MovePointerTo(POINT screen);
void PressAt(POINT screen);
void ReleaseAt(POINT screen);

// Draws a text into a rectangle the way the plug-in's repaint does: window
// DC, a 12-pixel font, transparent background, RepaintRect, then DrawText
// right-aligned.
void DrawSizeText(EngineHandle &engine, HWND window, const RECT &rect, const char *text);
