#include "store/SettingsFile.h"

#include <windows.h>

void ReadDownloadFolderSetting(char *buffer, int bufferSize)
{
    GetPrivateProfileStringA(kDownloadSection, "DESTNPATH", "", buffer, bufferSize, kSettingsFile);
}
