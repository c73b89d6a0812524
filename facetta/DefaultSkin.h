// The skin the engine draws itself: used when no skin folder is chosen and
// whenever a chosen one cannot be loaded. Two faces, Night (dark) and Day
// (light), on the same 70 x 70 layout (at 96 DPI; it is drawn anew at
// every display scale).
#pragma once

#include <windows.h>

#include <memory>

#include "facetta/SkinFace.h"

constexpr int kDefaultFaceCount = 2;

struct DefaultPalette {
    COLORREF bodyTop, bodyBottom, border, highlight;
    COLORREF panel, panelBorder, text, receivedIcon, totalIcon;
    COLORREF badge, badgeText, dim, pausedLit, runningLit;
    COLORREF buttonFill, buttonBorder, glyph;
    COLORREF hoverFill, hoverBorder, hoverGlyph;
    COLORREF pressedFill, pressedGlyph;
    COLORREF discardGlyph, discardHoverFill, discardPressedFill;
};

const DefaultPalette &DefaultFacePalette(int face);

// The skin drawn at percent of its 96 DPI size. Null when GDI refuses the
// pictures (the process is out of GDI objects).
std::unique_ptr<Skin> CreateDefaultSkin(int percent);
