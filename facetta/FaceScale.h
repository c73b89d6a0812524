// How a face designed for 96 DPI is laid out and drawn at another scale.
// Every rectangle edge is scaled on its own and rounded to the nearest pixel,
// so neighbouring rectangles stay neighbours; pictures drawn for a scale
// (a skin's art sets) are sized by the same rule.
#pragma once

#include <windows.h>

// The scales a skin may ship art for, in percent: Windows' display scales.
constexpr int kArtPercents[] = {125, 150, 175, 200, 250, 300};
constexpr int kArtPercentCount = sizeof(kArtPercents) / sizeof(kArtPercents[0]);

inline int ScaleLength(int length, int percent)
{
    return MulDiv(length, percent, 100);
}

inline SIZE ScaleSize(SIZE size, int percent)
{
    return {ScaleLength(size.cx, percent), ScaleLength(size.cy, percent)};
}

inline RECT ScaleRect(const RECT &rect, int percent)
{
    return {ScaleLength(rect.left, percent), ScaleLength(rect.top, percent), ScaleLength(rect.right, percent),
            ScaleLength(rect.bottom, percent)};
}

// Which of the art a skin ships (100 and the percents in shipped) a face at
// wanted is drawn from: the art for wanted itself; else the largest below
// it, whose pixels are then repeated (never blended: edges stay sharp and a
// colour key stays exact); else, for a scale under 100, the smallest.
int ChooseArtPercent(int wanted, const int *shipped, int shippedCount);
