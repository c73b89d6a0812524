#include "facetta/ScreenShot.h"

#include <stdio.h>
#include <string.h>

#include "facetta/EngineHarness.h"

namespace {

// Wine's kernel32 converts a Windows path into the Linux one.
std::string UnixPath(const std::string &windowsPath)
{
    typedef char *(__cdecl * Converter)(const wchar_t *);
    Converter convert = reinterpret_cast<Converter>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return "";
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH);
    char *converted = convert(wide);
    if (!converted)
        return "";
    std::string result = converted;
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

bool RunLinuxCommand(const std::string &script)
{
    std::string commandLine = "/bin/sh -c \"" + script + "\"";
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    return true;
}

std::string ScreenshotsFolder()
{
    std::string folder = ProgramFolder() + "..\\screenshots\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

bool ScreenShot::Take(const RECT &area, const char *name)
{
    // Let Wine hand the windows' latest drawing to the X server first.
    PumpMessages(120);
    char temp[MAX_PATH], file[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    static int serial = 0;
    snprintf(file, sizeof(file), "facetta-shot-%lu-%d", GetCurrentProcessId(), ++serial);
    std::string folder = UnixPath(temp);
    if (folder.empty()) {
        failure_ = "not running under Wine: no Linux path for " + std::string(temp);
        return false;
    }
    if (folder.back() != '/')
        folder += '/';
    std::string bmpPath = std::string(temp) + file + ".bmp";
    char geometry[64];
    snprintf(geometry, sizeof(geometry), "%ldx%ld+%ld+%ld", area.right - area.left, area.bottom - area.top, area.left,
             area.top);
    std::string partial = folder + file + ".part";
    std::string script = "import -window root -crop " + std::string(geometry) + " bmp3:" + partial;
    if (name)
        script += " && import -window root -crop " + std::string(geometry) + " png:" +
                  UnixPath(ScreenshotsFolder()) + "/" + name + ".png";
    script += " && mv " + partial + " " + folder + file + ".bmp";
    if (!RunLinuxCommand(script)) {
        failure_ = "cannot start import";
        return false;
    }
    DWORD start = GetTickCount();
    while (GetFileAttributesA(bmpPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 20000) {
            failure_ = "import wrote no picture within 20 s: " + script;
            return false;
        }
        PumpMessages(20);
    }
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, bmpPath.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    DeleteFileA(bmpPath.c_str());
    if (!bitmap) {
        failure_ = "the picture does not load";
        return false;
    }
    BITMAP info;
    GetObjectA(bitmap, sizeof(info), &info);
    width_ = info.bmWidth;
    height_ = info.bmHeight;
    pixels_.assign(width_ * height_, 0);
    BITMAPINFO request = {};
    request.bmiHeader.biSize = sizeof(request.bmiHeader);
    request.bmiHeader.biWidth = width_;
    request.bmiHeader.biHeight = -height_;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    HDC dc = CreateCompatibleDC(nullptr);
    GetDIBits(dc, bitmap, 0, height_, pixels_.data(), &request, DIB_RGB_COLORS);
    DeleteDC(dc);
    DeleteObject(bitmap);
    // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
    for (COLORREF &pixel : pixels_)
        pixel = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    return true;
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
