#include "facetta/ScreenShot.h"

#include "facetta/EngineHarness.h"
#include "tests/support/DibPicture.h"

namespace {

std::string ScreenshotsFolder()
{
    std::string folder = ProgramFolder() + "..\\screenshots\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// A BMP file of a DIB's pixels, for people to look at.
bool WriteBitmapFile(const std::string &path, const BITMAPINFOHEADER &header, const void *bits)
{
    DWORD imageSize = static_cast<DWORD>(header.biWidth) * -header.biHeight * 4;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + imageSize;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    const void *pieces[] = {&file, &header, bits};
    const DWORD sizes[] = {sizeof(file), sizeof(header), imageSize};
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i) {
        DWORD written = 0;
        ok = WriteFile(out, pieces[i], sizes[i], &written, nullptr) && written == sizes[i];
    }
    CloseHandle(out);
    return ok;
}

}  // namespace

bool ScreenShot::Take(const RECT &area, const char *name)
{
    // Let Wine hand the windows' latest drawing to the X server first.
    PumpMessages(120);
    pixels_.clear();
    width_ = area.right - area.left;
    height_ = area.bottom - area.top;
    if (width_ <= 0 || height_ <= 0) {
        failure_ = "empty area";
        width_ = height_ = 0;
        return false;
    }
    HDC screen = GetDC(nullptr);
    bool copied = false;
    {
        testing_support::DibPicture picture(screen, width_, height_);
        if (picture.ok()) {
            // Only the part on the screen is copied; the rest stays black.
            int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
            RECT desktop = {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
            RECT shown;
            copied = IntersectRect(&shown, &area, &desktop) &&
                     BitBlt(picture.dc(), shown.left - area.left, shown.top - area.top, shown.right - shown.left,
                            shown.bottom - shown.top, screen, shown.left, shown.top, SRCCOPY | CAPTUREBLT);
        }
        if (copied) {
            std::vector<DWORD> source = picture.Pixels();
            pixels_.resize(source.size());
            // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
            for (size_t i = 0; i < pixels_.size(); ++i)
                pixels_[i] = RGB((source[i] >> 16) & 0xFF, (source[i] >> 8) & 0xFF, source[i] & 0xFF);
            if (name)
                WriteBitmapFile(ScreenshotsFolder() + name + ".bmp", picture.header(), source.data());
        }
    }
    ReleaseDC(nullptr, screen);
    if (!copied) {
        failure_ = "the screen could not be copied";
        width_ = height_ = 0;  // no pixel to read
    }
    return copied;
}

COLORREF ScreenShot::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return CLR_INVALID;
    return pixels_[y * width_ + x];
}

int ScreenShot::Count(const RECT &rect, COLORREF colour) const
{
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x)
            count += At(x, y) == colour;
    }
    return count;
}

RECT ScreenArea(HWND window, int margin)
{
    RECT area;
    GetClientRect(window, &area);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT *>(&area), 2);
    InflateRect(&area, margin, margin);
    return area;
}
