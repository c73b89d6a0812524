#include "facetta/FacettaEngine.h"

#include <stdio.h>
#include <string.h>
#include <windowsx.h>

#include "components/SkinQuery.h"
#include "facetta/DefaultSkin.h"
#include "facetta/SkinFolders.h"
#include "facetta/SkinSettings.h"
#include "facetta/WindowShape.h"
#include "util/DisplayScale.h"

namespace {

// A scale below this is no display's: a window reporting such a DPI keeps
// the scale it has.
constexpr int kLowestPercent = 25;

// A host's id range is taken when it is ordered and small enough to walk.
bool PlausibleRange(int first, int last)
{
    return first <= last && last - first < 256;
}

void CopyText(char *target, const char *source, size_t size)
{
    lstrcpynA(target, source, static_cast<int>(size));
}

}  // namespace

FacettaEngine::FacettaEngine()
    : SkinEngine{FacettaEngineOperations()}, skinsFolder_(), settingsFile_(), settingsSection_(), skinFolder_(),
      face_(0), percent_(100), elementValues_(), window_(nullptr), fittedWindow_(nullptr), trackingLeave_(false)
{
}

FacettaEngine::~FacettaEngine() = default;

int FacettaEngine::Init(SkinQuery *query)
{
    AskHost(query);
    SkinChoice choice = {"", 0};
    if (*settingsFile_ && *settingsSection_)
        choice = LoadSkinChoice(settingsFile_, settingsSection_);
    std::unique_ptr<Skin> skin = *choice.folder ? LoadSkinFolder(choice.folder) : nullptr;
    if (skin)
        UseSkin(std::move(skin), choice.folder, choice.face);
    else
        UseBuiltIn(choice.folder[0] ? 0 : choice.face);
    return skin_ ? 1 : 0;
}

int FacettaEngine::Shutdown()
{
    CancelPress();
    canvas_.Clear();
    skin_.reset();
    window_ = nullptr;
    fittedWindow_ = nullptr;
    return 1;
}

LRESULT FacettaEngine::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Attach(window, message);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (!canvas_.Ready())
            break;
        OnPaint(window);
        return 0;
    case WM_PRINTCLIENT:
        if (const SkinFace *face = Face()) {
            RECT whole = {0, 0, face->size.cx, face->size.cy};
            canvas_.Present(reinterpret_cast<HDC>(wParam), whole);
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam, (wParam & MK_LBUTTON) != 0);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the plug-in's class asks for double clicks: a quick second click is a press too
        OnButtonDown(lParam);
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(lParam);
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(reinterpret_cast<HWND>(lParam));
        break;
    case WM_CANCELMODE:
        CancelPress();
        break;
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT *>(lParam));
        return 0;
    case WM_NCDESTROY:
        tracker_.Cancel();
        trackingLeave_ = false;
        window_ = nullptr;
        fittedWindow_ = nullptr;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int FacettaEngine::Command(int commandId, int)
{
    if (commandId != CommandNextFace || !skin_)
        return 0;
    face_ = (face_ + 1) % skin_->faceCount;
    ShowFace();
    Remember();
    return 1;
}

int FacettaEngine::SetElementState(int elementId, int value, int redraw)
{
    int slot = ElementSlot(elementId);
    if (slot < 0)
        return 0;
    if (elementValues_[slot] == value)
        return 1;
    elementValues_[slot] = value;
    const SkinFace *face = Face();
    const FaceElement *element = face ? face->FindElement(elementId) : nullptr;
    if (element && element->frames > 0) {
        if (redraw)
            Redraw(element->rect);
        else
            canvas_.Compose(*face, CurrentLooks(), element->rect);
    }
    return 1;
}

int FacettaEngine::GetElementRect(int elementId, RECT *rect) const
{
    if (!rect)
        return 0;
    const SkinFace *face = Face();
    const FaceElement *element = face ? face->FindElement(elementId) : nullptr;
    const FaceButton *button = face && !element ? face->FindButton(elementId) : nullptr;
    if (element)
        *rect = element->rect;
    else if (button)
        *rect = button->rect;
    else
        SetRectEmpty(rect);
    return element || button ? 1 : 0;
}

