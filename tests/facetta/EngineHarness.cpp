#include "facetta/EngineHarness.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "components/ComponentAccess.h"

EngineHandle::EngineHandle() : engine_(static_cast<SkinEngine *>(CreateComponent(SkinLibraryDescriptor())))
{
}

EngineHandle::~EngineHandle()
{
    if (!engine_)
        return;
    Shutdown();
    ReleaseComponent(SkinLibraryDescriptor(), engine_);
}

RECT EngineHandle::ElementRect(int id)
{
    RECT rect = {-1, -1, -1, -1};
    GetElementRect(id, &rect);
    return rect;
}

std::vector<COLORREF> EngineHandle::Rendering(int width, int height)
{
    std::vector<COLORREF> pixels(width * height, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    HandleMessage(nullptr, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    SelectObject(dc, previous);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
    for (COLORREF &pixel : pixels)
        pixel = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

namespace {

int __thiscall AnswerSkinsFolder(SkinQuery *self, char *buffer, int size)
{
    lstrcpynA(buffer, static_cast<TestSkinQuery *>(self)->skinsFolder.c_str(), size);
    return 1;
}

int __thiscall AnswerSettings(SkinQuery *self, char *file, int, char *section)
{
    strcpy(file, static_cast<TestSkinQuery *>(self)->settingsFile.c_str());
    strcpy(section, "SKINDLOAD");
    return 1;
}

}  // namespace

TestSkinQuery::TestSkinQuery(const std::string &skinsFolder, const std::string &settingsFile)
    : SkinQuery{&table_}, skinsFolder(skinsFolder), settingsFile(settingsFile), table_(*PluginSkinQuery()->operations)
{
    table_.SkinsFolder = AnswerSkinsFolder;
    table_.SettingsLocation = AnswerSettings;
}


TempFolder::TempFolder()
{
    char base[MAX_PATH], name[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    static int serial = 0;
    snprintf(name, sizeof(name), "%sfacetta-%lu-%d\\", base, GetCurrentProcessId(), ++serial);
    CreateDirectoryA(name, nullptr);
    path_ = name;
}

namespace {

void RemoveFolder(const std::string &folder, int depth)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (depth > 0)
                    RemoveFolder(folder + name + "\\", depth - 1);
            } else {
                DeleteFileA((folder + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

TempFolder::~TempFolder()
{
    RemoveFolder(path_, 1);
}

void WriteTextFile(const std::string &path, const std::string &text)
{
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

void WriteBitmap(const std::string &path, int width, int height, const std::function<COLORREF(int, int)> &colourAt)
{
    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER header = {};
    BITMAPINFOHEADER info = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize = header.bfOffBits + stride * height;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::vector<unsigned char> rows(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Rows are stored bottom-up.
            COLORREF colour = colourAt(x, height - 1 - y);
            unsigned char *pixel = &rows[y * stride + x * 3];
            pixel[0] = GetBValue(colour);
            pixel[1] = GetGValue(colour);
            pixel[2] = GetRValue(colour);
        }
    }
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    fwrite(&header, sizeof(header), 1, file);
    fwrite(&info, sizeof(info), 1, file);
    fwrite(rows.data(), 1, rows.size(), file);
    fclose(file);
}

void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

namespace {

const char kWindowClass[] = "FacettaTestWindow";

// The window being created: its first messages arrive before the user data
// can hold the object, and the plug-in hands those to the engine as well.
SkinWindow *gCreating = nullptr;

void RegisterTestClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA windowClass = {};
    windowClass.style = 43;  // CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC, as the plug-in's
    windowClass.lpfnWndProc = SkinWindow::Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    registered = RegisterClassA(&windowClass) != 0;
}

}  // namespace

SkinWindow::SkinWindow(EngineHandle &engine, int x, int y, bool dragsLikePlugin)
    : engine_(engine), dragsLikePlugin_(dragsLikePlugin)
{
    RegisterTestClass();
    gCreating = this;
    window_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kWindowClass, "", WS_POPUP | WS_SYSMENU, x, y, 70, 70,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    gCreating = nullptr;
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
    PumpMessages(150);
}

SkinWindow::~SkinWindow()
{
    DestroyWindow(window_);
    PumpMessages(20);
}

POINT SkinWindow::ToScreen(POINT client) const
{
    ClientToScreen(window_, &client);
    return client;
}

bool SkinWindow::WaitForCommand(DWORD ms)
{
    DWORD start = GetTickCount();
    while (commands.empty() && GetTickCount() - start < ms)
        PumpMessages(10);
    return !commands.empty();
}

LRESULT CALLBACK SkinWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SkinWindow *self = reinterpret_cast<SkinWindow *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        self = gCreating;
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        self->commands.push_back(LOWORD(wParam));
        if (LOWORD(wParam) == CommandNextFace)
            self->engine_.Command(CommandNextFace, 0);
        break;
    case WM_LBUTTONDOWN:
        if (self->dragsLikePlugin_ && !self->dragging_) {
            self->dragging_ = true;
            SetCapture(window);
        }
        break;
    case WM_LBUTTONUP:
        if (self->dragsLikePlugin_ && self->dragging_) {
            self->dragging_ = false;
            ReleaseCapture();
        }
        break;
    }
    return self->engine_.HandleMessage(window, message, wParam, lParam);
}

namespace {

void SendMouse(POINT screen, DWORD buttons)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 across the primary screen;
    // the half-pixel offset lands in the middle of the wanted pixel.
    input.mi.dx = (screen.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
    input.mi.dy = (screen.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &input, sizeof(input));
    PumpMessages(30);
}

}  // namespace

void MovePointerTo(POINT screen)
{
    SendMouse(screen, 0);
}

void PressAt(POINT screen)
{
    SendMouse(screen, MOUSEEVENTF_LEFTDOWN);
}

void ReleaseAt(POINT screen)
{
    SendMouse(screen, MOUSEEVENTF_LEFTUP);
}

void ClickAt(POINT screen)
{
    MovePointerTo(screen);
    PressAt(screen);
    ReleaseAt(screen);
}

void DrawSizeText(EngineHandle &engine, HWND window, const RECT &rect, const char *text)
{
    HDC dc = GetDC(window);
    LOGFONTA description;
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
    description.lfHeight = 12;
    description.lfWeight = FW_NORMAL;
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ previous = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    engine.RepaintRect(&rect);
    RECT area = rect;
    DrawTextA(dc, text, static_cast<int>(strlen(text)), &area, DT_RIGHT | DT_VCENTER);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(window, dc);
}
