#include "facetta/DefaultSkin.h"

#include <new>

#include "components/SkinEngine.h"
#include "facetta/FaceScale.h"
#include "facetta/SkinArt.h"

namespace {

// Everything outside the rounded body is cut away through the colour key.
constexpr COLORREF kColorKey = RGB(255, 0, 255);
constexpr int kFaceSide = 70;
constexpr int kCornerRadius = 14;

// One layout for both faces: state row on top, the two size lines in a
// recessed panel, task and discard buttons at the bottom.
constexpr RECT kBadge = {4, 4, 19, 17};
constexpr RECT kPaused = {22, 4, 34, 17};
constexpr RECT kRunning = {35, 4, 47, 17};
constexpr RECT kNextFace = {53, 4, 66, 17};
constexpr RECT kPanel = {4, 20, 66, 50};
constexpr RECT kReceived = {15, 22, 64, 35};
constexpr RECT kTotal = {15, 35, 64, 48};
constexpr RECT kPrevious = {4, 53, 20, 66};
constexpr RECT kNext = {22, 53, 38, 66};
constexpr RECT kDiscard = {50, 53, 66, 66};

const DefaultPalette kPalettes[kDefaultFaceCount] = {
    {
        // Night
        RGB(0x36, 0x41, 0x4F), RGB(0x1C, 0x22, 0x2B), RGB(0x0E, 0x12, 0x17), RGB(0x52, 0x5F, 0x70),
        RGB(0x0F, 0x1A, 0x16), RGB(0x3C, 0x48, 0x55), RGB(0x8C, 0xF5, 0xB4), RGB(0x45, 0xD4, 0x83),
        RGB(0x7E, 0x8C, 0x9C),
        RGB(0x2F, 0x7B, 0xE0), RGB(0xFF, 0xFF, 0xFF), RGB(0x4A, 0x55, 0x62), RGB(0xF5, 0xB3, 0x42),
        RGB(0x45, 0xD4, 0x83),
        RGB(0x35, 0x40, 0x4D), RGB(0x4C, 0x59, 0x68), RGB(0xC9, 0xD1, 0xDA),
        RGB(0x46, 0x54, 0x6A), RGB(0x6A, 0x7A, 0x90), RGB(0xFF, 0xFF, 0xFF),
        RGB(0x2F, 0x7B, 0xE0), RGB(0xFF, 0xFF, 0xFF),
        RGB(0xF0, 0x7A, 0x7A), RGB(0x5A, 0x3A, 0x44), RGB(0xD6, 0x45, 0x45),
    },
    {
        // Day
        RGB(0xF7, 0xF9, 0xFB), RGB(0xD9, 0xDF, 0xE7), RGB(0x8E, 0x9A, 0xA9), RGB(0xFF, 0xFF, 0xFF),
        RGB(0xFF, 0xFF, 0xFF), RGB(0xAE, 0xB9, 0xC6), RGB(0x1B, 0x2B, 0x3C), RGB(0x22, 0xA3, 0x5A),
        RGB(0x7A, 0x88, 0x98),
        RGB(0x2F, 0x7B, 0xE0), RGB(0xFF, 0xFF, 0xFF), RGB(0xC3, 0xCB, 0xD4), RGB(0xE3, 0x94, 0x1B),
        RGB(0x22, 0xA3, 0x5A),
        RGB(0xE9, 0xEE, 0xF3), RGB(0xAA, 0xB5, 0xC2), RGB(0x3B, 0x48, 0x57),
        RGB(0xFF, 0xFF, 0xFF), RGB(0x7F, 0x8F, 0xA3), RGB(0x1B, 0x2B, 0x3C),
        RGB(0x2F, 0x7B, 0xE0), RGB(0xFF, 0xFF, 0xFF),
        RGB(0xC8, 0x40, 0x40), RGB(0xFB, 0xE3, 0xE3), RGB(0xD6, 0x45, 0x45),
    },
};

POINT Centre(const RECT &rect)
{
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return centre;
}

RECT Shifted(const RECT &rect, int dx, int dy)
{
    RECT moved = rect;
    OffsetRect(&moved, dx, dy);
    return moved;
}

// While it lives, drawing on dc takes the face's 100 % coordinates, with
// their origin at originX device pixels. At another scale a world transform
// draws the shapes, pens and letters at that scale, so that they stay as
// sharp as at 100 % instead of being stretched afterwards.
class DesignCoordinates {
public:
    DesignCoordinates(HDC dc, int percent, int originX) : state_(dc)
    {
        if (percent == 100) {
            SetViewportOrgEx(dc, originX, 0, nullptr);
            return;
        }
        SetGraphicsMode(dc, GM_ADVANCED);
        float scale = static_cast<float>(percent) / 100.0f;
        XFORM transform = {scale, 0.0f, 0.0f, scale, static_cast<float>(originX), 0.0f};
        SetWorldTransform(dc, &transform);
    }

private:
    SavedState state_;
};

class FacePainter {
public:
    FacePainter(HDC dc, const DefaultPalette &palette) : dc_(dc), palette_(palette) {}

