// Answers a modal dialog that the code under test opens on the test's thread:
// a watcher thread waits for the dialog (a top-level "#32770" window of this
// process), records its caption and texts, then acts on it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace testing_support {

struct SeenDialog {
    HWND window = nullptr;
    std::string caption;
    std::string texts;  // the static controls' texts, joined with "|"
};

class DialogDriver {
public:
    // act runs on the watcher thread with the dialog found.
    explicit DialogDriver(std::function<void(const SeenDialog &)> act, const char *skipCaption = nullptr)
        : act_(act), skip_(skipCaption ? skipCaption : "")
    {
        thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    }

    ~DialogDriver()
    {
        stop_ = 1;
        WaitForSingleObject(thread_, 70000);  // a press goes on for up to a minute
        CloseHandle(thread_);
    }

    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    const SeenDialog &seen() const { return seen_; }
    bool found() const { return seen_.window != nullptr; }

    // Presses a button of the dialog by its command id, again while the
    // dialog stays: on a loaded machine a dialog still settling (a file
    // dialog listing its folder, say) may lose presses for many seconds.
    // prepare, when given, runs before every press.
    static void Press(const SeenDialog &dialog, int id, const std::function<void()> &prepare = nullptr)
    {
        const DWORD kPressForMs = 60000;
        DWORD started = GetTickCount();
        while (IsWindow(dialog.window) && GetTickCount() - started < kPressForMs) {
            if (prepare)
                prepare();
            PostMessageA(dialog.window, WM_COMMAND, id, 0);
            for (int i = 0; i < 10 && IsWindow(dialog.window); ++i)
                Sleep(50);
        }
    }

private:
    static BOOL CALLBACK CollectText(HWND child, LPARAM context)
    {
        char className[32], text[512];
        GetClassNameA(child, className, sizeof(className));
        if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, text, sizeof(text)) > 0) {
            std::string &texts = *reinterpret_cast<std::string *>(context);
            texts += texts.empty() ? "" : "|";
            texts += text;
        }
        return TRUE;
    }

    static BOOL CALLBACK FindDialog(HWND window, LPARAM context)
    {
        DialogDriver *self = reinterpret_cast<DialogDriver *>(context);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char className[32], caption[256];
        GetClassNameA(window, className, sizeof(className));
        if (process != GetCurrentProcessId() || strcmp(className, "#32770") != 0 || !IsWindowVisible(window))
            return TRUE;
        GetWindowTextA(window, caption, sizeof(caption));
        if (!self->skip_.empty() && self->skip_ == caption)
            return TRUE;
        self->seen_.window = window;
        self->seen_.caption = caption;
        return FALSE;
    }

    static DWORD WINAPI Watch(void *argument)
    {
        DialogDriver *self = static_cast<DialogDriver *>(argument);
        while (!self->stop_) {
            EnumWindows(FindDialog, reinterpret_cast<LPARAM>(self));
            if (self->seen_.window) {
                Sleep(100);  // let it finish its initialisation
                // A dialog that went meanwhile was one closing as it was
                // found (a message box another driver just answered, whose
                // caption could no longer be read to skip it): the one this
                // driver waits for is still to come.
                if (!IsWindow(self->seen_.window)) {
                    self->seen_ = SeenDialog();
                    continue;
                }
                EnumChildWindows(self->seen_.window, CollectText, reinterpret_cast<LPARAM>(&self->seen_.texts));
                self->act_(self->seen_);
                return 0;
            }
            Sleep(20);
        }
        return 0;
    }

    std::function<void(const SeenDialog &)> act_;
    std::string skip_;
    SeenDialog seen_;
    volatile LONG stop_ = 0;
    HANDLE thread_;
};

}  // namespace testing_support
