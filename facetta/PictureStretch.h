// Pictures resized for another display scale by repeating or dropping whole
// pixels (no blending), so that edges stay sharp and a colour key stays
// exact. At a whole factor every pixel becomes a square of pixels.
#pragma once

#include <windows.h>

#include "facetta/GdiHandles.h"

// picture (size from) drawn at size to; empty when GDI refuses.
GdiBitmap StretchPicture(HBITMAP picture, SIZE from, SIZE to);

// A strip of frames side by side, each frame from resized to frame to.
GdiBitmap StretchStrip(HBITMAP strip, SIZE frameFrom, int frames, SIZE frameTo);