// Synchronous: the plug-in draws its text into the rectangle right after.
int FacettaEngine::RepaintRect(const RECT *rect)
{
    const SkinFace *face = Face();
    if (!rect || !face || !window_ || !canvas_.Ready())
        return 0;
    WindowDC dc(window_);
    if (!dc)
        return 0;
    // The plug-in does not choose a text colour. Its window class has
    // CS_OWNDC, so the colour set here in the window's own context is the one
    // its DrawText uses.
    SetTextColor(dc.Get(), face->textColor);
    return canvas_.Present(dc.Get(), *rect) ? 1 : 0;
}

int FacettaEngine::SelectSkin(int selector)
{
    if (selector == 0) {
        UseBuiltIn(0);
        Remember();
        return skin_ ? 1 : 0;
    }
    char name[MAX_PATH];
    if (selector < 0 || !*skinsFolder_ || !NthSkinFolder(skinsFolder_, selector, name, sizeof(name)))
        return 0;
    std::unique_ptr<Skin> skin = LoadSkinFolder(name);
    bool loaded = static_cast<bool>(skin);
    if (loaded)
        UseSkin(std::move(skin), name, 0);
    else
        UseBuiltIn(0);
    Remember();
    return loaded ? 1 : 0;
}

// Without an answer the engine has no skins folder (only the built-in skin),
// remembers nothing, and takes the plug-in's usual id ranges.
void FacettaEngine::AskHost(SkinQuery *query)
{
    skinsFolder_[0] = settingsFile_[0] = settingsSection_[0] = 0;
    ranges_ = SkinIdRanges();
    if (!query || !query->operations)
        return;
    const SkinQueryTable &host = *query->operations;
    char folder[MAX_PATH] = "";
    if (host.SkinsFolder)
        host.SkinsFolder(query, folder, sizeof(folder));
    folder[sizeof(folder) - 1] = 0;
    size_t length = strlen(folder);
    if (length > 0 && length + 1 < sizeof(skinsFolder_)) {
        strcpy(skinsFolder_, folder);
        if (folder[length - 1] != '\\' && folder[length - 1] != '/')
            strcat(skinsFolder_, "\\");
    }
    char file[MAX_PATH] = "", section[MAX_PATH] = "";
    if (host.SettingsLocation)
        host.SettingsLocation(query, file, sizeof(file), section);
    CopyText(settingsFile_, file, sizeof(settingsFile_));
    CopyText(settingsSection_, section, sizeof(settingsSection_));
    int first = 0, last = -1;
    if (host.ButtonCommandRange && host.ButtonCommandRange(query, &first, &last) > 0 && PlausibleRange(first, last)) {
        ranges_.buttonFirst = first;
        ranges_.buttonLast = last;
    }
    first = 0, last = -1;
    if (host.ElementIdRange && host.ElementIdRange(query, &first, &last) > 0 && PlausibleRange(first, last)) {
        ranges_.elementFirst = first;
        ranges_.elementLast = last;
    }
}

std::unique_ptr<Skin> FacettaEngine::LoadSkinFolder(const char *name) const
{
    char folder[MAX_PATH];
    if (!*skinsFolder_ || !SkinFolderExists(skinsFolder_, name) ||
        snprintf(folder, sizeof(folder), "%s%s\\", skinsFolder_, name) >= static_cast<int>(sizeof(folder)))
        return nullptr;
    return LoadFileSkin(folder, ranges_, percent_);
}

void FacettaEngine::UseSkin(std::unique_ptr<Skin> skin, const char *folder, int face)
{
    CancelPress();
    skin_ = std::move(skin);
    CopyText(skinFolder_, folder, sizeof(skinFolder_));
    face_ = skin_ && face >= 0 && face < skin_->faceCount ? face : 0;
    ShowFace();
}

