// The window's outline for a face whose picture marks its outside with a
// colour key.
#pragma once

#include <windows.h>

#include "facetta/GdiHandles.h"

// The region of all pixels of picture (width x height) that are not key;
// empty handle when the picture cannot be read.
GdiRegion RegionOutsideKey(HBITMAP picture, int width, int height, COLORREF key);
