#include "facetta/SkinFace.h"

HBITMAP SkinFace::PictureFor(ButtonLook look) const
{
    if (look == ButtonHover && hover)
        return hover.Get();
    if (look == ButtonPressed && pressed)
        return pressed.Get();
    return normal.Get();
}

const FaceButton *SkinFace::ButtonAt(POINT point) const
{
    for (int i = 0; i < buttonCount; ++i) {
        if (PtInRect(&buttons[i].rect, point))
            return &buttons[i];
    }
    return nullptr;
}

const FaceButton *SkinFace::FindButton(int id) const
{
    for (int i = 0; i < buttonCount; ++i) {
        if (buttons[i].id == id)
            return &buttons[i];
    }
    return nullptr;
}

const FaceElement *SkinFace::FindElement(int id) const
{
    for (int i = 0; i < elementCount; ++i) {
        if (elements[i].id == id)
            return &elements[i];
    }
    return nullptr;
}

bool RectInsideFace(const RECT &rect, const SkinFace &face)
{
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           rect.right <= face.size.cx && rect.bottom <= face.size.cy;
}
