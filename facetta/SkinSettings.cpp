#include "facetta/SkinSettings.h"

#include <stdio.h>

#include "util/ProfileUpdate.h"

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
    ProfileUpdate update(file);
    update.Write(section, "SKIN", choice.folder);
    update.Write(section, "FACE", face);
}
