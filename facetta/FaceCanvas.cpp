#include "facetta/FaceCanvas.h"

FaceCanvas::FaceCanvas() = default;

FaceCanvas::~FaceCanvas()
{
    Clear();
}

bool FaceCanvas::Prepare(const SkinFace &face)
{
    if (bitmap_ && size_.cx == face.size.cx && size_.cy == face.size.cy)
        return true;
    Clear();
    if (!canvas_ || !source_)
        return false;
    WindowDC screen(nullptr);
    if (!screen)
        return false;
    bitmap_.Reset(CreateCompatibleBitmap(screen.Get(), face.size.cx, face.size.cy));
    if (!bitmap_)
        return false;
    initialBitmap_ = SelectObject(canvas_.Get(), bitmap_.Get());
    if (!initialBitmap_ || initialBitmap_ == HGDI_ERROR) {
        initialBitmap_ = nullptr;
        bitmap_.Reset();
        return false;
    }
    size_ = face.size;
    return true;
}

void FaceCanvas::Clear()
{
    if (initialBitmap_)
        SelectObject(canvas_.Get(), initialBitmap_);
    initialBitmap_ = nullptr;
    bitmap_.Reset();
    size_.cx = size_.cy = 0;
}

void FaceCanvas::Copy(HBITMAP picture, const RECT &to, int fromX, int fromY)
{
    Selection selection(source_.Get(), picture);
    if (selection.Ok())
        BitBlt(canvas_.Get(), to.left, to.top, to.right - to.left, to.bottom - to.top, source_.Get(), fromX, fromY,
               SRCCOPY);
}

void FaceCanvas::Compose(const SkinFace &face, const FaceLooks &looks, const RECT &area)
{
    if (!Ready())
        return;
    RECT clip;
    RECT whole = {0, 0, size_.cx, size_.cy};
    if (!IntersectRect(&clip, &area, &whole))
        return;
    SavedState state(canvas_.Get());
    IntersectClipRect(canvas_.Get(), clip.left, clip.top, clip.right, clip.bottom);
    Copy(face.normal.Get(), clip, clip.left, clip.top);
    RECT overlap;
    for (int i = 0; i < face.elementCount; ++i) {
        const FaceElement &element = face.elements[i];
        if (element.frames == 0 || !IntersectRect(&overlap, &element.rect, &clip))
            continue;
        int frame = looks.frames[i];
        if (frame < 0)
            frame = 0;
        if (frame >= element.frames)
            frame = element.frames - 1;
        Copy(element.strip.Get(), element.rect, frame * (element.rect.right - element.rect.left), 0);
    }
    for (int i = 0; i < face.buttonCount; ++i) {
        const FaceButton &button = face.buttons[i];
        if (looks.buttons[i] == ButtonNormal || !IntersectRect(&overlap, &button.rect, &clip))
            continue;
        Copy(face.PictureFor(looks.buttons[i]), button.rect, button.rect.left, button.rect.top);
    }
}

bool FaceCanvas::Present(HDC target, const RECT &area) const
{
    if (!Ready() || !target)
        return false;
    return BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, canvas_.Get(),
                  area.left, area.top, SRCCOPY) != FALSE;
}
