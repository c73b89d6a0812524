#include "facetta/SkinArt.h"

#include <string.h>

#include "facetta/GdiHandles.h"

void FillBox(HDC dc, const RECT &rect, COLORREF colour)
{
    GdiBrush brush(CreateSolidBrush(colour));
    if (brush)
        FillRect(dc, &rect, brush.Get());
}

void FillVerticalGradient(HDC dc, const RECT &rect, COLORREF top, COLORREF bottom)
{
    int height = rect.bottom - rect.top;
    for (int y = 0; y < height; ++y) {
        int span = height > 1 ? height - 1 : 1;
        COLORREF colour = RGB(GetRValue(top) + (GetRValue(bottom) - GetRValue(top)) * y / span,
                              GetGValue(top) + (GetGValue(bottom) - GetGValue(top)) * y / span,
                              GetBValue(top) + (GetBValue(bottom) - GetBValue(top)) * y / span);
        RECT line = {rect.left, rect.top + y, rect.right, rect.top + y + 1};
        FillBox(dc, line, colour);
    }
}

void FillRoundBox(HDC dc, const RECT &rect, int radius, COLORREF fill, COLORREF border)
{
    GdiBrush brush(CreateSolidBrush(fill));
    GdiPen pen(CreatePen(PS_SOLID, 1, border));
    Selection brushSelection(dc, brush.Get());
    Selection penSelection(dc, pen.Get());
    if (brushSelection.Ok() && penSelection.Ok())
        RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, radius, radius);
}

void FillPolygon(HDC dc, const POINT *points, int count, COLORREF colour)
{
    GdiBrush brush(CreateSolidBrush(colour));
    GdiPen pen(CreatePen(PS_SOLID, 1, colour));
    Selection brushSelection(dc, brush.Get());
    Selection penSelection(dc, pen.Get());
    if (brushSelection.Ok() && penSelection.Ok())
        Polygon(dc, points, count);
}

void DrawStroke(HDC dc, POINT from, POINT to, int width, COLORREF colour)
{
    LOGBRUSH style = {BS_SOLID, colour, 0};
    GdiPen pen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE, width, &style, 0, nullptr));
    Selection penSelection(dc, pen.Get());
    if (!penSelection.Ok())
        return;
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

void DrawHalfDisc(HDC dc, const RECT &rect, COLORREF colour)
{
    GdiPen pen(CreatePen(PS_SOLID, 1, colour));
    GdiBrush brush(CreateSolidBrush(colour));
    Selection penSelection(dc, pen.Get());
    Selection hollow(dc, GetStockObject(NULL_BRUSH));
    if (!penSelection.Ok() || !hollow.Ok())
        return;
    Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
    int middle = (rect.left + rect.right) / 2;
    Selection brushSelection(dc, brush.Get());
    Chord(dc, rect.left, rect.top, rect.right, rect.bottom, middle, rect.bottom, middle, rect.top);
}

void DrawCentredText(HDC dc, const RECT &rect, const char *text, COLORREF colour, int height, int weight)
{
    GdiFont font(CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma"));
    Selection fontSelection(dc, font.Get());
    if (!fontSelection.Ok())
        return;
    int previousMode = SetBkMode(dc, TRANSPARENT);
    COLORREF previousColour = SetTextColor(dc, colour);
    RECT area = rect;
    DrawTextA(dc, text, static_cast<int>(strlen(text)), &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, previousColour);
    SetBkMode(dc, previousMode);
}
