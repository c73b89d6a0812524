// What a loaded skin is, whether drawn by the engine itself or read from a
// skin folder: faces of whole-window pictures plus the rectangles of the
// buttons and elements placed on them.
#pragma once

#include <windows.h>

#include "facetta/GdiHandles.h"

constexpr int kMaxFaces = 8;
constexpr int kMaxFaceButtons = 16;
constexpr int kMaxFaceElements = 8;

// A button sends its id to the window as WM_COMMAND when clicked. Its looks
// are cut from the face's three pictures at its rectangle.
struct FaceButton {
    int id;
    RECT rect;
};

// An element shows one frame of its strip, chosen by the element's value;
// an element without a strip is only a rectangle (the plug-in's text areas).
struct FaceElement {
    int id;
    RECT rect;
    GdiBitmap strip;  // frames side by side, each the size of rect
    int frames;
};

enum ButtonLook { ButtonNormal, ButtonHover, ButtonPressed };

struct SkinFace {
    // Whole-face pictures: buttons in their normal, hover and pressed looks.
    // Everything outside buttons and elements is taken from normal.
    GdiBitmap normal;
    GdiBitmap hover;
    GdiBitmap pressed;
    SIZE size = {0, 0};
    COLORREF textColor = RGB(0, 0, 0);
    bool shaped = false;  // pixels of colorKey in normal are cut out of the window
    COLORREF colorKey = RGB(255, 0, 255);
    FaceButton buttons[kMaxFaceButtons] = {};
    int buttonCount = 0;
    FaceElement elements[kMaxFaceElements];
    int elementCount = 0;

    // The picture for a look; hover and pressed fall back to normal.
    HBITMAP PictureFor(ButtonLook look) const;
    // The button under a client point, or null.
    const FaceButton *ButtonAt(POINT point) const;
    const FaceButton *FindButton(int id) const;
    const FaceElement *FindElement(int id) const;
};

struct Skin {
    SkinFace faces[kMaxFaces];
    int faceCount = 0;
};

// Every element and button rectangle lies inside the face.
bool RectInsideFace(const RECT &rect, const SkinFace &face);
