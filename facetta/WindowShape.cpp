#include "facetta/WindowShape.h"

#include <new>
#include <memory>

namespace {

// GetDIBits' 32-bit pixels are blue, green, red, unused.
DWORD KeyAsPixel(COLORREF key)
{
    return (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
}

}  // namespace

GdiRegion RegionOutsideKey(HBITMAP picture, int width, int height, COLORREF key)
{
    if (!picture || width <= 0 || height <= 0)
        return GdiRegion();
    std::unique_ptr<DWORD[]> pixels(new (std::nothrow) DWORD[width * height]);
    // At most one run per two pixels of a row, plus the region header.
    int maxRuns = height * (width / 2 + 1);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[sizeof(RGNDATAHEADER) + maxRuns * sizeof(RECT)]);
    if (!pixels || !buffer)
        return GdiRegion();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    MemoryDC dc;
    if (!dc || GetDIBits(dc.Get(), picture, 0, height, pixels.get(), &info, DIB_RGB_COLORS) != height)
        return GdiRegion();

    RGNDATA *data = reinterpret_cast<RGNDATA *>(buffer.get());
    RECT *runs = reinterpret_cast<RECT *>(data->Buffer);
    DWORD keyPixel = KeyAsPixel(key);
    int count = 0;
    for (int y = 0; y < height; ++y) {
        const DWORD *row = pixels.get() + y * width;
        int x = 0;
        while (x < width) {
            while (x < width && (row[x] & 0xFFFFFF) == keyPixel)
                ++x;
            int start = x;
            while (x < width && (row[x] & 0xFFFFFF) != keyPixel)
                ++x;
            if (x > start)
                SetRect(&runs[count++], start, y, x, y + 1);
        }
    }
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = count;
    data->rdh.nRgnSize = count * sizeof(RECT);
    SetRect(&data->rdh.rcBound, 0, 0, width, height);
    return GdiRegion(ExtCreateRegion(nullptr, sizeof(RGNDATAHEADER) + count * sizeof(RECT), data));
}
