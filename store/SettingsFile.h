// The settings file: a bare name, so the private-profile functions keep it in
// the Windows directory. Section DOWNLOAD holds the user's settings, sections
// FILE1, FILE2, ... the resume records.
#pragma once

const char kSettingsFile[] = "KELMORA.ini";
const char kDownloadSection[] = "DOWNLOAD";

// DESTNPATH as stored (may be empty), at most bufferSize - 1 characters.
void ReadDownloadFolderSetting(char *buffer, int bufferSize);
