// Owning wrappers for the GDI objects the skin engine makes: every early
// return releases what was made, so that repainting ten times a second for
// hours leaves the process's GDI object count where it was.
#pragma once

#include <windows.h>

// A GDI object (bitmap, brush, pen, font, region) deleted with DeleteObject.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject &) = delete;
    GdiObject &operator=(const GdiObject &) = delete;
    GdiObject(GdiObject &&other) : handle_(other.Release()) {}
    GdiObject &operator=(GdiObject &&other)
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Gives up ownership; the caller deletes the object (or hands it to
    // SetWindowRgn, which takes it over).
    Handle Release()
    {
        Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

    void Reset(Handle handle = nullptr)
    {
        if (handle_)
            DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

typedef GdiObject<HBITMAP> GdiBitmap;
typedef GdiObject<HBRUSH> GdiBrush;
typedef GdiObject<HPEN> GdiPen;
typedef GdiObject<HFONT> GdiFont;
typedef GdiObject<HRGN> GdiRegion;

// A memory device context compatible with the screen.
class MemoryDC {
public:
    MemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDC()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC &) = delete;
    MemoryDC &operator=(const MemoryDC &) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

// The client-area context of a window, from GetDC. For a class with CS_OWNDC
// this is the window's own context, whose attributes outlive the release.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC &) = delete;
    WindowDC &operator=(const WindowDC &) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a context and puts the previous one back: an object
// still selected into a context cannot be deleted.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~Selection()
    {
        if (previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

    bool Ok() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// SaveDC on entry, RestoreDC on exit: undoes clipping set inside a scope.
class SavedState {
public:
    explicit SavedState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedState()
    {
        if (saved_)
            RestoreDC(dc_, saved_);
    }
    SavedState(const SavedState &) = delete;
    SavedState &operator=(const SavedState &) = delete;

private:
    HDC dc_;
    int saved_;
};
