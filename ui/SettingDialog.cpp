#include "ui/SettingDialog.h"

#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "res/ResourceIds.h"
#include "store/SettingsFile.h"
#include "store/SpeedSettings.h"
#include "transfer/SpeedGate.h"
#include "ui/ResourceText.h"
#include "ui/SpeedCapField.h"
#include "util/FolderCheck.h"
#include "util/PathText.h"
#include "util/DisplayScale.h"
#include "util/ProfileUpdate.h"
#include "util/SystemFunction.h"

namespace {

const int kPathSize = 260;
const int kDockStyleCount = 5;
const int kSpeedCapSize = 16;

void WriteNumber(ProfileUpdate &update, const char *key, int value)
{
    char number[16];
    snprintf(number, sizeof(number), "%d", value);
    update.Write(kDownloadSection, key, number);
}

// The Browse button's picture, at the dialog's scale as the button is: its
// pixels repeated, never blended.
HANDLE LoadBrowseBitmap(UINT dpi)
{
    HANDLE image = LoadImageA(ResourceModule(), MAKEINTRESOURCEA(IDB_BROWSE), IMAGE_BITMAP, 0, 0, 0);
    BITMAP size = {};
    if (!image || dpi == kDesignDpi || !GetObjectA(image, sizeof(size), &size))
        return image;
    HANDLE scaled = CopyImage(image, IMAGE_BITMAP, ScaleToDpi(size.bmWidth, dpi), ScaleToDpi(size.bmHeight, dpi),
                              LR_COPYDELETEORG);
    return scaled ? scaled : image;
}

void OnInitDialog(HWND dialog)
{
    char path[kPathSize] = "";
    ReadDownloadFolderSetting(path, sizeof(path));
    if (!path[0])
        HostFolder(path, sizeof(path));
    SetDlgItemTextA(dialog, IDC_PATH_EDIT, path);
    int style = ReadSettingNumber("DOCKSTYLE", 0);
    HWND combo = GetDlgItem(dialog, IDC_DOCK_COMBO);
    for (int i = 0; i < kDockStyleCount; ++i) {
        char text[kPathSize];
        LoadResourceText(StringDockLeftTop + i, text, sizeof(text));
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageA(combo, CB_SETCURSEL, style, 0);
    HANDLE image = LoadBrowseBitmap(WindowDpi(dialog));
    SendDlgItemMessageA(dialog, IDC_BROWSE, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    SpeedSettings speed = ReadSpeedSettings();
    char cap[kSpeedCapSize];
    SpeedCapFieldText(speed.cap, cap);
    SetDlgItemTextA(dialog, IDC_SPEED_CAP_EDIT, cap);
    CheckDlgButton(dialog, IDC_BACKGROUND_CHECK, speed.background ? BST_CHECKED : BST_UNCHECKED);
}

void ShowTip(HWND dialog, ResourceStringId message)
{
    char text[kPathSize], caption[kPathSize];
    LoadResourceText(message, text, sizeof(text));
    LoadResourceText(StringTip, caption, sizeof(caption));
    MessageBoxA(dialog, text, caption, MB_OK);
}

// The speed settings as the dialog now asks. A cap the field shows as it
// was read (a host may have set one that is no whole number of KiB/s) stays
// as it was. False when the field holds no cap.
bool SpeedSettingsAsAsked(HWND dialog, SpeedSettings *speed)
{
    *speed = ReadSpeedSettings();
    char text[kSpeedCapSize * 2] = "", shown[kSpeedCapSize];
    GetDlgItemTextA(dialog, IDC_SPEED_CAP_EDIT, text, sizeof(text));
    SpeedCapFieldText(speed->cap, shown);
    ULONGLONG cap;
    if (!ParseSpeedCapField(text, &cap))
        return false;
    if (strcmp(text, shown) != 0)
        speed->cap = cap;
    speed->background = IsDlgButtonChecked(dialog, IDC_BACKGROUND_CHECK) == BST_CHECKED;
    return true;
}

// The bitmap given to the button stays the dialog's; delete it with it.
void OnDestroy(HWND dialog)
{
    HGDIOBJ image = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(dialog, IDC_BROWSE, BM_GETIMAGE, IMAGE_BITMAP, 0));
    if (image)
        DeleteObject(image);
}

void OnOk(HWND dialog)
{
    char path[kPathSize] = "";
    GetDlgItemTextA(dialog, IDC_PATH_EDIT, path, kPathSize);
    // A folder no file can go into is refused here, once, rather than
    // at every download.
    SpeedSettings speed;
    if (!SpeedSettingsAsAsked(dialog, &speed)) {
        ShowTip(dialog, StringSpeedCapInvalid);
        return;
    }
    if (!MakeFolderReady(path)) {
        ShowTip(dialog, StringCannotCreateDir);
        return;
    }
    GetDlgItemTextA(dialog, IDC_PATH_EDIT, path, kPathSize);
    int style = static_cast<int>(SendDlgItemMessageA(dialog, IDC_DOCK_COMBO, CB_GETCURSEL, 0, 0));
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(GetParent(dialog), &rect);
    SettingsPlace().Update([&](ProfileUpdate &update, const std::string &) {
        update.Write(kDownloadSection, "DESTNPATH", path);
        WriteNumber(update, "DOCKSTYLE", style);
        WriteNumber(update, "DOCKLEFT", rect.left);
        WriteNumber(update, "DOCKTOP", rect.top);
        WriteSpeedSettings(update, speed);
    });
    ApplySpeedSettings(speed);
    EndDialog(dialog, 1);
}

void OnBrowse(HWND dialog)
{
    char folder[kPathSize] = {};
    if (BrowseDownloadFolder(dialog, folder))
        SetDlgItemTextA(dialog, IDC_PATH_EDIT, folder);
}

void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK: OnOk(dialog); break;
    case IDCANCEL: EndDialog(dialog, 0); break;
    case IDC_BROWSE: OnBrowse(dialog); break;
    }
}

}  // namespace

INT_PTR CALLBACK SettingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog); break;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
    case WM_DESTROY: OnDestroy(dialog); break;
    }
    return 0;
}

void RunSettingDialog(HWND owner)
{
    DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(IDD_SETTING), owner, SettingDialog, 0);
}

bool BrowseDownloadFolder(HWND owner, char *buffer)
{
    static const char kTitle[] = "\xD1\xA1\xD4\xF1\xC2\xB7\xBE\xB6";  // "select path" in GB2312
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = buffer;
    info.lpszTitle = kTitle;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    auto browse = SystemFunction<decltype(&SHBrowseForFolderA)>("shell32.dll", "SHBrowseForFolderA");
    auto pathOf = SystemFunction<decltype(&SHGetPathFromIDListA)>("shell32.dll", "SHGetPathFromIDListA");
    auto release = SystemFunction<decltype(&CoTaskMemFree)>("ole32.dll", "CoTaskMemFree");
    if (!browse || !pathOf || !release)
        return false;
    LPITEMIDLIST item = browse(&info);
    if (!item)
        return false;
    pathOf(item, buffer);
    release(item);
    return true;
}
