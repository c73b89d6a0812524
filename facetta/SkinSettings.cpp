#include "facetta/SkinSettings.h"

#include <stdio.h>

SkinChoice LoadSkinChoice(const char *file, const char *section)
{
    SkinChoice choice = {"", 0};
    GetPrivateProfileStringA(section, "SKIN", "", choice.folder, sizeof(choice.folder), file);
    choice.face = static_cast<int>(GetPrivateProfileIntA(section, "FACE", 0, file));
    return choice;
}

void SaveSkinChoice(const char *file, const char *section, const SkinChoice &choice)
{
    char face[16];
    snprintf(face, sizeof(face), "%d", choice.face);
    WritePrivateProfileStringA(section, "SKIN", choice.folder, file);
    WritePrivateProfileStringA(section, "FACE", face, file);
}
