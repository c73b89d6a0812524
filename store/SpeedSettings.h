// How fast the downloads may go, in section DOWNLOAD of the settings file:
// "SPEEDCAP", bytes per second for all downloads together (0 or absent: no
// cap), and "BACKGROUND", 1 while the downloads yield to other traffic.
// Older plug-ins do not read them.
#pragma once

#include <windows.h>

class ProfileUpdate;

struct SpeedSettings {
    ULONGLONG cap;  // bytes per second; 0: none
    bool background;
};

SpeedSettings ReadSpeedSettings();

// Both keys, within an update that may write others.
void WriteSpeedSettings(ProfileUpdate &update, const SpeedSettings &settings);

// Both keys, in an update of their own.
void KeepSpeedSettings(const SpeedSettings &settings);
