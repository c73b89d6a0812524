#include "facetta/PictureStretch.h"

GdiBitmap StretchStrip(HBITMAP strip, SIZE frameFrom, int frames, SIZE frameTo)
{
    WindowDC screen(nullptr);
    if (!strip || !screen || frames < 1 || frameTo.cx < 1 || frameTo.cy < 1)
        return GdiBitmap();
    GdiBitmap result(CreateCompatibleBitmap(screen.Get(), frameTo.cx * frames, frameTo.cy));
    MemoryDC target, source;
    Selection targetSelection(target.Get(), result.Get());
    Selection sourceSelection(source.Get(), strip);
    if (!targetSelection.Ok() || !sourceSelection.Ok())
        return GdiBitmap();
    SetStretchBltMode(target.Get(), COLORONCOLOR);
    // Frame by frame: one stretch of the whole strip could round a pixel of
    // one frame into its neighbour.
    for (int frame = 0; frame < frames; ++frame) {
        if (!StretchBlt(target.Get(), frame * frameTo.cx, 0, frameTo.cx, frameTo.cy, source.Get(),
                        frame * frameFrom.cx, 0, frameFrom.cx, frameFrom.cy, SRCCOPY))
            return GdiBitmap();
    }
    return result;
}

GdiBitmap StretchPicture(HBITMAP picture, SIZE from, SIZE to)
{
    return StretchStrip(picture, from, 1, to);
}
