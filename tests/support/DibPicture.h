// A 32-bit top-down DIB section selected into a memory DC: what the tests
// copy the screen or a window into, or draw into, to read the pixels back
// (0x00RRGGBB words, rows from the top).
#pragma once

#include <windows.h>

#include <vector>

namespace testing_support {

class DibPicture {
public:
    DibPicture(HDC like, int width, int height) : width_(width), height_(height)
    {
        info_.bmiHeader.biSize = sizeof(info_.bmiHeader);
        info_.bmiHeader.biWidth = width;
        info_.bmiHeader.biHeight = -height;
        info_.bmiHeader.biPlanes = 1;
        info_.bmiHeader.biBitCount = 32;
        info_.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(like);
        bitmap_ = CreateDIBSection(like, &info_, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits_), nullptr, 0);
        if (dc_ && bitmap_)
            previous_ = SelectObject(dc_, bitmap_);
    }
    ~DibPicture()
    {
        if (previous_)
            SelectObject(dc_, previous_);
        if (bitmap_)
            DeleteObject(bitmap_);
        if (dc_)
            DeleteDC(dc_);
    }
    DibPicture(const DibPicture &) = delete;
    DibPicture &operator=(const DibPicture &) = delete;

    bool ok() const { return previous_ != nullptr; }
    HDC dc() const { return dc_; }
    DWORD *bits() { return bits_; }
    const BITMAPINFOHEADER &header() const { return info_.bmiHeader; }

    // The pixels, once GDI has finished drawing into them.
    std::vector<DWORD> Pixels() const
    {
        GdiFlush();
        if (!bits_)
            return {};
        return std::vector<DWORD>(bits_, bits_ + static_cast<size_t>(width_) * height_);
    }

private:
    int width_, height_;
    BITMAPINFO info_ = {};
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    DWORD *bits_ = nullptr;
};

}  // namespace testing_support
