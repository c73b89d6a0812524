// The skin engine that Facetta.dll hands out: draws the plug-in's floating
// window from the built-in skin or a skin folder, and turns clicks on the
// skin's buttons into WM_COMMAND messages. Everything runs on the window's
// thread.
#pragma once

#include <windows.h>

#include <memory>

#include "components/SkinEngine.h"
#include "facetta/ButtonTracker.h"
#include "facetta/FaceCanvas.h"
#include "facetta/FileSkin.h"
#include "facetta/SkinFace.h"

struct SkinQuery;

// The table every FacettaEngine points to.
const SkinEngineTable *FacettaEngineOperations();

class FacettaEngine : public SkinEngine {
public:
    FacettaEngine();
    ~FacettaEngine();
    FacettaEngine(const FacettaEngine &) = delete;
    FacettaEngine &operator=(const FacettaEngine &) = delete;

    // The operations of the table, in its order.
    int Init(SkinQuery *query);
    int Shutdown();
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int Command(int commandId, int argument);
    int SetElementState(int elementId, int value, int redraw);
    int GetElementRect(int elementId, RECT *rect) const;
    int RepaintRect(const RECT *rect);
    int SelectSkin(int selector);

private:
    static constexpr int kMaxElementValues = 16;

    void AskHost(SkinQuery *query);
    std::unique_ptr<Skin> LoadSkinFolder(const char *name) const;
    void UseSkin(std::unique_ptr<Skin> skin, const char *folder, int face);
    void UseBuiltIn(int face);
    bool FollowDpi(UINT dpi);
    void OnDpiChanged(UINT dpi, const RECT *suggested);
    void Remember() const;

    const SkinFace *Face() const;
    FaceLooks CurrentLooks() const;
    int ElementSlot(int elementId) const;
    void ShowFace();
    void FitWindow();
    void Redraw(const RECT &area);
    void RedrawChangedButtons(const FaceLooks &before);

    void Attach(HWND window, UINT message);
    void OnPaint(HWND window);
    int ButtonAt(LPARAM lParam) const;
    void OnMouseMove(LPARAM lParam, bool leftDown);
    void OnButtonDown(LPARAM lParam);
    void OnButtonUp(LPARAM lParam);
    void OnMouseLeave();
    void OnCaptureChanged(HWND newOwner);
    void CancelPress();

    char skinsFolder_[MAX_PATH];
    char settingsFile_[MAX_PATH];
    char settingsSection_[MAX_PATH];
    SkinIdRanges ranges_;

    std::unique_ptr<Skin> skin_;
    char skinFolder_[MAX_PATH];  // "" for the built-in skin
    int face_;
    int percent_;  // the display scale the faces are drawn at
    int elementValues_[kMaxElementValues];

    FaceCanvas canvas_;
    ButtonTracker tracker_;
    HWND window_;
    HWND fittedWindow_;  // the window whose size and outline match the face
    bool trackingLeave_;
};