    // Regions filled and framed are in the face's coordinates, like every
    // other shape (a clipping region would be in device pixels): the body is
    // painted whole, then its outside gets the colour key.
    void Body() const
    {
        RECT whole = {0, 0, kFaceSide, kFaceSide};
        FillVerticalGradient(dc_, whole, palette_.bodyTop, palette_.bodyBottom);
        RECT shine = {kCornerRadius / 2, 1, kFaceSide - kCornerRadius / 2, 2};
        FillBox(dc_, shine, palette_.highlight);
        GdiRegion body(CreateRoundRectRgn(0, 0, kFaceSide + 1, kFaceSide + 1, kCornerRadius, kCornerRadius));
        GdiRegion outside(CreateRectRgn(0, 0, kFaceSide, kFaceSide));
        GdiBrush key(CreateSolidBrush(kColorKey));
        GdiBrush border(CreateSolidBrush(palette_.border));
        if (!body || !outside || !key || !border || CombineRgn(outside.Get(), outside.Get(), body.Get(), RGN_DIFF) == ERROR)
            return;
        FillRgn(dc_, outside.Get(), key.Get());
        FrameRgn(dc_, body.Get(), border.Get(), 1, 1);
    }

    void Panel() const
    {
        FillRoundBox(dc_, kPanel, 6, palette_.panel, palette_.panelBorder);
        // A down arrow before the received size, a sum sign before the total.
        POINT arrow = {9, Centre(kReceived).y};
        RECT stem = {arrow.x - 1, arrow.y - 4, arrow.x + 1, arrow.y + 1};
        FillBox(dc_, stem, palette_.receivedIcon);
        POINT head[3] = {{arrow.x - 3, arrow.y}, {arrow.x + 2, arrow.y}, {arrow.x - 1, arrow.y + 3}};
        FillPolygon(dc_, head, 3, palette_.receivedIcon);
        POINT sum = {9, Centre(kTotal).y};
        RECT bar = {sum.x - 3, sum.y - 4, sum.x + 3, sum.y - 3};
        FillBox(dc_, bar, palette_.totalIcon);
        OffsetRect(&bar, 0, 7);
        FillBox(dc_, bar, palette_.totalIcon);
        DrawStroke(dc_, {sum.x - 3, sum.y - 3}, {sum.x, sum.y}, 1, palette_.totalIcon);
        DrawStroke(dc_, {sum.x, sum.y}, {sum.x - 3, sum.y + 3}, 1, palette_.totalIcon);
    }

    void Button(int id, const RECT &rect, ButtonLook look) const
    {
        bool discard = id == CommandDiscardAll;
        COLORREF fill = palette_.buttonFill, border = palette_.buttonBorder;
        COLORREF glyph = discard ? palette_.discardGlyph : palette_.glyph;
        if (look == ButtonHover) {
            fill = discard ? palette_.discardHoverFill : palette_.hoverFill;
            border = palette_.hoverBorder;
            glyph = discard ? palette_.discardGlyph : palette_.hoverGlyph;
        } else if (look == ButtonPressed) {
            fill = discard ? palette_.discardPressedFill : palette_.pressedFill;
            border = fill;
            glyph = palette_.pressedGlyph;
        }
        FillRoundBox(dc_, rect, 5, fill, border);
        // A pressed glyph sinks by one pixel.
        POINT c = Centre(look == ButtonPressed ? Shifted(rect, 0, 1) : rect);
        switch (id) {
        case CommandPreviousTask: {
            POINT left[3] = {{c.x - 3, c.y}, {c.x + 2, c.y - 4}, {c.x + 2, c.y + 4}};
            FillPolygon(dc_, left, 3, glyph);
            break;
        }
        case CommandNextTask: {
            POINT right[3] = {{c.x + 2, c.y}, {c.x - 3, c.y - 4}, {c.x - 3, c.y + 4}};
            FillPolygon(dc_, right, 3, glyph);
            break;
        }
        case CommandDiscardAll:
            DrawStroke(dc_, {c.x - 3, c.y - 3}, {c.x + 3, c.y + 3}, 2, glyph);
            DrawStroke(dc_, {c.x - 3, c.y + 3}, {c.x + 3, c.y - 3}, 2, glyph);
            break;
        default: {
            RECT disc = {c.x - 4, c.y - 4, c.x + 5, c.y + 5};
            DrawHalfDisc(dc_, disc, glyph);
            break;
        }
        }
    }

