// The skin folders under the skins folder: every sub-folder that holds a
// "skin.ini", counted in name order (case-insensitive) from 1.
#pragma once

// Writes the name of the n-th skin folder (n >= 1) into name; false when
// there are fewer than n. skinsFolder ends with a backslash.
bool NthSkinFolder(const char *skinsFolder, int n, char *name, int nameSize);

// True when skinsFolder holds a skin folder of that name.
bool SkinFolderExists(const char *skinsFolder, const char *name);
