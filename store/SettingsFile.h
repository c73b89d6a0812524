// The settings file: the bare name "KELMORA.ini", so the private-profile
// functions keep it in the Windows directory; where that cannot be written,
// in the user's own folder (util/ProfilePlace.h). Section DOWNLOAD holds the
// user's settings, sections FILE1, FILE2, ... the resume records.
#pragma once

#include "util/ProfilePlace.h"

const char kSettingsFile[] = "KELMORA.ini";
const char kDownloadSection[] = "DOWNLOAD";

ProfilePlace &SettingsPlace();

// A key of section DOWNLOAD: from the file updates go to, or, where that
// does not have it, from the other one.
int ReadSettingNumber(const char *key, int fallback);
// At most bufferSize - 1 characters; "" where neither file has the key.
void ReadSettingText(const char *key, char *buffer, int bufferSize);

// DESTNPATH as stored (may be empty), at most bufferSize - 1 characters.
void ReadDownloadFolderSetting(char *buffer, int bufferSize);
