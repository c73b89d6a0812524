#include "store/SettingsFile.h"

#include <windows.h>

ProfilePlace &SettingsPlace()
{
    static ProfilePlace place(kSettingsFile);
    return place;
}

int ReadSettingNumber(const char *key, int fallback)
{
    return static_cast<int>(GetPrivateProfileIntA(kDownloadSection, key, fallback, SettingsPlace().FileWith(kDownloadSection, key).c_str()));
}

void ReadSettingText(const char *key, char *buffer, int bufferSize)
{
    GetPrivateProfileStringA(kDownloadSection, key, "", buffer, bufferSize, SettingsPlace().FileWith(kDownloadSection, key).c_str());
}

void ReadDownloadFolderSetting(char *buffer, int bufferSize)
{
    ReadSettingText("DESTNPATH", buffer, bufferSize);
}
