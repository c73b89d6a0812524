// Small GDI drawing steps from which the built-in skin paints its pictures.
// Each makes and deletes its own pens, brushes and fonts.
#pragma once

#include <windows.h>

void FillBox(HDC dc, const RECT &rect, COLORREF colour);

// Top to bottom, one line per pixel row.
void FillVerticalGradient(HDC dc, const RECT &rect, COLORREF top, COLORREF bottom);

// A rounded box with a one-pixel border.
void FillRoundBox(HDC dc, const RECT &rect, int radius, COLORREF fill, COLORREF border);

void FillPolygon(HDC dc, const POINT *points, int count, COLORREF colour);

// A straight stroke of the given width with square ends.
void DrawStroke(HDC dc, POINT from, POINT to, int width, COLORREF colour);

// A circle outline inside rect with its left half filled.
void DrawHalfDisc(HDC dc, const RECT &rect, COLORREF colour);

// One line of text centred in rect, in a sans-serif face of the given pixel height.
void DrawCentredText(HDC dc, const RECT &rect, const char *text, COLORREF colour, int height, int weight);