// The built-in skin is painted anew each time: it costs a few milliseconds
// and nothing is held for it while a file skin is shown.
void FacettaEngine::UseBuiltIn(int face)
{
    skin_.reset();
    UseSkin(CreateDefaultSkin(percent_), "", face);
}

// The skin shown, drawn anew for the scale of dpi; false when that is the
// scale it has. A skin folder that no longer loads gives the built-in skin,
// as at the start.
bool FacettaEngine::FollowDpi(UINT dpi)
{
    int percent = DpiPercent(dpi);
    if (percent == percent_ || percent < kLowestPercent)
        return false;
    percent_ = percent;
    char folder[MAX_PATH];
    CopyText(folder, skinFolder_, sizeof(folder));
    std::unique_ptr<Skin> skin = *folder ? LoadSkinFolder(folder) : nullptr;
    if (skin)
        UseSkin(std::move(skin), folder, face_);
    else
        UseBuiltIn(*folder ? 0 : face_);
    return true;
}

// A per-monitor-aware window moved to a monitor of another scale. Windows
// suggests where the window goes; its size is the face's.
void FacettaEngine::OnDpiChanged(UINT dpi, const RECT *suggested)
{
    FollowDpi(dpi);
    if (window_ && suggested)
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FacettaEngine::Remember() const
{
    if (!*settingsFile_ || !*settingsSection_)
        return;
    SkinChoice choice;
    CopyText(choice.folder, skinFolder_, sizeof(choice.folder));
    choice.face = face_;
    SaveSkinChoice(settingsFile_, settingsSection_, choice);
}

const SkinFace *FacettaEngine::Face() const
{
    return skin_ && face_ < skin_->faceCount ? &skin_->faces[face_] : nullptr;
}

FaceLooks FacettaEngine::CurrentLooks() const
{
    FaceLooks looks = {};
    const SkinFace *face = Face();
    if (!face)
        return looks;
    for (int i = 0; i < face->elementCount; ++i) {
        int slot = ElementSlot(face->elements[i].id);
        looks.frames[i] = slot < 0 ? 0 : elementValues_[slot];
    }
    for (int i = 0; i < face->buttonCount; ++i)
        looks.buttons[i] = tracker_.LookOf(face->buttons[i].id);
    return looks;
}

// Values are kept by position in the host's element range; -1 for an id
// outside it.
int FacettaEngine::ElementSlot(int elementId) const
{
    int slot = elementId - ranges_.elementFirst;
    return elementId > ranges_.elementLast || slot < 0 || slot >= kMaxElementValues ? -1 : slot;
}

// Draws the whole face into the back buffer and, once there is a window,
// fits the window to it and shows it.
void FacettaEngine::ShowFace()
{
    const SkinFace *face = Face();
    if (!face || !canvas_.Prepare(*face)) {
        canvas_.Clear();
        return;
    }
    RECT whole = {0, 0, face->size.cx, face->size.cy};
    canvas_.Compose(*face, CurrentLooks(), whole);
    if (!window_)
        return;
    fittedWindow_ = window_;
    FitWindow();
    WindowDC dc(window_);
    canvas_.Present(dc.Get(), whole);
}

// The window takes the face's size and, for a face with a colour key, its
// outline. SetWindowRgn owns the region it is given.
void FacettaEngine::FitWindow()
{
    const SkinFace *face = Face();
    if (!face || !window_)
        return;
    RECT frame, client;
    GetWindowRect(window_, &frame);
    GetClientRect(window_, &client);
    if (client.right != face->size.cx || client.bottom != face->size.cy) {
        int width = face->size.cx + (frame.right - frame.left) - client.right;
        int height = face->size.cy + (frame.bottom - frame.top) - client.bottom;
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    GdiRegion outline;
    if (face->shaped)
        outline = RegionOutsideKey(face->normal.Get(), face->size.cx, face->size.cy, face->colorKey);
    if (SetWindowRgn(window_, outline.Get(), TRUE))
        outline.Release();
}

void FacettaEngine::Redraw(const RECT &area)
{
    const SkinFace *face = Face();
    if (!face)
        return;
    canvas_.Compose(*face, CurrentLooks(), area);
    if (!window_)
        return;
    WindowDC dc(window_);
    canvas_.Present(dc.Get(), area);
}

void FacettaEngine::RedrawChangedButtons(const FaceLooks &before)
{
    const SkinFace *face = Face();
    if (!face)
        return;
    FaceLooks after = CurrentLooks();
    for (int i = 0; i < face->buttonCount; ++i) {
        if (before.buttons[i] != after.buttons[i])
            Redraw(face->buttons[i].rect);
    }
}

// The engine learns its window from the messages. The window is fitted to the
// face once it exists, not during the first messages of its creation.
void FacettaEngine::Attach(HWND window, UINT message)
{
    if (message == WM_NCDESTROY || !window)
        return;
    window_ = window;
    if (fittedWindow_ == window || message == WM_GETMINMAXINFO || message == WM_NCCREATE ||
        message == WM_NCCALCSIZE)
        return;
    // Set first: fitting sends messages that come back here. The skin was
    // drawn before the window existed, at 100 %.
    fittedWindow_ = window;
    if (!FollowDpi(WindowDpi(window)))
        FitWindow();
}

void FacettaEngine::OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc)
        return;
    canvas_.Present(dc, paint.rcPaint);
    EndPaint(window, &paint);
}

