// The remembered choice of skin and face, kept in the settings file and
// section the host names (SkinQuery operation 20: "kelmora.ini", "SKINDLOAD").
// Through the private-profile functions a bare file name lies in the Windows
// directory.
//
//   [SKINDLOAD]
//   SKIN=Aurora    ; the skin folder's name; empty for the built-in skin
//   FACE=1         ; the face, counted from 0
#pragma once

#include <windows.h>

struct SkinChoice {
    char folder[MAX_PATH];
    int face;
};

// An absent file or section reads as the built-in skin's first face.
SkinChoice LoadSkinChoice(const char *file, const char *section);

void SaveSkinChoice(const char *file, const char *section, const SkinChoice &choice);