    // Frame `frame` of an element's strip, drawn over the body at rect.
    void ElementFrame(int id, int frame, const RECT &rect) const
    {
        POINT c = Centre(rect);
        switch (id) {
        case ElementTaskNumber: {
            FillRoundBox(dc_, rect, 5, palette_.badge, palette_.badge);
            char digit[2] = {static_cast<char>('1' + frame), 0};
            DrawCentredText(dc_, rect, digit, palette_.badgeText, 11, FW_BOLD);
            break;
        }
        case ElementPausedState: {
            COLORREF colour = frame == 1 ? palette_.pausedLit : palette_.dim;
            RECT bar = {c.x - 3, c.y - 4, c.x - 1, c.y + 4};
            FillBox(dc_, bar, colour);
            OffsetRect(&bar, 4, 0);
            FillBox(dc_, bar, colour);
            break;
        }
        default: {
            COLORREF colour = frame == 2 ? palette_.runningLit : palette_.dim;
            POINT play[3] = {{c.x - 3, c.y - 4}, {c.x + 3, c.y}, {c.x - 3, c.y + 4}};
            FillPolygon(dc_, play, 3, colour);
            break;
        }
        }
    }

private:
    HDC dc_;
    const DefaultPalette &palette_;
};

struct ButtonPlace {
    int id;
    RECT rect;
};

const ButtonPlace kButtons[] = {
    {CommandPreviousTask, kPrevious},
    {CommandNextTask, kNext},
    {CommandDiscardAll, kDiscard},
    {CommandNextFace, kNextFace},
};

struct ElementPlace {
    int id;
    RECT rect;
    int frames;
};

// The running element is set to 0 or 2, hence its three frames.
const ElementPlace kElements[] = {
    {ElementPausedState, kPaused, 2}, {ElementRunningState, kRunning, 3}, {ElementTaskNumber, kBadge, 3},
    {ElementReceivedText, kReceived, 0}, {ElementTotalText, kTotal, 0},
};

GdiBitmap PaintPicture(HDC screen, const DefaultPalette &palette, ButtonLook look, int percent)
{
    int side = ScaleLength(kFaceSide, percent);
    GdiBitmap picture(CreateCompatibleBitmap(screen, side, side));
    MemoryDC dc;
    Selection selection(dc.Get(), picture.Get());
    if (!selection.Ok())
        return GdiBitmap();
    DesignCoordinates coordinates(dc.Get(), percent, 0);
    FacePainter painter(dc.Get(), palette);
    painter.Body();
    painter.Panel();
    for (const ButtonPlace &button : kButtons)
        painter.Button(button.id, button.rect, look);
    return picture;
}

// Each frame starts from the face's plain body under the element.
GdiBitmap PaintStrip(HDC screen, const DefaultPalette &palette, HBITMAP body, const ElementPlace &element,
                     int percent)
{
    RECT place = ScaleRect(element.rect, percent);
    int width = place.right - place.left;
    int height = place.bottom - place.top;
    GdiBitmap strip(CreateCompatibleBitmap(screen, width * element.frames, height));
    MemoryDC dc, source;
    Selection selection(dc.Get(), strip.Get());
    Selection sourceSelection(source.Get(), body);
    if (!selection.Ok() || !sourceSelection.Ok())
        return GdiBitmap();
    FacePainter painter(dc.Get(), palette);
    RECT slot = {0, 0, element.rect.right - element.rect.left, element.rect.bottom - element.rect.top};
    for (int frame = 0; frame < element.frames; ++frame) {
        BitBlt(dc.Get(), frame * width, 0, width, height, source.Get(), place.left, place.top, SRCCOPY);
        DesignCoordinates coordinates(dc.Get(), percent, frame * width);
        painter.ElementFrame(element.id, frame, slot);
    }
    return strip;
}

bool PaintFace(HDC screen, const DefaultPalette &palette, int percent, SkinFace &face)
{
    face.size.cx = ScaleLength(kFaceSide, percent);
    face.size.cy = face.size.cx;
    face.textColor = palette.text;
    face.shaped = true;
    face.colorKey = kColorKey;
    face.normal = PaintPicture(screen, palette, ButtonNormal, percent);
    face.hover = PaintPicture(screen, palette, ButtonHover, percent);
    face.pressed = PaintPicture(screen, palette, ButtonPressed, percent);
    if (!face.normal || !face.hover || !face.pressed)
        return false;
    for (const ButtonPlace &button : kButtons)
        face.buttons[face.buttonCount++] = {button.id, ScaleRect(button.rect, percent)};
    for (const ElementPlace &place : kElements) {
        FaceElement &element = face.elements[face.elementCount++];
        element.id = place.id;
        element.rect = ScaleRect(place.rect, percent);
        element.frames = place.frames;
        if (place.frames > 0) {
            element.strip = PaintStrip(screen, palette, face.normal.Get(), place, percent);
            if (!element.strip)
                return false;
        }
    }
    return true;
}

}  // namespace

const DefaultPalette &DefaultFacePalette(int face)
{
    return kPalettes[face >= 0 && face < kDefaultFaceCount ? face : 0];
}

std::unique_ptr<Skin> CreateDefaultSkin(int percent)
{
    std::unique_ptr<Skin> skin(new (std::nothrow) Skin);
    WindowDC screen(nullptr);
    if (!skin || !screen)
        return nullptr;
    for (int i = 0; i < kDefaultFaceCount; ++i) {
        if (!PaintFace(screen.Get(), kPalettes[i], percent, skin->faces[i]))
            return nullptr;
        skin->faceCount = i + 1;
    }
    return skin;
}