int FacettaEngine::ButtonAt(LPARAM lParam) const
{
    const SkinFace *face = Face();
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const FaceButton *button = face ? face->ButtonAt(point) : nullptr;
    return button ? button->id : 0;
}

void FacettaEngine::OnMouseMove(LPARAM lParam, bool leftDown)
{
    FaceLooks before = CurrentLooks();
    tracker_.Move(ButtonAt(lParam), leftDown);
    if (!trackingLeave_ && window_) {
        TRACKMOUSEEVENT request = {sizeof(request), TME_LEAVE, window_, 0};
        trackingLeave_ = TrackMouseEvent(&request) != FALSE;
    }
    RedrawChangedButtons(before);
}

// The plug-in may have begun a drag on this press already; a press on a
// button takes the capture as well (the same window), so that the release
// reaches the engine even off the window.
void FacettaEngine::OnButtonDown(LPARAM lParam)
{
    FaceLooks before = CurrentLooks();
    if (tracker_.Press(ButtonAt(lParam)) && window_)
        SetCapture(window_);
    RedrawChangedButtons(before);
}

void FacettaEngine::OnButtonUp(LPARAM lParam)
{
    FaceLooks before = CurrentLooks();
    bool pressing = tracker_.Pressing();
    int clicked = tracker_.Release(ButtonAt(lParam));
    if (pressing && window_ && GetCapture() == window_)
        ReleaseCapture();
    RedrawChangedButtons(before);
    // Posted, not sent: the plug-in's command may switch the face, which must
    // not happen while this handler still works on the old one.
    if (clicked && window_)
        PostMessageA(window_, WM_COMMAND, static_cast<WPARAM>(clicked), 0);
}

void FacettaEngine::OnMouseLeave()
{
    trackingLeave_ = false;
    FaceLooks before = CurrentLooks();
    tracker_.Leave(window_ && GetCapture() == window_);
    RedrawChangedButtons(before);
}

// The plug-in's own ReleaseCapture (the end of its drag) arrives here with no
// new owner before the engine sees WM_LBUTTONUP: that keeps the press. Only
// another window taking the capture (a menu, a dialog) ends it.
void FacettaEngine::OnCaptureChanged(HWND newOwner)
{
    if (!newOwner || newOwner == window_)
        return;
    FaceLooks before = CurrentLooks();
    tracker_.Cancel();
    RedrawChangedButtons(before);
}

void FacettaEngine::CancelPress()
{
    FaceLooks before = CurrentLooks();
    bool pressing = tracker_.Pressing();
    tracker_.Cancel();
    if (pressing && window_ && GetCapture() == window_)
        ReleaseCapture();
    RedrawChangedButtons(before);
}
