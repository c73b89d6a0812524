// The engine's back buffer: the current face with its elements and buttons
// as they look now. Changes are drawn here and then copied to the window in
// one BitBlt, so the window never shows a half-drawn state; the plug-in's
// repaint of its text areas is a copy from here as well.
#pragma once

#include <windows.h>

#include "facetta/GdiHandles.h"
#include "facetta/SkinFace.h"

// How each element and button of a face is to be shown, by index in the face.
struct FaceLooks {
    int frames[kMaxFaceElements];
    ButtonLook buttons[kMaxFaceButtons];
};

class FaceCanvas {
public:
    FaceCanvas();
    ~FaceCanvas();
    FaceCanvas(const FaceCanvas &) = delete;
    FaceCanvas &operator=(const FaceCanvas &) = delete;

    // Makes the buffer the size of face; false when GDI refuses.
    bool Prepare(const SkinFace &face);
    // Gives the buffer up.
    void Clear();
    bool Ready() const { return static_cast<bool>(bitmap_); }

    // Redraws area (client coordinates) of the buffer.
    void Compose(const SkinFace &face, const FaceLooks &looks, const RECT &area);
    // Copies area of the buffer to the same place in target.
    bool Present(HDC target, const RECT &area) const;

private:
    void Copy(HBITMAP picture, const RECT &to, int fromX, int fromY);

    MemoryDC canvas_;
    MemoryDC source_;
    GdiBitmap bitmap_;
    HGDIOBJ initialBitmap_ = nullptr;
    SIZE size_ = {0, 0};
};
